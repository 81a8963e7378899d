// PackPdu: the PDU pack block, and the checks and record it shares with the unpack block. The module only
// checks the per-signal descriptions and passes them on; the packing itself is the generated code's.
#include "blocks/PackPdu.hpp"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "blocks/BlockFactories.hpp"
#include "blocks/ReadPdu.hpp"
#include "framework/QrxWriter.hpp"
#include "services/Params.hpp"

namespace korlix {

// One message buffer per reporting operation, alive as long as the module.
static ErrorBuffer sizesError;
static ErrorBuffer recordError;

namespace pdu {

namespace {

void reportMismatch(HostBlock* S, ErrorBuffer& buffer, const char* blockTitle, const char* what,
                    const std::string& text, uint32_t count, const std::string& pduLabel) {
    buffer.reportf(S,
                   "Error in %s block: Mismatch in %s string length: String read: %s, number of signals: %d, "
                   "PDU label: %s\n",
                   blockTitle, what, text.c_str(), static_cast<int>(count), pduLabel.c_str());
}

// Reads one per-signal list of numbers into `stored`, which changes only when the list holds exactly
// `count` numbers.
bool readNumberList(HostBlock* S, ErrorBuffer& buffer, const char* field, const char* what,
                    const char* blockTitle, const std::string& pduLabel, uint32_t count,
                    std::vector<uint32_t>& stored) {
    std::string text;
    if (!readParamsOrReport(S, {{field, &text}}, buffer)) {
        return false;
    }
    std::vector<uint32_t> values;
    std::string error;
    stringToUint32Vector(text, values, error);
    if (!error.empty()) {
        buffer.report(S, error);
        return false;
    }
    if (values.size() != count) {
        reportMismatch(S, buffer, blockTitle, what, text, count, pduLabel);
        return false;
    }
    stored = std::move(values);
    return true;
}

void setSignalPortDataType(HostBlock* S, SignalPorts ports, int32_t port, int32_t id) {
    if (ports == SignalPorts::Inputs) {
        setInputPortDataType(S, port, id);
    } else {
        setOutputPortDataType(S, port, id);
    }
}

}  // namespace

bool readSignalCount(HostBlock* S, ErrorBuffer& buffer, uint32_t& count) {
    std::string text;
    if (!readParamsOrReport(S, {{"NumberOfSignals", &text}}, buffer)) {
        return false;
    }
    std::string error;
    stringToUint32(text, count, error);
    if (!error.empty()) {
        buffer.report(S, error);
        return false;
    }
    return true;
}

bool readSignalLists(HostBlock* S, ErrorBuffer& buffer, const char* blockTitle, SignalPorts ports,
                     const std::string& pduLabel, SignalLists& lists) {
    std::string dataTypesText;
    if (!readParamsOrReport(S, {{"SignalsDTypes", &dataTypesText}}, buffer)) {
        return false;
    }
    std::vector<int32_t> ids;
    std::string error;
    parseDataTypeList(dataTypesText, ids, error);
    if (!error.empty()) {
        buffer.report(S, error);
        return false;
    }
    if (ids.size() != lists.count) {
        reportMismatch(S, buffer, blockTitle, "data type", dataTypesText, lists.count, pduLabel);
        return false;
    }
    lists.dataTypeIds = std::move(ids);
    for (std::size_t i = 0; i < lists.dataTypeIds.size(); ++i) {
        setSignalPortDataType(S, ports, static_cast<int32_t>(i), lists.dataTypeIds[i]);
    }
    if (!readNumberList(S, buffer, "SignalsOffsets", "signal offsets", blockTitle, pduLabel, lists.count,
                        lists.offsets) ||
        !readNumberList(S, buffer, "SignalsEndianess", "signal endianess", blockTitle, pduLabel, lists.count,
                        lists.byteOrders)) {
        return false;
    }
    return rebuildByteSizes(S, buffer, blockTitle, ports, pduLabel, lists);
}

bool rebuildByteSizes(HostBlock* S, ErrorBuffer& buffer, const char* blockTitle, SignalPorts ports,
                      const std::string& pduLabel, SignalLists& lists) {
    lists.byteSizes.clear();
    for (std::size_t i = 0; i < lists.dataTypeIds.size(); ++i) {
        const int8_t size = dataTypeByteSize(lists.dataTypeIds[i]);
        if (size == -1) {
            // Both blocks say "input number", the unpack block too.
            buffer.reportf(S, "Error in %s block for PDU %s: Unrecognized data type for input number %d.\n",
                           blockTitle, pduLabel.c_str(), static_cast<int>(i));
            return false;
        }
        lists.byteSizes.push_back(size);
        if (ports == SignalPorts::Inputs) {
            setInputPortDirectFeedThrough(S, static_cast<int32_t>(i), true);
            setInputPortAttributeBits(S, static_cast<int32_t>(i), 0x20);
        }
    }
    return true;
}

void writeRecord(HostBlock* S, ErrorBuffer& buffer, const SignalLists& lists) {
    std::string maskType;
    std::string configValid;
    std::string pduLabel;
    std::string numberOfSignals;
    std::string vxlInitFile;
    std::string vxlFile;
    if (!readParamsOrReport(S,
                            {{"MaskType", &maskType},
                             {"ConfigValid", &configValid},
                             {"PduLabel", &pduLabel},
                             {"NumberOfSignals", &numberOfSignals},
                             {"VXLInitFile", &vxlInitFile},
                             {"VXLFile", &vxlFile}},
                            buffer)) {
        return;
    }
    const std::string record = formatRecord({
        {"MaskType", 11, true, maskType},
        {"ConfigValid", 8, false, configValid},
        {"PduLabel", 9, true, pduLabel},
        {"NumberOfSignals", 4, false, numberOfSignals},
        {"VXLInitFile", 8, true, vxlInitFile},
        {"VXLFile", 12, true, vxlFile},
    });
    // The settings follow only a record text the host took (any non-zero answer).
    if (ssWriteQRXString(S, record.c_str()) == 0) {
        return;
    }
    // After a set-up that stopped early the stored count can exceed a list; then no settings are written.
    if (!checkListCovers(S, buffer, "SignalsOffset", lists.offsets.size(), lists.count) ||
        !checkListCovers(S, buffer, "SignalsEndianess", lists.byteOrders.size(), lists.count) ||
        !checkListCovers(S, buffer, "SignalsDTypeSize", lists.byteSizes.size(), lists.count)) {
        return;
    }
    // The unsigned offsets and byte orders go out as signed 32-bit integers, the byte sizes as int8.
    const int32_t count = static_cast<int32_t>(lists.count);
    const int32_t vectorKind = SSWRITE_VALUE_DTYPE_VECT;
    const int32_t int32Id = kInt32;
    const int32_t int8Id = kInt8;
    // The writer takes each vector as an untyped pointer and reads it as the data type id says.
    const void* offsets = lists.offsets.data();
    const void* byteOrders = lists.byteOrders.data();
    const void* byteSizes = lists.byteSizes.data();
    ssWriteQRXParamSettings(S, 3,                                                        //
                            vectorKind, "SignalsOffset", offsets, count, int32Id,        //
                            vectorKind, "SignalsEndianess", byteOrders, count, int32Id,  //
                            vectorKind, "SignalsDTypeSize", byteSizes, count, int8Id);
}

}  // namespace pdu

void PackPdu::initializeSizes(HostBlock* S) {
    if (!checkTwoParams(S, sizesError)) {
        return;
    }
    if (!setNumOutputPorts(S, 1)) {
        return;
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
    uint32_t signals = 0;
    if (!pdu::readSignalCount(S, sizesError, signals) || !setNumInputPorts(S, signalPortCount(signals, 0))) {
        return;
    }
    lists_.count = signals;
    const auto count = static_cast<int32_t>(signals);  // fits: the host accepted it as a port count
    for (int32_t i = 0; i < count; ++i) {
        setInputPortWidth(S, i, 1);
    }
    if (isSizesOnlyMode(S)) {
        // The host only wants sizes: the per-signal texts are not read and the stored lists stay.
        for (int32_t i = 0; i < count; ++i) {
            setInputPortDataType(S, i, kDouble);
        }
    } else if (!pdu::readSignalLists(S, sizesError, "Pack PDU", pdu::SignalPorts::Inputs, pduLabel, lists_)) {
        return;
    }
    closingSetup(S, WorkVectors{/*iwork=*/0, /*rwork=*/0, /*pwork=*/0}, ModesField::Direct);
}

void PackPdu::initializeSampleTimes(HostBlock* S) {
    sampleTimeFromParameter(S);
}

void PackPdu::initializeForHost(HostBlock* /*S*/) {}

void PackPdu::start(HostBlock* /*S*/) {}

void PackPdu::outputs(HostBlock* /*S*/, int32_t /*tid*/) {}

void PackPdu::update(HostBlock* /*S*/, int32_t /*tid*/) {}

void PackPdu::terminate(HostBlock* /*S*/) {}

void PackPdu::writeQRXRecord(HostBlock* S) {
    pdu::writeRecord(S, recordError, lists_);
}

std::unique_ptr<BaseFcn> makePackPdu() {
    return std::make_unique<PackPdu>();
}

}  // namespace korlix
