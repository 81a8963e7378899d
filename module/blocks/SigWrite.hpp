// SigWrite: the signal write block ("KORLIXSignalWrite"). One input takes a FlexRay signal; the EnableVPort
// switch adds a second, boolean input. Every input feeds through directly; generated code does the transfer.
#pragma once

#include <cstdint>

#include "framework/BaseFcn.hpp"

namespace korlix {

class SigWrite : public BaseFcn {
  public:
    SigWrite() = default;
    ~SigWrite() override = default;

    void initializeSizes(HostBlock* S) override;
    void initializeSampleTimes(HostBlock* S) override;
    void initializeForHost(HostBlock* S) override;
    void start(HostBlock* S) override;
    void outputs(HostBlock* S, int32_t tid) override;
    void update(HostBlock* S, int32_t tid) override;
    void terminate(HostBlock* S) override;
    void writeQRXRecord(HostBlock* S) override;
};

}  // namespace korlix
