// What the block tests share: a complete dialog per mask type, edits of it written as short texts, and
// compact views of a block's ports, closing set-up and record calls.
#pragma once

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "HostFixture.hpp"

namespace korlix_test {

// clang-format off
const char* const kCfg = "KORLIXConfig";         const char* const kCommit = "KORLIXCommitFrame";
const char* const kPoc = "KORLIXPOCStatus";      const char* const kCycle = "ReadCycleCount";
const char* const kNet = "KORLIXStartStopNetwork"; const char* const kInject = "ErrorInjection";
const char* const kSR = "KORLIXSignalRead";      const char* const kSW = "KORLIXSignalWrite";
const char* const kFR = "ReadFrameSignals";      const char* const kFW = "WriteFrameSignals";
const char* const kRP = "FlexRayReadPDU";        const char* const kWP = "FlexRayWritePDU";
const char* const kPack = "FlexRayPackPDU";      const char* const kUnpack = "FlexRayUnpackPDU";
// clang-format on

// Edits a dialog: "Name=text" sets a field (adding it when not there), "-Name" removes it, "~Name" leaves
// it without text; edits are separated by ';'.
inline Params edited(Params params, const std::string& edits) {
    std::istringstream in(edits);
    for (std::string item; std::getline(in, item, ';');) {
        const bool bare = item.starts_with('-') || item.starts_with('~');
        const std::string name = bare ? item.substr(1) : item.substr(0, item.find('='));
        std::erase_if(params, [&name](const auto& field) { return field.first == name; });
        if (!item.starts_with('-') && !name.empty()) {
            params.emplace_back(name, item.starts_with('~') ? kNoText : item.substr(name.size() + 1));
        }
    }
    return params;
}

// clang-format off
inline Params fullDialog(const std::string& maskType) {
    const std::string pdu = "ConfigValid=1;PduLabel=PDU_Body;PduLength=8;NumberOfSignals=3;SignalsDTypes=uint8 uint16 "
        "boolean;SignalsOffsets=0 8 24;SignalsEndianess=0 0 1;VXLInitFile=fr_init;VXLFile=fr_pdu_pack";
    const std::string sig = "ConfigValid=1;SignalName=EngineSpeed;SignalIndex=4;DataType=uint16;UseCoded=off;"
        "EnableVPort=off;SignalGroupIndex=0;SignalGroupLabel=Motor;VXLInitFile=fr_init.kxt;VXLFile=fr_sig.kxt;";
    const std::string frame = "ConfigValid=1;DeviceIndex=0;FrameIndex=7;AccessLevel=Coded;NumberOfSignals=3;"
        "SignalsIndexes=2 5 9;SignalsDTypes=uint8 A_INT16 boolean;VXLInitFile=fr_init.kxt;VXLFile=fr_frame.kxt;";
    const std::map<std::string, std::string> dialogs = {
        {kCfg, "ConfigValid=1;BuildQW4400=on;BuildQW1400=off;BuildQW3400=off;VXLInitFile=init.vt;VXLFile=main.vt;"
               "MaxIterations=50;DeviceIndex=0;PCIBus=3;PCISlot=7;StartBusComm=on;ErrorOut=on"},
        {kCommit, "ConfigValid=1;TriggerType=edge;TriggerEdge=rising;FrameIndex=12;FrameLabel=BrakeFrame;"
                  "VXLInitFile=init.vt;VXLFile=commit.vt;DeviceIndex=0"},
        {kPoc, "DeviceIndex=1;StatusVar=POCState;CtrlIndex=2;ConfigValid=1;VXLInitFile=init.vt;VXLFile=status.vt"},
        {kCycle, "DeviceIndex=1;ConfigValid=1;VXLInitFile=init.vt;VXLFile=status.vt"},
        {kNet, "DeviceIndex=0;ConfigValid=1;NetworkAction=start;NetworkType=Channel A;TriggerEdge=falling;"
               "VXLInitFile=init.vt;VXLFile=net.vt"},
        {kInject, "ConfigValid=1;DeviceIndex=0;FrameLabel=SteerFrame;FrameIndex=4;ActionToPerform=disable;"
                  "DisableFrameMethod=once;NumberOfSignals=3;SignalsIndexes=4 7 9;FrameTiming=mixed;"
                  "VXLInitFile=init.vt;VXLFile=inject.vt"},
        {kSR, sig + "EnableRSO=off"},
        {kSW, sig + "EnableTSO=on"},
        {kFR, frame + "FrameLabel=Status;EnableUSO=off;EnableVSO=off"},
        {kFW, frame + "FrameLabel=Command;FrameTiming=cyclic;TriggerEdge=rising"},
        {kRP, "ConfigValid=1;DeviceIndex=0;PduLabel=PDU_Engine;PduIndex=4;PduLength=8;EnableUSO=off;"
              "EnableUpdtBit=off;SignalIndex=2;VXLInitFile=fr_init;VXLFile=fr_pdu_read"},
        {kWP, "ConfigValid=1;DeviceIndex=1;PduLabel=PDU_Brake;PduIndex=7;PduLength=8;VXLInitFile=fr_init;"
              "VXLFile=fr_pdu_write"},
        {kPack, pdu},
        {kUnpack, pdu},
    };
    return edited({{"MaskType", maskType}}, dialogs.at(maskType));
}
// clang-format on

// Ports as "in{...} out{...}": each port "<data type id>x<width>", an input followed by F for direct
// feedthrough and A for attribute bit 0x20 (other attribute bits as #<value>).
inline std::string portShape(const HostBlock& b) {
    std::string text = "in{";
    for (int32_t i = 0; i < b.sizes[HB_SIZE_NUM_INPUTS]; ++i) {
        const HostInputPort& p = b.inputs[i];
        text += (i > 0 ? " " : "") + std::to_string(p.dataTypeId) + "x" + std::to_string(p.width);
        text += p.directFeedThrough != 0 ? "F" : "";
        if (p.attributes != 0) {
            text += p.attributes == 0x20 ? "A" : "#" + std::to_string(p.attributes);
        }
    }
    text += "} out{";
    for (int32_t i = 0; i < b.sizes[HB_SIZE_NUM_OUTPUTS]; ++i) {
        text += (i > 0 ? " " : "") + std::to_string(b.outputs[i].dataTypeId) + "x" +
                std::to_string(b.outputs[i].width);
    }
    return text + "}";
}

// After the registration call: "-" when the sizes are still the host's presets, "i<n>r<n>p<n>" (work vector
// lengths) after the common closing set-up (option word 0x280020, flag bit 0x100000 set and 0x680000 clear),
// "sig" after the signal blocks' own (option word 0x80020, flags untouched, no work vectors).
inline std::string closing(const HostBlock& b) {
    const std::string work = "i" + std::to_string(b.sizes[HB_SIZE_NUM_IWORK]) + "r" +
                             std::to_string(b.sizes[HB_SIZE_NUM_RWORK]) + "p" +
                             std::to_string(b.sizes[HB_SIZE_NUM_PWORK]);
    const auto options = static_cast<unsigned>(b.sizes[HB_SIZE_OPTIONS]);
    const unsigned flags = static_cast<unsigned>(b.sizes[HB_SIZE_FLAGS]) & 0x780000u;
    if (b.sizes[HB_SIZE_NUM_SAMPLE_TIMES] == 1 && options == 0x282020 && flags == 0x100000u) {
        return work;
    }
    if (options == 0x82020 && flags == 0 && work == "i0r0p0") {
        return "sig";
    }
    if (options == 0x2000 && flags == 0 && work == "i0r0p0") {
        return "-";
    }
    std::ostringstream other;
    other << std::hex << "options " << options << " flags " << flags << " " << work;
    return other.str();
}

// The record calls in order: a text as handed over, a pair as "kind/data type/rows x columns: line".
inline std::vector<std::string> recordCalls(const quonix::BlockInstance& inst) {
    std::vector<std::string> calls;
    for (const auto& entry : inst.record()) {
        if (entry.contains("text")) {
            calls.push_back(entry["text"].get<std::string>());
            continue;
        }
        const auto& pair = entry["pair"];
        calls.push_back(pair["kind"].dump() + "/" + pair["dataTypeId"].dump() + "/" + pair["rows"].dump() +
                        "x" + pair["columns"].dump() + ": " + quonix::renderRecordPair(pair));
    }
    return calls;
}

inline std::string missing(const std::string& name) {
    return "Unable to find variable or field \"" + name + "\" in the s-function parameters";
}

// How the host presents a block beyond its dialog.
struct HostCase {
    const char* sys = "host";  // what korlix_get_execsys2 answers as system type
    int params = 2;            // S-function parameters passed
    bool emptyStruct = false;  // a parameter structure without data
    int maxPorts = 1024;
};

class BlockFixture : public HostFixture {
  protected:
    // Adds a block with the full dialog of its mask type and runs one model update per text in `updates`
    // (separated by '|'), each with the edits of that text applied to the full dialog; an update written as
    // "sizes:<edits>" runs in the host's sizes-only mode. The block object persists across the updates.
    quonix::BlockInstance& run(const std::string& maskType, const std::string& updates,
                               const HostCase& host = {}, double sampleTime = 0.01) {
        quonix::BlockSpec& desc = addBlock(maskType, fullDialog(maskType), sampleTime);
        desc.executionSystem = quonix::ExecSysAnswer{"", "", host.sys};
        desc.parameterCount = host.params;
        settings_.maxPorts = host.maxPorts;
        const std::string name = desc.name;
        std::istringstream in(updates + "|");
        quonix::BlockInstance* inst = nullptr;
        for (std::string edits; std::getline(in, edits, '|');) {
            settings_.sizesOnly = edits.starts_with("sizes:");
            model_.find(name)->parameters =
                toFields(edited(fullDialog(maskType), edits.substr(settings_.sizesOnly ? 6 : 0)));
            if (host.emptyStruct) {
                model_.find(name)->parameters = std::nullopt;
            }
            inst = &initializeWithSampleTimes(name);
        }
        return *inst;
    }
};

}  // namespace korlix_test
