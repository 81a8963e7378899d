// The realistic dialog of each block class, read from tests/data/dialogs.json: the one place the block
// tests, the boundary tests, the benchmarks and the model generator take their dialogs from.
#pragma once

#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace korlix_test {

using Params = std::vector<std::pair<std::string, std::string>>;

inline const nlohmann::ordered_json& dialogFile() {
    static const nlohmann::ordered_json dialogs = [] {
        std::ifstream in(KORLIX_SOURCE_DIR "/tests/data/dialogs.json");
        if (!in) {
            throw std::runtime_error("cannot read " KORLIX_SOURCE_DIR "/tests/data/dialogs.json");
        }
        return nlohmann::ordered_json::parse(in);
    }();
    return dialogs;
}

// The dialog fields of the mask type's block, in dialog order; throws for a mask type the file lacks.
inline Params realisticDialog(const std::string& maskType) {
    Params params;
    for (const auto& [name, text] : dialogFile().at(maskType).items()) {
        params.emplace_back(name, text.get<std::string>());
    }
    return params;
}

}  // namespace korlix_test
