// The model file's JSON Schema (schema/model.schema.json, built into the tool) and the mask types the module
// recognises (read from the module's mask-type table when the tool is built).
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Diagnostics.hpp"

namespace korlix_host {

const char* modelSchemaText();
const std::vector<std::string>& recognisedMaskTypes();

// Every place where the document breaks the schema, with its path and a message built from what the schema
// asks there ("must be a whole number from 0 to 64, not a text"; an unknown key with the nearest known one).
std::vector<Diagnostic> schemaProblems(const nlohmann::ordered_json& document);

}  // namespace korlix_host
