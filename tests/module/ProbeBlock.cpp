#include "ProbeBlock.hpp"

#include <memory>
#include <stdexcept>

#include "framework/BaseFcn.hpp"

namespace {

class ProbeBlock : public korlix::BaseFcn {
  public:
    ProbeBlock(ProbeLog* log, int behaviour) : log_(log), behaviour_(behaviour) { ++log_->constructed; }
    ~ProbeBlock() override { ++log_->destroyed; }

    void initializeSizes(HostBlock* S) override {
        log_->calls.push_back("initializeSizes");
        log_->lastBlock = S;
        if (behaviour_ == kProbeThrows) {
            throw std::runtime_error("probe failure");
        }
        if (behaviour_ == kProbeNegativeSizes) {
            S->sizes[5] = -1;
            S->sizes[15] = -1;
            S->sizes[HB_SIZE_OPTIONS] = static_cast<int32_t>(0x80000000u);
        }
    }
    void initializeSampleTimes(HostBlock*) override { log_->calls.push_back("initializeSampleTimes"); }
    void initializeForHost(HostBlock*) override { log_->calls.push_back("initializeForHost"); }
    void start(HostBlock*) override { log_->calls.push_back("start"); }
    void outputs(HostBlock*, int32_t tid) override {
        log_->calls.push_back("outputs " + std::to_string(tid));
    }
    void update(HostBlock*, int32_t) override { log_->calls.push_back("update"); }
    void terminate(HostBlock*) override { log_->calls.push_back("terminate"); }
    void writeQRXRecord(HostBlock*) override { log_->calls.push_back("writeQRXRecord"); }

  private:
    ProbeLog* log_;
    int behaviour_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) void korlixProbeInsert(double handle, ProbeLog* log,
                                                                         int behaviour) {
    korlix::registry::insert(handle, std::make_unique<ProbeBlock>(log, behaviour));
}
