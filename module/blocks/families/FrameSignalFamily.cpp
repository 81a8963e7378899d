// The frame signal read and write blocks' shared set-up steps and record.
#include "blocks/families/FrameSignalFamily.hpp"

#include <string>
#include <utility>
#include <vector>

#include "framework/QrxWriter.hpp"
#include "services/Params.hpp"

namespace korlix::frame {

namespace {

constexpr const char* kReadFields[] = {"MaskType",    "ConfigValid",     "FrameLabel",     "FrameIndex",
                                       "AccessLevel", "NumberOfSignals", "SignalsIndexes", "SignalsDTypes",
                                       "EnableUSO",   "EnableVSO",       "VXLInitFile",    "VXLFile",
                                       "DeviceIndex"};
constexpr const char* kWriteFields[] = {"MaskType",    "ConfigValid",     "FrameLabel",     "FrameIndex",
                                        "AccessLevel", "NumberOfSignals", "SignalsIndexes", "FrameTiming",
                                        "TriggerEdge", "VXLInitFile",     "VXLFile",        "DeviceIndex"};
constexpr RecordKey kRecordKeys[] = {
    {"MaskType", Quote::Quoted},
    {"DeviceIndex", Quote::Bare},
    {"ConfigValid", Quote::Bare},
    {"FrameLabel", Quote::Quoted},
    {"FrameIndex", Quote::Bare},
    {"AccessLevel", Quote::Quoted},
    {"NumberOfSignals", Quote::Bare},
    {"SignalsIndexes", Quote::Quoted},
    {"SignalsDTypes", Quote::Quoted, 0, Side::Read},
    {"EnableUSO", Quote::Quoted, 0, Side::Read},
    {"EnableVSO", Quote::Quoted, 0, Side::Read},
    {"FrameTiming", Quote::Quoted, 0, Side::Write},
    {"TriggerEdge", Quote::Quoted, 0, Side::Write},
    {"VXLInitFile", Quote::Quoted},
    {"VXLFile", Quote::Quoted},
};
constexpr int kKeyField = 19;

}  // namespace

bool setSignalDataTypes(HostBlock* S, ErrorBuffer& buffer, Side block, PortSide side,
                        const std::string& numberOfSignals, Signals& signals) {
    const auto n = static_cast<int32_t>(signals.count);  // fits: the host accepted at least n ports
    if (isSizesOnlyMode(S) || !signals.coded) {
        for (int32_t port = 0; port < n; ++port) {
            setPortDataType(S, side, port, HB_DTYPE_DOUBLE);
        }
        return true;
    }
    std::string text;
    if (!readParamsOrReport(S, {{"SignalsDTypes", &text}}, buffer)) {
        return false;
    }
    std::vector<int32_t> ids;
    std::string errorText;
    parseDataTypeList(text, ids, errorText);
    if (!errorText.empty()) {
        buffer.report(S, errorText);
        return false;
    }
    if (ids.size() != signals.count) {
        const int found = static_cast<int>(ids.size());
        if (block == Side::Read) {
            buffer.reportf(
                S,
                "Error converting block data type string %s in identifier: The length of the obtained "
                "identifiers vector %d is not equal to the number of signals %d (value read %s)\n",
                text.c_str(), found, static_cast<int>(n), numberOfSignals.c_str());
        } else {
            buffer.reportf(
                S,
                "Error converting block data type string (\"%s\") in identifier: The length of the "
                "obtained identifiers vector (= %d) is not equal to the number of signals (= %d) \n",
                text.c_str(), found, static_cast<int>(n));
        }
        return false;
    }
    signals.dataTypes = std::move(ids);
    for (int32_t port = 0; port < n; ++port) {
        setPortDataType(S, side, port, signals.dataTypes[static_cast<std::size_t>(port)]);
    }
    return true;
}

bool readIndexes(HostBlock* S, ErrorBuffer& buffer, Signals& signals) {
    std::string text;
    std::vector<uint32_t> indexes;
    if (!readUint32ListOrReport(S, "SignalsIndexes", text, indexes, buffer)) {
        return false;
    }
    signals.indexes = std::move(indexes);
    return true;
}

void writeRecord(HostBlock* S, ErrorBuffer& buffer, Side block, const Signals& signals) {
    const RecordTable table{block == Side::Read ? std::span<const char* const>{kReadFields} : kWriteFields,
                            kRecordKeys, kKeyField, block};
    DialogTexts texts;
    if (!texts.read(S, table, buffer)) {
        return;
    }
    recordMixedTimingAsEvent(texts);
    const int32_t written = writeParamRecord(S, table, texts);
    if (block == Side::Write) {
        ssWriteQRXWorkVect(S, "IWork", 2, "PrevTrigInputVal", 1, "CommitTrigger", 1);
    } else if (written != 1) {
        return;
    }
    writeIndexSettings(S, buffer, "SignalsIndexes", signals.indexes, signals.count);
}

}  // namespace korlix::frame
