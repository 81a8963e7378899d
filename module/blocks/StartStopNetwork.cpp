// StartStopNetwork: starts or stops FlexRay communication when its boolean trigger input shows the
// configured edge. The module sets up the trigger input, keeps the block's execution-system code and writes
// the parameter record plus the integer work element that holds the previous trigger value.
#include <string>

#include "blocks/BlockFactories.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/QrxWriter.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

constexpr int kKeyField = 17;

class StartStopNetwork final : public BaseFcn {
  public:
    void initializeSizes(HostBlock* S) override;
    void initializeSampleTimes(HostBlock* S) override { sampleTimeFromParameter(S); }
    // Called by the dispatcher only when the block runs on the host.
    void initializeForHost(HostBlock*) override { setExecSysCode(kExecHost); }
    void start(HostBlock*) override {}
    void outputs(HostBlock*, int32_t) override {}
    void update(HostBlock*, int32_t) override {}
    void terminate(HostBlock*) override {}
    void writeQRXRecord(HostBlock* S) override;
};

void StartStopNetwork::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 1)) {
        return;
    }
    if (!checkTwoParams(S, gSizesError)) {
        return;
    }
    setInputPortWidth(S, 0, 1);
    setInputPortDataType(S, 0, kBoolean);
    setInputPortDirectFeedThrough(S, 0, true);
    if (!setNumOutputPorts(S, 0)) {
        return;
    }
    closingSetup(S, WorkVectors{.iwork = 1, .rwork = 1, .pwork = 0}, ModesField::Direct);
    setExecSysCode(kExecNone);
}

void StartStopNetwork::writeQRXRecord(HostBlock* S) {
    std::string maskType, configValid, triggerEdge, networkAction, vxlInitFile, vxlFile, deviceIndex,
        networkType;
    // The block only ever knows "host" (1) or nothing (0): it never asks which target system the model is
    // built for, so it cannot tell a "kvd" build apart and always writes the NetworkType the dialog gives.
    if (!readParamsOrReport(S,
                            {{"MaskType", &maskType},
                             {"ConfigValid", &configValid},
                             {"TriggerEdge", &triggerEdge},
                             {"NetworkAction", &networkAction},
                             {"VXLInitFile", &vxlInitFile},
                             {"VXLFile", &vxlFile},
                             {"DeviceIndex", &deviceIndex},
                             {"NetworkType", &networkType}},
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
        line("NetworkAction", true, networkAction),
        line("NetworkType", true, networkType),
        line("TriggerEdge", true, triggerEdge),
        line("VXLInitFile", true, vxlInitFile),
        line("VXLFile", true, vxlFile),
    });
    if (ssWriteQRXString(S, text.c_str()) == 0) {
        return;
    }
    ssWriteQRXWorkVect(S, "IWork", 1, "PreviousTriggerValue", 1);
}

}  // namespace

std::unique_ptr<BaseFcn> makeStartStopNetwork() {
    return std::make_unique<StartStopNetwork>();
}

}  // namespace korlix
