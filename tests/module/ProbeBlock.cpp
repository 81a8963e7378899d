#include "ProbeBlock.hpp"

extern "C" __attribute__((visibility("default"))) void korlixProbeInsert(double handle, ProbeLog* log,
                                                                         int behaviour) {
    korlix::registry::insert(handle, std::make_unique<ProbeBlock>(*log, behaviour));
}
