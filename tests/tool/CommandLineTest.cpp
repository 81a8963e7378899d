// korlix-host as a user runs it: command lines, exit codes, the record file and the call order over blocks.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "ToolProcess.hpp"
#include "quonix/host.hpp"

namespace {

namespace fs = std::filesystem;
using korlix_test::readFile;
using nlohmann::json;

const std::string kTestModule = std::string(" --module ") + KORLIX_TEST_MODULE_PATH;
const char* const kTwoBlocks = R"({"blocks": [{"name": "a", "maskType": "X"}, {"name": "b"}]})";

class Tool : public ::testing::Test {
  protected:
    korlix_test::ToolRun run(const std::string& args) const { return dir_.run(args); }
    std::string model(const std::string& name, const std::string& text) const {
        return dir_.write(name, text);
    }

    korlix_test::ScratchDir dir_;
};

// Refusals as such are tried in the hardening tests; with --json a refusal is a report too: no blocks, the
// problems counted.
TEST_F(Tool, RefusalWithJsonIsAReport) {
    const json refused =
        json::parse(run("check " + (dir_ / "missing.json").string() + " --json").out)["summary"];
    EXPECT_EQ(
        (std::vector<json>{refused["blocks"], refused["errors"], refused["warnings"], refused["problems"]}),
        (std::vector<json>{0, 0, 0, 1}));
}

TEST_F(Tool, HelpAndVersion) {
    const korlix_test::ToolRun help = run("--help"), version = run("--version");
    EXPECT_EQ(help.code, 0);
    for (const char* word : {"check", "simulate", "build", "run", "validate"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
    // The options every command takes are listed in each command's help as well.
    for (const char* command : {"", "check ", "validate "}) {
        const korlix_test::ToolRun r = run(std::string(command) + "--help");
        EXPECT_EQ(r.code, 0);
        for (const char* option : {"--json", "--trace", "--module", "--strict", "--format"}) {
            EXPECT_NE(r.out.find(option), std::string::npos) << command << option;
        }
    }
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out.rfind("korlix-host ", 0), 0u) << version.out;
}

// A build writes the record file beside the model by default and leaves no temporary file (a failed one
// leaves the old file: see the hardening tests).
TEST_F(Tool, BuildWritesTheRecordBesideTheModel) {
    const std::string m = model("m.json", kTwoBlocks);
    model("m.qrx", "previous record\n");
    const korlix_test::ToolRun r = run("build " + m + kTestModule);
    EXPECT_EQ(r.code, 0) << r.err;
    // The test module writes no record: the file holds what the host renders for a model without records.
    EXPECT_EQ(readFile(dir_ / "m.qrx"), quonix::renderRecordFile("m", {}));
    EXPECT_EQ(dir_.files(), (std::vector<std::string>{"m.json", "m.qrx"}));
}

TEST_F(Tool, CallsBlocksInHostOrder) {
    const std::string m = model("m.json", kTwoBlocks);
    const std::string scenario = model("s.json", R"({"blocks": [{"name": "a"}, {"name": "b"}], "scenario": [
        {"do": "initialize"}, {"do": "delete", "block": "a"}, {"do": "initialize"}, {"do": "simulate", "steps": 1},
        {"do": "generate"}]})");
    const std::string checked =
        "InitializeSizes:a InitializeSizes:b InitializeSampleTimes:a InitializeSampleTimes:b";
    // clang-format off
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"check " + m,                 checked},
        {"simulate " + m + " --steps 2", checked + " Start:a Start:b Outputs:a Outputs:b Outputs:a Outputs:b Terminate:a Terminate:b"},
        {"simulate " + m + " --steps 0", checked + " Start:a Start:b Terminate:a Terminate:b"},
        {"build " + m + " -o " + (dir_ / "m.out").string(), checked + " QRX:a QRX:b"},
        {"run " + scenario,            checked + " InitializeSizes:b InitializeSampleTimes:b Start:b Outputs:b Terminate:b QRX:b"},
    };
    // clang-format on
    for (const auto& [args, sequence] : cases) {
        const korlix_test::ToolRun r = run(args + " --json --trace" + kTestModule);
        EXPECT_EQ(r.code, 0) << args << "\n" << r.err;
        // The callbacks of the trace as "callback:block", without the prefix "mdl".
        const json report = json::parse(r.out);
        std::string calls;
        for (const json& event : report.at("trace")) {
            if (event.contains("callback")) {
                calls += (calls.empty() ? "" : " ") + event["callback"].get<std::string>().substr(3) + ":" +
                         event["block"].get<std::string>();
            }
        }
        EXPECT_EQ(calls, sequence) << args;
    }
}

// Block b reports an error and is then deleted: it stays in the report, but no longer counts for the exit
// code, since it is not part of the model any more. Without the deletion the same error gives exit code 1,
// and a build still writes the record file.
TEST_F(Tool, ReportMarksDeletedBlocksAndBlockErrorsGiveExitCode1) {
    const std::string blocks = R"({"blocks": [{"name": "a", "maskType": "X"},
        {"name": "b", "handle": 7.5, "parameters": {"OnSizes": "error broken"}}], "scenario": [{"do": "initialize"})";
    const std::string m =
        model("scenario_model.json", blocks + R"(, {"do": "delete", "block": "b"}, {"do": "initialize"}]})");
    const korlix_test::ToolRun r = run("run " + m + " --json" + kTestModule);
    ASSERT_EQ(r.code, 0) << r.err;
    const json report = json::parse(r.out), &a = report["blocks"][0], &b = report["blocks"][1];
    EXPECT_EQ(report["model"], "scenario_model");
    EXPECT_FALSE(report.contains("trace"));
    EXPECT_EQ(report["blocks"].size(), 2u);
    EXPECT_EQ((std::vector<json>{a["name"], a["handle"], a["maskType"], a.contains("deleted"), b["handle"],
                                 b["error"], b["deleted"]}),
              (std::vector<json>{"a", 1.0001, "X", false, 7.5, "broken", true}));
    EXPECT_FALSE(fs::exists(dir_ / "scenario_model.qrx"));  // no generate step: no record file
    EXPECT_NE(run("run " + m + kTestModule).out.find("deleted, error in mdlInitializeSizes: broken"),
              std::string::npos);
    EXPECT_EQ(run("run " + model("kept.json", blocks + "]}") + kTestModule).code, 1);

    const std::string unknown =
        model("m.json", R"({"blocks": [{"name": "bad", "maskType": "NoSuchBlock"}]})");
    const korlix_test::ToolRun real =
        run("build " + unknown + " --json --module " + std::string(KORLIX_MODULE_PATH));
    EXPECT_EQ(real.code, 1) << real.err;
    EXPECT_EQ(json::parse(real.out)["blocks"][0]["error"], "Invalid KORLIX MaskType found");
    EXPECT_TRUE(fs::exists(dir_ / "m.qrx"));
}

// validate over several models with the real module: set-up and code generation without a record file, each
// model reported, the worst exit code; warnings about dialog fields the module never read come only from a
// run that generated the code, and count only with --strict.
TEST_F(Tool, ValidateReportsEveryModelWithItsWarnings) {
    const std::string cycleCount = R"({"name": "Cycles", "maskType": "ReadCycleCount", "parameters": {
        "MaskType": "ReadCycleCount", "ConfigValid": "1", "DeviceIndex": "0", "VXLInitFile": "i.kxt",
        "VXLFile": "c.kxt", "DeviceIndx": "1"}})";
    const std::string warned = model("warned.json", R"({"blocks": [)" + cycleCount + "]}");
    const std::string failing =
        model("failing.json", R"({"blocks": [{"name": "POC", "maskType": "KORLIXPOCStatus",
        "parameters": {"MaskType": "KORLIXPOCStatus", "ConfigValid": "1", "DeviceIndex": "0", "CtrlIndex": "1",
        "VXLInitFile": "i.kxt", "VXLFile": "p.kxt"}}]})");
    const std::string broken = model("broken.json", R"({"blocks": [{"nme": "x"}]})");
    const std::string real = std::string(" --json --module ") + KORLIX_MODULE_PATH;
    // No "did you mean": the suggestions are names the module asked for and the dialog lacks.
    const std::string unread =
        "blocks[0].parameters.DeviceIndx: the module never read this field in set-up and code generation";
    // clang-format off
    const std::vector<std::tuple<std::string, int, std::string>> cases = {  // arguments, exit code, warnings
        {"check " + warned,                       0, ""},
        {"validate " + warned,                    0, unread},
        {"validate " + warned + " --strict",      1, unread},
        {"check " + failing,                      0, ""},
        {"validate " + failing,                   1, ""},
    };
    // clang-format on
    for (const auto& [args, code, warnings] : cases) {
        const korlix_test::ToolRun r = run(args + real);
        EXPECT_EQ(r.code, code) << args << r.err;
        const json report = json::parse(r.out);
        const json& one = report.contains("models") ? report["models"][0] : report;
        std::string lines;
        for (const json& w : one["warnings"]) {
            lines += (lines.empty() ? "" : "\n") + w["path"].get<std::string>() + ": " +
                     w["message"].get<std::string>();
        }
        EXPECT_EQ(lines, warnings) << args;
        EXPECT_EQ(one["summary"]["exitStatus"], code) << args;
    }

    const korlix_test::ToolRun all = run("validate " + warned + " " + broken + " " + failing + real);
    EXPECT_EQ(all.code, 2);
    const json report = json::parse(all.out);
    EXPECT_EQ(report["summary"]["exitStatus"], 2);
    EXPECT_EQ(report["summary"]["models"], 3);
    EXPECT_EQ(report["models"][1]["problems"].size(), 2u);
    EXPECT_EQ(report["models"][2]["summary"]["errors"], 1);
    EXPECT_NE(all.err.find(broken + ": blocks[0].nme: unknown key; did you mean \"name\"?"),
              std::string::npos)
        << all.err;
    // Without --json each model's report is printed in turn.
    const std::string text = run("validate " + warned + " " + failing + " --module " KORLIX_MODULE_PATH).out;
    EXPECT_NE(text.find("1 blocks, 1 with an error\n", text.find("model failing\n")), std::string::npos)
        << text;
    // A single command gives its problems as JSON too.
    const korlix_test::ToolRun one = run("check " + broken + real);
    EXPECT_EQ(one.code, 2);
    EXPECT_EQ(json::parse(one.out)["problems"][1],
              (json{{"path", "blocks[0].nme"}, {"message", "unknown key; did you mean \"name\"?"}}));
    EXPECT_EQ(dir_.files(), (std::vector<std::string>{"broken.json", "failing.json", "warned.json"}));
}

// Table columns line up by what a terminal shows, not by bytes: "Äbc" takes three columns, "名" and the small
// comma "﹐" two, as do U+1F900 and U+20000, the first of their blocks; the combining U+036F none.
TEST_F(Tool, TableAlignsColumnsByDisplayWidth) {
    const std::string m =
        model("m.json", R"({"blocks": [{"name": "abc", "maskType": "X"}, {"name": "Äbc", "maskType": "X"},
        {"name": "名", "maskType": "X"}, {"name": "﹐", "maskType": "X"}, {"name": "🤀", "maskType": "X"}, {"name": "𠀀", "maskType": "X"}, {"name": "e\u036f", "maskType": "X"}, {"name": "ab", "maskType": "X", "parameters": {"OnSizes": "out 1|oport 0 2 20"}}]})");
    const korlix_test::ToolRun r = run("check " + m + kTestModule);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find(" id 20[2] "), std::string::npos) << r.out;  // a data type without a name
    std::vector<std::size_t>
        column;  // byte offset of the mask type per row, less the extra bytes of its name
    for (const auto& [name, extra] : std::vector<std::pair<std::string, std::size_t>>{{"abc", 0},
                                                                                      {"Äbc", 1},
                                                                                      {"名", 1},
                                                                                      {"﹐", 1},
                                                                                      {"🤀", 2},
                                                                                      {"𠀀", 2},
                                                                                      {"e\u036f", 2},
                                                                                      {"ab", 0}}) {
        const std::size_t row = r.out.find("\n" + name + " ");
        ASSERT_NE(row, std::string::npos) << name;
        column.push_back(r.out.find(" X ", row) - row - extra);
    }
    EXPECT_EQ(column, std::vector<std::size_t>(8, column[0]));
}

}  // namespace
