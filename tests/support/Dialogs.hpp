// The realistic dialog of each block class, read from tests/data/dialogs.json: the one place the block
// tests, the boundary tests, the benchmarks and the model generator take their dialogs from.
#pragma once

#include <algorithm>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace korlix_test {

using Params = std::vector<std::pair<std::string, std::string>>;
using Json = nlohmann::ordered_json;

// A dialog field without text.
inline const char* const kNoText = "\x01<no text>";

// A JSON file of the source tree, by its path below the top directory; throws when it cannot be read.
inline Json readSourceJson(const std::string& path) {
    std::ifstream in(KORLIX_SOURCE_DIR "/" + path);
    if (!in) {
        throw std::runtime_error("cannot read " KORLIX_SOURCE_DIR "/" + path);
    }
    return Json::parse(in);
}

// Dialog fields from a JSON object of texts, null standing for a field without text.
inline Params paramsFrom(const Json& dialog) {
    Params params;
    for (const auto& [name, text] : dialog.items()) {
        params.emplace_back(name, text.is_null() ? kNoText : text.get<std::string>());
    }
    return params;
}

// The table `name` of a case file of the source tree, the file read once per test program.
inline const Json& caseTable(const std::string& path, const std::string& name) {
    static std::map<std::string, Json> files;
    auto [file, added] = files.try_emplace(path);
    if (added) {
        file->second = readSourceJson(path);
    }
    return file->second.at(name);
}

inline const Json& dialogFile() {
    static const Json dialogs = readSourceJson("tests/data/dialogs.json");
    return dialogs;
}

// The dialog fields of the mask type's block, in dialog order; throws for a mask type the file lacks.
inline Params realisticDialog(const std::string& maskType) {
    return paramsFrom(dialogFile().at(maskType));
}

// The mask type's realistic dialog changed by one update: "set" gives fields their text (adding those not
// there), "remove" drops fields, "noText" leaves fields without text.
inline Params changedDialog(Params params, const Json& update) {
    const auto drop = [&params](const std::string& name) {
        std::erase_if(params, [&name](const auto& field) { return field.first == name; });
    };
    const Json none = Json::object();
    for (const auto& [name, text] : update.contains("set") ? update["set"].items() : none.items()) {
        const auto field =
            std::find_if(params.begin(), params.end(), [&](const auto& f) { return f.first == name; });
        if (field != params.end()) {
            field->second = text.get<std::string>();
        } else {
            params.emplace_back(name, text.get<std::string>());
        }
    }
    for (const auto& name : update.contains("remove") ? update["remove"] : none) {
        drop(name.get<std::string>());
    }
    for (const auto& name : update.contains("noText") ? update["noText"] : none) {
        drop(name.get<std::string>());
        params.emplace_back(name.get<std::string>(), kNoText);
    }
    return params;
}
inline Params changedDialog(const std::string& maskType, const Json& update) {
    return changedDialog(realisticDialog(maskType), update);
}

}  // namespace korlix_test
