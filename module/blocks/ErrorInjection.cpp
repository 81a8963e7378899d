// ErrorInjection: manipulates one FlexRay transmit frame when its boolean trigger input fires. The module
// checks the frame selection and the signal list, sets up the trigger input, and writes the parameter
// record, the integer work element (previous trigger value) and the signal indexes as parameter settings.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/QrxWriter.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

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

constexpr const char* kRecordFields[] = {"MaskType",        "ConfigValid",     "FrameLabel",
                                         "FrameIndex",      "ActionToPerform", "DisableFrameMethod",
                                         "NumberOfSignals", "SignalsIndexes",  "FrameTiming",
                                         "VXLInitFile",     "VXLFile",         "DeviceIndex"};
constexpr RecordKey kRecordKeys[] = {
    {"MaskType", Quote::Quoted},           {"ConfigValid", Quote::Bare},
    {"DeviceIndex", Quote::Bare},          {"FrameLabel", Quote::Quoted},
    {"FrameIndex", Quote::Bare},           {"ActionToPerform", Quote::Quoted},
    {"DisableFrameMethod", Quote::Quoted}, {"NumberOfSignals", Quote::Bare},
    {"SignalsIndexes", Quote::Quoted},     {"FrameTiming", Quote::Quoted},
    {"VXLInitFile", Quote::Quoted},        {"VXLFile", Quote::Quoted},
};
// This record's key field is wider than the 17 characters of the other blocks.
constexpr RecordTable kRecord{kRecordFields, kRecordKeys, 22};

void ErrorInjection::initializeSizes(HostBlock* S) {
    if (!checkTwoParams(S, gSizesError) || !setNumInputPorts(S, 1)) {
        return;
    }
    setTriggerInput(S, 0);
    markInputPort(S, 0);
    std::string frameLabel;
    if (!setNumOutputPorts(S, 0) || !readParamsOrReport(S, {{"FrameLabel", &frameLabel}}, gSizesError)) {
        return;
    }
    // No frame selected yet: the trigger port is enough, and the stored count and list stay as they were.
    if (isPlaceholderLabel(frameLabel, Placeholders::TransmitFrame)) {
        return;
    }
    // The count stays stored even when the index list below fails; the list then keeps its previous values.
    std::string text;
    std::vector<uint32_t> indexes;
    if (!readUint32OrReport(S, "NumberOfSignals", text, signalCount_, gSizesError) ||
        !readUint32ListOrReport(S, "SignalsIndexes", text, indexes, gSizesError)) {
        return;
    }
    signalIndexes_ = std::move(indexes);
    closingSetup(S, WorkVectors{.iwork = 1}, ModesField::SetterAndDirect);
}

void ErrorInjection::writeQRXRecord(HostBlock* S) {
    DialogTexts texts;
    if (!texts.read(S, kRecord, gRecordError)) {
        return;
    }
    recordMixedTimingAsEvent(texts);
    if (writeParamRecord(S, kRecord, texts) == 0 ||
        ssWriteQRXWorkVect(S, "IWork", 1, "PrevTrigInputVal", 1) == 0) {
        return;
    }
    // The stored count may exceed the stored list (the index text stopped parsing early, or a set-up ended
    // at a placeholder label before storing a new list): that is reported, and nothing is read past the list.
    writeIndexSettings(S, gRecordError, "SignalsIndexes", signalIndexes_, signalCount_);
}

}  // namespace

std::unique_ptr<BaseFcn> makeErrorInjection() {
    return std::make_unique<ErrorInjection>();
}

}  // namespace korlix
