// What the network-level block tests share: dialogs written as short texts, and compact views of a block's
// ports, sizes and record calls.
#pragma once

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "HostFixture.hpp"

namespace korlix_test {

// Edits a dialog: "Name=text;Name=text" sets fields (adding those not there), "-Name" removes one.
inline Params edited(Params params, const std::string& edits) {
    std::istringstream in(edits);
    for (std::string item; std::getline(in, item, ';');) {
        const bool remove = item.starts_with('-');
        const std::string name = remove ? item.substr(1) : item.substr(0, item.find('='));
        const auto it = std::ranges::find(params, name, &Params::value_type::first);
        if (remove) {
            if (it != params.end()) {
                params.erase(it);
            }
        } else if (it != params.end()) {
            it->second = item.substr(name.size() + 1);
        } else {
            params.emplace_back(name, item.substr(name.size() + 1));
        }
    }
    return params;
}

// A complete dialog for each network-level mask type.
inline Params fullDialog(const std::string& maskType) {
    static const std::map<std::string, std::string> dialogs = {
        {"KORLIXConfig",
         "ConfigValid=1;BuildQW4400=on;BuildQW1400=off;BuildQW3400=off;VXLInitFile=init.vt;VXLFile=main.vt;"
         "MaxIterations=50;DeviceIndex=0;PCIBus=3;PCISlot=7;StartBusComm=on;ErrorOut=on"},
        {"KORLIXCommitFrame",
         "ConfigValid=1;TriggerType=edge;TriggerEdge=rising;FrameIndex=12;FrameLabel=BrakeFrame;"
         "VXLInitFile=init.vt;VXLFile=commit.vt;DeviceIndex=0"},
        {"KORLIXPOCStatus",
         "DeviceIndex=1;StatusVar=POCState;CtrlIndex=2;ConfigValid=1;VXLInitFile=init.vt;VXLFile=status.vt"},
        {"ReadCycleCount", "DeviceIndex=1;ConfigValid=1;VXLInitFile=init.vt;VXLFile=status.vt"},
        {"KORLIXStartStopNetwork",
         "DeviceIndex=0;ConfigValid=1;NetworkAction=start;NetworkType=Channel A;TriggerEdge=falling;"
         "VXLInitFile=init.vt;VXLFile=net.vt"},
        {"ErrorInjection",
         "ConfigValid=1;DeviceIndex=0;FrameLabel=SteerFrame;FrameIndex=4;ActionToPerform=disable;"
         "DisableFrameMethod=once;NumberOfSignals=3;SignalsIndexes=4 7 "
         "9;FrameTiming=mixed;VXLInitFile=init.vt;"
         "VXLFile=inject.vt"},
    };
    return edited({{"MaskType", maskType}}, dialogs.at(maskType));
}

// Ports as "in[...] out[...]": each port w<width>t<data type id>, inputs with f for direct feed-through and
// a<bits> for attribute bits.
inline std::string portShape(const quonix::BlockInstance& inst) {
    const auto report = inst.report();
    std::string shape = "in[";
    for (const auto& port : report["inputs"]) {
        shape += "w" + port["width"].dump() + "t" + port["dataTypeId"].dump();
        shape += port["directFeedThrough"].get<bool>() ? "f" : "";
        shape += port["attributes"] != 0 ? "a" + port["attributes"].dump() : "";
        shape += " ";
    }
    shape += "] out[";
    for (const auto& port : report["outputs"]) {
        shape += "w" + port["width"].dump() + "t" + port["dataTypeId"].dump() + " ";
    }
    return shape + "]";
}

// The record calls in order: texts exactly as handed over, pairs as the host renders them.
inline std::vector<std::string> recordCalls(const quonix::BlockInstance& inst) {
    std::vector<std::string> calls;
    for (const auto& entry : inst.record()) {
        calls.push_back(entry.contains("text") ? entry["text"].get<std::string>()
                                               : quonix::renderRecordPair(entry["pair"]));
    }
    return calls;
}

inline std::string missing(const std::string& name) {
    return "Unable to find variable or field \"" + name + "\" in the s-function parameters";
}

}  // namespace korlix_test
