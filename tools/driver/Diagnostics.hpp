// What the driver says about a model file besides its report: problems (the file cannot be used) and
// warnings (it can, but something in it is likely a mistake), each at a JSON path of the file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "korlix/driver.hpp"

namespace korlix_host {

using korlix::Diagnostic;

// blocks[3] and blocks[3].name; a key that is not an identifier is written ["a b"].
std::string memberPath(const std::string& path, const std::string& key);
std::string elementPath(const std::string& path, std::size_t index);

// "a text", "a number", "an object", ... for messages.
const char* kindOf(const nlohmann::ordered_json& j);
const char* kindOf(const nlohmann::json& j);

// `; did you mean "X"?` for the candidate nearest to `word` (edit distance, case counting little), or an
// empty text when none is near enough to be a likely slip.
std::string didYouMean(const std::string& word, const std::vector<std::string>& candidates);

// Orders diagnostics as their places appear in the document (a missing key at its object), keeping the
// order of those at the same place.
void sortByPlace(std::vector<Diagnostic>& list, const nlohmann::ordered_json& document);

}  // namespace korlix_host
