// The signal and frame signal blocks driven through the stand-in host: ports under each execution system and
// dialog, the set-up messages, sample times and closing words, and each record with what follows it.
#include <optional>
#include <string>

#include "HostFixture.hpp"

namespace korlix_test {
namespace {

const char* const kSR = "KORLIXSignalRead";
const char* const kSW = "KORLIXSignalWrite";
const char* const kFR = "ReadFrameSignals";
const char* const kFW = "WriteFrameSignals";
const char* const kDrop = "\x02<drop>";  // in a change list: take the field away

Params with(Params params, const Params& changes) {
    for (const auto& [name, text] : changes) {
        std::erase_if(params, [&name](const auto& field) { return field.first == name; });
        if (text != kDrop) {
            params.emplace_back(name, text);
        }
    }
    return params;
}

// clang-format off
const Params kSigRead = {{"MaskType", kSR}, {"ConfigValid", "1"}, {"SignalName", "EngineSpeed"}, {"SignalIndex", "4"},
    {"DataType", "uint16"}, {"UseCoded", "off"}, {"EnableRSO", "off"}, {"EnableVPort", "off"},
    {"SignalGroupIndex", "0"}, {"SignalGroupLabel", "Motor"}, {"VXLInitFile", "fr_init.kxt"}, {"VXLFile", "fr_sig.kxt"}};
const Params kSigWrite = with(kSigRead, {{"MaskType", kSW}, {"EnableRSO", kDrop}, {"EnableTSO", "on"}});
const Params kFrameRead = {{"MaskType", kFR}, {"ConfigValid", "1"}, {"DeviceIndex", "0"}, {"FrameLabel", "Status"},
    {"FrameIndex", "7"}, {"AccessLevel", "Coded"}, {"NumberOfSignals", "3"}, {"SignalsIndexes", "2 5 9"},
    {"SignalsDTypes", "uint8 A_INT16 boolean"}, {"EnableUSO", "off"}, {"EnableVSO", "off"},
    {"VXLInitFile", "fr_init.kxt"}, {"VXLFile", "fr_frame.kxt"}};
const Params kFrameWrite = with(kFrameRead, {{"MaskType", kFW}, {"FrameLabel", "Command"}, {"EnableUSO", kDrop},
    {"EnableVSO", kDrop}, {"FrameTiming", "cyclic"}, {"TriggerEdge", "rising"}});

const std::string kSigReadRecord =
    "KORLIXSFunParameters {\n"
    "        MaskType         \"KORLIXSignalRead\"\n"
    "        ConfigValid      1\n"
    "        SignalName       \"EngineSpeed\"\n"
    "        SignalIndex      4\n"
    "        DataType         \"uint16\"\n"
    "        UseCoded         \"off\"\n"
    "        EnableRSO        \"off\"\n"
    "        EnableVPort      \"off\"\n"
    "        SignalGroupIndex 0\n"
    "        SignalGroupLabel \"Motor\"\n"
    "        VXLInitFile      \"fr_init.kxt\"\n"
    "        VXLFile          \"fr_sig.kxt\"\n"
    "      }\n";
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

// The frame blocks' record for the base dialogs, with the given label, count, timing and index text.
std::string frameRecord(const char* mask, const std::string& label, const std::string& count, const char* timing,
                        const std::string& indexes = "2 5 9") {
    return std::string("KORLIXSFunParameters {\n") +
        "        MaskType           \"" + mask + "\"\n"
        "        DeviceIndex        0\n"
        "        ConfigValid        1\n"
        "        FrameLabel         \"" + label + "\"\n"
        "        FrameIndex         7\n"
        "        AccessLevel        \"Coded\"\n"
        "        NumberOfSignals    " + count + "\n"
        "        SignalsIndexes     \"" + indexes + "\"\n" +
        (mask == kFR ? std::string("        SignalsDTypes      \"uint8 A_INT16 boolean\"\n"
                                   "        EnableUSO          \"off\"\n"
                                   "        EnableVSO          \"off\"\n")
                     : std::string("        FrameTiming        \"") + timing + "\"\n"
                                   "        TriggerEdge        \"rising\"\n") +
        "        VXLInitFile        \"fr_init.kxt\"\n"
        "        VXLFile            \"fr_frame.kxt\"\n"
        "      }\n";
}
const std::vector<std::string> kIWorkDefines = {"6/6/1x1: NumIWorkDefines 2", "IWorkDefine {",
    "1/0/1x1: Name \"PrevTrigInputVal\"", "6/6/1x1: Width 1", "6/6/1x1: StartIndex 0", "}", "IWorkDefine {",
    "1/0/1x1: Name \"CommitTrigger\"", "6/6/1x1: Width 1", "6/6/1x1: StartIndex 1", "}"};
// clang-format on

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> pieces) {
    std::vector<std::string> all;
    for (const auto& piece : pieces) {
        all.insert(all.end(), piece.begin(), piece.end());
    }
    return all;
}
std::vector<std::string> settings(const std::string& pair) {
    return {"SFcnParamSettings {", pair, "}"};
}

// "in[id:width(f) ...] out[id:width ...]", f marking direct feed-through.
std::string ports(const quonix::BlockInstance& inst) {
    const auto report = inst.report();
    auto list = [](const nlohmann::json& ports) {
        std::string text;
        for (const auto& port : ports) {
            text += (text.empty() ? "" : " ") + std::to_string(port["dataTypeId"].get<int>()) + ":" +
                    std::to_string(port["width"].get<int>()) +
                    (port.value("directFeedThrough", false) ? "f" : "");
        }
        return text;
    };
    return "in[" + list(report["inputs"]) + "] out[" + list(report["outputs"]) + "]";
}

// Each record call: a text as handed over; a pair as "kind/data type/rows x columns: rendered pair".
std::vector<std::string> recordCalls(const quonix::BlockInstance& inst) {
    std::vector<std::string> calls;
    for (const auto& entry : inst.record()) {
        if (entry.contains("text")) {
            calls.push_back(entry["text"].get<std::string>());
            continue;
        }
        const auto& pair = entry["pair"];
        calls.push_back(std::to_string(pair["kind"].get<int>()) + "/" +
                        std::to_string(pair["dataTypeId"].get<int>()) + "/" +
                        std::to_string(pair["rows"].get<int>()) + "x" +
                        std::to_string(pair["columns"].get<int>()) + ": " + quonix::renderRecordPair(pair));
    }
    return calls;
}

// How the host presents a block beyond its dialog.
struct HostCase {
    const char* sys = "host";
    int paramCount = 2;
    bool emptyStruct = false;
    bool sizesOnly = false;
    int maxPorts = 1024;
};

const std::string kMissing = "Unable to find variable or field \"";
const std::string kNotFound = "\" in the s-function parameters";
const std::string kUnsupported = "Unsupported data type found: \"";
const std::string kShortList = "Cannot write SignalsIndexes: the block holds ";
const std::string kIWorkMismatch =
    "Error in ssWriteQRXWorkVect.  The total number of IWorkDefines written to the .qrx file (= 2), should "
    "be "
    "equal to number of IWork (= 0), registered in mdlInitializeSizes";

class SignalBlocks : public HostFixture {
  protected:
    static Params base(const std::string& mask) {
        return mask == kSR ? kSigRead : mask == kSW ? kSigWrite : mask == kFR ? kFrameRead : kFrameWrite;
    }
    auto& add(const std::string& mask, const Params& changes, const HostCase& host = {},
              double sampleTime = -1.0) {
        auto& entry = addBlock(mask, with(base(mask), changes), sampleTime);
        entry.executionSystem = quonix::ExecSysAnswer{"", "rt", host.sys};
        entry.parameterCount = host.paramCount;
        if (host.emptyStruct) {
            entry.parameters = std::nullopt;
        }
        settings_.sizesOnly = host.sizesOnly;
        settings_.maxPorts = host.maxPorts;
        return entry;
    }
    // A model update after the user edited the dialog: the block object is the one of the update before.
    quonix::BlockInstance& update(auto& entry, const Params& changes) {
        entry.parameters = toFields(with(base(*entry.maskType), changes));
        return initializeWithSampleTimes(entry.name);
    }
};

TEST_F(SignalBlocks, PortsAndSetUpMessages) {
    struct Row {
        const char* mask;
        Params changes;
        HostCase host;
        std::string ports;
        std::string error;
    } rows[] = {
        // clang-format off
        {kSR, {}, {}, "in[] out[0:1]", ""},
        {kSR, {{"EnableRSO", "on"}}, {}, "in[] out[0:1 7:1]", ""},
        {kSR, {{"EnableRSO", "On"}, {"DataType", kDrop}}, {}, "in[] out[0:1]", ""},
        {kSR, {{"UseCoded", "ON"}, {"DataType", "bogus"}}, {.sys = "opalrt"}, "in[] out[0:1]", ""},
        {kSR, {{"UseCoded", "on"}, {"DataType", "A_INT16"}}, {.sys = "kvd"}, "in[] out[4:1]", ""},
        {kSR, {{"DataType", "uint8"}, {"EnableRSO", "on"}}, {.sys = "wqm"}, "in[] out[3:1 7:1]", ""},
        {kSR, {{"DataType", "double"}}, {.sys = "wqm"}, "in[] out[-1:1]", kUnsupported + "double\""},
        {kSR, {{"DataType", "Int16"}}, {.sys = "wqm"}, "in[] out[-1:1]", kUnsupported + "Int16\""},
        {kSR, {{"DataType", kDrop}}, {.sys = "wqm"}, "in[] out[-1:1]", kMissing + "DataType" + kNotFound},
        // A message longer than its buffer keeps its first 1023 characters.
        {kSR, {{"DataType", std::string(2000, 'x')}}, {.sys = "wqm"}, "in[] out[-1:1]", kUnsupported + std::string(993, 'x')},
        {kSR, {{"UseCoded", kDrop}, {"EnableRSO", kDrop}}, {}, "in[] out[]", kMissing + "UseCoded" + kNotFound},
        {kSR, {{"EnableRSO", kNoText}}, {.paramCount = 3}, "in[] out[]", kMissing + "EnableRSO" + kNotFound},
        {kSW, {{"EnableVPort", "on"}}, {.paramCount = 1}, "in[0:1f 8:1f] out[]", ""},
        {kSW, {{"DataType", "int16"}}, {.sys = "wqm"}, "in[4:1f] out[]", ""},
        {kSW, {{"UseCoded", "on"}, {"DataType", "boolean"}, {"EnableVPort", "on"}}, {}, "in[8:1f 8:1f] out[]", ""},
        {kSW, {{"DataType", ""}}, {.sys = "wqm"}, "in[-1:1] out[]", kUnsupported + "\""},
        {kSW, {{"EnableVPort", kDrop}}, {}, "in[] out[]", kMissing + "EnableVPort" + kNotFound},
        {kFR, {}, {}, "in[] out[3:1 4:1 8:1]", ""},
        {kFR, {{"EnableUSO", "on"}}, {}, "in[] out[3:1 4:1 8:1 8:1]", ""},
        {kFR, {{"EnableUSO", "on"}, {"EnableVSO", "on"}, {"AccessLevel", "coded"}, {"SignalsDTypes", "junk"}}, {},
         "in[] out[0:1 0:1 0:1 8:1 8:1]", ""},
        {kFR, {{"SignalsDTypes", kDrop}}, {.sizesOnly = true}, "in[] out[0:1 0:1 0:1]", ""},
        {kFR, {{"SignalsDTypes", "uint8 int8"}}, {}, "in[] out[-1:1 -1:1 -1:1]", "Error converting block data type string "
         "uint8 int8 in identifier: The length of the obtained identifiers vector 2 is not equal to the number of signals 3 "
         "(value read 3)\n"},
        {kFR, {{"SignalsDTypes", "uint8 double int8"}}, {}, "in[] out[-1:1 -1:1 -1:1]",
         "Cannot convert following data type from string to Tarvel data type identifier: double"},
        {kFR, {{"FrameLabel", "<No receive frame found>"}, {"SignalsIndexes", kDrop}}, {}, "in[] out[-1:1 -1:1 -1:1]", ""},
        {kFR, {{"FrameLabel", "<No configuration data found>"}}, {}, "in[] out[-1:1 -1:1 -1:1]", ""},
        {kFR, {{"FrameLabel", "<No transmit frame found>"}, {"SignalsIndexes", "4"}}, {}, "in[] out[3:1 4:1 8:1]", ""},
        {kFR, {{"NumberOfSignals", ""}}, {}, "in[] out[]", "Error converting empty string to uint32."},
        {kFR, {{"SignalsIndexes", ""}}, {}, "in[] out[3:1 4:1 8:1]", "Error converting empty string to vector of uint32."},
        {kFR, {{"EnableVSO", kDrop}, {"FrameLabel", kDrop}}, {}, "in[] out[]", kMissing + "EnableVSO" + kNotFound},
        // More signals than a host port count can hold: the largest count is asked for, and refused.
        {kFR, {{"NumberOfSignals", "4294967295"}, {"EnableUSO", "on"}, {"EnableVSO", "on"}}, {}, "in[] out[]", ""},
        {kFR, {}, {.maxPorts = 2}, "in[] out[]", ""},
        {kFR, {}, {.paramCount = 3}, "in[] out[]", "2 input args expected, 3 passed"},
        {kFR, {}, {.emptyStruct = true}, "in[] out[0:1]", ""},
        {kFW, {}, {}, "in[3:1f 4:1f 8:1f] out[]", ""},
        {kFW, {{"FrameTiming", "event"}}, {}, "in[3:1f 4:1f 8:1f 8:1f] out[]", ""},
        {kFW, {{"FrameTiming", "mixed"}, {"AccessLevel", "Raw"}}, {}, "in[0:1f 0:1f 0:1f 8:1f] out[]", ""},
        {kFW, {{"FrameTiming", "event"}, {"SignalsDTypes", kDrop}}, {.sizesOnly = true}, "in[0:1f 0:1f 0:1f 8:1f] out[]", ""},
        {kFW, {{"FrameTiming", "Cyclic"}}, {}, "in[] out[]",
         "Invalid frame timing type found (Cyclic). Expected values are 'event' or 'cyclic' or 'mixed'.\n"},
        {kFW, {{"SignalsDTypes", "uint8"}}, {}, "in[-1:1 -1:1 -1:1] out[]", "Error converting block data type string "
         "(\"uint8\") in identifier: The length of the obtained identifiers vector (= 1) is not equal to the number of "
         "signals (= 3) \n"},
        {kFW, {{"FrameLabel", "<No transmit frame found>"}, {"AccessLevel", kDrop}}, {}, "in[] out[]", ""},
        {kFW, {{"FrameLabel", "<No configuration data found>"}}, {}, "in[] out[]", ""},
        {kFW, {{"FrameLabel", "<No receive frame found>"}}, {}, "in[3:1f 4:1f 8:1f] out[]", ""},
        {kFW, {{"FrameLabel", kDrop}, {"ConfigValid", kDrop}}, {}, "in[] out[]", kMissing + "ConfigValid" + kNotFound},
        {kFW, {{"SignalsIndexes", kNoText}}, {}, "in[3:1f 4:1f 8:1f] out[]", kMissing + "SignalsIndexes" + kNotFound},
        {kFW, {}, {.paramCount = 1}, "in[] out[]", "2 input args expected, 1 passed"},
        {kFW, {}, {.emptyStruct = true}, "in[0:1] out[]", ""},
        // clang-format on
    };
    for (const Row& row : rows) {
        auto& inst = initialize(add(row.mask, row.changes, row.host).name);
        SCOPED_TRACE(testing::Message() << "row " << (&row - rows) << " " << row.mask << " " << row.host.sys);
        EXPECT_EQ(ports(inst), row.ports);
        EXPECT_EQ(errorText(inst), row.error);
    }
}

// The signal blocks always inherit, with offset 0, and leave the flag word but for the sample-time bits; the
// frame blocks follow the dialog and end with the common closing words.
TEST_F(SignalBlocks, SampleTimesAndClosingWords) {
    struct Row {
        const char* mask;
        double sampleTime, period, offset;
        uint32_t flagBits;  // of 0x781800
        uint32_t options;   // the host adds 0x2000 after the set-up
        int iwork;
    } rows[] = {
        {kSR, -1.0, -1.0, 0.0, 0x800, 0x82020, 0},     {kSR, 0.01, -1.0, 0.0, 0x800, 0x82020, 0},
        {kSW, -2.0, -1.0, 0.0, 0x800, 0x82020, 0},     {kFR, -1.0, -1.0, 1.0, 0x100800, 0x282020, 0},
        {kFR, 0.01, 0.01, 0.0, 0x100000, 0x282020, 0}, {kFW, -2.0, -2.0, 0.0, 0x100000, 0x282020, 2},
    };
    for (const Row& row : rows) {
        auto& inst = initializeWithSampleTimes(add(row.mask, {}, {}, row.sampleTime).name);
        SCOPED_TRACE(testing::Message() << "row " << (&row - rows) << " " << row.mask);
        const auto report = inst.report();
        EXPECT_EQ(errorText(inst), "");
        EXPECT_EQ(report["sampleTime"]["period"].get<double>(), row.period);
        EXPECT_EQ(report["sampleTime"]["offset"].get<double>(), row.offset);
        EXPECT_EQ(report["flagWord"].get<uint32_t>() & 0x781800u, row.flagBits);
        EXPECT_EQ(report["optionWord"].get<uint32_t>(), row.options);
        EXPECT_EQ(report["sizes"]["numIWork"].get<int>(), row.iwork);
    }
}

// Each row: the model updates to run (the dialog changes of each), then the record of the last one.
TEST_F(SignalBlocks, RecordsAndWhatFollows) {
    std::string longLabel = kSigReadRecord;
    longLabel.replace(longLabel.find("Motor"), 5, std::string(9000, 'L'));
    struct Row {
        const char* mask;
        std::vector<Params> updates;
        int writerResult;
        std::vector<std::string> calls;
        std::string error;
    } rows[] = {
        // clang-format off
        {kSR, {{}}, 0, {kSigReadRecord}, ""},
        {kSR, {{{"SignalGroupLabel", std::string(9000, 'L')}}}, 1, {longLabel}, ""},
        {kSW, {{{"SignalName", "a \"b\" c"}}}, 1, {kSigWriteRecord}, ""},
        // Set-up under "host" does not need DataType; the record does.
        {kSR, {{{"DataType", kDrop}}}, 1, {}, kMissing + "DataType" + kNotFound},
        {kSR, {{{"VXLFile", kDrop}, {"EnableVPort", kDrop}}}, 1, {}, kMissing + "EnableVPort" + kNotFound},
        {kSW, {{{"EnableRSO", "on"}, {"EnableTSO", kDrop}}}, 1, {}, kMissing + "EnableTSO" + kNotFound},
        {kFR, {{}}, 1, join({{frameRecord(kFR, "Status", "3", "")}, settings("7/6/3x1: SignalsIndexes [2, 5, 9]")}), ""},
        {kFR, {{{"SignalsIndexes", "4294967295 1 2"}}}, 1, join({{frameRecord(kFR, "Status", "3", "", "4294967295 1 2")},
         settings("7/6/3x1: SignalsIndexes [-1, 1, 2]")}), ""},
        // Too few indexes for the count: the text is written, the settings are not.
        {kFR, {{{"SignalsIndexes", "4"}}}, 1, {frameRecord(kFR, "Status", "3", "", "4")},
         kShortList + "1 values but its signal count is 3; initialise the block again"},
        {kFR, {{{"FrameLabel", "<>"}}}, 1, {frameRecord(kFR, "<>", "3", "")},
         kShortList + "0 values but its signal count is 3; initialise the block again"},
        // A failed check keeps the list of the update before; a placeholder update keeps it too but stores its count.
        {kFR, {{}, {{"SignalsIndexes", "7 7 7"}, {"SignalsDTypes", "uint8"}},
               {{"FrameLabel", "<>"}, {"NumberOfSignals", "2"}, {"SignalsIndexes", "8 8"}}},
         1, join({{frameRecord(kFR, "<>", "2", "", "8 8")}, settings("7/6/2x1: SignalsIndexes [2, 5]")}), ""},
        {kFR, {{}}, 0, {frameRecord(kFR, "Status", "3", "")}, ""},
        {kFR, {{{"DeviceIndex", kDrop}}}, 1, {}, kMissing + "DeviceIndex" + kNotFound},
        {kFW, {{{"FrameTiming", "mixed"}, {"SignalsIndexes", "2 5 9 11"}}}, 1,
         join({{frameRecord(kFW, "Command", "3", "event", "2 5 9 11")}, kIWorkDefines,
               settings("7/6/3x1: SignalsIndexes [2, 5, 9]")}), ""},
        // Stopped at a placeholder before the work vector was registered: the defines fail, the settings follow.
        {kFW, {{{"FrameLabel", "<>"}, {"NumberOfSignals", "5"}}}, 1,
         join({{frameRecord(kFW, "<>", "5", "cyclic")}, kIWorkDefines, settings("7/6/0x1: SignalsIndexes []")}),
         kIWorkMismatch},
        {kFW, {{}, {{"SignalsIndexes", ""}}, {{"FrameLabel", "<>"}, {"SignalsIndexes", "1"}}}, 1,
         join({{frameRecord(kFW, "<>", "3", "cyclic", "1")}, kIWorkDefines, settings("7/6/3x1: SignalsIndexes [2, 5, 9]")}),
         kIWorkMismatch},
        // A refusing writer: each of the three pieces is still tried.
        {kFW, {{}}, 0, {frameRecord(kFW, "Command", "3", "cyclic"), "6/6/1x1: NumIWorkDefines 2", "SFcnParamSettings {"}, ""},
        {kFW, {{{"TriggerEdge", kDrop}}}, 1, {}, kMissing + "TriggerEdge" + kNotFound},
        // clang-format on
    };
    for (const Row& row : rows) {
        auto& entry = add(row.mask, row.updates.front());
        quonix::BlockInstance* inst = nullptr;
        for (const Params& changes : row.updates) {
            inst = &update(entry, changes);
        }
        SCOPED_TRACE(testing::Message() << "row " << (&row - rows) << " " << row.mask);
        ASSERT_EQ(errorText(*inst), "");
        inst->setWriterResult(row.writerResult);
        generate(*inst);
        EXPECT_EQ(recordCalls(*inst), row.calls);
        EXPECT_EQ(errorText(*inst), row.error);
    }
}

}  // namespace
}  // namespace korlix_test
