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

// A host structure for the mask type's realistic dialog with the fields in `set` changed.
quonix::BlockInstance hostBlock(const std::string& maskType, const Json& set = Json::object()) {
    quonix::BlockSpec desc;
    desc.name = maskType;
    desc.maskType = maskType;
    desc.parameters = toFields(changedDialog(maskType, {{"set", set}}));
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
// The execution-system code starts at 3 here: only a completed set-up of the classes that keep it resets it
// (a signal block to the answer of its query, which fails here), and only the start/stop block records
// "host" in initializeForHost.
TEST(BlockState, ModesFieldAndExecutionSystemCode) {
    // mask, changed fields, setter offered, setter calls, size field 22, code after set-up, code after
    // initializeForHost
    using Row = std::tuple<const char*, Json, bool, std::vector<int32_t>, int32_t, int32_t, int32_t>;
    const Json none = Json::object();
    // clang-format off
    const std::vector<Row> rows = {
        {kCycle, none, true, {0}, 7, 3, 3},      {kCycle, none, false, {}, 7, 3, 3},
        {kPoc, none, true, {}, 0, 3, 3},         {kNet, none, true, {}, 0, 0, 1},
        {kInject, none, true, {0}, 0, 3, 3},     {kInject, none, false, {}, 0, 3, 3},
        {kRP, none, true, {0}, 0, 0, 0},         {kRP, none, false, {}, 0, 0, 0},
        {kRP, {{"PduLabel", "<>"}}, true, {}, 7, 3, 3}, {kWP, none, true, {0}, 0, 0, 0},
        {kWP, {{"PduLength", ""}}, true, {}, 7, 3, 3},  {kPack, none, true, {}, 0, 3, 3},
        {kUnpack, none, true, {}, 0, 3, 3},      {"KORLIXSignalRead", none, true, {}, 7, 0, 0},
    };
    // clang-format on
    for (const auto& [mask, set, setter, calls, modes, code, codeAfterHost] : rows) {
        SCOPED_TRACE(testing::Message() << mask << " " << set.dump() << " setter " << setter);
        quonix::BlockInstance inst = hostBlock(mask, set);
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
    quonix::BlockInstance inst = hostBlock(kNet);
    block->setExecSysCode(korlix::kExecKvd);
    inst.beginRecordCapture();
    block->writeQRXRecord(&inst.block());
    inst.endRecordCapture();
    ASSERT_FALSE(inst.record().empty());
    EXPECT_NE(inst.record()[0]["text"].get<std::string>().find("NetworkType      \"Channel A\"\n"),
              std::string::npos);
}

// The error injection block stores count and index list separately: a failed list keeps the old list next
// to the new count, and a placeholder label keeps both.
TEST(BlockState, ErrorInjectionCountAndListSurviveFailedSetUps) {
    // the changed fields of one set-up, its error, the index count and list the record's settings give
    // afterwards (as int32, the dialog's 4 7 9 at first)
    using Step = std::tuple<Json, std::string, int, std::string>;
    const std::vector<Step> steps = {
        {Json::object(), "", 3, "SignalsIndexes [4, 7, 9]"},
        {{{"NumberOfSignals", "2"}, {"SignalsIndexes", ""}},
         "Error converting empty string to vector of uint32.",
         2,
         "SignalsIndexes [4, 7]"},
        {{{"FrameLabel", "<>"}, {"NumberOfSignals", "1"}, {"SignalsIndexes", "5"}},
         "",
         2,
         "SignalsIndexes [4, 7]"},
        {{{"NumberOfSignals", "x"}, {"SignalsIndexes", "5"}},
         "Error converting string x to uint32.",
         2,
         "SignalsIndexes [4, 7]"},
        {{{"NumberOfSignals", "1"}, {"SignalsIndexes", "11 12"}}, "", 1, "SignalsIndexes [11]"},
    };
    auto block = korlix::makeErrorInjection();
    for (const auto& [set, error, count, settings] : steps) {
        SCOPED_TRACE(set.dump());
        quonix::BlockInstance inst = hostBlock(kInject, set);
        block->initializeSizes(&inst.block());
        EXPECT_EQ(status(inst.block()), error);
        // The record goes through a block with its work element registered, as after a full set-up.
        quonix::BlockInstance out = hostBlock(kInject);
        korlix::setSizeField(&out.block(), HB_SIZE_NUM_IWORK, 1);
        out.beginRecordCapture();
        block->writeQRXRecord(&out.block());
        out.endRecordCapture();
        const Json calls = recordCalls(out);
        ASSERT_EQ(calls.size(), 10u);
        EXPECT_EQ(calls[8], (Json{{"kind", HB_VALUE_DTYPE_VECT},
                                  {"dataTypeId", HB_DTYPE_INT32},
                                  {"rows", count},
                                  {"columns", 1},
                                  {"line", settings}}));
        EXPECT_EQ(status(out.block()), "");
    }
}

// Data type ids that the dialog's names never lead to: the byte sizes are rebuilt from empty and stop at
// the first id without a size, whose signal both blocks call an input.
TEST(BlockState, ByteSizesStopAtAnUnknownType) {
    using SignalPorts = korlix::PortSide;
    // the inputs marked as signal inputs before the stop
    using Row = std::tuple<const char*, SignalPorts, std::vector<int32_t>, int, std::vector<int8_t>, int>;
    // clang-format off
    const std::vector<Row> rows = {
        {"Pack PDU", SignalPorts::Inputs, {3, 5, 42, 8}, 2, {1, 2}, 2},
        {"Pack PDU", SignalPorts::Inputs, {-1, 3}, 0, {}, 0},
        {"Unpack PDU", SignalPorts::Outputs, {0, 9}, 1, {8}, 0},
    };
    // clang-format on
    for (const auto& [title, side, ids, at, sizes, marked] : rows) {
        SCOPED_TRACE(title);
        quonix::BlockInstance inst = hostBlock(kPack);
        HostBlock& b = inst.block();
        ASSERT_NE(b.setNumInputPorts(&b, static_cast<int32_t>(ids.size())), 0);
        // The byte sizes of an earlier run are emptied first.
        korlix::pdu::SignalLists lists{static_cast<uint32_t>(ids.size()), {}, ids, {}, {4, 4, 4, 4, 4}};
        korlix::ErrorBuffer buffer;
        EXPECT_FALSE(korlix::pdu::rebuildByteSizes(&b, buffer, title, side, "PDU_Body", lists));
        EXPECT_EQ(status(b), std::string("Error in ") + title +
                                 " block for PDU PDU_Body: Unrecognized data type for input number " +
                                 std::to_string(at) + ".\n");
        EXPECT_EQ(lists.byteSizes, sizes);
        Json inputs = Json::array();
        for (std::size_t i = 0; i < ids.size(); ++i) {
            inputs.push_back({{"dataTypeId", -1}, {"width", -1}});
            if (static_cast<int>(i) < marked) {
                inputs.back()["directFeedThrough"] = true;
                inputs.back()["attributes"] = HB_INPUT_ATTRIBUTE_MARKED;
            }
        }
        EXPECT_EQ(korlix_test::ports(inst, "inputs"), inputs);
        EXPECT_EQ(korlix_test::ports(inst, "outputs"), Json::array());
    }
}

}  // namespace
}  // namespace korlix_test
