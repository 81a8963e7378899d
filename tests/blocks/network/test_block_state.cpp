// What the network-level block objects keep and set, seen by calling the objects directly on host
// structures of the stand-in host.
#include "NetworkFixture.hpp"
#include "blocks/BlockFactories.hpp"
#include "framework/HostInterface.hpp"

namespace korlix_test {
namespace {

std::unique_ptr<quonix::BlockInstance> hostBlock(const std::string& maskType, const Params& dialog,
                                                 quonix::HostSettings settings = {}) {
    quonix::BlockSpec described;
    described.name = maskType;
    described.maskType = maskType;
    described.parameters = toFields(dialog);
    return std::make_unique<quonix::BlockInstance>(described, settings);
}

std::string status(quonix::BlockInstance& inst) {
    const char* text = korlix::getErrorStatus(&inst.block());
    return text != nullptr ? text : "";
}

// The execution-system code: 0 after every size set-up, 1 once the dispatcher calls initializeForHost.
TEST(StartStopNetworkState, ExecutionSystemCode) {
    auto block = korlix::makeStartStopNetwork();
    auto inst = hostBlock("KORLIXStartStopNetwork", fullDialog("KORLIXStartStopNetwork"));
    block->setExecSysCode(korlix::kExecKvd);
    block->initializeSizes(&inst->block());
    EXPECT_EQ(block->execSysCode(), korlix::kExecNone);
    block->initializeForHost(&inst->block());
    EXPECT_EQ(block->execSysCode(), korlix::kExecHost);
    block->initializeSizes(&inst->block());
    EXPECT_EQ(block->execSysCode(), korlix::kExecNone);

    // Even with the "kvd" code set from outside, the record takes NetworkType from the dialog.
    block->setExecSysCode(korlix::kExecKvd);
    inst->beginRecordCapture();
    block->writeQRXRecord(&inst->block());
    inst->endRecordCapture();
    ASSERT_FALSE(inst->record().empty());
    EXPECT_NE(inst->record()[0]["text"].get<std::string>().find("NetworkType      \"Channel A\"\n"),
              std::string::npos);
}

// Size field 22 goes through the host's setter only in ReadCycleCount: without a setter it keeps what the
// host had there; the other classes write it directly.
TEST(NetworkBlockState, ModesFieldWithoutHostSetter) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"ReadCycleCount", 5}, {"KORLIXPOCStatus", 0}, {"KORLIXStartStopNetwork", 0}, {"ErrorInjection", 0}};
    for (const auto& [maskType, modes] : cases) {
        SCOPED_TRACE(maskType);
        auto block = korlix::makeBlockForMaskType(maskType);
        auto inst =
            hostBlock(maskType, fullDialog(maskType), quonix::HostSettings{.provideSetNumModes = false});
        inst->block().sizes[HB_SIZE_NUM_MODES] = 5;
        block->initializeSizes(&inst->block());
        EXPECT_EQ(status(*inst), "");
        EXPECT_EQ(inst->block().sizes[HB_SIZE_NUM_MODES], modes);
    }
}

struct StateStep {
    std::string edits;       // of the full dialog, for this set-up
    std::string setupError;  // expected from this set-up
    std::string settings;    // the parameter settings a record writes afterwards
};

// Count and index list are stored separately: a failed list keeps the old list next to the new count, and a
// placeholder label keeps both.
TEST(ErrorInjectionState, CountAndListSurviveFailedSetups) {
    const std::vector<StateStep> steps = {
        {"", "", "SignalsIndexes [4, 7, 9]"},
        {"NumberOfSignals=2;SignalsIndexes=", "Error converting empty string to vector of uint32.",
         "SignalsIndexes [4, 7]"},
        {"FrameLabel=<>;NumberOfSignals=1;SignalsIndexes=5", "", "SignalsIndexes [4, 7]"},
        {"NumberOfSignals=x;SignalsIndexes=5", "Error converting string x to uint32.",
         "SignalsIndexes [4, 7]"},
        {"NumberOfSignals=1;SignalsIndexes=11 12", "", "SignalsIndexes [11]"},
    };
    auto block = korlix::makeErrorInjection();
    for (const StateStep& step : steps) {
        SCOPED_TRACE(step.edits);
        auto inst = hostBlock("ErrorInjection", edited(fullDialog("ErrorInjection"), step.edits));
        block->initializeSizes(&inst->block());
        EXPECT_EQ(status(*inst), step.setupError);

        // The record goes through a block with its work element registered, as after a full set-up.
        auto out = hostBlock("ErrorInjection", fullDialog("ErrorInjection"));
        korlix::setNumIWork(&out->block(), 1);
        out->beginRecordCapture();
        block->writeQRXRecord(&out->block());
        out->endRecordCapture();
        ASSERT_EQ(out->record().size(), 10u);
        EXPECT_EQ(quonix::renderRecordPair(out->record()[8]["pair"]), step.settings);
        EXPECT_EQ(status(*out), "");
    }
}

}  // namespace
}  // namespace korlix_test
