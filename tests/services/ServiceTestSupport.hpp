// A bare host structure for tests that call the module's services directly: the stand-in host builds the
// block parameter structure from a few fields; no registration call is made.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HostFixture.hpp"
#include "quonix/host.hpp"

namespace korlix_test {

inline std::unique_ptr<quonix::BlockInstance> makeInstance(std::optional<Params> params,
                                                           int parameterCount = 2) {
    quonix::BlockSpec layout;
    layout.name = "service block";
    layout.handle = 1.0001;
    layout.maskType = "KORLIXConfig";
    layout.parameters = params ? std::optional(toFields(*params)) : std::nullopt;
    layout.parameterCount = parameterCount;
    return std::make_unique<quonix::BlockInstance>(std::move(layout), quonix::HostSettings{});
}

inline std::string errorStatusOf(const HostBlock& block) {
    const HostBlock* root = block.root != nullptr ? block.root : &block;
    return root->errorStatus != nullptr ? root->errorStatus : "";
}

}  // namespace korlix_test
