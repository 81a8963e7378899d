// A block object that only counts its own destruction, for tests of the registry.
#pragma once

#include "framework/BaseFcn.hpp"
#include "quonix/host.hpp"

namespace korlix_test {

class Counted : public korlix::BaseFcn {
  public:
    explicit Counted(int& destroyed) : destroyed_(destroyed) {}
    ~Counted() override {
        ++destroyed_;
        traceLengthAtDestruction = quonix::trace().events().size();
    }
    // How many host calls the trace held when the last object was destroyed.
    static inline std::size_t traceLengthAtDestruction = 0;
    void initializeSizes(HostBlock*) override {}
    void initializeSampleTimes(HostBlock*) override {}
    void initializeForHost(HostBlock*) override {}
    void start(HostBlock*) override {}
    void outputs(HostBlock*, int32_t) override {}
    void update(HostBlock*, int32_t) override {}
    void terminate(HostBlock*) override {}
    void writeQRXRecord(HostBlock*) override {}

  private:
    int& destroyed_;
};

}  // namespace korlix_test
