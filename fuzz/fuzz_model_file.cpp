// Fuzzes the model-file loader of korlix-host: any byte string is either refused with a ModelFileError that
// names the file, or accepted as a model whose promises hold (distinct non-zero handles, distinct non-empty
// names, scenario steps that point at blocks of the model, counts in their ranges). Any other exception, a
// crash or a broken promise is a finding.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "ModelFile.hpp"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void checkAccepted(const korlix_host::ModelDescription& model) {
    std::set<double> handles;
    std::set<std::string> names;
    for (const auto& block : model.blocks) {
        require(block.handle != 0.0 && handles.insert(block.handle).second);
        require(!block.name.empty() && names.insert(block.name).second);
        require(block.parameterCount >= 0 && block.parameterCount <= korlix_host::kMaxParameterCount);
        if (block.parameters) {
            std::set<std::string> fields;
            for (const auto& field : *block.parameters) {
                require(!field.name.empty() && fields.insert(field.name).second);
                require(!field.text || field.text->find('\0') == std::string::npos);
            }
        }
    }
    using Kind = korlix_host::ScenarioStep::Kind;
    for (const auto& step : model.scenario) {
        require((step.kind != Kind::Delete && step.kind != Kind::Set) || step.block < model.blocks.size());
        require(step.steps >= 0 && step.steps <= korlix_host::kMaxSteps);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string content(reinterpret_cast<const char*>(data), size);
    try {
        checkAccepted(korlix_host::parseModel("fuzz.json", content));
    } catch (const korlix_host::ModelFileError& e) {
        require(std::string(e.what()).rfind("fuzz.json: ", 0) == 0);
    }
    return 0;
}
