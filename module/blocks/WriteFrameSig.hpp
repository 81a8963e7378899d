// WriteFrameSig: the frame signal write block ("WriteFrameSignals"). One scalar input per selected signal of
// a frame to send, plus a boolean trigger input when the frame is sent on events; two integer work elements.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/BaseFcn.hpp"

namespace korlix {

class WriteFrameSig : public BaseFcn {
  public:
    WriteFrameSig() = default;
    ~WriteFrameSig() override = default;

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
    std::string frameTiming_;  // "event", "cyclic" or "mixed" once a set-up got that far
    // Replaced only once read and checked; a failed check keeps the previous list.
    std::vector<int32_t> dataTypes_;
    std::vector<uint32_t> indexes_;
};

}  // namespace korlix
