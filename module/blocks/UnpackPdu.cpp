// UnpackPdu: the PDU unpack block. The PDU's bytes on input 0, one scalar signal per output; the module
// checks the per-signal descriptions and writes the same record as the pack block, the unpacking is the
// generated code's.
#include <string>

#include "blocks/families/PduFamily.hpp"
#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

class UnpackPdu final : public BaseFcn {
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
    pdu::SignalLists lists_;
};

void UnpackPdu::initializeSizes(HostBlock* S) {
    if (!checkTwoParams(S, gSizesError) || !setNumInputPorts(S, 1)) {
        return;
    }
    setInputPortDataType(S, 0, HB_DTYPE_UINT8);
    int32_t width = 0;
    if (!pdu::readByteWidth(S, gSizesError, width)) {
        return;
    }
    setInputPortWidth(S, 0, width);
    std::string pduLabel;
    if (!readParamsOrReport(S, {{"PduLabel", &pduLabel}}, gSizesError) ||
        isPlaceholderLabel(pduLabel, Placeholders::Pdu)) {
        return;
    }
    markInputPort(S, 0);
    setInputPortDirectFeedThrough(S, 0, true);
    if (pdu::setUpSignals(S, gSizesError, "Unpack PDU", PortSide::Outputs, pduLabel, lists_)) {
        closingSetup(S, WorkVectors{});
    }
}

void UnpackPdu::writeQRXRecord(HostBlock* S) {
    pdu::writeSignalRecord(S, gRecordError, lists_);
}

}  // namespace

std::unique_ptr<BaseFcn> makeUnpackPdu() {
    return std::make_unique<UnpackPdu>();
}

}  // namespace korlix
