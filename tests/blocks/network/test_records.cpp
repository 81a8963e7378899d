// Code-generation records of the network-level blocks: whole texts, the pieces that follow them, and the
// errors that stop them.
#include "NetworkFixture.hpp"

namespace korlix_test {
namespace {

using Calls = std::vector<std::string>;

const std::string kConfigRecord = R"(KORLIXSFunParameters {
        MaskType         "KORLIXConfig"
        StartBusComm     "on"
        ConfigValid      1
        BuildQW4400      "on"
        BuildQW1400      "off"
        BuildQW3400      "off"
        MaxIterations    50
        DeviceIndex      2
        PCIBus           3
        PCISlot          7
        VXLInitFile      "init.vt"
        VXLFile          "say "hi".vt"
        vqc_include_file "Firmware_2.h"
        ErrorOut         "on"
      }
)";
const std::string kCommitRecord = R"(KORLIXSFunParameters {
        MaskType     "KORLIXCommitFrame"
        TriggerType  "edge"
        TriggerEdge  "rising"
        FrameIndex   "12"
        FrameLabel   "BrakeFrame"
        ConfigValid    1
        VXLInitFile   "init.vt"
        VXLFile       "commit.vt"
        DeviceIndex    0
      }
)";
const std::string kPocRecord = R"(KORLIXSFunParameters {
        MaskType         "KORLIXPOCStatus"
        DeviceIndex      1
        StatusVar        "POCState"
        CtrlIndex        2
        ConfigValid      1
        VXLInitFile      "init.vt"
        VXLFile          "status.vt"
      }
)";
const std::string kCycleRecord = R"(KORLIXSFunParameters {
        MaskType         "ReadCycleCount"
        DeviceIndex      1
        ConfigValid      1
        VXLInitFile      "init.vt"
        VXLFile          "status.vt"
      }
)";
const std::string kStartStopRecord = R"(KORLIXSFunParameters {
        MaskType         "KORLIXStartStopNetwork"
        DeviceIndex      0
        ConfigValid      1
        NetworkAction    "start"
        NetworkType      "Channel A"
        TriggerEdge      "falling"
        VXLInitFile      "init.vt"
        VXLFile          "net.vt"
      }
)";
const std::string kInjectRecord = R"(KORLIXSFunParameters {
        MaskType              "ErrorInjection"
        ConfigValid           1
        DeviceIndex           0
        FrameLabel            "SteerFrame"
        FrameIndex            4
        ActionToPerform       "disable"
        DisableFrameMethod    "once"
        NumberOfSignals       3
        SignalsIndexes        "4 7 9"
        FrameTiming           "event"
        VXLInitFile           "init.vt"
        VXLFile               "inject.vt"
      }
)";

// The text with each `from` replaced by `to`, for records that differ from the ones above in a value or two.
std::string with(std::string text, const std::vector<std::pair<std::string, std::string>>& changes) {
    for (const auto& [from, to] : changes) {
        text.replace(text.find(from), from.size(), to);
    }
    return text;
}
Calls operator+(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Calls workVector(const std::string& name) {
    return {"NumIWorkDefines 1", "IWorkDefine {", "Name \"" + name + "\"", "Width 1", "StartIndex 0", "}"};
}
const Calls kTrigger = workVector("PreviousTriggerValue");
const Calls kPrevTrig = workVector("PrevTrigInputVal");
Calls settings(const std::string& values) {
    return {"SFcnParamSettings {", "SignalsIndexes " + values, "}"};
}

struct RecordCase {
    std::string maskType;
    std::string edits;
    Calls calls;
    std::string error;
    std::string sysType = "host";
};

class NetworkRecords : public HostFixture {};

TEST_F(NetworkRecords, WholeRecordsAndStops) {
    const std::string config = "DeviceIndex=2;VXLFile=say \"hi\".vt;";
    const std::string longIndex(200, '7');
    const std::string longFile(9000, 'x');
    const std::vector<RecordCase> cases = {
        {"KORLIXConfig", config, {kConfigRecord}, ""},
        {"KORLIXConfig",
         config + "DeviceIndex=" + longIndex,
         {with(kConfigRecord,
               {{"DeviceIndex      2", "DeviceIndex      " + longIndex}, {"_2.h", "_" + longIndex + ".h"}})},
         ""},
        {"KORLIXConfig",
         config + "VXLInitFile=" + longFile,
         {with(kConfigRecord, {{"init.vt", longFile}})},
         ""},
        {"KORLIXConfig", config + "-PCISlot", {}, missing("PCISlot")},
        {"KORLIXCommitFrame", "", Calls{kCommitRecord} + kTrigger, ""},
        {"KORLIXCommitFrame", "-FrameLabel", {}, missing("FrameLabel")},
        {"KORLIXPOCStatus", "", {kPocRecord}, ""},
        {"KORLIXPOCStatus", "-StatusVar", {}, missing("StatusVar")},
        {"ReadCycleCount", "", {kCycleRecord}, ""},
        {"KORLIXStartStopNetwork", "", Calls{kStartStopRecord} + kTrigger, ""},
        // A "kvd" build is not known to the block: the dialog's NetworkType is read and written there too.
        {"KORLIXStartStopNetwork", "", Calls{kStartStopRecord} + kTrigger, "", "kvd"},
        {"KORLIXStartStopNetwork", "-NetworkType", {}, missing("NetworkType"), "kvd"},
        {"KORLIXStartStopNetwork", "-DeviceIndex;-TriggerEdge", {}, missing("TriggerEdge")},
        {"ErrorInjection", "", Calls{kInjectRecord} + kPrevTrig + settings("[4, 7, 9]"), ""},
        {"ErrorInjection", "FrameTiming=Mixed",
         Calls{with(kInjectRecord, {{"event", "Mixed"}})} + kPrevTrig + settings("[4, 7, 9]"), ""},
        {"ErrorInjection", "NumberOfSignals=2",
         Calls{with(kInjectRecord, {{"NumberOfSignals       3", "NumberOfSignals       2"}})} + kPrevTrig +
             settings("[4, 7]"),
         ""},
        {"ErrorInjection", "SignalsIndexes=4,7,9",
         Calls{with(kInjectRecord, {{"4 7 9", "4,7,9"}})} + kPrevTrig,
         "Cannot write SignalsIndexes: the block holds 1 values but its signal count is 3; "
         "initialise the block again"},
        // Set-up ends at the placeholder before the work element is registered, so its defines do not match.
        {"ErrorInjection", "FrameLabel=<>", Calls{with(kInjectRecord, {{"SteerFrame", "<>"}})} + kPrevTrig,
         "Error in ssWriteQRXWorkVect.  The total number of IWorkDefines written to the .qrx file (= 1), "
         "should be equal to number of IWork (= 0), registered in mdlInitializeSizes"},
        {"ErrorInjection", "-DeviceIndex;-FrameIndex", {}, missing("FrameIndex")},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const RecordCase& c = cases[i];
        SCOPED_TRACE(c.maskType + " {" + c.edits.substr(0, 60) + "} " + c.sysType);
        const std::string name = "b" + std::to_string(i);
        addBlock(c.maskType, edited(fullDialog(c.maskType), c.edits), 0.01, name).executionSystem =
            quonix::ExecSysAnswer{"", "", c.sysType};
        quonix::BlockInstance& inst = initializeWithSampleTimes(name);
        ASSERT_EQ(errorText(inst), "");
        generate(inst);
        EXPECT_EQ(recordCalls(inst), c.calls);
        EXPECT_EQ(errorText(inst), c.error);
    }
}

TEST_F(NetworkRecords, SignalIndexesAreInt32Settings) {
    addBlock("ErrorInjection", fullDialog("ErrorInjection"), 0.01, "inject");
    quonix::BlockInstance& inst = initialize("inject");
    generate(inst);
    ASSERT_EQ(inst.record().size(), 10u);
    EXPECT_EQ(inst.record()[8]["pair"], (nlohmann::json{{"kind", 7},
                                                        {"name", "SignalsIndexes"},
                                                        {"value", {4, 7, 9}},
                                                        {"dataTypeId", 6},
                                                        {"rows", 3},
                                                        {"columns", 1}}));
}

// A record text the host refuses ends the record: no work-vector defines, no parameter settings.
TEST_F(NetworkRecords, NothingFollowsARefusedText) {
    for (const std::string maskType : {"KORLIXCommitFrame", "KORLIXStartStopNetwork", "ErrorInjection"}) {
        SCOPED_TRACE(maskType);
        addBlock(maskType, fullDialog(maskType), 0.01, maskType);
        quonix::BlockInstance& inst = initialize(maskType);
        inst.setWriterResult(0);
        generate(inst);
        ASSERT_EQ(inst.record().size(), 1u);
        EXPECT_TRUE(inst.record()[0].contains("text"));
        EXPECT_EQ(errorText(inst), "");
    }
}

}  // namespace
}  // namespace korlix_test
