// WriteFrameSig: input set-up from the signal count, access level and frame timing, and the record followed
// by the work-vector defines and the signal indexes as parameter settings.
#include "blocks/WriteFrameSig.hpp"

#include "blocks/BlockFactories.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/QrxWriter.hpp"
#include "services/Params.hpp"

namespace korlix {

static ErrorBuffer sizesError;
static ErrorBuffer recordError;

// Every record value starts after eight blanks and this key field.
static constexpr int kKeyField = 19;

static bool isWritePlaceholder(const std::string& label) {
    return label == "<No configuration data found>" || label == "<No transmit frame found>" || label == "<>";
}

static bool isTriggered(const std::string& frameTiming) {
    return frameTiming == "event" || frameTiming == "mixed";
}

void WriteFrameSig::initializeSizes(HostBlock* S) {
    if (!checkTwoParams(S, sizesError)) {
        return;
    }
    if (!setNumOutputPorts(S, 0)) {
        return;
    }
    if (isParamStructEmpty(S)) {
        // A block without dialog data yet: one double input keeps the diagram drawable.
        if (!setNumInputPorts(S, 1)) {
            return;
        }
        setInputPortWidth(S, 0, 1);
        setInputPortDataType(S, 0, kDouble);
        return;
    }

    // ConfigValid only has to exist here; the record copies it.
    std::string configValid;
    std::string numberOfSignals;
    std::string frameLabel;
    if (!readParamsOrReport(S,
                            {{"ConfigValid", &configValid},
                             {"NumberOfSignals", &numberOfSignals},
                             {"FrameLabel", &frameLabel}},
                            sizesError)) {
        return;
    }
    if (isWritePlaceholder(frameLabel)) {
        return;
    }

    std::string accessLevel;
    if (!readParamsOrReport(S, {{"AccessLevel", &accessLevel}}, sizesError)) {
        return;
    }
    coded_ = accessLevel == "Coded";

    std::string errorText;
    stringToUint32(numberOfSignals, numSignals_, errorText);
    if (!errorText.empty()) {
        sizesError.report(S, errorText);
        return;
    }

    std::string frameTiming;
    if (!readParamsOrReport(S, {{"FrameTiming", &frameTiming}}, sizesError)) {
        return;
    }
    if (frameTiming != "event" && frameTiming != "cyclic" && frameTiming != "mixed") {
        sizesError.reportf(S,
                           "Invalid frame timing type found (%s). Expected values are 'event' or 'cyclic' or "
                           "'mixed'.\n",
                           frameTiming.c_str());
        return;
    }
    frameTiming_ = frameTiming;
    const bool trigger = isTriggered(frameTiming_);

    if (!setNumInputPorts(S, signalPortCount(numSignals_, trigger ? 1 : 0))) {
        return;
    }
    for (int32_t port = 0; port < getNumInputPorts(S); ++port) {
        setInputPortWidth(S, port, 1);
    }
    const auto n = static_cast<int32_t>(numSignals_);  // fits: the host accepted n (+ trigger) ports

    if (isSizesOnlyMode(S) || !coded_) {
        for (int32_t port = 0; port < n; ++port) {
            setInputPortDataType(S, port, kDouble);
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
            sizesError.reportf(
                S,
                "Error converting block data type string (\"%s\") in identifier: The length of "
                "the obtained identifiers vector (= %d) is not equal to the number of signals "
                "(= %d) \n",
                dataTypesText.c_str(), static_cast<int>(ids.size()), static_cast<int>(n));
            return;
        }
        dataTypes_ = std::move(ids);
        for (int32_t port = 0; port < n; ++port) {
            setInputPortDataType(S, port, dataTypes_[static_cast<std::size_t>(port)]);
        }
    }
    if (trigger) {
        setInputPortDataType(S, n, kBoolean);
    }
    for (int32_t port = 0; port < getNumInputPorts(S); ++port) {
        setInputPortDirectFeedThrough(S, port, true);
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

    WorkVectors work;
    work.iwork = 2;  // PrevTrigInputVal, CommitTrigger
    closingSetup(S, work);
}

void WriteFrameSig::initializeSampleTimes(HostBlock* S) {
    sampleTimeFromParameter(S);
}

void WriteFrameSig::initializeForHost(HostBlock* /*S*/) {}
void WriteFrameSig::start(HostBlock* /*S*/) {}
void WriteFrameSig::outputs(HostBlock* /*S*/, int32_t /*tid*/) {}
void WriteFrameSig::update(HostBlock* /*S*/, int32_t /*tid*/) {}
void WriteFrameSig::terminate(HostBlock* /*S*/) {}

void WriteFrameSig::writeQRXRecord(HostBlock* S) {
    std::string maskType, configValid, frameLabel, frameIndex, accessLevel, numberOfSignals, signalsIndexes,
        frameTiming, triggerEdge, vxlInitFile, vxlFile, deviceIndex;
    if (!readParamsOrReport(S,
                            {{"MaskType", &maskType},
                             {"ConfigValid", &configValid},
                             {"FrameLabel", &frameLabel},
                             {"FrameIndex", &frameIndex},
                             {"AccessLevel", &accessLevel},
                             {"NumberOfSignals", &numberOfSignals},
                             {"SignalsIndexes", &signalsIndexes},
                             {"FrameTiming", &frameTiming},
                             {"TriggerEdge", &triggerEdge},
                             {"VXLInitFile", &vxlInitFile},
                             {"VXLFile", &vxlFile},
                             {"DeviceIndex", &deviceIndex}},
                            recordError)) {
        return;
    }
    // A mixed frame is recorded as an event frame.
    if (frameTiming == "mixed") {
        frameTiming = "event";
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
        {"FrameTiming", fieldBlanks("FrameTiming", kKeyField), true, frameTiming},
        {"TriggerEdge", fieldBlanks("TriggerEdge", kKeyField), true, triggerEdge},
        {"VXLInitFile", fieldBlanks("VXLInitFile", kKeyField), true, vxlInitFile},
        {"VXLFile", fieldBlanks("VXLFile", kKeyField), true, vxlFile},
    });
    // Each of the three pieces is written whatever the one before answered.
    ssWriteQRXString(S, record.c_str());
    ssWriteQRXWorkVect(S, "IWork", 2, "PrevTrigInputVal", 1, "CommitTrigger", 1);
    if (!checkListCovers(S, recordError, "SignalsIndexes", indexes_.size(), numSignals_)) {
        return;
    }
    // The unsigned indexes go out as signed 32-bit integers.
    const std::vector<int32_t> values(indexes_.begin(), indexes_.begin() + numSignals_);
    ssWriteQRXParamSettings(S, 1, static_cast<int32_t>(SSWRITE_VALUE_DTYPE_VECT), "SignalsIndexes",
                            static_cast<const void*>(values.data()), static_cast<int32_t>(numSignals_),
                            static_cast<int32_t>(kInt32));
}

std::unique_ptr<BaseFcn> makeWriteFrameSig() {
    return std::make_unique<WriteFrameSig>();
}

}  // namespace korlix
