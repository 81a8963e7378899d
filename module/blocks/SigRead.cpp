// SigRead: the signal read block ("KORLIXSignalRead"). One output carries a FlexRay signal, its data type
// following the execution system and UseCoded; the EnableRSO switch adds a second, uint32 output. The
// run-time transfer lives in generated code that reads the record.
#include <string>

#include "blocks/families/SignalFamily.hpp"
#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

class SigRead final : public BaseFcn {
  public:
    void initializeSizes(HostBlock* S) override;
    void initializeSampleTimes(HostBlock* S) override { sampleTimeInherited(S); }
    void initializeForHost(HostBlock*) override {}
    void start(HostBlock*) override {}
    void outputs(HostBlock*, int32_t) override {}
    void update(HostBlock*, int32_t) override {}
    void terminate(HostBlock*) override {}
    void writeQRXRecord(HostBlock* S) override;
};

void SigRead::initializeSizes(HostBlock* S) {
    std::string useCoded;
    std::string enableRso;
    if (!readParamsOrReport(S, {{"UseCoded", &useCoded}, {"EnableRSO", &enableRso}}, gSizesError)) {
        return;
    }
    const bool statusPort = isSwitchOn(enableRso);
    if (!setNumInputPorts(S, 0) || !setNumOutputPorts(S, statusPort ? 2 : 1)) {
        return;
    }
    for (int32_t port = 0; port < getNumOutputPorts(S); ++port) {
        setOutputPortWidth(S, port, 1);
    }
    int32_t id = HB_DTYPE_DOUBLE;
    if (!signal::chooseDataType(S, *this, isSwitchOn(useCoded), gSizesError, id)) {
        return;
    }
    setOutputPortDataType(S, 0, id);
    if (statusPort) {
        setOutputPortDataType(S, 1, HB_DTYPE_UINT32);
    }
    signal::closingSetup(S);
}

void SigRead::writeQRXRecord(HostBlock* S) {
    signal::writeRecord(S, gRecordError, Side::Read);
}

}  // namespace

std::unique_ptr<BaseFcn> makeSigRead() {
    return std::make_unique<SigRead>();
}

}  // namespace korlix
