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

// Size field 22 goes through the host's setter (when it has one), directly, or both, as each class does it;
// rows of setup_cases.json, with size field 22 at 7 before the set-up.
TEST(BlockState, ModesField) {
    for (const Json& row : caseGroup("setup_cases.json", "modes field")) {
        SCOPED_TRACE(row.dump());
        quonix::BlockInstance inst = hostBlock(row["mask"], row.value("set", Json::object()));
        HostBlock& b = inst.block();
        b.setNumModes = row["setter"] ? &recordSetter : nullptr;
        b.sizes[HB_SIZE_NUM_MODES] = 7;
        setterCalls.clear();
        korlix::makeBlockForMaskType(row["mask"])->initializeSizes(&b);
        EXPECT_EQ(setterCalls, row["setterCalls"].get<std::vector<int32_t>>());
        EXPECT_EQ(b.sizes[HB_SIZE_NUM_MODES], row["modesAfter"]);
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
        quonix::BlockInstance inst = hostBlock("ErrorInjection", set);
        block->initializeSizes(&inst.block());
        EXPECT_EQ(status(inst.block()), error);
        // The record goes through a block with its work element registered, as after a full set-up.
        quonix::BlockInstance out = hostBlock("ErrorInjection");
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
