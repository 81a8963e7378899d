// PackPdu: the PDU pack block. One scalar signal per input, the PDU's bytes on output 0; the module checks
// the per-signal descriptions and passes them into the record, the packing is the generated code's.
#include <string>

#include "blocks/families/PduFamily.hpp"
#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

class PackPdu final : public BaseFcn {
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

void PackPdu::initializeSizes(HostBlock* S) {
    if (!checkTwoParams(S, gSizesError) || !setNumOutputPorts(S, 1)) {
        return;
    }
    int32_t width = 0;
    if (!pdu::readByteWidth(S, gSizesError, width)) {
        return;
    }
    setOutputPortDataType(S, 0, HB_DTYPE_UINT8);
    setOutputPortWidth(S, 0, width);
    std::string pduLabel;
    if (!readParamsOrReport(S, {{"PduLabel", &pduLabel}}, gSizesError) ||
        isPlaceholderLabel(pduLabel, Placeholders::Pdu)) {
        return;
    }
    if (pdu::setUpSignals(S, gSizesError, "Pack PDU", PortSide::Inputs, pduLabel, lists_)) {
        closingSetup(S, WorkVectors{});
    }
}

void PackPdu::writeQRXRecord(HostBlock* S) {
    pdu::writeSignalRecord(S, gRecordError, lists_);
}

}  // namespace

std::unique_ptr<BaseFcn> makePackPdu() {
    return std::make_unique<PackPdu>();
}

}  // namespace korlix
