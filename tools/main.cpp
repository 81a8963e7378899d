// korlix-host: loads the KORLIX module into the stand-in host, drives the blocks of a model file through the
// host's callbacks, prints a report and writes the code-generation record file.
//
// Exit codes: 0 no block has an error; 1 some block has one (report and record file of the good blocks are
// still written); 2 the tool could not do its job (nothing is written, an existing record file is untouched).
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "ModelFile.hpp"
#include "Output.hpp"
#include "Session.hpp"
#include "quonix/host.hpp"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitBlockError = 1;
constexpr int kExitFailure = 2;

struct Options {
    std::string command;
    std::string model;
    std::string output;
    std::string module;
    long long steps = 10;
    bool json = false;
    bool trace = false;
};

int fail(const std::string& message) {
    std::cerr << "korlix-host: " << message << "\n";
    return kExitFailure;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

// Returns the exit code.
int runTool(const Options& opt) {
    korlix_host::ModelDescription description;
    try {
        description = korlix_host::loadModelFile(opt.model);
    } catch (const korlix_host::ModelFileError& e) {
        return fail(e.what());
    }

    bool writesRecord = opt.command == "build";
    if (opt.command == "run") {
        for (const auto& step : description.scenario) {
            writesRecord = writesRecord || step.kind == korlix_host::ScenarioStep::Kind::Generate;
        }
    }
    const std::string recordPath =
        opt.output.empty() ? std::filesystem::path(opt.model).replace_extension(".qrx").string() : opt.output;
    if (writesRecord && sameFile(recordPath, opt.model)) {
        return fail("the record file " + recordPath + " would overwrite the model file");
    }

    std::string error;
    std::string modulePath = opt.module;
    if (modulePath.empty()) {
        modulePath = korlix_host::defaultModulePath(error);
        if (modulePath.empty()) {
            return fail(error);
        }
    } else if (modulePath.find('/') == std::string::npos) {
        modulePath = "./" + modulePath;  // a bare name is a file here, not a library to search for
    }

    quonix::clearWorkspaces();
    quonix::trace().clear();
    quonix::trace().setEnabled(opt.trace);
    std::string reportText;
    std::optional<std::string> record;
    bool blockError = false;
    {
        auto module = quonix::Module::load(modulePath, error);
        if (!module) {
            return fail(error);
        }
        korlix_host::Session session(description, module->entry());
        // The session holds its own copy of the blocks (steps refer to them by position); a large model
        // need not be kept twice.
        std::vector<quonix::BlockSpec>().swap(description.blocks);
        if (opt.command == "run") {
            for (const auto& step : description.scenario) {
                session.apply(step);
            }
            record = session.lastRecord();
        } else {
            session.initialize();
            if (opt.command == "simulate") {
                session.simulate(opt.steps);
            } else if (opt.command == "build") {
                record = session.generate();
            }
        }
        if (opt.json) {
            reportText = korlix_host::renderJson(session.report(opt.trace));
        } else {
            // Row by row: a large model's report never exists whole.
            korlix_host::TableWriter table(session.modelName());
            for (std::size_t i = 0; i < session.blockCount(); ++i) {
                table.add(session.blockReport(i, false));
            }
            const nlohmann::ordered_json trace(quonix::trace().events());
            reportText = table.finish(opt.trace ? &trace : nullptr);
        }
        blockError = session.anyError();
        // The session's host structures go before the module is unloaded.
    }
    quonix::trace().setEnabled(false);
    quonix::trace().clear();
    quonix::clearWorkspaces();
    quonix::releaseHostMemory();

    // The record file first: if it cannot be written, nothing is printed and the exit code is 2.
    if (record && !korlix_host::writeFileAtomically(recordPath, *record, error)) {
        return fail(error);
    }
    std::cout << reportText << std::flush;
    if (!std::cout) {
        return fail("cannot write the report to standard output");
    }
    return blockError ? kExitBlockError : kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    CLI::App app{
        "korlix-host: runs the KORLIX block module in the stand-in host over a model file.\n"
        "Exit codes: 0 no block error, 1 some block has an error, 2 the tool could not do its job.",
        "korlix-host"};
    app.set_version_flag("--version", "korlix-host " KORLIX_VERSION);
    app.require_subcommand(1);
    app.add_flag("--json", opt.json, "print the report as JSON instead of a table");
    app.add_flag("--trace", opt.trace, "add every host call the module made to the report");
    app.add_option("--module", opt.module, "the module to load (default: korlix_qvblk.so beside the tool)");

    auto* check =
        app.add_subcommand("check", "registration and sample times of every block; print the report");
    auto* simulate = app.add_subcommand("simulate", "check, then mdlStart, N times mdlOutputs, mdlTerminate");
    auto* build = app.add_subcommand("build", "check, then mdlQRX; write the record file");
    auto* run = app.add_subcommand("run", "run the model's scenario");
    for (auto* sub : {check, simulate, build, run}) {
        sub->add_option("MODEL", opt.model, "the model file (JSON)")->required();
        sub->fallthrough();  // --json, --trace and --module may follow the command
    }
    simulate->add_option("--steps", opt.steps, "number of mdlOutputs rounds (default 10)")
        ->check(CLI::Range(0LL, korlix_host::kMaxSteps));
    for (auto* sub : {build, run}) {
        sub->add_option("-o,--output", opt.output,
                        "the record file (default: the model file with extension .qrx)");
    }

    // CLI11 would only say that a command is required; name the word that is not one.
    if (argc > 1 && argv[1][0] != '-') {
        const std::string word = argv[1];
        if (word != "check" && word != "simulate" && word != "build" && word != "run") {
            return fail("unknown command \"" + word + "\" (expected check, simulate, build or run)");
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitOk : kExitFailure;
    }
    for (auto* sub : {check, simulate, build, run}) {
        if (sub->parsed()) {
            opt.command = sub->get_name();
        }
    }
    try {
        return runTool(opt);
    } catch (const std::exception& e) {
        return fail(std::string("internal error: ") + e.what());
    }
}
