// ReadFrameSig: output set-up from the signal count, access level and status switches, and the record with
// the signal indexes as parameter settings.
#include "blocks/ReadFrameSig.hpp"

#include <string>

#include "blocks/BlockFactories.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/QrxWriter.hpp"
#include "services/Params.hpp"

namespace korlix {

static ErrorBuffer sizesError;
static ErrorBuffer recordError;

// Every record value starts after eight blanks and this key field.
static constexpr int kKeyField = 19;

static bool isReadPlaceholder(const std::string& label) {
    return label == "<No configuration data found>" || label == "<No receive frame found>" || label == "<>";
}

void ReadFrameSig::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 0)) {
        return;
    }
    if (!checkTwoParams(S, sizesError)) {
        return;
    }
    if (isParamStructEmpty(S)) {
        // A block without dialog data yet: one double output keeps the diagram drawable.
        if (!setNumOutputPorts(S, 1)) {
            return;
        }
        setOutputPortWidth(S, 0, 1);
        setOutputPortDataType(S, 0, kDouble);
        return;
    }

    std::string accessLevel;
    if (!readParamsOrReport(S, {{"AccessLevel", &accessLevel}}, sizesError)) {
        return;
    }
    coded_ = accessLevel == "Coded";

    std::string numberOfSignals;
    if (!readParamsOrReport(S, {{"NumberOfSignals", &numberOfSignals}}, sizesError)) {
        return;
    }
    std::string errorText;
    stringToUint32(numberOfSignals, numSignals_, errorText);
    if (!errorText.empty()) {
        sizesError.report(S, errorText);
        return;
    }

    std::string enableUso;
    std::string enableVso;
    if (!readParamsOrReport(S, {{"EnableUSO", &enableUso}, {"EnableVSO", &enableVso}}, sizesError)) {
        return;
    }
    enableUso_ = isSwitchOn(enableUso);
    enableVso_ = isSwitchOn(enableVso);
    const int32_t statusOutputs = (enableUso_ ? 1 : 0) + (enableVso_ ? 1 : 0);

    if (!setNumOutputPorts(S, signalPortCount(numSignals_, statusOutputs))) {
        return;
    }
    for (int32_t port = 0; port < getNumOutputPorts(S); ++port) {
        setOutputPortWidth(S, port, 1);
    }
    const auto n = static_cast<int32_t>(numSignals_);  // fits: the host accepted n + statusOutputs ports

    std::string frameLabel;
    if (!readParamsOrReport(S, {{"FrameLabel", &frameLabel}}, sizesError)) {
        return;
    }
    if (isReadPlaceholder(frameLabel)) {
        return;
    }

    if (isSizesOnlyMode(S) || !coded_) {
        for (int32_t port = 0; port < n; ++port) {
            setOutputPortDataType(S, port, kDouble);
        }
    } else {
        std::string dataTypesText;
        if (!readParamsOrReport(S, {{"SignalsDTypes", &dataTypesText}}, sizesError)) {
            return;
        }
        std::vector<int32_t> ids;
        parseDataTypeList(dataTypesText, ids, errorText);
        if (!errorText.empty()) {
            sizesError.report(S, errorText);
            return;
        }
        if (ids.size() != numSignals_) {
            sizesError.reportf(S,
                               "Error converting block data type string %s in identifier: The length of the "
                               "obtained identifiers vector %d is not equal to the number of signals %d "
                               "(value read %s)\n",
                               dataTypesText.c_str(), static_cast<int>(ids.size()), static_cast<int>(n),
                               numberOfSignals.c_str());
            return;
        }
        dataTypes_ = std::move(ids);
        for (int32_t port = 0; port < n; ++port) {
            setOutputPortDataType(S, port, dataTypes_[static_cast<std::size_t>(port)]);
        }
    }
    for (int32_t port = n; port < n + statusOutputs; ++port) {
        setOutputPortDataType(S, port, kBoolean);
    }

    std::string indexesText;
    if (!readParamsOrReport(S, {{"SignalsIndexes", &indexesText}}, sizesError)) {
        return;
    }
    std::vector<uint32_t> indexes;
    stringToUint32Vector(indexesText, indexes, errorText);
    if (!errorText.empty()) {
        sizesError.report(S, errorText);
        return;
    }
    // Not checked against the signal count here; the record checks what it writes.
    indexes_ = std::move(indexes);

    closingSetup(S, WorkVectors{});
}

void ReadFrameSig::initializeSampleTimes(HostBlock* S) {
    sampleTimeFromParameter(S);
}

void ReadFrameSig::initializeForHost(HostBlock* /*S*/) {}
void ReadFrameSig::start(HostBlock* /*S*/) {}
void ReadFrameSig::outputs(HostBlock* /*S*/, int32_t /*tid*/) {}
void ReadFrameSig::update(HostBlock* /*S*/, int32_t /*tid*/) {}
void ReadFrameSig::terminate(HostBlock* /*S*/) {}

void ReadFrameSig::writeQRXRecord(HostBlock* S) {
    std::string maskType, configValid, frameLabel, frameIndex, accessLevel, numberOfSignals, signalsIndexes,
        signalsDTypes, enableUso, enableVso, vxlInitFile, vxlFile, deviceIndex;
    if (!readParamsOrReport(S,
                            {{"MaskType", &maskType},
                             {"ConfigValid", &configValid},
                             {"FrameLabel", &frameLabel},
                             {"FrameIndex", &frameIndex},
                             {"AccessLevel", &accessLevel},
                             {"NumberOfSignals", &numberOfSignals},
                             {"SignalsIndexes", &signalsIndexes},
                             {"SignalsDTypes", &signalsDTypes},
                             {"EnableUSO", &enableUso},
                             {"EnableVSO", &enableVso},
                             {"VXLInitFile", &vxlInitFile},
                             {"VXLFile", &vxlFile},
                             {"DeviceIndex", &deviceIndex}},
                            recordError)) {
        return;
    }
    const std::string record = formatRecord({
        {"MaskType", fieldBlanks("MaskType", kKeyField), true, maskType},
        {"DeviceIndex", fieldBlanks("DeviceIndex", kKeyField), false, deviceIndex},
        {"ConfigValid", fieldBlanks("ConfigValid", kKeyField), false, configValid},
        {"FrameLabel", fieldBlanks("FrameLabel", kKeyField), true, frameLabel},
        {"FrameIndex", fieldBlanks("FrameIndex", kKeyField), false, frameIndex},
        {"AccessLevel", fieldBlanks("AccessLevel", kKeyField), true, accessLevel},
        {"NumberOfSignals", fieldBlanks("NumberOfSignals", kKeyField), false, numberOfSignals},
        {"SignalsIndexes", fieldBlanks("SignalsIndexes", kKeyField), true, signalsIndexes},
        {"SignalsDTypes", fieldBlanks("SignalsDTypes", kKeyField), true, signalsDTypes},
        {"EnableUSO", fieldBlanks("EnableUSO", kKeyField), true, enableUso},
        {"EnableVSO", fieldBlanks("EnableVSO", kKeyField), true, enableVso},
        {"VXLInitFile", fieldBlanks("VXLInitFile", kKeyField), true, vxlInitFile},
        {"VXLFile", fieldBlanks("VXLFile", kKeyField), true, vxlFile},
    });
    if (ssWriteQRXString(S, record.c_str()) != 1) {
        return;
    }
    if (!checkListCovers(S, recordError, "SignalsIndexes", indexes_.size(), numSignals_)) {
        return;
    }
    // The unsigned indexes go out as signed 32-bit integers.
    const std::vector<int32_t> values(indexes_.begin(), indexes_.begin() + numSignals_);
    ssWriteQRXParamSettings(S, 1, static_cast<int32_t>(SSWRITE_VALUE_DTYPE_VECT), "SignalsIndexes",
                            static_cast<const void*>(values.data()), static_cast<int32_t>(numSignals_),
                            static_cast<int32_t>(kInt32));
}

std::unique_ptr<BaseFcn> makeReadFrameSig() {
    return std::make_unique<ReadFrameSig>();
}

}  // namespace korlix
