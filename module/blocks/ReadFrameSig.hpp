// ReadFrameSig: the frame signal read block ("ReadFrameSignals"). One scalar output per selected signal of
// a received frame, plus up to two boolean status outputs; the record names the frame, the signals and how
// they are accessed.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/BaseFcn.hpp"

namespace korlix {

class ReadFrameSig : public BaseFcn {
  public:
    ReadFrameSig() = default;
    ~ReadFrameSig() override = default;

    void initializeSizes(HostBlock* S) override;
    void initializeSampleTimes(HostBlock* S) override;
    void initializeForHost(HostBlock* S) override;
    void start(HostBlock* S) override;
    void outputs(HostBlock* S, int32_t tid) override;
    void update(HostBlock* S, int32_t tid) override;
    void terminate(HostBlock* S) override;
    void writeQRXRecord(HostBlock* S) override;

  private:
    // Overwritten by each size set-up as it reads them.
    bool coded_ = false;  // AccessLevel is exactly "Coded"
    uint32_t numSignals_ = 0;
    bool enableUso_ = false;
    bool enableVso_ = false;
    // Replaced only once read and checked; a failed check keeps the previous list.
    std::vector<int32_t> dataTypes_;
    std::vector<uint32_t> indexes_;
};

}  // namespace korlix
