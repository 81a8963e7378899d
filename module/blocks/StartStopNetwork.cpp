// StartStopNetwork: starts or stops FlexRay communication when its boolean trigger input shows the
// configured edge. The module sets up the trigger input, keeps the block's execution-system code and writes
// the parameter record plus the integer work element that holds the previous trigger value.
#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/QrxWriter.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

class StartStopNetwork final : public BaseFcn {
  public:
    void initializeSizes(HostBlock* S) override;
    void initializeSampleTimes(HostBlock* S) override { sampleTimeFromParameter(S); }
    // Called by the entry only when the block runs on the host.
    void initializeForHost(HostBlock*) override { setExecSysCode(kExecHost); }
    void start(HostBlock*) override {}
    void outputs(HostBlock*, int32_t) override {}
    void update(HostBlock*, int32_t) override {}
    void terminate(HostBlock*) override {}
    void writeQRXRecord(HostBlock* S) override;
};

// The block only ever knows "host" (1) or nothing (0): it never asks which target system the model is built
// for, so it cannot tell a "kvd" build apart and always writes the NetworkType the dialog gives.
constexpr const char* kRecordFields[] = {"MaskType",    "ConfigValid", "TriggerEdge", "NetworkAction",
                                         "VXLInitFile", "VXLFile",     "DeviceIndex", "NetworkType"};
constexpr RecordKey kRecordKeys[] = {
    {"MaskType", Quote::Quoted},      {"DeviceIndex", Quote::Bare},   {"ConfigValid", Quote::Bare},
    {"NetworkAction", Quote::Quoted}, {"NetworkType", Quote::Quoted}, {"TriggerEdge", Quote::Quoted},
    {"VXLInitFile", Quote::Quoted},   {"VXLFile", Quote::Quoted},
};
constexpr RecordTable kRecord{kRecordFields, kRecordKeys, 17};

void StartStopNetwork::initializeSizes(HostBlock* S) {
    if (!setNumInputPorts(S, 1) || !checkTwoParams(S, gSizesError)) {
        return;
    }
    setTriggerInput(S, 0);
    if (!setNumOutputPorts(S, 0)) {
        return;
    }
    closingSetup(S, WorkVectors{.iwork = 1, .rwork = 1});
    setExecSysCode(kExecNone);
}

void StartStopNetwork::writeQRXRecord(HostBlock* S) {
    if (writeParamRecord(S, kRecord, gRecordError) != 0) {
        ssWriteQRXWorkVect(S, "IWork", 1, "PreviousTriggerValue", 1);
    }
}

}  // namespace

std::unique_ptr<BaseFcn> makeStartStopNetwork() {
    return std::make_unique<StartStopNetwork>();
}

}  // namespace korlix
