// A block class that only records what the framework asks of it, built into a test copy of the module
// (korlix_probe) together with a hook that registers one under a handle. Tests use it to watch the
// dispatch and the lifecycle of block objects without depending on any real block class.
#pragma once

#include <string>
#include <vector>

#include "tarvel/host_block.h"

struct ProbeLog {
    int constructed = 0;
    int destroyed = 0;
    std::vector<std::string> calls;  // "initializeSizes", "outputs -2", ...
    HostBlock* lastBlock = nullptr;  // the structure of the last initializeSizes
};

enum ProbeBehaviour {
    kProbeQuiet = 0,
    kProbeThrows = 1,         // initializeSizes throws a std::runtime_error("probe failure")
    kProbeNegativeSizes = 2,  // initializeSizes writes -1 into size fields 5 and 15 and bit 31 of 23
};

// extern "C" void korlixProbeInsert(double handle, ProbeLog* log, int behaviour);
using ProbeInsertFn = void (*)(double, ProbeLog*, int);
inline constexpr const char* kProbeInsertSymbol = "korlixProbeInsert";
