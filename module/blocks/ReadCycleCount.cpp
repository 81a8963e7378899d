// ReadCycleCount: delivers the FlexRay cycle count on a uint8 output, filled at run time by generated code
// that reads the block's parameter record.
#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

class ReadCycleCount final : public BaseFcn {
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

constexpr const char* kRecordFields[] = {"MaskType", "ConfigValid", "VXLInitFile", "VXLFile", "DeviceIndex"};
constexpr RecordKey kRecordKeys[] = {
    {"MaskType", Quote::Quoted},    {"DeviceIndex", Quote::Bare}, {"ConfigValid", Quote::Bare},
    {"VXLInitFile", Quote::Quoted}, {"VXLFile", Quote::Quoted},
};
constexpr RecordTable kRecord{kRecordFields, kRecordKeys, 17};

// The output is declared before the parameter count is checked, so a wrong count leaves one output whose
// width and type are not set. The modes count goes only through the host's own setter.
void ReadCycleCount::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 0) || !setNumOutputPorts(S, 1) || !checkTwoParams(S, gSizesError)) {
        return;
    }
    setOutputPortWidth(S, 0, 1);
    setOutputPortDataType(S, 0, HB_DTYPE_UINT8);
    closingSetup(S, WorkVectors{}, ModesField::SetterOnly);
}

void ReadCycleCount::writeQRXRecord(HostBlock* S) {
    writeParamRecord(S, kRecord, gRecordError);
}

}  // namespace

std::unique_ptr<BaseFcn> makeReadCycleCount() {
    return std::make_unique<ReadCycleCount>();
}

}  // namespace korlix
