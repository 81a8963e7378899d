// PDU write block: the bytes of one PDU to send on its single input.
#pragma once

#include <cstdint>

#include "framework/BaseFcn.hpp"

namespace korlix {

class WritePdu : public BaseFcn {
  public:
    WritePdu() = default;
    ~WritePdu() override = default;
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
