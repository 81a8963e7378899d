// POCStatus: delivers one protocol operation control status value of a FlexRay controller on a uint8
// output, filled at run time by generated code that reads the block's parameter record.
#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

class POCStatus final : public BaseFcn {
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

constexpr const char* kRecordFields[] = {"MaskType",  "ConfigValid", "VXLInitFile", "VXLFile",
                                         "StatusVar", "CtrlIndex",   "DeviceIndex"};
constexpr RecordKey kRecordKeys[] = {
    {"MaskType", Quote::Quoted}, {"DeviceIndex", Quote::Bare}, {"StatusVar", Quote::Quoted},
    {"CtrlIndex", Quote::Bare},  {"ConfigValid", Quote::Bare}, {"VXLInitFile", Quote::Quoted},
    {"VXLFile", Quote::Quoted},
};
constexpr RecordTable kRecord{kRecordFields, kRecordKeys, 17};

// The parameter count is checked before the output is declared (the cycle count block does it the other
// way round), so a wrong count leaves this block without an output count.
void POCStatus::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 0) || !checkTwoParams(S, gSizesError) || !setNumOutputPorts(S, 1)) {
        return;
    }
    setOutputPortWidth(S, 0, 1);
    setOutputPortDataType(S, 0, HB_DTYPE_UINT8);
    closingSetup(S, WorkVectors{});
}

void POCStatus::writeQRXRecord(HostBlock* S) {
    writeParamRecord(S, kRecord, gRecordError);
}

}  // namespace

std::unique_ptr<BaseFcn> makePOCStatus() {
    return std::make_unique<POCStatus>();
}

}  // namespace korlix
