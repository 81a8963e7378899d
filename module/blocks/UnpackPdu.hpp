// PDU unpack block: the PDU's bytes on input 0, one scalar signal per output.
#pragma once

#include <cstdint>

#include "blocks/PackPdu.hpp"
#include "framework/BaseFcn.hpp"

namespace korlix {

class UnpackPdu : public BaseFcn {
  public:
    UnpackPdu() = default;
    ~UnpackPdu() override = default;
    void initializeSizes(HostBlock* S) override;
    void initializeSampleTimes(HostBlock* S) override;
    void initializeForHost(HostBlock* S) override;
    void start(HostBlock* S) override;
    void outputs(HostBlock* S, int32_t tid) override;
    void update(HostBlock* S, int32_t tid) override;
    void terminate(HostBlock* S) override;
    void writeQRXRecord(HostBlock* S) override;

  private:
    pdu::SignalLists lists_;
};

}  // namespace korlix
