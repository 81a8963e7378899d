// korlix-host: loads the KORLIX module into the stand-in host, drives the blocks of a model file through the
// host's callbacks, prints a report and writes the code-generation record file.
//
// Exit codes: 0 no block has an error; 1 some block has one (report and record file of the good blocks are
// still written); 2 the tool could not do its job (nothing is written, an existing record file is untouched).
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "ModelFile.hpp"
#include "Output.hpp"
#include "Pictures.hpp"
#include "TraceFile.hpp"
#include "korlix/driver.hpp"
#include "quonix/host.hpp"

namespace {

using nlohmann::ordered_json;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 2;

const char* const kCommands[] = {"check", "simulate", "build", "run", "validate"};

struct Options {
    std::string command;
    std::string model;                // the commands that take one
    std::vector<std::string> models;  // validate
    std::string output;
    std::string module;
    std::string steps = "10";
    std::vector<std::string> format;  // {"junit" | "html" | "dot", FILE}
    std::string traceFile;
    std::vector<std::string> traceBlocks;
    bool json = false;
    bool trace = false;
    bool strict = false;
    bool quiet = false;
};

// --trace keeps every host call in memory for the report; past this many blocks the trace goes to a file.
constexpr std::size_t kMaxTracedBlocks = 200;

// How far a long run has come, on standard error when that is a terminal: one line, rewritten at most ten
// times a second and at the end of each phase.
std::function<void(const char*, std::size_t, std::size_t)> progressLine(const Options& opt) {
    if (opt.quiet || isatty(STDERR_FILENO) == 0) {
        return {};
    }
    return [last = std::chrono::steady_clock::time_point{}](const char* phase, std::size_t done,
                                                            std::size_t total) mutable {
        const auto now = std::chrono::steady_clock::now();
        if (done < total && now - last < std::chrono::milliseconds(100)) {
            return;
        }
        last = now;
        std::cerr << "\rkorlix-host: " << phase << " " << done << " of " << total << "\033[K"
                  << (done == total ? "\r\033[K" : "") << std::flush;
    };
}

// What one model file gave: the exit code, the result as JSON (a report, or the problems of an unusable
// file), for the table the report text, and the record file to write with its path.
struct Outcome {
    int code = kExitOk;
    ordered_json result;
    std::string table;
    std::optional<std::string> record;
    std::string recordPath;
    // The trace file the run streamed into (--trace-file), renamed into place with the record file.
    std::shared_ptr<korlix_host::TraceFile> traceFile;
};

// The outcome of a model file the tool could not use.
Outcome unusable(const std::string& file, const std::vector<korlix_host::Diagnostic>& problems) {
    Outcome out;
    out.code = kExitFailure;
    out.result = ordered_json::object();
    if (!file.empty()) {
        out.result["file"] = file;
    }
    out.result["problems"] = ordered_json::array();
    for (const auto& p : problems) {
        out.result["problems"].push_back({{"path", p.path}, {"message", p.message}});
    }
    out.result["summary"] = korlix_host::reportSummary(0, 0, 0, problems.size(), kExitFailure);
    return out;
}

Outcome unusable(const std::string& file, const std::string& message) {
    return unusable(file, {korlix_host::Diagnostic{"", message, std::nullopt}});
}

// The message of an unusable outcome for standard error, one line per problem: file names, paths and
// messages may hold any character, so each line goes through the one escaper.
std::string problemText(const Outcome& outcome) {
    std::string text;
    const std::string file = outcome.result.value("file", "");
    for (const auto& p : outcome.result["problems"]) {
        const std::string path = p["path"].get<std::string>();
        text += "korlix-host: " +
                quonix::escapeControls((file.empty() ? "" : file + ": ") + (path.empty() ? "" : path + ": ") +
                                       p["message"].get<std::string>()) +
                "\n";
    }
    return text;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

// ---------------------------------------------------------------------------------------------------------
// The module runs in a child process: a module that crashes ends the child, not the tool, and the tool
// names the block and callback in which it happened. The child writes where it is into memory shared with
// the tool before every callback, and hands its outcome back through a pipe.

struct CrashSite {
    char block[256];
    char stage[64];  // a callback's name, or what the child did outside callbacks
};
CrashSite* gSite = nullptr;

void copyCut(char* to, std::size_t size, const char* from) {
    const std::size_t n = std::min(std::strlen(from), size - 1);
    std::memcpy(to, from, n);
    to[n] = '\0';
}

void noteCallback(const std::string& block, const char* callback) {
    copyCut(gSite->block, sizeof gSite->block, block.c_str());
    copyCut(gSite->stage, sizeof gSite->stage, callback);
}

void noteStage(const char* stage) {
    if (gSite != nullptr) {
        gSite->block[0] = '\0';
        copyCut(gSite->stage, sizeof gSite->stage, stage);
    }
}

// The outcome as the child hands it over, its parts moved rather than copied: a large model's record file
// is not held twice.
ordered_json toJson(Outcome&& out) {
    ordered_json j;
    j["code"] = out.code;
    j["result"] = std::move(out.result);
    j["table"] = std::move(out.table);
    j["record"] = out.record ? ordered_json(std::move(*out.record)) : ordered_json();
    return j;
}

// Writes into a file descriptor through a buffer, so that the outcome goes into the pipe as it is encoded
// instead of being encoded whole first. A write that fails makes the stream bad.
class FdWriter : public std::streambuf {
  public:
    explicit FdWriter(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }

  protected:
    int_type overflow(int_type c) override {
        if (!drain()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return drain() ? 0 : -1; }

  private:
    bool drain() {
        const char* data = pbase();
        std::size_t left = static_cast<std::size_t>(pptr() - pbase());
        while (left > 0) {
            const ssize_t n = write(fd_, data, left);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            data += n;
            left -= static_cast<std::size_t>(n);
        }
        setp(buffer_, buffer_ + sizeof buffer_);
        return true;
    }
    int fd_;
    char buffer_[65536];
};

Outcome fromJson(ordered_json j) {
    Outcome out;
    out.code = j.at("code").get<int>();
    out.result = std::move(j.at("result"));
    out.table = std::move(j.at("table").get_ref<std::string&>());
    if (j.at("record").is_string()) {
        out.record = std::move(j.at("record").get_ref<std::string&>());
    }
    return out;
}

template <typename Work>
Outcome isolated(Work work) {
    auto* site = static_cast<CrashSite*>(
        mmap(nullptr, sizeof(CrashSite), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    int fds[2];
    if (site == MAP_FAILED || pipe2(fds, O_CLOEXEC) != 0) {
        return unusable("", std::string("cannot start the model run: ") + std::strerror(errno));
    }
    *site = CrashSite{};
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);  // nothing buffered may be written twice
    const pid_t pid = fork();
    if (pid < 0) {
        munmap(site, sizeof(CrashSite));
        return unusable("", std::string("cannot start the model run: ") + std::strerror(errno));
    }
    if (pid == 0) {
        close(fds[0]);
        gSite = site;
        quonix::setCallbackListener(&noteCallback);
        Outcome out;
        try {
            out = work();
        } catch (const std::exception& e) {
            out = unusable("", std::string("internal error: ") + e.what());
        }
        noteStage("handing the report over");
        FdWriter pipeWriter(fds[1]);
        std::ostream pipe(&pipeWriter);
        ordered_json::to_msgpack(toJson(std::move(out)), pipe);
        if (!pipe.flush()) {
            std::_Exit(kExitFailure);
        }
        close(fds[1]);
        std::exit(kExitOk);  // exit, not _exit: the leak checks of a sanitizer build run in the child too
    }
    close(fds[1]);
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const CrashSite where = *site;
    munmap(site, sizeof(CrashSite));
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        std::string place = where.block[0] != '\0'
                                ? std::string(where.stage) + " of block \"" + where.block + "\""
                                : std::string(where.stage[0] != '\0' ? where.stage : "starting");
        return unusable("", "the module crashed (signal " + std::to_string(sig) + ", " + strsignal(sig) +
                                ") in " + place + "; nothing was written");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != kExitOk) {
        return unusable("", "the model run ended with exit status " + std::to_string(WEXITSTATUS(status)) +
                                " while " + where.stage + "; nothing was written");
    }
    try {
        return fromJson(ordered_json::from_msgpack(bytes));
    } catch (const std::exception& e) {
        return unusable("", std::string("the model run handed over no report: ") + e.what());
    }
}

// Drives the model through the module: everything the module's code runs in.
Outcome driveModel(const Options& opt, korlix::Model model, const std::string& modulePath, long long steps,
                   korlix_host::TraceFile* traceFile) {
    if (traceFile != nullptr) {
        quonix::trace().setSink([traceFile](const nlohmann::json& event) { traceFile->add(event); });
    }
    korlix::RunOptions run;
    run.command = opt.command;
    run.steps = steps;
    run.trace = opt.trace;
    run.strict = opt.strict;
    run.module = modulePath;
    // The table is built row by row; the JSON report lists the blocks only where something prints them.
    run.text = !opt.json;
    run.json = opt.json || !opt.format.empty();
    // The pictures show the records too; the JUnit file needs only the outcome of each block.
    run.records = opt.json || (!opt.format.empty() && opt.format[0] != "junit");
    run.progress = progressLine(opt);
    run.stage = noteStage;
    Outcome out;
    try {
        korlix::Report report = korlix::run(std::move(model), run);
        out.code = report.exitCode();
        // Each part handed over, not copied: a large model's report is not held twice.
        out.result = std::move(report).json();
        out.table = std::move(report).text();
        out.record = std::move(report).record();
    } catch (const korlix::Error& e) {
        out = unusable(e.file(), e.problems());
    }
    quonix::trace().setSink({});
    if (traceFile != nullptr) {
        traceFile->flush();  // the events this run wrote reach the file before the run hands over
    }
    return out;
}

// Runs one model file through the command: "validate" sets up every block and generates its code without
// writing a record file.
Outcome runModel(const Options& opt, const std::string& modelPath, long long steps) {
    std::optional<korlix::Model> model;
    try {
        model = korlix::Model::load(modelPath);
    } catch (const korlix::Error& e) {
        return unusable(e.file(), e.problems());
    }
    const korlix::Model::Description& description = model->description();
    const bool standardInput = modelPath == "-";
    const std::string& file = model->file();
    if (opt.trace && description.blocks.size() > kMaxTracedBlocks) {
        return unusable(file, "--trace keeps every host call in the report, too many for " +
                                  std::to_string(description.blocks.size()) + " blocks (at most " +
                                  std::to_string(kMaxTracedBlocks) +
                                  "); write the trace with --trace-file FILE");
    }

    bool writesRecord = opt.command == "build";
    if (opt.command == "run") {
        for (const auto& step : description.scenario) {
            writesRecord = writesRecord || step.kind == korlix_host::ScenarioStep::Kind::Generate;
        }
    }
    if (writesRecord && standardInput && opt.output.empty()) {
        return unusable(file, "a model read from standard input needs the record file named with -o");
    }
    const std::string recordPath =
        opt.output.empty() ? std::filesystem::path(modelPath).replace_extension(".qrx").string() : opt.output;
    if (writesRecord && !standardInput && sameFile(recordPath, modelPath)) {
        return unusable(file, "the record file " + recordPath + " would overwrite the model file");
    }

    std::string modulePath = opt.module;
    if (modulePath.empty()) {
        try {
            modulePath = korlix::modulePath();
        } catch (const korlix::Error& e) {
            return unusable("", std::string(e.what()) + "; use --module PATH");
        }
    } else if (modulePath.find('/') == std::string::npos) {
        modulePath = "./" + modulePath;  // a bare name is a file here, not a library to search for
    }

    if (opt.command == "simulate") {
        if (auto problem = korlix_host::outputsCallsProblem(steps, description.blocks.size())) {
            return unusable(file, "--steps " + *problem);
        }
    }
    std::string error;
    // The trace file is started here, so that its temporary file is the tool's: the run in the child process
    // streams into it, and the tool renames it into place or removes it.
    std::shared_ptr<korlix_host::TraceFile> traceFile;
    if (!opt.traceFile.empty()) {
        traceFile = std::make_shared<korlix_host::TraceFile>();
        if (!traceFile->open(opt.traceFile, opt.traceBlocks, error)) {
            return unusable("", error);
        }
    }
    Outcome out =
        isolated([&] { return driveModel(opt, std::move(*model), modulePath, steps, traceFile.get()); });
    if (out.code != kExitFailure) {
        out.recordPath = recordPath;
        out.traceFile = std::move(traceFile);
    }
    return out;
}

// Prints one outcome: an unusable file's problems on standard error (and as JSON with --json), a report as
// the table or JSON.
bool print(const Outcome& outcome, bool jsonReport) {
    if (outcome.code == kExitFailure) {
        std::cerr << problemText(outcome);
    }
    if (jsonReport) {
        std::cout << korlix_host::renderJson(outcome.result);
    } else if (outcome.code != kExitFailure) {
        std::cout << outcome.table;
    }
    return static_cast<bool>(std::cout.flush());
}

// The files of a run are prepared (written beside their targets) before the report is printed, and put in
// place only after it reached standard output: with exit code 2 nothing the tool was given is replaced.
bool commitAll(std::initializer_list<korlix_host::PendingFile*> files) {
    std::string error;
    for (korlix_host::PendingFile* file : files) {
        if (!file->commit(error)) {
            std::cerr << "korlix-host: " << quonix::escapeControls(error) << "\n";
            return false;
        }
    }
    return true;
}

// The file --format asks for: the JUnit results of every model, or the page or diagram of the one model.
bool prepareJunit(const Options& opt, const std::vector<ordered_json>& results,
                  korlix_host::PendingFile& file) {
    std::string error;
    const std::string& kind = opt.format[0];
    const std::string content = kind == "junit"  ? korlix_host::renderJunit(results)
                                : kind == "html" ? korlix_host::renderHtml(results.front())
                                                 : korlix_host::renderDot(results.front());
    if (!file.prepare(opt.format[1], content, "the " + kind + " file", error)) {
        std::cerr << "korlix-host: " << quonix::escapeControls(error) << "\n";
        return false;
    }
    return true;
}

int runTool(const Options& opt, long long steps) {
    const bool junit = !opt.format.empty();
    korlix_host::PendingFile recordFile;
    korlix_host::PendingFile junitFile;
    if (opt.command != "validate") {
        Outcome outcome = runModel(opt, opt.models.front(), steps);
        std::string error;
        const bool writesRecord = outcome.code != kExitFailure && outcome.record.has_value();
        if (writesRecord &&
            !recordFile.prepare(outcome.recordPath, *outcome.record, "the record file", error)) {
            outcome = unusable("", error);
        }
        // With exit code 2 nothing is written: neither the record file nor the JUnit file.
        if (outcome.code != kExitFailure && junit && !prepareJunit(opt, {outcome.result}, junitFile)) {
            return kExitFailure;
        }
        if (!print(outcome, opt.json)) {
            std::cerr << "korlix-host: cannot write the report to standard output; nothing was written\n";
            return kExitFailure;
        }
        if (outcome.code != kExitFailure) {
            // The trace first: if it cannot be put in place, nothing else is replaced either.
            if (outcome.traceFile && !outcome.traceFile->commit(error)) {
                std::cerr << "korlix-host: " << quonix::escapeControls(error) << "\n";
                return kExitFailure;
            }
            const bool committed = writesRecord ? commitAll({&recordFile}) : true;
            if (!committed || (junit && !commitAll({&junitFile}))) {
                return kExitFailure;
            }
        }
        return outcome.code;
    }

    // validate: every model is reported, the exit code is the worst.
    int worst = kExitOk;
    std::vector<ordered_json> results;
    std::size_t blocks = 0, errors = 0, warnings = 0, problems = 0, failing = 0;
    for (std::size_t i = 0; i < opt.models.size(); ++i) {
        Outcome outcome = runModel(opt, opt.models[i], steps);
        worst = std::max(worst, outcome.code);
        failing += outcome.code != kExitOk ? 1 : 0;
        const ordered_json& s = outcome.result["summary"];
        blocks += s["blocks"].get<std::size_t>();
        errors += s["errors"].get<std::size_t>();
        warnings += s["warnings"].get<std::size_t>();
        problems += s["problems"].get<std::size_t>();
        if (!opt.json) {
            std::cout << (i > 0 ? "\n" : "");
            print(outcome, false);
        } else if (outcome.code == kExitFailure) {
            std::cerr << problemText(outcome);
        }
        results.push_back(std::move(outcome.result));
    }
    if (opt.json) {
        ordered_json all;
        all["models"] = results;
        all["summary"] = korlix_host::reportSummary(blocks, errors, warnings, problems, worst);
        all["summary"]["models"] = opt.models.size();
        std::cout << korlix_host::renderJson(all);
    } else if (opt.models.size() > 1) {
        std::cout << "\n" << opt.models.size() << " models, " << failing << " not passed\n";
    }
    // The JUnit file lists every model, an unusable one included: it is what a pipeline reads.
    if (junit && !prepareJunit(opt, results, junitFile)) {
        return kExitFailure;
    }
    if (!std::cout.flush()) {
        std::cerr << "korlix-host: cannot write the report to standard output; nothing was written\n";
        return kExitFailure;
    }
    if (junit && !commitAll({&junitFile})) {
        return kExitFailure;
    }
    return worst;
}

// A command-line mistake: the message names the tool and points to the help, and with --json standard
// output carries it as well.
int usageError(const std::string& message, const std::string& command, bool json) {
    const std::string help = "korlix-host " + (command.empty() ? "" : command + " ") + "--help";
    std::cerr << "korlix-host: " << quonix::escapeControls(message) << " (see " << help << ")\n";
    if (json) {
        Outcome outcome = unusable("", message);
        std::cout << korlix_host::renderJson(outcome.result) << std::flush;
    }
    return kExitFailure;
}

// --steps as a whole number in range, or the reason it is not.
std::optional<std::string> parseSteps(const std::string& text, long long& steps) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '-'; }) ||
        text.find('-', 1) != std::string::npos) {
        return "--steps: " + text + " is not a number";
    }
    if (text[0] == '-' || text.size() > 7 || std::stoll(text) > korlix_host::kMaxSteps) {
        return "--steps: " + text + " is out of range (0 to " + std::to_string(korlix_host::kMaxSteps) + ")";
    }
    steps = std::stoll(text);
    return std::nullopt;
}

// The options every command takes, shown in each command's help as well as in the tool's.
void addGlobalOptions(CLI::App& app, Options& opt) {
    app.add_flag("--json", opt.json, "print the report as JSON instead of a table");
    app.add_flag("--trace", opt.trace, "add every host call the module made to the report");
    app.add_option("--module", opt.module, "the module to load (default: korlix_qvblk.so beside the tool)");
    app.add_flag("--strict", opt.strict, "warnings give exit code 1 like block errors");
    app.add_option(
           "--format", opt.format,
           "also write the results as a JUnit XML file (junit FILE), a self-contained page (html FILE) "
           "or a block diagram (dot FILE)")
        ->expected(2)
        ->type_name("KIND FILE");
    app.add_option("--trace-file", opt.traceFile,
                   "stream every callback and host call to FILE as it happens, in the trace-event format");
    app.add_option("--trace-block", opt.traceBlocks, "with --trace-file: only this block (repeatable)")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_flag("--quiet", opt.quiet, "no progress line on standard error");
}

}  // namespace

int main(int argc, char** argv) {
    // A closed standard output or FIFO is a failed write (exit code 2, nothing replaced), not a silent end.
    std::signal(SIGPIPE, SIG_IGN);
    Options opt;
    CLI::App app{
        "korlix-host: runs the KORLIX block module in the stand-in host over a model file.\n"
        "Exit codes: 0 no block error, 1 some block has an error (or, with --strict, a warning),\n"
        "2 the tool could not do its job.",
        "korlix-host"};
    app.set_version_flag("--version", std::string("korlix-host ") + korlix::version());
    app.require_subcommand(1);
    addGlobalOptions(app, opt);

    auto* check =
        app.add_subcommand("check", "registration and sample times of every block; print the report");
    auto* simulate = app.add_subcommand("simulate", "check, then mdlStart, N times mdlOutputs, mdlTerminate");
    auto* build = app.add_subcommand("build", "check, then mdlQRX; write the record file");
    auto* run = app.add_subcommand("run", "run the model's scenario");
    auto* validate = app.add_subcommand(
        "validate", "check, then mdlQRX, without writing a record file, for every model given (for CI)");
    for (auto* sub : {check, simulate, build, run}) {
        sub->add_option("MODEL", opt.model, "the model file (JSON; - reads standard input)")->required();
    }
    validate->add_option("MODEL", opt.models, "the model files (JSON; - reads standard input)")->required();
    for (auto* sub : {check, simulate, build, run, validate}) {
        addGlobalOptions(*sub, opt);
    }
    simulate->add_option("--steps", opt.steps, "number of mdlOutputs rounds (default 10)")->type_name("N");
    std::vector<CLI::Option*> outputOptions;
    for (auto* sub : {build, run}) {
        outputOptions.push_back(sub->add_option(
            "-o,--output", opt.output, "the record file (default: the model file with extension .qrx)"));
    }

    bool json = false;
    for (int i = 1; i < argc; ++i) {
        json = json || std::string(argv[i]) == "--json";
    }
    // CLI11 would only say that a command is required; name the word that is not one.
    if (argc > 1 && argv[1][0] != '-' &&
        std::find(std::begin(kCommands), std::end(kCommands), std::string(argv[1])) == std::end(kCommands)) {
        return usageError("unknown command \"" + std::string(argv[1]) +
                              "\" (expected check, simulate, build, run or validate)",
                          "", json);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::string command;
        for (auto* sub : app.get_subcommands()) {
            command = sub->get_name();
        }
        return usageError(e.what(), command, json);
    }
    opt.command = app.get_subcommands().front()->get_name();
    if (opt.command != "validate") {
        opt.models = {opt.model};
    }
    for (const CLI::Option* output : outputOptions) {
        // An empty name is no file: it is refused rather than taken for "the default name".
        if (output->count() > 0 && opt.output.empty()) {
            return usageError("-o: the record file name is empty", opt.command, opt.json);
        }
    }
    long long steps = 10;
    if (auto problem = parseSteps(opt.steps, steps)) {
        return usageError(*problem, opt.command, opt.json);
    }
    if (!opt.format.empty() && opt.format[0] != "junit" && opt.format[0] != "html" &&
        opt.format[0] != "dot") {
        return usageError(
            "--format: " + opt.format[0] + " is not a known format (expected junit, html or dot)",
            opt.command, opt.json);
    }
    if (!opt.format.empty() && opt.format[0] != "junit" && opt.models.size() > 1) {
        return usageError("--format " + opt.format[0] + " draws one model", opt.command, opt.json);
    }
    if (!opt.traceFile.empty() && opt.models.size() > 1) {
        return usageError("--trace-file traces one model", opt.command, opt.json);
    }
    if (!opt.traceBlocks.empty() && opt.traceFile.empty()) {
        return usageError("--trace-block needs --trace-file", opt.command, opt.json);
    }
    if (std::count(opt.models.begin(), opt.models.end(), "-") > 1) {
        return usageError("standard input (-) can be read only once", opt.command, opt.json);
    }
    try {
        return runTool(opt, steps);
    } catch (const std::exception& e) {
        std::cerr << "korlix-host: internal error: " << quonix::escapeControls(e.what()) << "\n";
        return kExitFailure;
    }
}
