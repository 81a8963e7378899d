// WriteFrameSig: the frame signal write block ("WriteFrameSignals"). One scalar input per selected signal of
// a frame to send, plus a boolean trigger input when the frame is sent on events; two integer work elements.
// The record is followed by the work-vector defines and the signal indexes as parameter settings.
#include <string>

#include "blocks/families/FrameSignalFamily.hpp"
#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

class WriteFrameSig final : public BaseFcn {
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
    frame::Signals signals_;
};

void WriteFrameSig::initializeSizes(HostBlock* S) {
    if (!checkTwoParams(S, gSizesError) || !setNumOutputPorts(S, 0)) {
        return;
    }
    if (isParamStructEmpty(S)) {
        // A block without dialog data yet: one double input keeps the diagram drawable.
        if (setNumInputPorts(S, 1)) {
            setInputPortWidth(S, 0, 1);
            setInputPortDataType(S, 0, HB_DTYPE_DOUBLE);
        }
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
                            gSizesError) ||
        isPlaceholderLabel(frameLabel, Placeholders::TransmitFrame)) {
        return;
    }
    std::string accessLevel;
    if (!readParamsOrReport(S, {{"AccessLevel", &accessLevel}}, gSizesError)) {
        return;
    }
    signals_.coded = accessLevel == "Coded";
    std::string frameTiming;
    if (!toUint32OrReport(S, numberOfSignals, signals_.count, gSizesError) ||
        !readParamsOrReport(S, {{"FrameTiming", &frameTiming}}, gSizesError)) {
        return;
    }
    if (frameTiming != "event" && frameTiming != "cyclic" && frameTiming != "mixed") {
        gSizesError.reportf(
            S,
            "Invalid frame timing type found (%s). Expected values are 'event' or 'cyclic' or "
            "'mixed'.\n",
            frameTiming.c_str());
        return;
    }
    // Frames sent on events take a trigger input after the signals.
    const bool trigger = frameTiming != "cyclic";
    if (!setNumInputPorts(S, signalPortCount(signals_.count, trigger ? 1 : 0))) {
        return;
    }
    for (int32_t port = 0; port < getNumInputPorts(S); ++port) {
        setInputPortWidth(S, port, 1);
    }
    if (!frame::setSignalDataTypes(S, gSizesError, Side::Write, PortSide::Inputs, numberOfSignals,
                                   signals_)) {
        return;
    }
    if (trigger) {
        setInputPortDataType(S, getNumInputPorts(S) - 1, HB_DTYPE_BOOLEAN);
    }
    for (int32_t port = 0; port < getNumInputPorts(S); ++port) {
        setInputPortDirectFeedThrough(S, port, true);
    }
    if (frame::readIndexes(S, gSizesError, signals_)) {
        closingSetup(S, WorkVectors{.iwork = 2});  // PrevTrigInputVal, CommitTrigger
    }
}

void WriteFrameSig::writeQRXRecord(HostBlock* S) {
    frame::writeRecord(S, gRecordError, Side::Write, signals_);
}

}  // namespace

std::unique_ptr<BaseFcn> makeWriteFrameSig() {
    return std::make_unique<WriteFrameSig>();
}

}  // namespace korlix
