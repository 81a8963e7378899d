// The model file of korlix-host: a JSON object describing blocks, host settings and a scenario. The loader is
// strict: an unknown key, a wrong type, a missing required key, a duplicate block name or a scenario step
// that names an unknown block is an error naming the file and the JSON path. It reports every such problem
// of a file at once, and warns about what is allowed but likely a mistake.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Diagnostics.hpp"
#include "quonix/host.hpp"

namespace korlix_host {

// Deepest nesting of arrays and objects a model file may have; deeper files are refused before any DOM is
// built, so hostile input cannot exhaust the stack.
inline constexpr std::size_t kMaxNesting = 64;
// Largest model file the tool reads.
inline constexpr std::size_t kMaxModelFileBytes = 64u << 20;
// Largest step count of simulate (command line and scenario).
inline constexpr long long kMaxSteps = 1000000;
// Most mdlOutputs calls one run may make: blocks times steps, summed over a scenario's simulate steps (or
// the simulate command's --steps).
inline constexpr long long kMaxOutputsCalls = 20000000;
// Most ports all blocks of a model may have together in one model update.
inline constexpr long long kMaxModelPorts = 65536;
// Largest record all blocks of a model may write together in one code generation, in bytes of values.
inline constexpr std::size_t kMaxRecordBytes = 16u << 20;
// Largest S-function parameter count a block may ask for.
inline constexpr long long kMaxParameterCount = 64;
// hostLimits.maxPorts: the host creates that many port records when a block asks; a million is beyond any
// model.
inline constexpr long long kMaxPortLimit = 1048576;

// A model file that cannot be used: every problem found, each at its place.
using ModelFileError = korlix::Error;

// The name under which the model read from standard input ("-") appears in messages.
inline constexpr const char* kStandardInputName = "(standard input)";

struct ScenarioStep {
    enum class Kind { Initialize, Delete, Set, Simulate, Generate };
    Kind kind = Kind::Initialize;
    std::size_t block = 0;  // index into ModelDescription::blocks (delete, set)
    // set: fields to add or replace; parametersNull makes the structure empty (no data) first.
    bool parametersNull = false;
    std::vector<quonix::ParamField> parameters;
    std::vector<std::string> remove;
    std::optional<double> sampleTime;
    long long steps = 10;  // simulate
    std::string path;      // the step's place in the file, as scenario[2]
};

struct ModelDescription {
    std::string name;
    quonix::HostSettings settings;
    std::vector<quonix::BlockSpec> blocks;  // handles already assigned, distinct and never 0
    std::vector<ScenarioStep> scenario;     // the default scenario when the file has none
    std::vector<Diagnostic> warnings;       // in the order of their places in the file
};

// "N with B blocks would call mdlOutputs more than ... times" when simulating `steps` rounds of `blocks`
// blocks goes beyond kMaxOutputsCalls.
std::optional<std::string> outputsCallsProblem(long long steps, std::size_t blocks);

// Parses and validates a model file held in memory; `file` names it in messages and gives the default name.
ModelDescription parseModel(const std::string& file, const std::string& content);
// Reads the file ("-": standard input) and parses it. Throws ModelFileError.
ModelDescription loadModelFile(const std::string& file);

}  // namespace korlix_host

// What korlix::Model holds.
struct korlix::Model::Description : korlix_host::ModelDescription {};
