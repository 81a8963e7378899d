// Realistic dialogs of the fourteen block classes, shared by the benchmarks.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace korlix_bench {

struct Dialog {
    const char* maskType;
    std::vector<std::pair<std::string, std::string>> fields;
};

inline std::vector<Dialog> dialogs() {
    const std::pair<std::string, std::string> cv{"ConfigValid", "1"}, dev{"DeviceIndex", "0"},
        init{"VXLInitFile", "korlix_fr_init.tlc"}, file{"VXLFile", "korlix_fr.tlc"};
    return {
        {"KORLIXConfig",
         {{"MaskType", "KORLIXConfig"}, cv, dev, init, file, {"ErrorOut", "on"}, {"BuildQW4400", "on"},
          {"BuildQW1400", "off"}, {"BuildQW3400", "off"}, {"MaxIterations", "100"}, {"PCIBus", "3"},
          {"PCISlot", "5"}, {"StartBusComm", "on"}}},
        {"KORLIXSignalRead",
         {{"MaskType", "KORLIXSignalRead"}, cv, {"SignalName", "EngineSpeed"}, {"SignalIndex", "17"},
          {"DataType", "uint16"}, {"UseCoded", "on"}, {"EnableRSO", "on"}, {"EnableVPort", "off"},
          {"SignalGroupIndex", "0"}, {"SignalGroupLabel", "<>"}, init, file}},
        {"KORLIXSignalWrite",
         {{"MaskType", "KORLIXSignalWrite"}, cv, {"SignalName", "TorqueRequest"}, {"SignalIndex", "21"},
          {"DataType", "int16"}, {"UseCoded", "on"}, {"EnableTSO", "off"}, {"EnableVPort", "on"},
          {"SignalGroupIndex", "0"}, {"SignalGroupLabel", "<>"}, init, file}},
        {"KORLIXPOCStatus",
         {{"MaskType", "KORLIXPOCStatus"}, cv, dev, {"StatusVar", "POCState"}, {"CtrlIndex", "0"}, init, file}},
        {"KORLIXStartStopNetwork",
         {{"MaskType", "KORLIXStartStopNetwork"}, cv, dev, {"NetworkAction", "start"},
          {"NetworkType", "All logical FlexRay networks"}, {"TriggerEdge", "rising"}, init, file}},
        {"KORLIXCommitFrame",
         {{"MaskType", "KORLIXCommitFrame"}, cv, dev, {"TriggerType", "edge"}, {"TriggerEdge", "rising"},
          {"FrameIndex", "12"}, {"FrameLabel", "FR_Engine_Status"}, init, file}},
        {"ErrorInjection",
         {{"MaskType", "ErrorInjection"}, cv, dev, {"FrameLabel", "FR_Brake_Cmd"}, {"FrameIndex", "7"},
          {"ActionToPerform", "disable"}, {"DisableFrameMethod", "null frame"}, {"NumberOfSignals", "3"},
          {"SignalsIndexes", "4 7 9"}, {"FrameTiming", "mixed"}, init, file}},
        {"ReadFrameSignals",
         {{"MaskType", "ReadFrameSignals"}, cv, dev, {"FrameLabel", "FR_Wheel_Speeds"}, {"FrameIndex", "3"},
          {"AccessLevel", "Coded"}, {"NumberOfSignals", "4"}, {"SignalsIndexes", "30 31 32 33"},
          {"SignalsDTypes", "uint16 uint16 uint16 uint16"}, {"EnableUSO", "on"}, {"EnableVSO", "off"}, init,
          file}},
        {"WriteFrameSignals",
         {{"MaskType", "WriteFrameSignals"}, cv, dev, {"FrameLabel", "FR_Body_Cmd"}, {"FrameIndex", "9"},
          {"AccessLevel", "Coded"}, {"NumberOfSignals", "3"}, {"SignalsIndexes", "40 41 42"},
          {"SignalsDTypes", "boolean uint8 int16"}, {"FrameTiming", "event"}, {"TriggerEdge", "rising"}, init,
          file}},
        {"ReadCycleCount", {{"MaskType", "ReadCycleCount"}, cv, dev, init, file}},
        {"FlexRayReadPDU",
         {{"MaskType", "FlexRayReadPDU"}, cv, dev, {"PduLabel", "PDU_Chassis_Rx"}, {"PduIndex", "5"},
          {"PduLength", "16"}, {"EnableUSO", "on"}, {"EnableUpdtBit", "on"}, {"SignalIndex", "0"}, init, file}},
        {"FlexRayWritePDU",
         {{"MaskType", "FlexRayWritePDU"}, cv, dev, {"PduLabel", "PDU_Chassis_Tx"}, {"PduIndex", "6"},
          {"PduLength", "16"}, init, file}},
        {"FlexRayPackPDU",
         {{"MaskType", "FlexRayPackPDU"}, cv, {"PduLabel", "PDU_Chassis_Tx"}, {"PduLength", "16"},
          {"NumberOfSignals", "3"}, {"SignalsDTypes", "uint8 uint16 boolean"}, {"SignalsOffsets", "0 8 24"},
          {"SignalsEndianess", "0 0 1"}, init, file}},
        {"FlexRayUnpackPDU",
         {{"MaskType", "FlexRayUnpackPDU"}, cv, {"PduLabel", "PDU_Chassis_Rx"}, {"PduLength", "16"},
          {"NumberOfSignals", "3"}, {"SignalsDTypes", "uint8 uint16 boolean"}, {"SignalsOffsets", "0 8 24"},
          {"SignalsEndianess", "0 0 1"}, init, file}},
    };
}

}  // namespace korlix_bench
