// ReadPdu: the PDU read block. The bytes of one received PDU on output 0 and up to two boolean status
// outputs; it writes the block's parameter record and computes nothing on the host.
#include <string>

#include "blocks/families/PduFamily.hpp"
#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

class ReadPdu final : public BaseFcn {
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

void ReadPdu::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 0) || !checkTwoParams(S, gSizesError)) {
        return;
    }
    std::string enableUso;
    std::string enableUpdtBit;
    if (!readParamsOrReport(S, {{"EnableUSO", &enableUso}, {"EnableUpdtBit", &enableUpdtBit}}, gSizesError)) {
        return;
    }
    const int32_t numOutputs = 1 + (isSwitchOn(enableUso) ? 1 : 0) + (isSwitchOn(enableUpdtBit) ? 1 : 0);
    if (!setNumOutputPorts(S, numOutputs)) {
        return;
    }
    for (int32_t port = 1; port < numOutputs; ++port) {
        setOutputPortWidth(S, port, 1);
        setOutputPortDataType(S, port, HB_DTYPE_BOOLEAN);
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
    closingSetup(S, WorkVectors{.iwork = 1}, ModesField::SetterAndDirect);
    setExecSysCode(kExecNone);
}

void ReadPdu::writeQRXRecord(HostBlock* S) {
    pdu::writeReadWriteRecord(S, gRecordError, Side::Read);
}

}  // namespace

std::unique_ptr<BaseFcn> makeReadPdu() {
    return std::make_unique<ReadPdu>();
}

}  // namespace korlix
