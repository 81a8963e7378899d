#!/usr/bin/env python3
"""Writes a korlix-host model file of N blocks that mixes all fourteen block classes with realistic dialogs.

Usage: scripts/gen-model.py N > model.json
"""
import json
import sys

COMMON = {"ConfigValid": "1", "DeviceIndex": "0", "VXLInitFile": "korlix_fr_init.kxt", "VXLFile": "korlix_fr.kxt"}


def dialog(mask, i):
    frame = f"FR_Frame_{i % 120}"
    pdu = f"PDU_{i % 200}"
    fields = {
        "KORLIXConfig": {"ErrorOut": "on", "BuildQW4400": "on", "BuildQW1400": "off", "BuildQW3400": "off",
                         "MaxIterations": "100", "PCIBus": "3", "PCISlot": "5", "StartBusComm": "on"},
        "KORLIXSignalRead": {"SignalName": f"Sig_{i}", "SignalIndex": str(i % 900), "DataType": "uint16",
                             "UseCoded": "on", "EnableRSO": "on", "EnableVPort": "off", "SignalGroupIndex": "0",
                             "SignalGroupLabel": "<>"},
        "KORLIXSignalWrite": {"SignalName": f"Sig_{i}", "SignalIndex": str(i % 900), "DataType": "int16",
                              "UseCoded": "on", "EnableTSO": "off", "EnableVPort": "on", "SignalGroupIndex": "0",
                              "SignalGroupLabel": "<>"},
        "KORLIXPOCStatus": {"StatusVar": "POCState", "CtrlIndex": "0"},
        "KORLIXStartStopNetwork": {"NetworkAction": "start", "NetworkType": "All logical FlexRay networks",
                                   "TriggerEdge": "rising"},
        "KORLIXCommitFrame": {"TriggerType": "edge", "TriggerEdge": "rising", "FrameIndex": str(i % 120),
                              "FrameLabel": frame},
        "ErrorInjection": {"FrameLabel": frame, "FrameIndex": str(i % 120), "ActionToPerform": "disable",
                           "DisableFrameMethod": "null frame", "NumberOfSignals": "3",
                           "SignalsIndexes": "4 7 9", "FrameTiming": "mixed"},
        "ReadFrameSignals": {"FrameLabel": frame, "FrameIndex": str(i % 120), "AccessLevel": "Coded",
                             "NumberOfSignals": "4", "SignalsIndexes": "30 31 32 33",
                             "SignalsDTypes": "uint16 uint16 uint16 uint16", "EnableUSO": "on", "EnableVSO": "off"},
        "WriteFrameSignals": {"FrameLabel": frame, "FrameIndex": str(i % 120), "AccessLevel": "Coded",
                              "NumberOfSignals": "3", "SignalsIndexes": "40 41 42",
                              "SignalsDTypes": "boolean uint8 int16", "FrameTiming": "event", "TriggerEdge": "rising"},
        "ReadCycleCount": {},
        "FlexRayReadPDU": {"PduLabel": pdu, "PduIndex": str(i % 200), "PduLength": "16", "EnableUSO": "on",
                           "EnableUpdtBit": "on", "SignalIndex": "0"},
        "FlexRayWritePDU": {"PduLabel": pdu, "PduIndex": str(i % 200), "PduLength": "16"},
        "FlexRayPackPDU": {"PduLabel": pdu, "PduLength": "16", "NumberOfSignals": "3",
                           "SignalsDTypes": "uint8 uint16 boolean", "SignalsOffsets": "0 8 24",
                           "SignalsEndianess": "0 0 1"},
        "FlexRayUnpackPDU": {"PduLabel": pdu, "PduLength": "16", "NumberOfSignals": "3",
                             "SignalsDTypes": "uint8 uint16 boolean", "SignalsOffsets": "0 8 24",
                             "SignalsEndianess": "0 0 1"},
    }[mask]
    return {"MaskType": mask, **COMMON, **fields}


MASKS = ["KORLIXConfig", "KORLIXSignalRead", "KORLIXSignalWrite", "KORLIXPOCStatus", "KORLIXStartStopNetwork",
         "KORLIXCommitFrame", "ErrorInjection", "ReadFrameSignals", "WriteFrameSignals", "ReadCycleCount",
         "FlexRayReadPDU", "FlexRayWritePDU", "FlexRayPackPDU", "FlexRayUnpackPDU"]


def main():
    if len(sys.argv) != 2 or not sys.argv[1].isdigit():
        sys.exit(__doc__)
    n = int(sys.argv[1])
    blocks = []
    for i in range(n):
        mask = MASKS[i % len(MASKS)]
        blocks.append({"name": f"{mask} {i}", "maskType": mask, "parameters": dialog(mask, i),
                       "sampleTime": 0.01})
    json.dump({"model": f"generated_{n}", "executionSystem": {"errorText": "", "execSys": "target_rt",
                                                               "sysType": "host"}, "blocks": blocks},
              sys.stdout, indent=1)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
