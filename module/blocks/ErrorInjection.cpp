// ErrorInjection: manipulates one FlexRay transmit frame when its boolean trigger input fires. The module
// checks the frame selection and the signal list, sets up the trigger input, and writes the parameter
// record, the integer work element (previous trigger value) and the signal indexes as parameter settings.
#include <cstdint>
#include <string>
#include <vector>

#include "blocks/BlockFactories.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/QrxWriter.hpp"
#include "services/Params.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

// This record's key field is wider than the 17 characters of the other blocks.
constexpr int kKeyField = 22;

// Labels the dialog shows when it has no transmit frame to offer.
bool isPlaceholderLabel(const std::string& label) {
    return label == "<No configuration data found>" || label == "<No transmit frame found>" || label == "<>";
}

class ErrorInjection final : public BaseFcn {
  public:
    void initializeSizes(HostBlock* S) override;
    void initializeSampleTimes(HostBlock* S) override { sampleTimeFromParameter(S); }
    void initializeForHost(HostBlock*) override {}
    void start(HostBlock*) override {}
    void outputs(HostBlock*, int32_t) override {}
    void update(HostBlock*, int32_t) override {}
    void terminate(HostBlock*) override {}
    void writeQRXRecord(HostBlock* S) override;

  private:
    // Kept from the last set-up that got past the frame label for the record. Count and list are stored
    // independently and need not agree.
    uint32_t signalCount_ = 0;
    std::vector<uint32_t> signalIndexes_;
};

void ErrorInjection::initializeSizes(HostBlock* S) {
    if (!checkTwoParams(S, gSizesError)) {
        return;
    }
    if (!setNumInputPorts(S, 1)) {
        return;
    }
    setInputPortWidth(S, 0, 1);
    setInputPortAttributeBits(S, 0, 0x20);
    setInputPortDirectFeedThrough(S, 0, true);
    setInputPortDataType(S, 0, kBoolean);
    if (!setNumOutputPorts(S, 0)) {
        return;
    }

    std::string frameLabel;
    if (!readParamsOrReport(S, {{"FrameLabel", &frameLabel}}, gSizesError)) {
        return;
    }
    // No frame selected yet: the trigger port is enough, and the stored count and list stay as they were.
    if (isPlaceholderLabel(frameLabel)) {
        return;
    }

    std::string numberOfSignals;
    if (!readParamsOrReport(S, {{"NumberOfSignals", &numberOfSignals}}, gSizesError)) {
        return;
    }
    std::string errorText;
    uint32_t count = 0;
    stringToUint32(numberOfSignals, count, errorText);
    if (!errorText.empty()) {
        gSizesError.report(S, errorText);
        return;
    }
    signalCount_ = count;

    // The count above stays stored even when the index list below fails; the list then keeps its
    // previous values.
    std::string signalsIndexes;
    if (!readParamsOrReport(S, {{"SignalsIndexes", &signalsIndexes}}, gSizesError)) {
        return;
    }
    std::vector<uint32_t> indexes;
    stringToUint32Vector(signalsIndexes, indexes, errorText);
    if (!errorText.empty()) {
        gSizesError.report(S, errorText);
        return;
    }
    signalIndexes_ = std::move(indexes);

    closingSetup(S, WorkVectors{.iwork = 1, .rwork = 0, .pwork = 0}, ModesField::SetterAndDirect);
}

void ErrorInjection::writeQRXRecord(HostBlock* S) {
    std::string maskType, configValid, frameLabel, frameIndex, actionToPerform, disableFrameMethod,
        numberOfSignals, signalsIndexes, frameTiming, vxlInitFile, vxlFile, deviceIndex;
    if (!readParamsOrReport(S,
                            {{"MaskType", &maskType},
                             {"ConfigValid", &configValid},
                             {"FrameLabel", &frameLabel},
                             {"FrameIndex", &frameIndex},
                             {"ActionToPerform", &actionToPerform},
                             {"DisableFrameMethod", &disableFrameMethod},
                             {"NumberOfSignals", &numberOfSignals},
                             {"SignalsIndexes", &signalsIndexes},
                             {"FrameTiming", &frameTiming},
                             {"VXLInitFile", &vxlInitFile},
                             {"VXLFile", &vxlFile},
                             {"DeviceIndex", &deviceIndex}},
                            gRecordError)) {
        return;
    }
    // Mixed timing is handled by the generated code as event timing.
    if (frameTiming == "mixed") {
        frameTiming = "event";
    }

    auto line = [](const char* key, bool quoted, const std::string& value) {
        return RecordLine{key, fieldBlanks(key, kKeyField), quoted, value};
    };
    const std::string text = formatRecord({
        line("MaskType", true, maskType),
        line("ConfigValid", false, configValid),
        line("DeviceIndex", false, deviceIndex),
        line("FrameLabel", true, frameLabel),
        line("FrameIndex", false, frameIndex),
        line("ActionToPerform", true, actionToPerform),
        line("DisableFrameMethod", true, disableFrameMethod),
        line("NumberOfSignals", false, numberOfSignals),
        line("SignalsIndexes", true, signalsIndexes),
        line("FrameTiming", true, frameTiming),
        line("VXLInitFile", true, vxlInitFile),
        line("VXLFile", true, vxlFile),
    });
    if (ssWriteQRXString(S, text.c_str()) == 0) {
        return;
    }
    if (ssWriteQRXWorkVect(S, "IWork", 1, "PrevTrigInputVal", 1) == 0) {
        return;
    }
    // The stored count may exceed the stored list (the index text stopped parsing early, or a set-up ended
    // at a placeholder label before storing a new list): that is reported, and nothing is read past the list.
    if (!checkListCovers(S, gRecordError, "SignalsIndexes", signalIndexes_.size(), signalCount_)) {
        return;
    }
    // The indexes are written as 32-bit signed integers (data type id 6).
    ssWriteQRXParamSettings(S, 1, int32_t{SSWRITE_VALUE_DTYPE_VECT}, "SignalsIndexes",
                            static_cast<const void*>(signalIndexes_.data()),
                            static_cast<int32_t>(signalCount_), int32_t{kInt32});
}

}  // namespace

std::unique_ptr<BaseFcn> makeErrorInjection() {
    return std::make_unique<ErrorInjection>();
}

}  // namespace korlix
