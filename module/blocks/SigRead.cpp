// SigRead: signal port set-up from the execution system and UseCoded, the inherited sample time and the
// twelve-line parameter record.
#include "blocks/SigRead.hpp"

#include <string>

#include "blocks/BlockFactories.hpp"
#include "framework/QrxWriter.hpp"
#include "services/Params.hpp"
#include "services/Workspace.hpp"

namespace korlix {

static ErrorBuffer sizesError;
static ErrorBuffer recordError;

// Values of both twins' records start after a key field of this many characters.
static constexpr int kKeyField = 17;

bool chooseSignalDataType(HostBlock* S, int32_t& execSysCode, bool useCoded, ErrorBuffer& buffer,
                          int32_t& id) {
    std::string execSys;
    std::string errorText;
    queryExecutionSystem(getBlockHandle(S), execSys, execSysCode, errorText);
    if (!useCoded && (execSysCode == kExecHost || execSysCode == kExecOpalrt || execSysCode == kExecKvd)) {
        id = kDouble;
        return true;
    }
    // The lookup keeps an error the query left, so that one is reported first.
    std::string dataType;
    getSFcnParamString(S, "DataType", dataType, errorText);
    if (!errorText.empty()) {
        buffer.report(S, errorText);
        return false;
    }
    id = dataTypeNameToId(dataType);
    if (id < 0) {
        buffer.reportf(S, "Unsupported data type found: \"%s\"", dataType.c_str());
        return false;
    }
    return true;
}

void signalClosingSetup(HostBlock* S) {
    setNumContStates(S, 0);
    setNumDiscStates(S, 0);
    setNumSampleTimes(S, 1);
    setNumIWork(S, 0);
    setNumRWork(S, 0);
    setNumPWork(S, 0);
    setNumNonsampledZCs(S, 0);
    setNumModes(S, 0);
    setOptions(S, 0x80020);
}

void SigRead::initializeSizes(HostBlock* S) {
    std::string useCodedText;
    std::string enableRsoText;
    if (!readParamsOrReport(S, {{"UseCoded", &useCodedText}, {"EnableRSO", &enableRsoText}}, sizesError)) {
        return;
    }
    const bool useCoded = isSwitchOn(useCodedText);
    const bool enableRso = isSwitchOn(enableRsoText);

    if (!setNumInputPorts(S, 0)) {
        return;
    }
    if (!setNumOutputPorts(S, enableRso ? 2 : 1)) {
        return;
    }
    for (int32_t port = 0; port < getNumOutputPorts(S); ++port) {
        setOutputPortWidth(S, port, 1);
    }

    int32_t id = kDouble;
    if (!chooseSignalDataType(S, execSysRef(), useCoded, sizesError, id)) {
        return;
    }
    setOutputPortDataType(S, 0, id);
    if (enableRso) {
        setOutputPortDataType(S, 1, kUInt32);
    }
    signalClosingSetup(S);
}

void SigRead::initializeSampleTimes(HostBlock* S) {
    sampleTimeInherited(S);
}

void SigRead::initializeForHost(HostBlock* /*S*/) {}
void SigRead::start(HostBlock* /*S*/) {}
void SigRead::outputs(HostBlock* /*S*/, int32_t /*tid*/) {}
void SigRead::update(HostBlock* /*S*/, int32_t /*tid*/) {}
void SigRead::terminate(HostBlock* /*S*/) {}

void SigRead::writeQRXRecord(HostBlock* S) {
    std::string maskType, configValid, signalName, signalIndex, dataType, useCoded, enableRso, enableVPort,
        groupIndex, groupLabel, vxlInitFile, vxlFile;
    if (!readParamsOrReport(S,
                            {{"MaskType", &maskType},
                             {"ConfigValid", &configValid},
                             {"SignalName", &signalName},
                             {"SignalIndex", &signalIndex},
                             {"DataType", &dataType},
                             {"UseCoded", &useCoded},
                             {"EnableRSO", &enableRso},
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
        {"EnableRSO", fieldBlanks("EnableRSO", kKeyField), true, enableRso},
        {"EnableVPort", fieldBlanks("EnableVPort", kKeyField), true, enableVPort},
        {"SignalGroupIndex", fieldBlanks("SignalGroupIndex", kKeyField), false, groupIndex},
        {"SignalGroupLabel", fieldBlanks("SignalGroupLabel", kKeyField), true, groupLabel},
        {"VXLInitFile", fieldBlanks("VXLInitFile", kKeyField), true, vxlInitFile},
        {"VXLFile", fieldBlanks("VXLFile", kKeyField), true, vxlFile},
    });
    // The writer's answer is not examined: this record is the block's only entry.
    ssWriteQRXString(S, record.c_str());
}

std::unique_ptr<BaseFcn> makeSigRead() {
    return std::make_unique<SigRead>();
}

}  // namespace korlix
