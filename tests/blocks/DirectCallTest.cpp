// What the stand-in host cannot show, seen by calling block objects directly on its host structures: whether
// size field 22 is set through the host's setter, and the state a later record reads after a failed set-up.
#include <tuple>

#include "BlockFixture.hpp"
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
TEST(BlockState, ModesField) {
    // mask, changed fields, setter offered, setter calls, size field 22
    using Row = std::tuple<const char*, Json, bool, std::vector<int32_t>, int32_t>;
    const Json none = Json::object();
    // clang-format off
    const std::vector<Row> rows = {
        {kCycle, none, true, {0}, 7},   {kCycle, none, false, {}, 7},   {kPoc, none, true, {}, 0},
        {kNet, none, true, {}, 0},      {kInject, none, true, {0}, 0},  {kInject, none, false, {}, 0},
        {kRP, none, true, {0}, 0},      {kRP, none, false, {}, 0},      {kRP, {{"PduLabel", "<>"}}, true, {}, 7},
        {kWP, none, true, {0}, 0},      {kWP, {{"PduLength", ""}}, true, {}, 7},  {kPack, none, true, {}, 0},
        {kUnpack, none, true, {}, 0},   {"KORLIXSignalRead", none, true, {}, 7},
    };
    // clang-format on
    for (const auto& [mask, set, setter, calls, modes] : rows) {
        SCOPED_TRACE(testing::Message() << mask << " " << set.dump() << " setter " << setter);
        quonix::BlockInstance inst = hostBlock(mask, set);
        HostBlock& b = inst.block();
        b.setNumModes = setter ? &recordSetter : nullptr;
        b.sizes[HB_SIZE_NUM_MODES] = 7;
        setterCalls.clear();
        korlix::makeBlockForMaskType(mask)->initializeSizes(&b);
        EXPECT_EQ(setterCalls, calls);
        EXPECT_EQ(b.sizes[HB_SIZE_NUM_MODES], modes);
    }
}

// The error injection block stores count and index list separately: a failed list keeps the old list next
// to the new count, and a placeholder label keeps both.
TEST(BlockState, ErrorInjectionCountAndListSurviveFailedSetUps) {
    // the changed fields of one set-up, its error, the index count and list the record's settings give
    // afterwards (as int32, the dialog's 4 7 9 at first)
    using Step = std::tuple<Json, std::string, int, std::string>;
    // clang-format off
    const std::vector<Step> steps = {
        {Json::object(), "", 3, "SignalsIndexes [4, 7, 9]"},
        {{{"NumberOfSignals", "2"}, {"SignalsIndexes", ""}}, "Error converting empty string to vector of uint32.", 2, "SignalsIndexes [4, 7]"},
        {{{"FrameLabel", "<>"}, {"NumberOfSignals", "1"}, {"SignalsIndexes", "5"}}, "", 2, "SignalsIndexes [4, 7]"},
        {{{"NumberOfSignals", "x"}, {"SignalsIndexes", "5"}}, "Error converting string x to uint32.", 2, "SignalsIndexes [4, 7]"},
        {{{"NumberOfSignals", "1"}, {"SignalsIndexes", "11 12"}}, "", 1, "SignalsIndexes [11]"},
    };
    // clang-format on
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

}  // namespace
}  // namespace korlix_test
