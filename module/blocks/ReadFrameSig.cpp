// ReadFrameSig: the frame signal read block ("ReadFrameSignals"). One scalar output per selected signal of
// a received frame, plus up to two boolean status outputs; the record names the frame, the signals and how
// they are accessed, and carries the signal indexes as parameter settings.
#include <string>

#include "blocks/families/FrameSignalFamily.hpp"
#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

class ReadFrameSig final : public BaseFcn {
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

void ReadFrameSig::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 0) || !checkTwoParams(S, gSizesError)) {
        return;
    }
    if (isParamStructEmpty(S)) {
        // A block without dialog data yet: one double output keeps the diagram drawable.
        if (setNumOutputPorts(S, 1)) {
            setOutputPortWidth(S, 0, 1);
            setOutputPortDataType(S, 0, HB_DTYPE_DOUBLE);
        }
        return;
    }
    std::string accessLevel;
    if (!readParamsOrReport(S, {{"AccessLevel", &accessLevel}}, gSizesError)) {
        return;
    }
    signals_.coded = accessLevel == "Coded";
    std::string numberOfSignals;
    if (!readUint32OrReport(S, "NumberOfSignals", numberOfSignals, signals_.count, gSizesError)) {
        return;
    }
    std::string enableUso;
    std::string enableVso;
    if (!readParamsOrReport(S, {{"EnableUSO", &enableUso}, {"EnableVSO", &enableVso}}, gSizesError)) {
        return;
    }
    const int32_t statusOutputs = (isSwitchOn(enableUso) ? 1 : 0) + (isSwitchOn(enableVso) ? 1 : 0);
    if (!setNumOutputPorts(S, signalPortCount(signals_.count, statusOutputs))) {
        return;
    }
    for (int32_t port = 0; port < getNumOutputPorts(S); ++port) {
        setOutputPortWidth(S, port, 1);
    }
    std::string frameLabel;
    if (!readParamsOrReport(S, {{"FrameLabel", &frameLabel}}, gSizesError) ||
        isPlaceholderLabel(frameLabel, Placeholders::ReceiveFrame) ||
        !frame::setSignalDataTypes(S, gSizesError, Side::Read, PortSide::Outputs, numberOfSignals,
                                   signals_)) {
        return;
    }
    for (int32_t port = getNumOutputPorts(S) - statusOutputs; port < getNumOutputPorts(S); ++port) {
        setOutputPortDataType(S, port, HB_DTYPE_BOOLEAN);
    }
    if (frame::readIndexes(S, gSizesError, signals_)) {
        closingSetup(S, WorkVectors{});
    }
}

void ReadFrameSig::writeQRXRecord(HostBlock* S) {
    frame::writeRecord(S, gRecordError, Side::Read, signals_);
}

}  // namespace

std::unique_ptr<BaseFcn> makeReadFrameSig() {
    return std::make_unique<ReadFrameSig>();
}

}  // namespace korlix
