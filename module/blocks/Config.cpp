// Config: the network configuration block, one per FlexRay interface device. It has an error output when
// asked for one and otherwise no ports; everything it configures goes into its parameter record.
#include <string>

#include "blocks/BlockFactories.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/QrxWriter.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

constexpr int kKeyField = 17;

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

void Config::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 0)) {
        return;
    }
    if (!checkTwoParams(S, gSizesError)) {
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
    if (isSwitchOn(errorOut)) {
        if (!setNumOutputPorts(S, 1)) {
            return;
        }
        setOutputPortDataType(S, 0, kUInt32);
        setOutputPortWidth(S, 0, 3);
    } else if (!setNumOutputPorts(S, 0)) {
        return;
    }
    closingSetup(S, WorkVectors{.iwork = 0, .rwork = 1, .pwork = 0}, ModesField::Direct);
}

void Config::writeQRXRecord(HostBlock* S) {
    std::string maskType, configValid, buildQW4400, buildQW1400, buildQW3400, vxlInitFile, vxlFile,
        maxIterations, deviceIndex, pciBus, pciSlot, startBusComm, errorOut;
    if (!readParamsOrReport(S,
                            {{"MaskType", &maskType},
                             {"ConfigValid", &configValid},
                             {"BuildQW4400", &buildQW4400},
                             {"BuildQW1400", &buildQW1400},
                             {"BuildQW3400", &buildQW3400},
                             {"VXLInitFile", &vxlInitFile},
                             {"VXLFile", &vxlFile},
                             {"MaxIterations", &maxIterations},
                             {"DeviceIndex", &deviceIndex},
                             {"PCIBus", &pciBus},
                             {"PCISlot", &pciSlot},
                             {"StartBusComm", &startBusComm},
                             {"ErrorOut", &errorOut}},
                            gRecordError)) {
        return;
    }
    // The include file name is built in a growing string rather than a fixed buffer: a DeviceIndex text of
    // any length gives the whole name, never a cut one.
    const std::string includeFile = "Firmware_" + deviceIndex + ".h";

    auto line = [](const char* key, bool quoted, const std::string& value) {
        return RecordLine{key, fieldBlanks(key, kKeyField), quoted, value};
    };
    const std::string text = formatRecord({
        line("MaskType", true, maskType),
        line("StartBusComm", true, startBusComm),
        line("ConfigValid", false, configValid),
        line("BuildQW4400", true, buildQW4400),
        line("BuildQW1400", true, buildQW1400),
        line("BuildQW3400", true, buildQW3400),
        line("MaxIterations", false, maxIterations),
        line("DeviceIndex", false, deviceIndex),
        line("PCIBus", false, pciBus),
        line("PCISlot", false, pciSlot),
        line("VXLInitFile", true, vxlInitFile),
        line("VXLFile", true, vxlFile),
        line("vqc_include_file", true, includeFile),
        line("ErrorOut", true, errorOut),
    });
    ssWriteQRXString(S, text.c_str());
}

}  // namespace

std::unique_ptr<BaseFcn> makeConfig() {
    return std::make_unique<Config>();
}

}  // namespace korlix
