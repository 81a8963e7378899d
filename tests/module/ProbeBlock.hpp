// A block class that only records what the framework asks of it. The framework tests register it directly;
// the probe copy of the module (korlix_probe) registers it through korlixProbeInsert.
#pragma once

#include <stdexcept>

#include "framework/BaseFcn.hpp"
#include "quonix/host.hpp"

struct ProbeLog {
    int constructed = 0, destroyed = 0;
    std::size_t traceAtDestruction = 0;  // host calls in the trace when the last object died
    std::vector<std::string> calls;      // "initializeSizes", "outputs -2", ...
    HostBlock* lastBlock = nullptr;      // the structure of the last initializeSizes
};

// kProbeThrows: initializeSizes throws; kProbeNegativeSizes: it writes -1 into size fields 5, 15 and 18 (the
// first and last of those passed back unsigned) and bit 31 alone into the option word.
enum ProbeBehaviour { kProbeQuiet, kProbeThrows, kProbeNegativeSizes };

class ProbeBlock : public korlix::BaseFcn {
  public:
    explicit ProbeBlock(ProbeLog& log, int how = kProbeQuiet) : log_(log), how_(how) { ++log.constructed; }
    ~ProbeBlock() override { ++log_.destroyed, log_.traceAtDestruction = quonix::trace().events().size(); }
    void initializeSizes(HostBlock* S) override {
        log_.calls.push_back("initializeSizes");
        log_.lastBlock = S;
        if (how_ == kProbeThrows) {
            throw std::runtime_error("probe failure");
        }
        if (how_ == kProbeNegativeSizes) {
            S->sizes[5] = S->sizes[15] = S->sizes[18] = -1;
            S->sizes[HB_SIZE_OPTIONS] = INT32_MIN;
        }
    }
    void initializeSampleTimes(HostBlock*) override { log_.calls.push_back("initializeSampleTimes"); }
    void initializeForHost(HostBlock*) override { log_.calls.push_back("initializeForHost"); }
    void start(HostBlock*) override { log_.calls.push_back("start"); }
    void outputs(HostBlock*, int32_t tid) override { log_.calls.push_back("outputs " + std::to_string(tid)); }
    void update(HostBlock*, int32_t) override { log_.calls.push_back("update"); }
    void terminate(HostBlock*) override { log_.calls.push_back("terminate"); }
    void writeQRXRecord(HostBlock*) override { log_.calls.push_back("writeQRXRecord"); }

  private:
    ProbeLog& log_;
    int how_;
};
