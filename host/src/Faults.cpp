// Fault injection: the count of the host calls a module makes, the one chosen to fail or raise, and the
// listener told about every callback.
#include <cstdlib>
#include <cstring>
#include <string>

#include "HostInternal.hpp"

namespace {

struct FaultState {
    std::size_t target = 0;  // 0: no fault
    quonix::FaultMode mode = quonix::FaultMode::Fail;
    std::size_t count = 0;
    std::string fired;
    int moduleDepth = 0;  // calls into the module under way
    int hostDepth = 0;    // host calls under way inside them
    quonix::CallbackListener listener = nullptr;

    FaultState() {
        // QUONIX_FAULT=K:fail or K:raise; anything else leaves injection off.
        const char* setting = std::getenv("QUONIX_FAULT");
        if (setting == nullptr) {
            return;
        }
        char* end = nullptr;
        const unsigned long long call = std::strtoull(setting, &end, 10);
        if (end == setting || *end != ':') {
            return;
        }
        if (std::strcmp(end + 1, "fail") == 0) {
            target = static_cast<std::size_t>(call);
        } else if (std::strcmp(end + 1, "raise") == 0) {
            target = static_cast<std::size_t>(call);
            mode = quonix::FaultMode::Raise;
        }
    }
};

FaultState& faults() {
    static FaultState state;
    return state;
}

}  // namespace

namespace quonix {

void injectFault(std::size_t call, FaultMode mode) {
    FaultState& f = faults();
    f.target = call;
    f.mode = mode;
    f.count = 0;
    f.fired.clear();
}

std::size_t faultableCallCount() {
    return faults().count;
}

const std::string& injectedFaultCall() {
    return faults().fired;
}

void setCallbackListener(CallbackListener listener) {
    faults().listener = listener;
}

namespace detail {

HostCall::HostCall(const char* name) {
    FaultState& f = faults();
    if (f.moduleDepth > 0 && f.hostDepth == 0) {
        ++f.count;
        if (f.target != 0 && f.count == f.target) {
            f.fired = name;
            if (f.mode == FaultMode::Raise) {
                zupErrMsgTxt((std::string("injected fault in ") + name).c_str());
            }
            failed_ = true;
        }
    }
    ++f.hostDepth;
}

HostCall::~HostCall() {
    --faults().hostDepth;
}

ModuleCall::ModuleCall(const std::string& block, const char* callback) {
    FaultState& f = faults();
    if (f.listener != nullptr) {
        f.listener(block, callback);
    }
    ++f.moduleDepth;
}

ModuleCall::~ModuleCall() {
    --faults().moduleDepth;
}

}  // namespace detail
}  // namespace quonix
