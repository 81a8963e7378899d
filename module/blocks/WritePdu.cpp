// WritePdu: the PDU write block. Shapes the byte input and writes the block's parameter record; on the
// host it computes nothing.
#include "blocks/WritePdu.hpp"

#include <memory>
#include <string>

#include "blocks/BlockFactories.hpp"
#include "blocks/ReadPdu.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/QrxWriter.hpp"
#include "services/Params.hpp"

namespace korlix {

// One message buffer per reporting operation, alive as long as the module.
static ErrorBuffer sizesError;
static ErrorBuffer recordError;

void WritePdu::initializeSizes(HostBlock* S) {
    if (!setNumOutputPorts(S, 0) || !setNumInputPorts(S, 1)) {
        return;
    }
    if (!checkTwoParams(S, sizesError)) {
        return;
    }
    setInputPortDirectFeedThrough(S, 0, true);
    setInputPortDataType(S, 0, kUInt8);
    int32_t width = 0;
    if (!pdu::readByteWidth(S, sizesError, width)) {
        return;
    }
    setInputPortWidth(S, 0, width);
    std::string pduLabel;
    if (!readParamsOrReport(S, {{"PduLabel", &pduLabel}}, sizesError)) {
        return;
    }
    if (pdu::isPlaceholderLabel(pduLabel)) {
        return;
    }
    setInputPortAttributeBits(S, 0, 0x20);
    closingSetup(S, WorkVectors{/*iwork=*/1, /*rwork=*/0, /*pwork=*/0}, ModesField::SetterAndDirect);
    setExecSysCode(kExecNone);
}

void WritePdu::initializeSampleTimes(HostBlock* S) {
    sampleTimeFromParameter(S);
}

void WritePdu::initializeForHost(HostBlock* /*S*/) {}

void WritePdu::start(HostBlock* /*S*/) {}

void WritePdu::outputs(HostBlock* /*S*/, int32_t /*tid*/) {}

void WritePdu::update(HostBlock* /*S*/, int32_t /*tid*/) {}

void WritePdu::terminate(HostBlock* /*S*/) {}

void WritePdu::writeQRXRecord(HostBlock* S) {
    std::string maskType;
    std::string configValid;
    std::string pduLabel;
    std::string pduIndex;
    std::string pduLength;
    std::string vxlInitFile;
    std::string vxlFile;
    std::string deviceIndex;
    if (!readParamsOrReport(S,
                            {{"MaskType", &maskType},
                             {"ConfigValid", &configValid},
                             {"PduLabel", &pduLabel},
                             {"PduIndex", &pduIndex},
                             {"PduLength", &pduLength},
                             {"VXLInitFile", &vxlInitFile},
                             {"VXLFile", &vxlFile},
                             {"DeviceIndex", &deviceIndex}},
                            recordError)) {
        return;
    }
    // Unlike the read block, the write block quotes PduLength.
    const std::string record = formatRecord({
        {"MaskType", 14, true, maskType},
        {"ConfigValid", 11, false, configValid},
        {"DeviceIndex", 11, false, deviceIndex},
        {"PduLabel", 12, true, pduLabel},
        {"PduIndex", 12, false, pduIndex},
        {"PduLength", 7, true, pduLength},
        {"VXLInitFile", 11, true, vxlInitFile},
        {"VXLFile", 15, true, vxlFile},
    });
    ssWriteQRXString(S, record.c_str());
}

std::unique_ptr<BaseFcn> makeWritePdu() {
    return std::make_unique<WritePdu>();
}

}  // namespace korlix
