// The realistic dialogs of the fourteen block classes for the benchmarks, in the order of
// tests/data/dialogs.json, the file the tests and the model generator read them from.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Dialogs.hpp"

namespace korlix_bench {

struct Dialog {
    std::string maskType;
    std::vector<std::pair<std::string, std::string>> fields;
};

inline std::vector<Dialog> dialogs() {
    std::vector<Dialog> all;
    for (const auto& [maskType, fields] : korlix_test::dialogFile().items()) {
        all.push_back({maskType, korlix_test::realisticDialog(maskType)});
    }
    return all;
}

}  // namespace korlix_bench
