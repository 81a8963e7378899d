// The module under hostile dialogs, driven through the stand-in host: every parameter of every class missing,
// without text or empty; messages around the 1024-character buffers; records around and far beyond 8192
// characters; signal counts and PDU lengths at the edges of 32 bits.
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "HostFixture.hpp"

namespace korlix_test {
namespace {

const std::string kEmptyCount = "Error converting empty string to uint32.";
const std::string kEmptyList = "Error converting empty string to vector of uint32.";
const char* const kSizes = "mdlInitializeSizes";
const char* const kQrx = "mdlQRX";
const char* const kGone = "\x02<removed>";

std::string mismatch(const char* block, const char* text, const char* count, const char* label) {
    return std::string("Error in ") + block +
           " block: Mismatch in data type string length: String read: " + text +
           ", number of signals: " + count + ", PDU label: " + label + "\n";
}
std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> items;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, separator);) {
        items.push_back(item);
    }
    return items;
}

// One block class: the parameters its size set-up and its record read, each in read order; edits
// "Name=text;..." of a dialog that passes both (every other field holds "1"); the message an empty text
// gives, for the fields that refuse it.
struct ClassTable {
    std::string mask, sizes, record, valid;
    std::map<std::string, std::string> emptyErrors;
};
// clang-format off
const std::string kSig = "MaskType ConfigValid SignalName SignalIndex DataType UseCoded ";
const std::string kSigTail = " EnableVPort SignalGroupIndex SignalGroupLabel VXLInitFile VXLFile";
const std::string kFrame = "AccessLevel=Coded;NumberOfSignals=2;SignalsDTypes=uint8 int16;SignalsIndexes=4 7;FrameTiming=event";
const std::string kPduSizes = "PduLength PduLabel NumberOfSignals SignalsDTypes SignalsOffsets SignalsEndianess";
const std::string kPduRecord = "MaskType ConfigValid PduLabel NumberOfSignals VXLInitFile VXLFile";
const std::string kPdu = "PduLabel=PDU1;NumberOfSignals=2;SignalsDTypes=uint8 int16;SignalsOffsets=0 8;SignalsEndianess=0 1";
std::map<std::string, std::string> pduEmpty(const char* block) {
    return {{"PduLength", kEmptyCount}, {"NumberOfSignals", kEmptyCount}, {"SignalsOffsets", kEmptyList},
            {"SignalsEndianess", kEmptyList}, {"SignalsDTypes", mismatch(block, "", "2", "PDU1")}};
}
const std::vector<ClassTable> kClasses = {
    {"KORLIXConfig", "ErrorOut", "MaskType ConfigValid BuildQW4400 BuildQW1400 BuildQW3400 VXLInitFile VXLFile "
     "MaxIterations DeviceIndex PCIBus PCISlot StartBusComm ErrorOut", "ErrorOut=on", {}},
    {"KORLIXCommitFrame", "", "MaskType ConfigValid TriggerType TriggerEdge FrameIndex FrameLabel VXLInitFile "
     "VXLFile DeviceIndex", "", {}},
    {"KORLIXPOCStatus", "", "MaskType ConfigValid VXLInitFile VXLFile StatusVar CtrlIndex DeviceIndex", "", {}},
    {"ReadCycleCount", "", "MaskType ConfigValid VXLInitFile VXLFile DeviceIndex", "", {}},
    {"KORLIXStartStopNetwork", "", "MaskType ConfigValid TriggerEdge NetworkAction VXLInitFile VXLFile DeviceIndex "
     "NetworkType", "", {}},
    {"ErrorInjection", "FrameLabel NumberOfSignals SignalsIndexes", "MaskType ConfigValid FrameLabel FrameIndex "
     "ActionToPerform DisableFrameMethod NumberOfSignals SignalsIndexes FrameTiming VXLInitFile VXLFile DeviceIndex",
     "NumberOfSignals=2;SignalsIndexes=4 7", {{"NumberOfSignals", kEmptyCount}, {"SignalsIndexes", kEmptyList}}},
    {"KORLIXSignalRead", "UseCoded EnableRSO DataType", kSig + "EnableRSO" + kSigTail, "UseCoded=on;DataType=uint8",
     {{"DataType", "Unsupported data type found: \"\""}}},
    {"KORLIXSignalWrite", "UseCoded EnableVPort DataType", kSig + "EnableTSO" + kSigTail, "UseCoded=on;DataType=uint8",
     {{"DataType", "Unsupported data type found: \"\""}}},
    {"ReadFrameSignals", "AccessLevel NumberOfSignals EnableUSO EnableVSO FrameLabel SignalsDTypes SignalsIndexes",
     "MaskType ConfigValid FrameLabel FrameIndex AccessLevel NumberOfSignals SignalsIndexes SignalsDTypes EnableUSO "
     "EnableVSO VXLInitFile VXLFile DeviceIndex", kFrame, {{"NumberOfSignals", kEmptyCount}, {"SignalsIndexes",
     kEmptyList}, {"SignalsDTypes", "Error converting block data type string  in identifier: The length of the "
     "obtained identifiers vector 0 is not equal to the number of signals 2 (value read 2)\n"}}},
    {"WriteFrameSignals", "ConfigValid NumberOfSignals FrameLabel AccessLevel FrameTiming SignalsDTypes SignalsIndexes",
     "MaskType ConfigValid FrameLabel FrameIndex AccessLevel NumberOfSignals SignalsIndexes FrameTiming TriggerEdge "
     "VXLInitFile VXLFile DeviceIndex", kFrame, {{"NumberOfSignals", kEmptyCount}, {"SignalsIndexes", kEmptyList},
     {"FrameTiming", "Invalid frame timing type found (). Expected values are 'event' or 'cyclic' or 'mixed'.\n"},
     {"SignalsDTypes", "Error converting block data type string (\"\") in identifier: The length of the obtained "
     "identifiers vector (= 0) is not equal to the number of signals (= 2) \n"}}},
    {"FlexRayReadPDU", "EnableUSO EnableUpdtBit PduLength PduLabel", "MaskType ConfigValid PduLabel PduIndex PduLength "
     "VXLInitFile VXLFile DeviceIndex EnableUSO EnableUpdtBit SignalIndex", "", {{"PduLength", kEmptyCount}}},
    {"FlexRayWritePDU", "PduLength PduLabel", "MaskType ConfigValid PduLabel PduIndex PduLength VXLInitFile VXLFile "
     "DeviceIndex", "", {{"PduLength", kEmptyCount}}},
    {"FlexRayPackPDU", kPduSizes, kPduRecord, kPdu, pduEmpty("Pack PDU")},
    {"FlexRayUnpackPDU", kPduSizes, kPduRecord, kPdu, pduEmpty("Unpack PDU")},
};
// clang-format on
const ClassTable& classOf(const std::string& mask) {
    return *std::find_if(kClasses.begin(), kClasses.end(),
                         [&](const ClassTable& t) { return t.mask == mask; });
}

// Every parameter of the class once, in read order: the size set-up's reads, then the record's others.
std::vector<std::string> readOrder(const ClassTable& t) {
    std::vector<std::string> order = split(t.sizes, ' ');
    for (const auto& name : split(t.record, ' ')) {
        if (std::find(order.begin(), order.end(), name) == order.end()) {
            order.push_back(name);
        }
    }
    return order;
}
// The class's valid dialog with the edits applied (kNoText: a field without text; kGone: no field).
Params dialog(const ClassTable& t, const std::string& edits) {
    Params params;
    for (const auto& name : readOrder(t)) {
        std::string text = "1";
        for (const auto& edit : split(t.valid + ";" + edits, ';')) {
            text = edit.starts_with(name + "=") ? edit.substr(name.size() + 1) : text;
        }
        if (text != kGone) {
            params.emplace_back(name, text);
        }
    }
    return params;
}

class Boundary : public HostFixture {
  protected:
    // The whole life of a fresh block: registration, sample times, mdlQRX. The block is deleted afterwards,
    // so that the next registration sweeps its object away.
    quonix::BlockInstance& life(const std::string& mask, const Params& params,
                                const std::string& sysType = "host", const std::string& execError = "") {
        quonix::BlockSpec& blockSpec = addBlock(mask, params);
        blockSpec.executionSystem = quonix::ExecSysAnswer{execError, "", sysType};
        const std::string name = blockSpec.name;
        quonix::BlockInstance& inst = initializeWithSampleTimes(name);
        callback(inst, 119);
        model_.find(name)->deleted = true;
        return inst;
    }
    void expectOutcome(const quonix::BlockInstance& inst, const std::string& error, const char* phase) {
        EXPECT_EQ(errorText(inst), error);
        EXPECT_EQ(inst.errorCallback(), error.empty() ? "" : phase);
        EXPECT_TRUE(!error.empty() || !inst.record().empty());
    }
};

TEST_F(Boundary, MissingTextlessAndEmptyParameters) {
    for (const ClassTable& t : kClasses) {
        SCOPED_TRACE(t.mask);
        expectOutcome(life(t.mask, dialog(t, "")), "", kQrx);
        const std::vector<std::string> order = readOrder(t);
        for (std::size_t k = 0; k < order.size(); ++k) {
            const std::string& name = order[k];
            SCOPED_TRACE(name);
            const char* phase = k < split(t.sizes, ' ').size() ? kSizes : kQrx;
            const std::string missing =
                "Unable to find variable or field \"" + name + "\" in the s-function parameters";
            // This parameter and every one read after it gone: the message names this one.
            std::string suffix;
            for (std::size_t j = k; j < order.size(); ++j) {
                suffix += order[j] + "=" + kGone + ";";
            }
            expectOutcome(life(t.mask, dialog(t, suffix)), missing, phase);
            expectOutcome(life(t.mask, dialog(t, name + "=" + kGone)), missing, phase);
            expectOutcome(life(t.mask, dialog(t, name + "=" + kNoText)), missing, phase);
            const auto empty = t.emptyErrors.find(name);
            expectOutcome(life(t.mask, dialog(t, name + "=")),
                          empty == t.emptyErrors.end() ? "" : empty->second, phase);
        }
    }
}

TEST_F(Boundary, MessagesAreCutAt1023Characters) {
    for (std::size_t length : {1022u, 1023u, 1024u, 5000u}) {
        SCOPED_TRACE(length);
        const std::string text(length, 'e');
        // A message the framework copies from the host, and one a block formats from a dialog text.
        expectOutcome(life("KORLIXConfig", {}, "host", text), text.substr(0, 1023), kSizes);
        const std::string type(length - 31, 't');
        expectOutcome(
            life("KORLIXSignalRead", {{"UseCoded", "on"}, {"EnableRSO", "on"}, {"DataType", type}}, "wqm"),
            ("Unsupported data type found: \"" + type + "\"").substr(0, 1023), kSizes);
    }
}

// The record of the Config block of RecordsAreWrittenWhole, with its VXLFile and DeviceIndex.
std::string configRecord(const std::string& vxlFile, const std::string& device) {
    std::string text = R"(KORLIXSFunParameters {
        MaskType         "KORLIXConfig"
        StartBusComm     "1"
        ConfigValid      1
        BuildQW4400      "1"
        BuildQW1400      "1"
        BuildQW3400      "1"
        MaxIterations    1
        DeviceIndex      @D
        PCIBus           1
        PCISlot          1
        VXLInitFile      "1"
        VXLFile          "@V"
        vqc_include_file "Firmware_@D.h"
        ErrorOut         "on"
      }
)";
    text.replace(text.find("@V"), 2, vxlFile);
    for (std::size_t at; (at = text.find("@D")) != std::string::npos;) {
        text.replace(at, 2, device);
    }
    return text;
}

TEST_F(Boundary, RecordsAreWrittenWhole) {
    const auto config = [this](const std::string& vxlFile, const std::string& device) {
        const std::string edits = "MaskType=KORLIXConfig;VXLFile=" + vxlFile + ";DeviceIndex=" + device;
        return life("KORLIXConfig", dialog(classOf("KORLIXConfig"), edits)).record().at(0)["text"];
    };
    for (std::size_t total : {8191u, 8192u, 100000u}) {
        const std::string vxlFile(total - configRecord("", "0").size(), 'v');
        EXPECT_EQ(config(vxlFile, "0"), configRecord(vxlFile, "0"));
    }
    // The include file name has no fixed-size buffer either.
    EXPECT_EQ(config("v", std::string(200, 'd')), configRecord("v", std::string(200, 'd')));

    // Every class: a 100000-character VXLFile leaves the record exactly as a short one does.
    const std::string longText(100000, 'L');
    for (const ClassTable& t : kClasses) {
        SCOPED_TRACE(t.mask);
        std::string withLong = nlohmann::json(life(t.mask, dialog(t, "VXLFile=" + longText)).record()).dump();
        const auto at = withLong.find(longText);
        ASSERT_NE(at, std::string::npos);
        withLong.replace(at, longText.size(), "v");
        EXPECT_EQ(withLong, nlohmann::json(life(t.mask, dialog(t, "VXLFile=v")).record()).dump());
    }
}

TEST_F(Boundary, CountsAndLengthsAtTheEdgesOf32Bits) {
    // Per value of the field: the ports as "in <widths> out <widths>" ("": not looked at) and the error,
    // which the record writer reports when it begins with "Cannot write", else the size set-up.
    struct EdgeRow {
        const char *mask, *field;
        std::string edits;
        std::array<std::string, 5> ports, errors;
    };
    const std::array<std::string, 5> values = {"0", "1", "2147483647", "2147483648", "4294967295"};
    const auto cannotWrite = [&values](const char* have, std::string first = "") {
        std::array<std::string, 5> errors{first};
        for (std::size_t i = 2; i < 5; ++i) {
            errors[i] = std::string("Cannot write SignalsIndexes: the block holds ") + have +
                        " values but its signal count is " + values[i] + "; initialise the block again";
        }
        return errors;
    };
    const auto tooLarge = [&values](const char* what, const char* largest, std::string first = "") {
        std::array<std::string, 5> errors{first};
        for (std::size_t i = 3; i < 5; ++i) {
            errors[i] =
                std::string(what) + " " + values[i] + " exceeds the largest port " + largest + " 2147483647.";
        }
        return errors;
    };
    const std::string frame = "SignalsDTypes=uint8;SignalsIndexes=4;EnableUSO=on;EnableVSO=on";
    const std::string pdu = "PduLength=8;PduLabel=P;SignalsDTypes=uint8;SignalsOffsets=0;SignalsEndianess=0";
    const char* const typeCount = "Error converting block data type string ";
    // clang-format off
    const std::vector<EdgeRow> rows = {
        {"ErrorInjection", "NumberOfSignals", "FrameLabel=F;SignalsIndexes=4", {"in 1 out", "in 1 out"}, cannotWrite("1")},
        {"ReadFrameSignals", "NumberOfSignals", frame, {"in out 1 1", "in out 1 1 1"}, cannotWrite("0", typeCount +
         std::string("uint8 in identifier: The length of the obtained identifiers vector 1 is not equal to the number "
         "of signals 0 (value read 0)\n"))},
        {"WriteFrameSignals", "NumberOfSignals", frame, {"in 1 out", "in 1 1 out"}, cannotWrite("0", typeCount +
         std::string("(\"uint8\") in identifier: The length of the obtained identifiers vector (= 1) is not equal to "
         "the number of signals (= 0) \n"))},
        {"FlexRayPackPDU", "NumberOfSignals", pdu, {"in out 8", "in 1 out 8", "in out 8", "in out 8", "in out 8"},
         {mismatch("Pack PDU", "uint8", "0", "P")}},
        {"FlexRayUnpackPDU", "NumberOfSignals", pdu, {"in 8 out", "in 8 out 1", "in 8 out", "in 8 out", "in 8 out"},
         {mismatch("Unpack PDU", "uint8", "0", "P")}},
        {"FlexRayReadPDU", "PduLength", "", {"in out 1", "in out 1", "in out 2147483647"}, tooLarge("PduLength", "width")},
        {"FlexRayWritePDU", "PduLength", "", {"in 1 out", "in 1 out", "in 2147483647 out"}, tooLarge("PduLength", "width")},
        {"FlexRayPackPDU", "PduLength", pdu + ";NumberOfSignals=1", {"in 1 out 1", "in 1 out 1", "in 1 out 2147483647"},
         tooLarge("PduLength", "width")},
        {"FlexRayUnpackPDU", "PduLength", pdu + ";NumberOfSignals=1", {"in 1 out 1", "in 1 out 1", "in 2147483647 out 1"},
         tooLarge("PduLength", "width")},
    };
    // clang-format on
    const auto ports = [](const HostBlock& b) {
        std::string s = "in";
        for (int i = 0; i < b.sizes[HB_SIZE_NUM_INPUTS]; ++i) {
            s += " " + std::to_string(b.inputs[i].width);
        }
        s += " out";
        for (int i = 0; i < b.sizes[HB_SIZE_NUM_OUTPUTS]; ++i) {
            s += " " + std::to_string(b.outputs[i].width);
        }
        return s;
    };
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long before = usage.ru_maxrss;
    for (const EdgeRow& row : rows) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            SCOPED_TRACE(std::string(row.mask) + " " + row.field + "=" + values[i]);
            const auto& inst =
                life(row.mask, dialog(classOf(row.mask), row.edits + ";" + row.field + "=" + values[i]));
            EXPECT_TRUE(row.ports[i].empty() || ports(inst.block()) == row.ports[i]) << ports(inst.block());
            expectOutcome(inst, row.errors[i], row.errors[i].starts_with("Cannot write") ? kQrx : kSizes);
        }
    }
    // Nothing was sized by a count: the peak memory of the process grew by less than 64 MiB.
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - before, 64 * 1024);
}

}  // namespace
}  // namespace korlix_test
