// What the host cannot show, seen by calling block objects directly on host structures of the stand-in
// host: size field 22 and the execution-system code, the state a record reads, byte sizes of unknown types.
#include <array>
#include <tuple>

#include "BlockFixture.hpp"
#include "blocks/families/PduFamily.hpp"
#include "framework/BaseFcn.hpp"
#include "framework/HostInterface.hpp"

namespace korlix_test {
namespace {

quonix::BlockInstance hostBlock(const std::string& maskType, const std::string& edits) {
    quonix::BlockSpec desc;
    desc.name = maskType;
    desc.maskType = maskType;
    desc.parameters = toFields(edited(fullDialog(maskType), edits));
    return quonix::BlockInstance(std::move(desc), quonix::HostSettings{});
}

std::string status(const HostBlock& b) {
    return b.errorStatus != nullptr ? b.errorStatus : "";
}

std::vector<int32_t> setterCalls;
void recordSetter(HostBlock* /*block*/, int32_t value) {
    setterCalls.push_back(value);
}

// Size field 22 goes through the host's setter (when it has one), directly, or both, as each class does it.
// The execution-system code starts at 3 here: only a completed set-up of the classes that keep it resets it,
// and only the start/stop block records "host" in initializeForHost.
TEST(BlockState, ModesFieldAndExecutionSystemCode) {
    // mask, edits, setter offered, setter calls, size field 22, code after set-up, code after
    // initializeForHost
    using Row = std::tuple<const char*, std::string, bool, std::vector<int32_t>, int32_t, int32_t, int32_t>;
    // clang-format off
    const std::vector<Row> rows = {
        {kCycle, "", true, {0}, 7, 3, 3},        {kCycle, "", false, {}, 7, 3, 3},
        {kPoc, "", true, {}, 0, 3, 3},           {kNet, "", true, {}, 0, 0, 1},
        {kInject, "", true, {0}, 0, 3, 3},       {kInject, "", false, {}, 0, 3, 3},
        {kRP, "", true, {0}, 0, 0, 0},           {kRP, "", false, {}, 0, 0, 0},
        {kRP, "PduLabel=<>", true, {}, 7, 3, 3}, {kWP, "", true, {0}, 0, 0, 0},
        {kWP, "PduLength=", true, {}, 7, 3, 3},  {kPack, "", true, {}, 0, 3, 3},
        {kUnpack, "", true, {}, 0, 3, 3},
    };
    // clang-format on
    for (const auto& [mask, edits, setter, calls, modes, code, codeAfterHost] : rows) {
        SCOPED_TRACE(testing::Message() << mask << " {" << edits << "} setter " << setter);
        quonix::BlockInstance inst = hostBlock(mask, edits);
        HostBlock& b = inst.block();
        b.setNumModes = setter ? &recordSetter : nullptr;
        b.sizes[HB_SIZE_NUM_MODES] = 7;
        setterCalls.clear();
        std::unique_ptr<korlix::BaseFcn> block = korlix::makeBlockForMaskType(mask);
        block->setExecSysCode(korlix::kExecOpalrt);
        block->initializeSizes(&b);
        EXPECT_EQ(setterCalls, calls);
        EXPECT_EQ(b.sizes[HB_SIZE_NUM_MODES], modes);
        EXPECT_EQ(block->execSysCode(), code);
        block->initializeForHost(&b);
        EXPECT_EQ(block->execSysCode(), codeAfterHost);
    }
}

// The start/stop block never learns a "kvd" build by itself; even with that code set from outside, its
// record takes NetworkType from the dialog.
TEST(BlockState, StartStopRecordTakesNetworkTypeFromTheDialogUnderKvd) {
    auto block = korlix::makeStartStopNetwork();
    quonix::BlockInstance inst = hostBlock(kNet, "");
    block->setExecSysCode(korlix::kExecKvd);
    inst.beginRecordCapture();
    block->writeQRXRecord(&inst.block());
    inst.endRecordCapture();
    ASSERT_FALSE(inst.record().empty());
    EXPECT_NE(recordCalls(inst)[0].find("NetworkType      \"Channel A\"\n"), std::string::npos);
}

// The error injection block stores count and index list separately: a failed list keeps the old list next
// to the new count, and a placeholder label keeps both.
TEST(BlockState, ErrorInjectionCountAndListSurviveFailedSetUps) {
    // edits of one set-up, its error, the parameter settings a record writes afterwards
    const std::vector<std::array<std::string, 3>> steps = {
        {"", "", "7/6/3x1: SignalsIndexes [4, 7, 9]"},
        {"NumberOfSignals=2;SignalsIndexes=", "Error converting empty string to vector of uint32.",
         "7/6/2x1: SignalsIndexes [4, 7]"},
        {"FrameLabel=<>;NumberOfSignals=1;SignalsIndexes=5", "", "7/6/2x1: SignalsIndexes [4, 7]"},
        {"NumberOfSignals=x;SignalsIndexes=5", "Error converting string x to uint32.",
         "7/6/2x1: SignalsIndexes [4, 7]"},
        {"NumberOfSignals=1;SignalsIndexes=11 12", "", "7/6/1x1: SignalsIndexes [11]"},
    };
    auto block = korlix::makeErrorInjection();
    for (const auto& [edits, error, settings] : steps) {
        SCOPED_TRACE(edits);
        quonix::BlockInstance inst = hostBlock(kInject, edits);
        block->initializeSizes(&inst.block());
        EXPECT_EQ(status(inst.block()), error);
        // The record goes through a block with its work element registered, as after a full set-up.
        quonix::BlockInstance out = hostBlock(kInject, "");
        korlix::setSizeField(&out.block(), HB_SIZE_NUM_IWORK, 1);
        out.beginRecordCapture();
        block->writeQRXRecord(&out.block());
        out.endRecordCapture();
        const std::vector<std::string> calls = recordCalls(out);
        ASSERT_EQ(calls.size(), 10u);
        EXPECT_EQ(calls[8], settings);
        EXPECT_EQ(status(out.block()), "");
    }
}

// Data type ids that the dialog's names never lead to: the byte sizes are rebuilt from empty and stop at
// the first id without a size, whose signal both blocks call an input.
TEST(BlockState, ByteSizesStopAtAnUnknownType) {
    using SignalPorts = korlix::PortSide;
    using Row =
        std::tuple<const char*, SignalPorts, std::vector<int32_t>, int, std::vector<int8_t>, std::string>;
    // clang-format off
    const std::vector<Row> rows = {
        {"Pack PDU", SignalPorts::Inputs, {3, 5, 42, 8}, 2, {1, 2}, "in{-1x-1FA -1x-1FA -1x-1 -1x-1} out{}"},
        {"Pack PDU", SignalPorts::Inputs, {-1, 3}, 0, {}, "in{-1x-1 -1x-1} out{}"},
        {"Unpack PDU", SignalPorts::Outputs, {0, 9}, 1, {8}, "in{-1x-1 -1x-1} out{}"},
    };
    // clang-format on
    for (const auto& [title, ports, ids, at, sizes, shape] : rows) {
        SCOPED_TRACE(title);
        quonix::BlockInstance inst = hostBlock(kPack, "");
        HostBlock& b = inst.block();
        ASSERT_NE(b.setNumInputPorts(&b, static_cast<int32_t>(ids.size())), 0);
        // The byte sizes of an earlier run are emptied first.
        korlix::pdu::SignalLists lists{static_cast<uint32_t>(ids.size()), {}, ids, {}, {4, 4, 4, 4, 4}};
        korlix::ErrorBuffer buffer;
        EXPECT_FALSE(korlix::pdu::rebuildByteSizes(&b, buffer, title, ports, "PDU_Body", lists));
        EXPECT_EQ(status(b), std::string("Error in ") + title +
                                 " block for PDU PDU_Body: Unrecognized data type for input number " +
                                 std::to_string(at) + ".\n");
        EXPECT_EQ(lists.byteSizes, sizes);
        EXPECT_EQ(portShape(b), shape);
    }
}

}  // namespace
}  // namespace korlix_test
