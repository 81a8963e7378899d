// POCStatus: delivers one protocol operation control status value of a FlexRay controller on a uint8
// output, filled at run time by generated code that reads the block's parameter record.
#include <string>

#include "blocks/BlockFactories.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/QrxWriter.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

constexpr int kKeyField = 17;

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

// The parameter count is checked before the output is declared (ReadCycleCount does it the other way
// round), so a wrong count leaves this block without an output count.
void POCStatus::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 0)) {
        return;
    }
    if (!checkTwoParams(S, gSizesError)) {
        return;
    }
    if (!setNumOutputPorts(S, 1)) {
        return;
    }
    setOutputPortWidth(S, 0, 1);
    setOutputPortDataType(S, 0, kUInt8);
    closingSetup(S, WorkVectors{}, ModesField::Direct);
}

void POCStatus::writeQRXRecord(HostBlock* S) {
    std::string maskType, configValid, vxlInitFile, vxlFile, statusVar, ctrlIndex, deviceIndex;
    if (!readParamsOrReport(S,
                            {{"MaskType", &maskType},
                             {"ConfigValid", &configValid},
                             {"VXLInitFile", &vxlInitFile},
                             {"VXLFile", &vxlFile},
                             {"StatusVar", &statusVar},
                             {"CtrlIndex", &ctrlIndex},
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
        line("StatusVar", true, statusVar),
        line("CtrlIndex", false, ctrlIndex),
        line("ConfigValid", false, configValid),
        line("VXLInitFile", true, vxlInitFile),
        line("VXLFile", true, vxlFile),
    });
    ssWriteQRXString(S, text.c_str());
}

}  // namespace

std::unique_ptr<BaseFcn> makePOCStatus() {
    return std::make_unique<POCStatus>();
}

}  // namespace korlix
