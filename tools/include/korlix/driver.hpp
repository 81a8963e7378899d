// The KORLIX model driver: loads a model (a model file or its JSON value), runs the KORLIX module over it in
// the stand-in host Quonix, and hands back the report, the record file text and the warnings. korlix-host is
// a command-line front end over this library.
//
//     korlix::Model model = korlix::Model::load("flexray_demo.json");
//     korlix::Report report = korlix::run(model, {.command = "build"});
//     std::cout << report.text();
//
// The module runs in the caller's process: a module that crashes ends the caller (korlix-host runs it in a
// child process instead). The host keeps its workspaces and trace per process, so one run at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace korlix {

// The version of the library (and of korlix-host), as "0.1.0".
const char* version();

// Something said about a place of the model: a problem (the model cannot be used) or a warning (it can,
// but something in it is likely a mistake).
struct Diagnostic {
    std::string path;                  // JSON path in the model, as blocks[3].parameters.PduLength
    std::string message;               // what is wrong, with a suggestion when one is near
    std::optional<std::size_t> block;  // the index of the block it concerns, when it concerns one
};

// A model that cannot be used or a run that cannot start (module missing, bad options): every problem
// found. what() is the whole message, one line "FILE: PATH: MESSAGE" per problem (FILE left out when the
// problem concerns no model file).
class Error : public std::runtime_error {
  public:
    Error(std::string file, std::vector<Diagnostic> problems);
    const std::string& file() const { return file_; }
    const std::vector<Diagnostic>& problems() const { return problems_; }

  private:
    std::string file_;
    std::vector<Diagnostic> problems_;
};

class Report;
struct RunOptions;

// A loaded and validated model: blocks, host settings and scenario. Copies share the loaded description.
class Model {
  public:
    // Reads and validates the model file ("-": standard input). Throws Error naming every problem.
    static Model load(const std::string& path);
    // Validates a model given as its JSON value; `name` stands for the file in messages and is the model's
    // name when the value has no "model" key. Throws Error.
    static Model fromJson(const nlohmann::json& document, const std::string& name = "(json)");

    // The file (or name) the model came from, as messages name it.
    const std::string& file() const;
    std::size_t blockCount() const;
    // Warnings of the loader, in the order of their places in the model.
    const std::vector<Diagnostic>& warnings() const;

    // What the loader made of the model (defined inside the library).
    struct Description;
    const Description& description() const { return *description_; }

  private:
    friend Report run(Model model, const RunOptions& options);
    Model(std::string file, std::shared_ptr<Description> description);
    std::string file_;
    std::shared_ptr<Description> description_;
};

struct RunOptions {
    // check, simulate, build, run (the model's scenario), or validate (build without a record).
    std::string command = "build";
    long long steps = 10;  // simulate: rounds of mdlOutputs
    bool trace = false;    // the report lists every host call the module made
    bool strict = false;   // warnings give exit code 1 like block errors
    std::string module;    // the module to load; empty: modulePath()
    bool json = true;      // Report::json() lists the model and its blocks (warnings and summary always)
    bool text = true;      // build Report::text()
    bool records = true;   // with json: each block's record calls, and the trace when traced
    // Told how far a long phase has come: the phase, the blocks (or steps) done and their total.
    std::function<void(const char* phase, std::size_t done, std::size_t total)> progress;
    // Told what the run does next outside the blocks' callbacks ("loading the module", ...).
    std::function<void(const char* stage)> stage;
};

// What one run gave. Each accessor of a Report that is going away (std::move(report).json()) hands its part
// over instead of copying it.
class Report {
  public:
    // 0: no block has an error; 1: some block has one (or, strict, there is a warning).
    int exitCode() const { return exitCode_; }
    std::size_t errors() const { return errors_; }
    // The report object as `korlix-host --json` prints it: model, blocks, trace, warnings, summary.
    const nlohmann::ordered_json& json() const& { return json_; }
    nlohmann::ordered_json json() && { return std::move(json_); }
    // The report as the table korlix-host prints.
    const std::string& text() const& { return text_; }
    std::string text() && { return std::move(text_); }
    // The record file text when the command generated code (build, or a scenario's generate step).
    const std::optional<std::string>& record() const& { return record_; }
    std::optional<std::string> record() && { return std::move(record_); }
    // The loader's warnings, then the dialog fields the module never read.
    const std::vector<Diagnostic>& warnings() const { return warnings_; }

  private:
    friend Report run(Model model, const RunOptions& options);
    int exitCode_ = 0;
    std::size_t errors_ = 0;
    nlohmann::ordered_json json_ = nlohmann::ordered_json::object();
    std::string text_;
    std::optional<std::string> record_;
    std::vector<Diagnostic> warnings_;
};

// Loads the module, drives the model through it as the command says, unloads it. Throws Error when the run
// cannot start (unknown command, steps out of range, module missing or without zupFunction). A model handed
// over with std::move gives its blocks up to the run, so that a large model is not held twice.
Report run(Model model, const RunOptions& options = {});

// The installed module: korlix_qvblk.so beside the program or library holding this code, or in korlix/ or
// ../lib/korlix/ from there. Throws Error naming the places looked at when none exists.
std::string modulePath();

}  // namespace korlix
