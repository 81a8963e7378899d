// ReadPdu: the PDU read block. Shapes the byte output and the optional status outputs and writes the
// block's parameter record; on the host it computes nothing.
#include "blocks/ReadPdu.hpp"

#include <limits>
#include <memory>
#include <string>

#include "blocks/BlockFactories.hpp"
#include "framework/QrxWriter.hpp"
#include "services/Params.hpp"

namespace korlix {

// One message buffer per reporting operation, alive as long as the module.
static ErrorBuffer sizesError;
static ErrorBuffer recordError;

namespace pdu {

bool isPlaceholderLabel(const std::string& label) {
    return label == "<No configuration data found>" || label == "<>";
}

bool readByteWidth(HostBlock* S, ErrorBuffer& buffer, int32_t& width) {
    std::string text;
    if (!readParamsOrReport(S, {{"PduLength", &text}}, buffer)) {
        return false;
    }
    uint32_t length = 0;
    std::string error;
    stringToUint32(text, length, error);
    if (!error.empty()) {
        buffer.report(S, error);
        return false;
    }
    // A port width is a signed 32-bit number in the host; a longer PDU cannot be shaped, so it is an error
    // of its own instead of a negative width.
    constexpr uint32_t kMaxWidth = std::numeric_limits<int32_t>::max();
    if (length > kMaxWidth) {
        buffer.reportf(S, "PduLength %u exceeds the largest port width %u.", length, kMaxWidth);
        return false;
    }
    width = length == 0 ? 1 : static_cast<int32_t>(length);
    return true;
}

}  // namespace pdu

void ReadPdu::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 0)) {
        return;
    }
    if (!checkTwoParams(S, sizesError)) {
        return;
    }
    std::string enableUso;
    std::string enableUpdtBit;
    if (!readParamsOrReport(S, {{"EnableUSO", &enableUso}, {"EnableUpdtBit", &enableUpdtBit}}, sizesError)) {
        return;
    }
    const int32_t numOutputs = 1 + (isSwitchOn(enableUso) ? 1 : 0) + (isSwitchOn(enableUpdtBit) ? 1 : 0);
    if (!setNumOutputPorts(S, numOutputs)) {
        return;
    }
    for (int32_t port = 1; port < numOutputs; ++port) {
        setOutputPortWidth(S, port, 1);
        setOutputPortDataType(S, port, kBoolean);
    }
    int32_t width = 0;
    if (!pdu::readByteWidth(S, sizesError, width)) {
        return;
    }
    setOutputPortDataType(S, 0, kUInt8);
    setOutputPortWidth(S, 0, width);
    std::string pduLabel;
    if (!readParamsOrReport(S, {{"PduLabel", &pduLabel}}, sizesError)) {
        return;
    }
    if (pdu::isPlaceholderLabel(pduLabel)) {
        return;
    }
    closingSetup(S, WorkVectors{/*iwork=*/1, /*rwork=*/0, /*pwork=*/0}, ModesField::SetterAndDirect);
    setExecSysCode(kExecNone);
}

void ReadPdu::initializeSampleTimes(HostBlock* S) {
    sampleTimeFromParameter(S);
}

void ReadPdu::initializeForHost(HostBlock* /*S*/) {}

void ReadPdu::start(HostBlock* /*S*/) {}

void ReadPdu::outputs(HostBlock* /*S*/, int32_t /*tid*/) {}

void ReadPdu::update(HostBlock* /*S*/, int32_t /*tid*/) {}

void ReadPdu::terminate(HostBlock* /*S*/) {}

void ReadPdu::writeQRXRecord(HostBlock* S) {
    std::string maskType;
    std::string configValid;
    std::string pduLabel;
    std::string pduIndex;
    std::string pduLength;
    std::string vxlInitFile;
    std::string vxlFile;
    std::string deviceIndex;
    std::string enableUso;
    std::string enableUpdtBit;
    std::string signalIndex;
    if (!readParamsOrReport(S,
                            {{"MaskType", &maskType},
                             {"ConfigValid", &configValid},
                             {"PduLabel", &pduLabel},
                             {"PduIndex", &pduIndex},
                             {"PduLength", &pduLength},
                             {"VXLInitFile", &vxlInitFile},
                             {"VXLFile", &vxlFile},
                             {"DeviceIndex", &deviceIndex},
                             {"EnableUSO", &enableUso},
                             {"EnableUpdtBit", &enableUpdtBit},
                             {"SignalIndex", &signalIndex}},
                            recordError)) {
        return;
    }
    const std::string record = formatRecord({
        {"MaskType", 14, true, maskType},
        {"ConfigValid", 11, false, configValid},
        {"DeviceIndex", 11, false, deviceIndex},
        {"PduLabel", 12, true, pduLabel},
        {"PduIndex", 12, false, pduIndex},
        {"PduLength", 11, false, pduLength},
        {"EnableUSO", 12, true, enableUso},
        {"EnableUpdtBit", 12, true, enableUpdtBit},
        {"SignalIndex", 11, false, signalIndex},
        {"VXLInitFile", 11, true, vxlInitFile},
        {"VXLFile", 15, true, vxlFile},
    });
    ssWriteQRXString(S, record.c_str());
}

std::unique_ptr<BaseFcn> makeReadPdu() {
    return std::make_unique<ReadPdu>();
}

}  // namespace korlix
