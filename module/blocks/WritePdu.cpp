// WritePdu: the PDU write block. The bytes of one PDU to send on its single input; it writes the block's
// parameter record and computes nothing on the host.
#include <string>

#include "blocks/families/PduFamily.hpp"
#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

class WritePdu final : public BaseFcn {
  public:
    void initializeSizes(HostBlock* S) override;
    void initializeSampleTimes(HostBlock* S) override { sampleTimeFromParameter(S); }
    void initializeForHost(HostBlock*) override {}
    void start(HostBlock*) override {}
    void outputs(HostBlock*, int32_t) override {}
    void update(HostBlock*, int32_t) override {}
    void terminate(HostBlock*) override {}
    void writeQRXRecord(HostBlock* S) override;
};

void WritePdu::initializeSizes(HostBlock* S) {
    if (!setNumOutputPorts(S, 0) || !setNumInputPorts(S, 1) || !checkTwoParams(S, gSizesError)) {
        return;
    }
    setInputPortDirectFeedThrough(S, 0, true);
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
    closingSetup(S, WorkVectors{.iwork = 1}, ModesField::SetterAndDirect);
    setExecSysCode(kExecNone);
}

void WritePdu::writeQRXRecord(HostBlock* S) {
    pdu::writeReadWriteRecord(S, gRecordError, Side::Write);
}

}  // namespace

std::unique_ptr<BaseFcn> makeWritePdu() {
    return std::make_unique<WritePdu>();
}

}  // namespace korlix
