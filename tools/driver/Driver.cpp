// The driver's public face: a model in, the module run over it in the stand-in host, the report out.
#include <dlfcn.h>
#include <errno.h>

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "ModelFile.hpp"
#include "Session.hpp"
#include "Table.hpp"
#include "korlix/driver.hpp"
#include "quonix/host.hpp"

namespace korlix {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kCommands[] = {"check", "simulate", "build", "run", "validate"};

[[noreturn]] void refuse(const std::string& file, const std::string& message) {
    throw Error(file, {Diagnostic{"", message, std::nullopt}});
}

// The file of the code that runs this function: the shared driver library, or the program the static one
// is linked into.
std::filesystem::path ownFile() {
    // The loader names the program itself by the word it was started with (argv[0]), which need not be a path
    // nor stay right after a change of directory; /proc/self/exe does.
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&ownFile), &info) != 0 && info.dli_fname != nullptr &&
        std::string_view(info.dli_fname) != program_invocation_name &&
        std::string_view(info.dli_fname).find('/') != std::string_view::npos) {
        return std::filesystem::absolute(info.dli_fname);
    }
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        refuse("", "cannot find the module: the program's own path is unknown (" + ec.message() + ")");
    }
    return exe;
}

}  // namespace

const char* version() {
    return KORLIX_VERSION;
}

Model::Model(std::string file, std::shared_ptr<Description> description)
    : file_(std::move(file)), description_(std::move(description)) {}

Model Model::load(const std::string& path) {
    auto description = std::make_shared<Description>();
    static_cast<korlix_host::ModelDescription&>(*description) = korlix_host::loadModelFile(path);
    return Model(path == "-" ? korlix_host::kStandardInputName : path, std::move(description));
}

Model Model::fromJson(const nlohmann::json& document, const std::string& name) {
    auto description = std::make_shared<Description>();
    static_cast<korlix_host::ModelDescription&>(*description) =
        korlix_host::parseModel(name, document.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict));
    return Model(name, std::move(description));
}

const std::string& Model::file() const {
    return file_;
}

std::size_t Model::blockCount() const {
    return description_->blocks.size();
}

const std::vector<Diagnostic>& Model::warnings() const {
    return description_->warnings;
}

std::string modulePath() {
    namespace fs = std::filesystem;
    const fs::path dir = ownFile().parent_path();
    // Built: everything in one directory. Installed: the library in lib/, the program in bin/, the module in
    // lib/korlix/.
    const fs::path candidates[] = {dir / "korlix_qvblk.so", dir / "korlix" / "korlix_qvblk.so",
                                   (dir / KORLIX_INSTALLED_MODULE).lexically_normal()};
    std::string tried;
    for (const fs::path& candidate : candidates) {
        std::error_code ec;
        if (fs::exists(candidate, ec)) {
            return candidate.string();
        }
        tried += (tried.empty() ? "" : ", ") + candidate.string();
    }
    refuse("", "module not found: none of " + tried + " exists");
}

Report run(Model model, const RunOptions& options) {
    if (std::find(std::begin(kCommands), std::end(kCommands), options.command) == std::end(kCommands)) {
        refuse("", "unknown command \"" + options.command +
                       "\" (expected check, simulate, build, run or validate)");
    }
    if (options.steps < 0 || options.steps > korlix_host::kMaxSteps) {
        refuse("", "steps: " + std::to_string(options.steps) + " is out of range (0 to " +
                       std::to_string(korlix_host::kMaxSteps) + ")");
    }
    const Model::Description& description = model.description();
    if (options.command == "simulate") {
        if (auto problem = korlix_host::outputsCallsProblem(options.steps, description.blocks.size())) {
            refuse(model.file(), "steps " + *problem);
        }
    }
    const auto stage = [&options](const char* what) {
        if (options.stage) {
            options.stage(what);
        }
    };
    std::string error;
    const std::string path = options.module.empty() ? modulePath() : options.module;

    quonix::clearWorkspaces();
    quonix::trace().clear();
    quonix::trace().setEnabled(options.trace);
    Report out;
    {
        stage("loading the module");
        auto module = quonix::Module::load(path, error);
        if (!module) {
            quonix::trace().setEnabled(false);
            refuse("", error);
        }
        std::optional<korlix_host::Session> held;
        korlix_host::Session& session = held.emplace(description, module->entry());
        session.setProgress(options.progress);
        session.setKeepRecords(options.json && options.records);
        std::vector<Diagnostic> warnings = description.warnings;
        // The session holds its own copy of the blocks (steps refer to them by position); a model handed
        // over whole need not be kept twice.
        if (model.description_.use_count() == 1) {
            std::vector<quonix::BlockSpec>().swap(model.description_->blocks);
        }
        if (options.command == "run") {
            for (const auto& step : description.scenario) {
                session.apply(step);
            }
            out.record_ = session.lastRecord();
        } else {
            session.initialize();
            if (options.command == "simulate") {
                session.simulate(options.steps);
            } else if (options.command == "build" || options.command == "validate") {
                out.record_ = session.generate();
            }
        }
        if (options.command == "validate") {
            out.record_.reset();
        }
        for (auto& w : session.unreadFields()) {
            warnings.push_back(std::move(w));
        }
        out.errors_ = session.errorCount();
        out.exitCode_ = out.errors_ > 0 || (options.strict && !warnings.empty()) ? 1 : 0;

        if (options.json) {
            if (options.records) {
                out.json_ = session.report(options.trace);
            } else {
                out.json_["model"] = session.modelName();
                out.json_["blocks"] = Json::array();
                for (std::size_t i = 0; i < session.blockCount(); ++i) {
                    out.json_["blocks"].push_back(session.blockReport(i, false));
                }
            }
        }
        if (options.command == "validate") {
            out.json_["file"] = model.file();  // which of several models this report is
        }
        out.json_["warnings"] = session.warningsJson(warnings);
        out.json_["summary"] =
            korlix_host::reportSummary(session.blockCount(), out.errors_, warnings.size(), 0, out.exitCode_);
        // Row by row: a large model's report never exists whole for the table.
        korlix_host::TableWriter table(session.modelName());
        if (options.text) {
            for (std::size_t i = 0; i < session.blockCount(); ++i) {
                table.add(session.blockReport(i, false));
            }
            for (const auto& w : warnings) {
                table.warn(w);
            }
        }
        // The session's host structures go before the module is unloaded, and before the table is laid out
        // in the memory they held.
        held.reset();
        if (options.text) {
            const Json trace(quonix::trace().events());
            out.text_ = table.finish(options.trace ? &trace : nullptr);
        }
        out.warnings_ = std::move(warnings);
        stage("unloading the module");
    }
    quonix::trace().setEnabled(false);
    quonix::trace().clear();
    quonix::clearWorkspaces();
    quonix::releaseHostMemory();
    return out;
}

}  // namespace korlix
