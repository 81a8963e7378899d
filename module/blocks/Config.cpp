// Config: the network configuration block, one per FlexRay interface device. It has an error output when
// asked for one and otherwise no ports; everything it configures goes into its parameter record.
#include <string>

#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

class Config final : public BaseFcn {
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

constexpr const char* kRecordFields[] = {
    "MaskType",      "ConfigValid", "BuildQW4400", "BuildQW1400", "BuildQW3400",  "VXLInitFile", "VXLFile",
    "MaxIterations", "DeviceIndex", "PCIBus",      "PCISlot",     "StartBusComm", "ErrorOut"};
constexpr RecordKey kRecordKeys[] = {
    {"MaskType", Quote::Quoted},
    {"StartBusComm", Quote::Quoted},
    {"ConfigValid", Quote::Bare},
    {"BuildQW4400", Quote::Quoted},
    {"BuildQW1400", Quote::Quoted},
    {"BuildQW3400", Quote::Quoted},
    {"MaxIterations", Quote::Bare},
    {"DeviceIndex", Quote::Bare},
    {"PCIBus", Quote::Bare},
    {"PCISlot", Quote::Bare},
    {"VXLInitFile", Quote::Quoted},
    {"VXLFile", Quote::Quoted},
    {"vqc_include_file", Quote::Quoted},  // derived from DeviceIndex
    {"ErrorOut", Quote::Quoted},
};
constexpr RecordTable kRecord{kRecordFields, kRecordKeys, 17};

void Config::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 0) || !checkTwoParams(S, gSizesError)) {
        return;
    }
    // A dialog that has not been filled in yet: no ports, and the sizes stay as the host set them.
    if (isParamStructEmpty(S)) {
        setNumOutputPorts(S, 0);
        return;
    }
    std::string errorOut;
    if (!readParamsOrReport(S, {{"ErrorOut", &errorOut}}, gSizesError)) {
        return;
    }
    const bool errorPort = isSwitchOn(errorOut);
    if (!setNumOutputPorts(S, errorPort ? 1 : 0)) {
        return;
    }
    if (errorPort) {
        setOutputPortDataType(S, 0, HB_DTYPE_UINT32);
        setOutputPortWidth(S, 0, 3);
    }
    closingSetup(S, WorkVectors{.rwork = 1});
}

void Config::writeQRXRecord(HostBlock* S) {
    DialogTexts texts;
    if (!texts.read(S, kRecord, gRecordError)) {
        return;
    }
    // Built in a growing string: a DeviceIndex text of any length gives the whole name, never a cut one.
    texts.set("vqc_include_file", "Firmware_" + texts["DeviceIndex"] + ".h");
    writeParamRecord(S, kRecord, texts);
}

}  // namespace

std::unique_ptr<BaseFcn> makeConfig() {
    return std::make_unique<Config>();
}

}  // namespace korlix
