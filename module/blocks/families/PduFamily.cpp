// The PDU blocks' shared set-up steps and the pack and unpack blocks' record. The module only checks the
// per-signal descriptions and passes them on; packing and unpacking are the generated code's.
#include "blocks/families/PduFamily.hpp"

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "framework/QrxWriter.hpp"
#include "services/Params.hpp"

namespace korlix::pdu {

namespace {

// The pack and unpack record, its fields read in record order.
constexpr RecordKey kRecordKeys[] = {
    {"MaskType", Quote::Quoted, 11},     {"ConfigValid", Quote::Bare, 8},   {"PduLabel", Quote::Quoted, 9},
    {"NumberOfSignals", Quote::Bare, 4}, {"VXLInitFile", Quote::Quoted, 8}, {"VXLFile", Quote::Quoted, 12},
};
constexpr RecordTable kRecord{{}, kRecordKeys};

// The read and write blocks read the same fields in the same order, the read block three more.
constexpr const char* kReadRecordReads[] = {"MaskType",  "ConfigValid",   "PduLabel",   "PduIndex",
                                            "PduLength", "VXLInitFile",   "VXLFile",    "DeviceIndex",
                                            "EnableUSO", "EnableUpdtBit", "SignalIndex"};
constexpr std::span<const char* const> kWriteRecordReads{kReadRecordReads, 8};
// Only PduLength differs in both: the write block quotes it.
constexpr RecordKey kReadWriteKeys[] = {
    {"MaskType", Quote::Quoted, 14},
    {"ConfigValid", Quote::Bare, 11},
    {"DeviceIndex", Quote::Bare, 11},
    {"PduLabel", Quote::Quoted, 12},
    {"PduIndex", Quote::Bare, 12},
    {"PduLength", Quote::Bare, 11, Side::Read},
    {"PduLength", Quote::Quoted, 7, Side::Write},
    {"EnableUSO", Quote::Quoted, 12, Side::Read},
    {"EnableUpdtBit", Quote::Quoted, 12, Side::Read},
    {"SignalIndex", Quote::Bare, 11, Side::Read},
    {"VXLInitFile", Quote::Quoted, 11},
    {"VXLFile", Quote::Quoted, 15},
};

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
    std::vector<uint32_t> values;
    if (!readUint32ListOrReport(S, field, text, values, buffer)) {
        return false;
    }
    if (values.size() != count) {
        reportMismatch(S, buffer, blockTitle, what, text, count, pduLabel);
        return false;
    }
    stored = std::move(values);
    return true;
}

bool readSignalLists(HostBlock* S, ErrorBuffer& buffer, const char* blockTitle, PortSide ports,
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
        setPortDataType(S, ports, static_cast<int32_t>(i), lists.dataTypeIds[i]);
    }
    return readNumberList(S, buffer, "SignalsOffsets", "signal offsets", blockTitle, pduLabel, lists.count,
                          lists.offsets) &&
           readNumberList(S, buffer, "SignalsEndianess", "signal endianess", blockTitle, pduLabel,
                          lists.count, lists.byteOrders) &&
           rebuildByteSizes(S, buffer, blockTitle, ports, pduLabel, lists);
}

}  // namespace

bool readByteWidth(HostBlock* S, ErrorBuffer& buffer, int32_t& width) {
    std::string text;
    uint32_t length = 0;
    if (!readUint32OrReport(S, "PduLength", text, length, buffer)) {
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

void writeReadWriteRecord(HostBlock* S, ErrorBuffer& buffer, Side side) {
    const RecordTable table{
        side == Side::Read ? std::span<const char* const>{kReadRecordReads} : kWriteRecordReads,
        kReadWriteKeys, 0, side};
    writeParamRecord(S, table, buffer);
}

bool setUpSignals(HostBlock* S, ErrorBuffer& buffer, const char* blockTitle, PortSide ports,
                  const std::string& pduLabel, SignalLists& lists) {
    std::string text;
    uint32_t signals = 0;
    if (!readUint32OrReport(S, "NumberOfSignals", text, signals, buffer)) {
        return false;
    }
    const int32_t portCount = signalPortCount(signals, 0);
    if (!setNumPorts(S, ports, portCount)) {
        return false;
    }
    lists.count = signals;
    for (int32_t i = 0; i < portCount; ++i) {
        setPortWidth(S, ports, i, 1);
    }
    if (!isSizesOnlyMode(S)) {
        return readSignalLists(S, buffer, blockTitle, ports, pduLabel, lists);
    }
    // The host only wants sizes: the per-signal texts are not read and the stored lists stay.
    for (int32_t i = 0; i < portCount; ++i) {
        setPortDataType(S, ports, i, HB_DTYPE_DOUBLE);
    }
    return true;
}

bool rebuildByteSizes(HostBlock* S, ErrorBuffer& buffer, const char* blockTitle, PortSide ports,
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
        if (ports == PortSide::Inputs) {
            setInputPortDirectFeedThrough(S, static_cast<int32_t>(i), true);
            markInputPort(S, static_cast<int32_t>(i));
        }
    }
    return true;
}

void writeSignalRecord(HostBlock* S, ErrorBuffer& buffer, const SignalLists& lists) {
    // The settings follow only a record text the host took (any non-zero answer).
    if (writeParamRecord(S, kRecord, buffer) == 0) {
        return;
    }
    // After a set-up that stopped early the stored count can exceed a list; then no settings are written.
    if (!checkListCovers(S, buffer, "SignalsOffset", lists.offsets.size(), lists.count) ||
        !checkListCovers(S, buffer, "SignalsEndianess", lists.byteOrders.size(), lists.count) ||
        !checkListCovers(S, buffer, "SignalsDTypeSize", lists.byteSizes.size(), lists.count)) {
        return;
    }
    // The writer takes each vector as an untyped pointer and reads it as the data type id says: the unsigned
    // offsets and byte orders as signed 32-bit integers, the byte sizes as int8.
    const auto count = static_cast<int32_t>(lists.count);
    constexpr int32_t kVector = HB_VALUE_DTYPE_VECT;
    constexpr int32_t kInt32 = HB_DTYPE_INT32;
    constexpr int32_t kInt8 = HB_DTYPE_INT8;
    const void* offsets = lists.offsets.data();
    const void* byteOrders = lists.byteOrders.data();
    const void* byteSizes = lists.byteSizes.data();
    ssWriteQRXParamSettings(S, 3,                                                    //
                            kVector, "SignalsOffset", offsets, count, kInt32,        //
                            kVector, "SignalsEndianess", byteOrders, count, kInt32,  //
                            kVector, "SignalsDTypeSize", byteSizes, count, kInt8);
}

}  // namespace korlix::pdu
