// SigWrite: signal port set-up from the execution system and UseCoded, the inherited sample time and the
// twelve-line parameter record.
#include "blocks/SigWrite.hpp"

#include <string>

#include "blocks/BlockFactories.hpp"
#include "blocks/SigRead.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/QrxWriter.hpp"

namespace korlix {

static ErrorBuffer sizesError;
static ErrorBuffer recordError;

static constexpr int kKeyField = 17;

void SigWrite::initializeSizes(HostBlock* S) {
    std::string useCodedText;
    std::string enableVPortText;
    if (!readParamsOrReport(S, {{"UseCoded", &useCodedText}, {"EnableVPort", &enableVPortText}},
                            sizesError)) {
        return;
    }
    const bool useCoded = isSwitchOn(useCodedText);
    const bool enableVPort = isSwitchOn(enableVPortText);

    if (!setNumInputPorts(S, enableVPort ? 2 : 1)) {
        return;
    }
    for (int32_t port = 0; port < getNumInputPorts(S); ++port) {
        setInputPortWidth(S, port, 1);
    }

    int32_t id = kDouble;
    if (!chooseSignalDataType(S, execSysRef(), useCoded, sizesError, id)) {
        return;
    }
    setInputPortDataType(S, 0, id);
    if (enableVPort) {
        setInputPortDataType(S, 1, kBoolean);
    }
    for (int32_t port = 0; port < getNumInputPorts(S); ++port) {
        setInputPortDirectFeedThrough(S, port, true);
    }
    if (!setNumOutputPorts(S, 0)) {
        return;
    }
    signalClosingSetup(S);
}

void SigWrite::initializeSampleTimes(HostBlock* S) {
    sampleTimeInherited(S);
}

void SigWrite::initializeForHost(HostBlock* /*S*/) {}
void SigWrite::start(HostBlock* /*S*/) {}
void SigWrite::outputs(HostBlock* /*S*/, int32_t /*tid*/) {}
void SigWrite::update(HostBlock* /*S*/, int32_t /*tid*/) {}
void SigWrite::terminate(HostBlock* /*S*/) {}

void SigWrite::writeQRXRecord(HostBlock* S) {
    std::string maskType, configValid, signalName, signalIndex, dataType, useCoded, enableTso, enableVPort,
        groupIndex, groupLabel, vxlInitFile, vxlFile;
    if (!readParamsOrReport(S,
                            {{"MaskType", &maskType},
                             {"ConfigValid", &configValid},
                             {"SignalName", &signalName},
                             {"SignalIndex", &signalIndex},
                             {"DataType", &dataType},
                             {"UseCoded", &useCoded},
                             {"EnableTSO", &enableTso},
                             {"EnableVPort", &enableVPort},
                             {"SignalGroupIndex", &groupIndex},
                             {"SignalGroupLabel", &groupLabel},
                             {"VXLInitFile", &vxlInitFile},
                             {"VXLFile", &vxlFile}},
                            recordError)) {
        return;
    }
    const std::string record = formatRecord({
        {"MaskType", fieldBlanks("MaskType", kKeyField), true, maskType},
        {"ConfigValid", fieldBlanks("ConfigValid", kKeyField), false, configValid},
        {"SignalName", fieldBlanks("SignalName", kKeyField), true, signalName},
        {"SignalIndex", fieldBlanks("SignalIndex", kKeyField), false, signalIndex},
        {"DataType", fieldBlanks("DataType", kKeyField), true, dataType},
        {"UseCoded", fieldBlanks("UseCoded", kKeyField), true, useCoded},
        {"EnableTSO", fieldBlanks("EnableTSO", kKeyField), true, enableTso},
        // This one line of the write record is led by two tabs instead of eight blanks.
        {"EnableVPort", fieldBlanks("EnableVPort", kKeyField), true, enableVPort, "\t\t"},
        {"SignalGroupIndex", fieldBlanks("SignalGroupIndex", kKeyField), false, groupIndex},
        {"SignalGroupLabel", fieldBlanks("SignalGroupLabel", kKeyField), true, groupLabel},
        {"VXLInitFile", fieldBlanks("VXLInitFile", kKeyField), true, vxlInitFile},
        {"VXLFile", fieldBlanks("VXLFile", kKeyField), true, vxlFile},
    });
    // The writer's answer is not examined: this record is the block's only entry.
    ssWriteQRXString(S, record.c_str());
}

std::unique_ptr<BaseFcn> makeSigWrite() {
    return std::make_unique<SigWrite>();
}

}  // namespace korlix
