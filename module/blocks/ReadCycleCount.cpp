// ReadCycleCount: delivers the FlexRay cycle count on a uint8 output, filled at run time by generated code
// that reads the block's parameter record.
#include <string>

#include "blocks/BlockFactories.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/QrxWriter.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

constexpr int kKeyField = 17;

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

// The output is declared before the parameter count is checked, so a wrong count leaves one output whose
// width and type are not set. The modes count goes only through the host's own setter.
void ReadCycleCount::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 0)) {
        return;
    }
    if (!setNumOutputPorts(S, 1)) {
        return;
    }
    if (!checkTwoParams(S, gSizesError)) {
        return;
    }
    setOutputPortWidth(S, 0, 1);
    setOutputPortDataType(S, 0, kUInt8);
    closingSetup(S, WorkVectors{}, ModesField::SetterOnly);
}

void ReadCycleCount::writeQRXRecord(HostBlock* S) {
    std::string maskType, configValid, vxlInitFile, vxlFile, deviceIndex;
    if (!readParamsOrReport(S,
                            {{"MaskType", &maskType},
                             {"ConfigValid", &configValid},
                             {"VXLInitFile", &vxlInitFile},
                             {"VXLFile", &vxlFile},
                             {"DeviceIndex", &deviceIndex}},
                            gRecordError)) {
        return;
    }
    auto line = [](const char* key, bool quoted, const std::string& value) {
        return RecordLine{key, fieldBlanks(key, kKeyField), quoted, value};
    };
    const std::string text = formatRecord({
        line("MaskType", true, maskType),
        line("DeviceIndex", false, deviceIndex),
        line("ConfigValid", false, configValid),
        line("VXLInitFile", true, vxlInitFile),
        line("VXLFile", true, vxlFile),
    });
    ssWriteQRXString(S, text.c_str());
}

}  // namespace

std::unique_ptr<BaseFcn> makeReadCycleCount() {
    return std::make_unique<ReadCycleCount>();
}

}  // namespace korlix
