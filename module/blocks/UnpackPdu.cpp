// UnpackPdu: the PDU unpack block. Checks the per-signal descriptions, shapes the byte input and one
// output per signal, and writes the same record as the pack block; the unpacking is the generated code's.
#include "blocks/UnpackPdu.hpp"

#include <memory>
#include <string>

#include "blocks/BlockFactories.hpp"
#include "blocks/ReadPdu.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

// One message buffer per reporting operation, alive as long as the module.
static ErrorBuffer sizesError;
static ErrorBuffer recordError;

void UnpackPdu::initializeSizes(HostBlock* S) {
    if (!checkTwoParams(S, sizesError)) {
        return;
    }
    if (!setNumInputPorts(S, 1)) {
        return;
    }
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
    setInputPortDirectFeedThrough(S, 0, true);
    uint32_t signals = 0;
    if (!pdu::readSignalCount(S, sizesError, signals) || !setNumOutputPorts(S, signalPortCount(signals, 0))) {
        return;
    }
    lists_.count = signals;
    const auto count = static_cast<int32_t>(signals);  // fits: the host accepted it as a port count
    for (int32_t i = 0; i < count; ++i) {
        setOutputPortWidth(S, i, 1);
    }
    if (isSizesOnlyMode(S)) {
        // The host only wants sizes: the per-signal texts are not read and the stored lists stay.
        for (int32_t i = 0; i < count; ++i) {
            setOutputPortDataType(S, i, kDouble);
        }
    } else if (!pdu::readSignalLists(S, sizesError, "Unpack PDU", pdu::SignalPorts::Outputs, pduLabel,
                                     lists_)) {
        return;
    }
    closingSetup(S, WorkVectors{/*iwork=*/0, /*rwork=*/0, /*pwork=*/0}, ModesField::Direct);
}

void UnpackPdu::initializeSampleTimes(HostBlock* S) {
    sampleTimeFromParameter(S);
}

void UnpackPdu::initializeForHost(HostBlock* /*S*/) {}

void UnpackPdu::start(HostBlock* /*S*/) {}

void UnpackPdu::outputs(HostBlock* /*S*/, int32_t /*tid*/) {}

void UnpackPdu::update(HostBlock* /*S*/, int32_t /*tid*/) {}

void UnpackPdu::terminate(HostBlock* /*S*/) {}

void UnpackPdu::writeQRXRecord(HostBlock* S) {
    pdu::writeRecord(S, recordError, lists_);
}

std::unique_ptr<BaseFcn> makeUnpackPdu() {
    return std::make_unique<UnpackPdu>();
}

}  // namespace korlix
