// Fuzzes the whole module through the stand-in host: a fuzzed mask type, dialog fields with fuzzed texts
// (often under the names the classes read), parameter counts, execution systems and modes, then the whole
// life of the block: registration, sample times, a simulation step, code generation and a second model
// update of the same block.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Schema.hpp"
#include "framework/BaseFcn.hpp"
#include "quonix/host.hpp"

extern "C" void zupFunction(int nLeft, zvArray* left[], int nRight, const zvArray* right[]);

namespace {

constexpr std::array<const char*, 44> kFieldNames = {
    "MaskType",    "ConfigValid",     "DeviceIndex",        "ErrorOut",         "BuildQW4400",
    "BuildQW1400", "BuildQW3400",     "VXLInitFile",        "VXLFile",          "MaxIterations",
    "PCIBus",      "PCISlot",         "StartBusComm",       "TriggerType",      "TriggerEdge",
    "FrameIndex",  "FrameLabel",      "StatusVar",          "CtrlIndex",        "NetworkAction",
    "NetworkType", "ActionToPerform", "DisableFrameMethod", "NumberOfSignals",  "SignalsIndexes",
    "FrameTiming", "SignalName",      "SignalIndex",        "DataType",         "UseCoded",
    "EnableRSO",   "EnableTSO",       "EnableVPort",        "SignalGroupIndex", "SignalGroupLabel",
    "AccessLevel", "SignalsDTypes",   "EnableUSO",          "EnableVSO",        "PduLabel",
    "PduIndex",    "PduLength",       "EnableUpdtBit",      "SignalsOffsets"};

constexpr std::array<const char*, 6> kSysTypes = {"host", "wqm", "opalrt", "kvd", "Host", ""};

struct Input {
    const uint8_t* data;
    std::size_t size;
    uint8_t byte() {
        if (size == 0) {
            return 0;
        }
        --size;
        return *data++;
    }
    // Text up to the next 0x1f separator.
    std::string text() {
        std::string s;
        while (size > 0 && *data != 0x1f) {
            s.push_back(static_cast<char>(*data++));
            --size;
        }
        byte();
        return s;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Input in{data, size};
    quonix::Model model("fuzz");
    quonix::BlockSpec blockSpec;
    blockSpec.name = "fuzzed";
    // The module's recognised mask types in its table's order, then the empty text, then a fuzzed text.
    const std::vector<std::string>& maskTypes = korlix_host::recognisedMaskTypes();
    const uint8_t maskChoice = in.byte();
    blockSpec.maskType = maskChoice < maskTypes.size()    ? maskTypes[maskChoice]
                         : maskChoice == maskTypes.size() ? std::string()
                                                          : in.text();
    const uint8_t flags = in.byte();
    blockSpec.parameterCount = (flags & 0x3) == 3 ? 2 : ((flags & 0x3) == 2 ? 3 : (flags & 0x3));
    if ((flags & 0xc) == 0) {
        blockSpec.parameterCount = 2;
    }
    const uint8_t sys = in.byte();
    if (sys % 7 == 6) {
        blockSpec.executionSystem = std::nullopt;
    } else {
        blockSpec.executionSystem = quonix::ExecSysAnswer{sys & 0x80 ? "fuzzed error" : "", "target",
                                                          kSysTypes[sys % 7 % kSysTypes.size()]};
    }
    const double sampleTimes[] = {-1.0, 0.01, -2.0, 0.0};
    blockSpec.sampleTime = sampleTimes[(flags >> 4) & 0x3];
    if (flags & 0x40) {
        blockSpec.parameters = std::nullopt;
    } else {
        std::vector<quonix::ParamField> fields;
        while (in.size > 0) {
            const uint8_t pick = in.byte();
            std::string name = pick < kFieldNames.size() ? kFieldNames[pick] : in.text();
            bool seen = name.empty() || name.find('\0') != std::string::npos;
            for (const auto& field : fields) {
                seen = seen || field.name == name;
            }
            if (seen) {
                in.text();  // a structure has each field once
            } else if (pick == 0xfe) {
                fields.push_back({name, std::nullopt});
            } else {
                fields.push_back({name, in.text()});
            }
        }
        blockSpec.parameters = std::move(fields);
    }
    quonix::HostSettings settings;
    settings.sizesOnly = (flags & 0x80) != 0;
    settings.maxPorts = (sys & 0x40) ? 3 : 1024;
    quonix::BlockSpec& added = model.addBlock(blockSpec);

    for (int update = 0; update < 2; ++update) {
        quonix::BlockInstance inst(added, settings);
        inst.registration(&zupFunction);
        for (int flag : {HB_CALL_INITIALIZE_SAMPLE_TIMES, HB_CALL_START, HB_CALL_OUTPUTS, HB_CALL_TERMINATE,
                         HB_CALL_QRX}) {
            inst.callback(&zupFunction, flag);
        }
    }
    korlix::registry::destroyAll();
    quonix::releaseHostMemory();
    return 0;
}
