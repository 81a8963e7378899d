// Code-generation records of every block class: whole texts, the pieces that follow them (work-vector
// defines, parameter settings), and what stops them.
#include "BlockFixture.hpp"

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
const std::string kNetRecord = R"(KORLIXSFunParameters {
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
const std::string kSigReadRecord = R"(KORLIXSFunParameters {
        MaskType         "KORLIXSignalRead"
        ConfigValid      1
        SignalName       "EngineSpeed"
        SignalIndex      4
        DataType         "uint16"
        UseCoded         "off"
        EnableRSO        "off"
        EnableVPort      "off"
        SignalGroupIndex 0
        SignalGroupLabel "Motor"
        VXLInitFile      "fr_init.kxt"
        VXLFile          "fr_sig.kxt"
      }
)";
const std::string kSigWriteRecord =
    "KORLIXSFunParameters {\n"
    "        MaskType         \"KORLIXSignalWrite\"\n"
    "        ConfigValid      1\n"
    "        SignalName       \"a \"b\" c\"\n"
    "        SignalIndex      4\n"
    "        DataType         \"uint16\"\n"
    "        UseCoded         \"off\"\n"
    "        EnableTSO        \"on\"\n"
    "\t\tEnableVPort      \"off\"\n"
    "        SignalGroupIndex 0\n"
    "        SignalGroupLabel \"Motor\"\n"
    "        VXLInitFile      \"fr_init.kxt\"\n"
    "        VXLFile          \"fr_sig.kxt\"\n"
    "      }\n";
const std::string kFrameReadRecord = R"(KORLIXSFunParameters {
        MaskType           "ReadFrameSignals"
        DeviceIndex        0
        ConfigValid        1
        FrameLabel         "Status"
        FrameIndex         7
        AccessLevel        "Coded"
        NumberOfSignals    3
        SignalsIndexes     "2 5 9"
        SignalsDTypes      "uint8 A_INT16 boolean"
        EnableUSO          "off"
        EnableVSO          "off"
        VXLInitFile        "fr_init.kxt"
        VXLFile            "fr_frame.kxt"
      }
)";
const std::string kFrameWriteRecord = R"(KORLIXSFunParameters {
        MaskType           "WriteFrameSignals"
        DeviceIndex        0
        ConfigValid        1
        FrameLabel         "Command"
        FrameIndex         7
        AccessLevel        "Coded"
        NumberOfSignals    3
        SignalsIndexes     "2 5 9"
        FrameTiming        "cyclic"
        TriggerEdge        "rising"
        VXLInitFile        "fr_init.kxt"
        VXLFile            "fr_frame.kxt"
      }
)";
const std::string kReadPduRecord = R"(KORLIXSFunParameters {
        MaskType              "FlexRayReadPDU"
        ConfigValid           1
        DeviceIndex           0
        PduLabel            "PDU_Engine"
        PduIndex            4
        PduLength           16
        EnableUSO            "on"
        EnableUpdtBit            "off"
        SignalIndex           2
        VXLInitFile           "fr_init"
        VXLFile               "fr_pdu_read"
      }
)";
const std::string kWritePduRecord = R"(KORLIXSFunParameters {
        MaskType              "FlexRayWritePDU"
        ConfigValid           1
        DeviceIndex           1
        PduLabel            "PDU_Brake"
        PduIndex            7
        PduLength       "16"
        VXLInitFile           "fr_init"
        VXLFile               "fr_pdu_write"
      }
)";
const std::string kPackRecord = R"(KORLIXSFunParameters {
        MaskType           "FlexRayPackPDU"
        ConfigValid        1
        PduLabel         "PDU_Body"
        NumberOfSignals    3
        VXLInitFile        "fr_init"
        VXLFile            "fr_pdu_pack"
      }
)";
const std::string kUnpackRecord = R"(KORLIXSFunParameters {
        MaskType           "FlexRayUnpackPDU"
        ConfigValid        1
        PduLabel         "PDU_Body"
        NumberOfSignals    3
        VXLInitFile        "fr_init"
        VXLFile            "fr_unpack"
      }
)";

// The text with the first `from` of each change replaced by `to`.
Calls with(std::string text, const std::vector<std::pair<std::string, std::string>>& changes) {
    for (const auto& [from, to] : changes) {
        text.replace(text.find(from), from.size(), to);
    }
    return {text};
}
Calls operator+(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
// The integer work-vector defines of the named elements, each of width 1.
Calls defines(const std::vector<std::string>& names) {
    Calls calls = {"6/6/1x1: NumIWorkDefines " + std::to_string(names.size())};
    for (std::size_t i = 0; i < names.size(); ++i) {
        calls = calls + Calls{"IWorkDefine {", "1/0/1x1: Name \"" + names[i] + "\"", "6/6/1x1: Width 1",
                              "6/6/1x1: StartIndex " + std::to_string(i), "}"};
    }
    return calls;
}
// A parameter-settings section of int32 signal indexes.
Calls indexes(int count, const std::string& values) {
    return {"SFcnParamSettings {", "7/6/" + std::to_string(count) + "x1: SignalsIndexes " + values, "}"};
}
// The pack and unpack blocks' settings section: offsets and byte orders as int32, byte sizes as int8.
Calls pduSettings(const std::string& offsets, const std::string& orders, const std::string& sizes,
                  int count = 3) {
    const std::string shape = "/" + std::to_string(count) + "x1: ";
    return {"SFcnParamSettings {", "7/6" + shape + "SignalsOffset " + offsets,
            "7/6" + shape + "SignalsEndianess " + orders, "7/2" + shape + "SignalsDTypeSize " + sizes, "}"};
}
std::string shortList(const char* entry, int have, int count) {
    return std::string("Cannot write ") + entry + ": the block holds " + std::to_string(have) +
           " values but its signal count is " + std::to_string(count) + "; initialise the block again";
}
// A block whose set-up stopped before its work vector was registered.
std::string iworkMismatch(int written) {
    return "Error in ssWriteQRXWorkVect.  The total number of IWorkDefines written to the .qrx file (= " +
           std::to_string(written) +
           "), should be equal to number of IWork (= 0), registered in mdlInitializeSizes";
}

struct RecordRow {
    const char* mask;
    std::string updates;  // as BlockFixture::run takes them; the last one must set up without an error
    int writerResult;     // what the host's record writers answer
    Calls calls;
    std::string error;
};

class BlockRecords : public BlockFixture {
  protected:
    void check(const std::vector<RecordRow>& rows) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const RecordRow& row = rows[i];
            SCOPED_TRACE(testing::Message()
                         << "row " << i << " " << row.mask << " {" << row.updates.substr(0, 60) << "}");
            quonix::BlockInstance& inst = run(row.mask, row.updates);
            ASSERT_EQ(errorText(inst), "");
            inst.setWriterResult(row.writerResult);
            generate(inst);
            EXPECT_EQ(recordCalls(inst), row.calls);
            EXPECT_EQ(errorText(inst), row.error);
        }
    }
};

TEST_F(BlockRecords, NetworkBlocks) {
    const std::string config = "DeviceIndex=2;VXLFile=say \"hi\".vt;";
    const std::string longIndex(200, '7');
    const std::string longFile(9000, 'x');
    const Calls trigger = defines({"PreviousTriggerValue"});
    const Calls prevTrig = defines({"PrevTrigInputVal"});
    // clang-format off
    check({
        {kCfg, config, 1, {kConfigRecord}, ""},
        // The include file name and the record are never cut.
        {kCfg, config + "DeviceIndex=" + longIndex + ";VXLInitFile=" + longFile, 1, with(kConfigRecord,
         {{"DeviceIndex      2", "DeviceIndex      " + longIndex}, {"_2.h", "_" + longIndex + ".h"}, {"init.vt", longFile}}), ""},
        {kCfg, "-StartBusComm;-PCISlot", 1, {}, missing("PCISlot")},
        {kCommit, "", 1, Calls{kCommitRecord} + trigger, ""},
        {kCommit, "", 0, {kCommitRecord}, ""},
        {kCommit, "-FrameLabel;-ConfigValid", 1, {}, missing("ConfigValid")},
        {kPoc, "", 1, {kPocRecord}, ""},
        {kPoc, "-DeviceIndex;-VXLFile", 1, {}, missing("VXLFile")},
        {kCycle, "", 1, {kCycleRecord}, ""},
        {kCycle, "-DeviceIndex;-VXLInitFile", 1, {}, missing("VXLInitFile")},
        {kNet, "", 1, Calls{kNetRecord} + trigger, ""},
        {kNet, "", 0, {kNetRecord}, ""},
        {kNet, "-DeviceIndex;-TriggerEdge", 1, {}, missing("TriggerEdge")},
        {kInject, "", 1, Calls{kInjectRecord} + prevTrig + indexes(3, "[4, 7, 9]"), ""},
        {kInject, "", 0, {kInjectRecord}, ""},
        {kInject, "FrameTiming=Mixed", 1, with(kInjectRecord, {{"event", "Mixed"}}) + prevTrig + indexes(3, "[4, 7, 9]"), ""},
        {kInject, "NumberOfSignals=2", 1, with(kInjectRecord, {{"Signals       3", "Signals       2"}}) + prevTrig +
         indexes(2, "[4, 7]"), ""},
        {kInject, "SignalsIndexes=4,7,9", 1, with(kInjectRecord, {{"4 7 9", "4,7,9"}}) + prevTrig, shortList("SignalsIndexes", 1, 3)},
        {kInject, "FrameLabel=<>", 1, with(kInjectRecord, {{"SteerFrame", "<>"}}) + prevTrig, iworkMismatch(1)},
        {kInject, "-DeviceIndex;-FrameIndex", 1, {}, missing("FrameIndex")},
    });
    // clang-format on
}

TEST_F(BlockRecords, SignalAndFrameBlocks) {
    const Calls twoDefines = defines({"PrevTrigInputVal", "CommitTrigger"});
    // clang-format off
    check({
        {kSR, "", 0, {kSigReadRecord}, ""},
        // Set-up under "host" does not need DataType; the record does.
        {kSR, "-DataType", 1, {}, missing("DataType")},
        {kSR, "-VXLFile;-EnableVPort", 1, {}, missing("EnableVPort")},
        {kSW, "SignalName=a \"b\" c", 1, {kSigWriteRecord}, ""},
        {kSW, "-VXLFile;-EnableTSO", 1, {}, missing("EnableTSO")},
        {kFR, "", 1, Calls{kFrameReadRecord} + indexes(3, "[2, 5, 9]"), ""},
        {kFR, "", 0, {kFrameReadRecord}, ""},
        {kFR, "SignalsIndexes=4294967295 1 2", 1, with(kFrameReadRecord, {{"2 5 9", "4294967295 1 2"}}) +
         indexes(3, "[-1, 1, 2]"), ""},
        {kFR, "SignalsIndexes=4", 1, with(kFrameReadRecord, {{"2 5 9", "4"}}), shortList("SignalsIndexes", 1, 3)},
        // A failed check keeps the list of the update before; a placeholder update keeps it too but stores its count.
        {kFR, "|SignalsIndexes=7 7 7;SignalsDTypes=uint8|FrameLabel=<>;NumberOfSignals=2;SignalsIndexes=8 8", 1,
         with(kFrameReadRecord, {{"Status", "<>"}, {"Signals    3", "Signals    2"}, {"2 5 9", "8 8"}}) +
         indexes(2, "[2, 5]"), ""},
        {kFR, "-DeviceIndex;-VXLFile", 1, {}, missing("VXLFile")},
        {kFW, "FrameTiming=mixed;SignalsIndexes=2 5 9 11", 1, with(kFrameWriteRecord, {{"cyclic", "event"},
         {"2 5 9", "2 5 9 11"}}) + twoDefines + indexes(3, "[2, 5, 9]"), ""},
        // Stopped at a placeholder before the work vector was registered: the defines fail, the settings follow.
        {kFW, "|SignalsIndexes=|FrameLabel=<>;SignalsIndexes=1", 1, with(kFrameWriteRecord, {{"Command", "<>"},
         {"2 5 9", "1"}}) + twoDefines + indexes(3, "[2, 5, 9]"), iworkMismatch(2)},
        // A refusing writer: each of the three pieces is still tried.
        {kFW, "", 0, {kFrameWriteRecord, "6/6/1x1: NumIWorkDefines 2", "SFcnParamSettings {"}, ""},
        {kFW, "-DeviceIndex;-TriggerEdge", 1, {}, missing("TriggerEdge")},
    });
    // clang-format on
}

TEST_F(BlockRecords, PduBlocks) {
    const Calls full = pduSettings("[0, 8, 24]", "[0, 0, 1]", "[1, 2, 1]");
    const std::pair<std::string, std::string> toPlaceholder = {"PDU_Body", "<>"};
    const auto count = [](const char* n) {
        return std::pair<std::string, std::string>{"    3\n", "    " + std::string(n) + "\n"};
    };
    // clang-format off
    check({
        {kRP, "PduLength=16;EnableUSO=on", 1, {kReadPduRecord}, ""},
        {kRP, "-DeviceIndex;~VXLFile", 1, {}, missing("VXLFile")},
        {kWP, "PduLength=16", 1, {kWritePduRecord}, ""},
        {kWP, "-DeviceIndex;-PduIndex", 1, {}, missing("PduIndex")},
        {kPack, "", 1, Calls{kPackRecord} + full, ""},
        {kPack, "", 0, {kPackRecord}, ""},
        {kUnpack, "VXLFile=fr_unpack", 1, Calls{kUnpackRecord} + full, ""},
        {kUnpack, "-VXLFile;-VXLInitFile", 1, {}, missing("VXLInitFile")},
        // Unsigned values go out as int32; the byte sizes are rebuilt by every set-up.
        {kPack, "|SignalsOffsets=4294967295 2147483648 3;SignalsEndianess=0 1 4294967294;SignalsDTypes=int32 A_INT16 uint32",
         1, Calls{kPackRecord} + pduSettings("[-1, -2147483648, 3]", "[0, 1, -2]", "[4, 2, 4]"), ""},
        {kPack, "NumberOfSignals=0;SignalsDTypes= ;SignalsOffsets= ;SignalsEndianess=x", 1, with(kPackRecord, {count("0")}) +
         pduSettings("[]", "[]", "[]", 0), ""},
        // Lists are replaced only once checked (the byte sizes at the very end); the count stays after a
        // placeholder label or a refused port count.
        {kPack, "|SignalsDTypes=int32 int32 int32;SignalsOffsets=1 2|PduLabel=<>", 1, with(kPackRecord, {toPlaceholder}) + full, ""},
        {kPack, "|PduLabel=<>;NumberOfSignals=5", 1, with(kPackRecord, {toPlaceholder, count("5")}) + full, ""},
        {kPack, "|NumberOfSignals=3000", 1, with(kPackRecord, {count("3000")}) + full, ""},
        {kPack, "|NumberOfSignals=2147483648", 1, with(kPackRecord, {count("2147483648")}) + full, ""},
        {kUnpack, "VXLFile=fr_unpack|VXLFile=fr_unpack;NumberOfSignals=4294967295", 1, with(kUnpackRecord, {count("4294967295")}) + full, ""},
        // The stored count outgrew a list: the record is written, no settings, and the short entry is named.
        {kPack, "|sizes:NumberOfSignals=4", 1, with(kPackRecord, {count("4")}), shortList("SignalsOffset", 3, 4)},
        {kPack, "SignalsDTypes=uint8|PduLabel=<>", 1, with(kPackRecord, {toPlaceholder}), shortList("SignalsOffset", 0, 3)},
        {kPack, "|NumberOfSignals=4;SignalsDTypes=int8 int8 int8 int8;SignalsOffsets=1 2 3 4|PduLabel=<>;NumberOfSignals=4",
         1, with(kPackRecord, {toPlaceholder, count("4")}), shortList("SignalsEndianess", 3, 4)},
    });
    // clang-format on
}

}  // namespace
}  // namespace korlix_test
