// korlix-host as a user runs it: command lines, exit codes, the record file and the call order over blocks.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "quonix/host.hpp"

namespace {

namespace fs = std::filesystem;

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

class Tool : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "korlix-tool-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    Result run(const std::string& args) const {
        const fs::path errFile = dir_ / "stderr.txt";
        const std::string cmd = quote(KORLIX_HOST_TOOL_PATH) + " " + args + " 2>" + quote(errFile.string());
        Result r;
        FILE* pipe = popen(cmd.c_str(), "r");
        char buf[4096];
        std::size_t n = 0;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) {
            r.out.append(buf, n);
        }
        const int status = pclose(pipe);
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.err = readFile(errFile);
        fs::remove(errFile);
        return r;
    }
    std::string model(const std::string& name, const std::string& text) const {
        writeFile(dir_ / name, text);
        return (dir_ / name).string();
    }
    // Files of the directory other than the given ones, to spot temporary files left behind.
    std::vector<std::string> strayFiles(const std::vector<std::string>& known) const {
        std::vector<std::string> stray;
        for (const auto& e : fs::directory_iterator(dir_)) {
            const auto name = e.path().filename().string();
            if (std::find(known.begin(), known.end(), name) == known.end()) {
                stray.push_back(name);
            }
        }
        return stray;
    }

    fs::path dir_;
};

const std::string kTestModule = std::string("--module ") + KORLIX_TEST_MODULE_PATH;
const char* const kTwoBlocks = R"({"blocks": [{"name": "a", "maskType": "X"}, {"name": "b"}]})";

TEST_F(Tool, RefusesBadInvocationsWithExitCode2) {
    const std::string good = model("good.json", kTwoBlocks);
    const std::string bad = model("bad.json", "{\"blocks\": [\n  {\"name\": \"a\", \"paramters\": {}}]}");
    const std::string broken = model("broken.json", "{\"blocks\": [\n  {\"name\": \"a\",]}");
    struct Case {
        std::string args;
        std::string message;  // must appear in standard error
    };
    const std::vector<Case> cases = {
        {"", "A subcommand is required"},
        {"frobnicate " + good, "unknown command \"frobnicate\" (expected check, simulate, build or run)"},
        {"check", "MODEL is required"},
        {"check " + good + " --steps 3", "--steps"},
        {"simulate " + good + " --steps -1", "--steps"},
        {"simulate " + good + " --steps many", "--steps"},
        {"check " + good + " -o x.qrx", "-o"},
        {"check " + (dir_ / "missing.json").string(),
         (dir_ / "missing.json").string() + ": model file not found"},
        {"check " + dir_.string(), dir_.string() + ": is a directory, not a model file"},
        {"check " + bad, bad + ": blocks[0].paramters: unknown key"},
        {"check " + broken, broken + ": not valid JSON at line 2, column 16:"},
        {"check " + good + " --module " + (dir_ / "none.so").string(), (dir_ / "none.so").string()},
        {"check " + good + " --module " + KORLIX_HOST_LIBRARY_PATH, "zupFunction"},
        {"build " + good + " " + kTestModule + " -o " + good, "would overwrite the model file"},
        {"build " + good + " " + kTestModule + " -o " + (dir_ / "no" / "out.qrx").string(),
         "the directory " + (dir_ / "no").string() + " does not exist"},
    };
    for (const auto& c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.code, 2) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "no"));
    EXPECT_EQ(readFile(good), kTwoBlocks);
    EXPECT_EQ(strayFiles({"good.json", "bad.json", "broken.json"}), std::vector<std::string>{});
}

TEST_F(Tool, HelpAndVersion) {
    const Result help = run("--help");
    EXPECT_EQ(help.code, 0);
    for (const char* word : {"check", "simulate", "build", "run", "--json", "--trace", "--module"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
    const Result version = run("--version");
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out.rfind("korlix-host ", 0), 0u) << version.out;
}

TEST_F(Tool, FailedRunLeavesExistingRecordUnchanged) {
    const std::string m = model("m.json", kTwoBlocks);
    writeFile(dir_ / "m.qrx", "previous record\n");
    for (const std::string& args : {"build " + m + " --module " + (dir_ / "none.so").string(),
                                    "build " + m + " --module " + std::string(KORLIX_HOST_LIBRARY_PATH),
                                    "run " + m + " " + kTestModule + " -o " + dir_.string()}) {
        EXPECT_EQ(run(args).code, 2) << args;
        EXPECT_EQ(readFile(dir_ / "m.qrx"), "previous record\n") << args;
    }
    EXPECT_EQ(strayFiles({"m.json", "m.qrx"}), std::vector<std::string>{});
}

TEST_F(Tool, BuildWritesRecordBesideModelByDefault) {
    const std::string m = model("m.json", kTwoBlocks);
    writeFile(dir_ / "m.qrx", "previous record\n");
    const Result r = run("build " + m + " " + kTestModule);
    EXPECT_EQ(r.code, 0) << r.err;
    // The test module writes no record: the file holds what the host renders for a model without records.
    EXPECT_EQ(readFile(dir_ / "m.qrx"), quonix::renderRecordFile("m", {}));
    EXPECT_EQ(strayFiles({"m.json", "m.qrx"}), std::vector<std::string>{});
}

// The callbacks of the trace as "callback:block", in order.
std::string callbacks(const std::string& reportText) {
    const auto report = nlohmann::json::parse(reportText);
    std::string seq;
    for (const auto& e : report.at("trace")) {
        if (e.contains("callback")) {
            seq += (seq.empty() ? "" : " ") + e["callback"].get<std::string>().substr(3) + ":" +
                   e["block"].get<std::string>();
        }
    }
    return seq;
}

TEST_F(Tool, CallsBlocksInHostOrder) {
    const std::string m = model("m.json", kTwoBlocks);
    const std::string scenario = model("s.json", R"({"blocks": [{"name": "a"}, {"name": "b"}], "scenario": [
        {"do": "initialize"}, {"do": "delete", "block": "a"}, {"do": "initialize"}, {"do": "simulate", "steps": 1},
        {"do": "generate"}]})");
    const std::string checked =
        "InitializeSizes:a InitializeSizes:b InitializeSampleTimes:a InitializeSampleTimes:b";
    struct Case {
        std::string args;
        std::string sequence;
    };
    const std::vector<Case> cases = {
        {"check " + m, checked},
        {"simulate " + m + " --steps 2",
         checked + " Start:a Start:b Outputs:a Outputs:b Outputs:a Outputs:b Terminate:a Terminate:b"},
        {"simulate " + m + " --steps 0", checked + " Start:a Start:b Terminate:a Terminate:b"},
        {"build " + m + " -o " + (dir_ / "m.out").string(), checked + " QRX:a QRX:b"},
        {"run " + scenario,
         checked + " InitializeSizes:b InitializeSampleTimes:b Start:b Outputs:b Terminate:b QRX:b"},
    };
    for (const auto& c : cases) {
        const Result r = run(c.args + " --json --trace " + kTestModule);
        EXPECT_EQ(r.code, 0) << c.args << "\n" << r.err;
        EXPECT_EQ(callbacks(r.out), c.sequence) << c.args;
    }
}

TEST_F(Tool, ReportNamesModelAndMarksDeletedBlocks) {
    // Block b reports an error and is then deleted: it stays in the report, but no longer counts for the
    // exit code, since it is not part of the model any more.
    const std::string m = model("scenario_model.json", R"({"blocks": [{"name": "a", "maskType": "X"},
        {"name": "b", "handle": 7.5, "parameters": {"OnSizes": "error broken"}}],
        "scenario": [{"do": "initialize"}, {"do": "delete", "block": "b"}, {"do": "initialize"}]})");
    const Result r = run("run " + m + " --json " + kTestModule);
    ASSERT_EQ(r.code, 0) << r.err;
    const auto report = nlohmann::json::parse(r.out);
    EXPECT_EQ(report["model"], "scenario_model");
    EXPECT_FALSE(report.contains("trace"));
    ASSERT_EQ(report["blocks"].size(), 2u);
    EXPECT_EQ(report["blocks"][0]["name"], "a");
    EXPECT_EQ(report["blocks"][0]["handle"], 1.0001);
    EXPECT_EQ(report["blocks"][0]["maskType"], "X");
    EXPECT_FALSE(report["blocks"][0].contains("deleted"));
    EXPECT_EQ(report["blocks"][1]["handle"], 7.5);
    EXPECT_EQ(report["blocks"][1]["error"], "broken");
    EXPECT_EQ(report["blocks"][1]["deleted"], true);
    // No generate step: no record file.
    EXPECT_FALSE(fs::exists(dir_ / "scenario_model.qrx"));
    // Without the deletion the same error gives exit code 1.
    const std::string kept =
        model("kept.json", R"({"blocks": [{"name": "b", "parameters": {"OnSizes": "error broken"}}],
        "scenario": [{"do": "initialize"}]})");
    EXPECT_EQ(run("run " + kept + " " + kTestModule).code, 1);
}

TEST_F(Tool, BlockErrorGivesExitCode1AndStillWritesRecord) {
    const std::string m = model("m.json", R"({"blocks": [{"name": "bad", "maskType": "NoSuchBlock"}]})");
    const Result r = run("build " + m + " --json --module " + std::string(KORLIX_MODULE_PATH));
    EXPECT_EQ(r.code, 1) << r.err;
    const auto report = nlohmann::json::parse(r.out);
    EXPECT_EQ(report["blocks"][0]["error"], "Invalid KORLIX MaskType found");
    EXPECT_TRUE(fs::exists(dir_ / "m.qrx"));
}

}  // namespace
