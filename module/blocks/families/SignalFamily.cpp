// The signal read and write blocks' shared set-up steps and record.
#include "blocks/families/SignalFamily.hpp"

#include <string>

#include "services/Params.hpp"
#include "services/Workspace.hpp"

namespace korlix::signal {

namespace {

// Both records read their fields in record order. The read block shows EnableRSO, the write block
// EnableTSO, and the write block's EnableVPort line is led by two tabs instead of eight blanks.
constexpr RecordKey kRecordKeys[] = {
    {"MaskType", Quote::Quoted},
    {"ConfigValid", Quote::Bare},
    {"SignalName", Quote::Quoted},
    {"SignalIndex", Quote::Bare},
    {"DataType", Quote::Quoted},
    {"UseCoded", Quote::Quoted},
    {"EnableRSO", Quote::Quoted, 0, Side::Read},
    {"EnableTSO", Quote::Quoted, 0, Side::Write},
    {"EnableVPort", Quote::Quoted, 0, Side::Read},
    {"EnableVPort", Quote::Quoted, 0, Side::Write, "\t\t"},
    {"SignalGroupIndex", Quote::Bare},
    {"SignalGroupLabel", Quote::Quoted},
    {"VXLInitFile", Quote::Quoted},
    {"VXLFile", Quote::Quoted},
};
constexpr int kKeyField = 17;

}  // namespace

bool chooseDataType(HostBlock* S, BaseFcn& block, bool useCoded, ErrorBuffer& buffer, int32_t& id) {
    std::string execSys;
    std::string errorText;
    int32_t code = kExecNone;
    queryExecutionSystem(getBlockHandle(S), execSys, code, errorText);
    block.setExecSysCode(code);
    if (!useCoded && (code == kExecHost || code == kExecOpalrt || code == kExecKvd)) {
        id = HB_DTYPE_DOUBLE;
        return true;
    }
    // The lookup keeps an error the query left, so that one is reported first.
    std::string dataType;
    getSFcnParamString(S, "DataType", dataType, errorText);
    if (!errorText.empty()) {
        buffer.report(S, errorText);
        return false;
    }
    id = dataTypeNameToId(dataType);
    if (id < 0) {
        buffer.reportf(S, "Unsupported data type found: \"%s\"", dataType.c_str());
        return false;
    }
    return true;
}

void closingSetup(HostBlock* S) {
    setSizeField(S, HB_SIZE_NUM_CONT_STATES, 0);
    setSizeField(S, HB_SIZE_NUM_DISC_STATES, 0);
    setWorkSizes(S, WorkVectors{});
    setSizeField(S, HB_SIZE_NUM_MODES, 0);
    setOptions(S, HB_OPTIONS_SIGNAL_BLOCK);
}

void writeRecord(HostBlock* S, ErrorBuffer& buffer, Side side) {
    writeParamRecord(S, RecordTable{{}, kRecordKeys, kKeyField, side}, buffer);
}

}  // namespace korlix::signal
