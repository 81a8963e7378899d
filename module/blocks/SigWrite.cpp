// SigWrite: the signal write block ("KORLIXSignalWrite"). One input takes a FlexRay signal, its data type
// following the execution system and UseCoded; the EnableVPort switch adds a second, boolean input. Every
// input feeds through directly; generated code does the transfer.
#include <string>

#include "blocks/families/SignalFamily.hpp"
#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix {

namespace {

ErrorBuffer gSizesError;
ErrorBuffer gRecordError;

class SigWrite final : public BaseFcn {
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

void SigWrite::initializeSizes(HostBlock* S) {
    std::string useCoded;
    std::string enableVPort;
    if (!readParamsOrReport(S, {{"UseCoded", &useCoded}, {"EnableVPort", &enableVPort}}, gSizesError)) {
        return;
    }
    const bool validityPort = isSwitchOn(enableVPort);
    if (!setNumInputPorts(S, validityPort ? 2 : 1)) {
        return;
    }
    for (int32_t port = 0; port < getNumInputPorts(S); ++port) {
        setInputPortWidth(S, port, 1);
    }
    int32_t id = HB_DTYPE_DOUBLE;
    if (!signal::chooseDataType(S, *this, isSwitchOn(useCoded), gSizesError, id)) {
        return;
    }
    setInputPortDataType(S, 0, id);
    if (validityPort) {
        setInputPortDataType(S, 1, HB_DTYPE_BOOLEAN);
    }
    for (int32_t port = 0; port < getNumInputPorts(S); ++port) {
        setInputPortDirectFeedThrough(S, port, true);
    }
    if (setNumOutputPorts(S, 0)) {
        signal::closingSetup(S);
    }
}

void SigWrite::writeQRXRecord(HostBlock* S) {
    signal::writeRecord(S, gRecordError, Side::Write);
}

}  // namespace

std::unique_ptr<BaseFcn> makeSigWrite() {
    return std::make_unique<SigWrite>();
}

}  // namespace korlix
