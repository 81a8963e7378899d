// The model file loader: every refusal names the file and the JSON path; accepted files get the documented
// defaults.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "Dialogs.hpp"
#include "ModelFile.hpp"
#include "Schema.hpp"

namespace {

const char* const kCases = "tests/tool/model_file_cases.json";

// "path: message" per line, for a list of problems or warnings.
std::string lines(const std::vector<korlix_host::Diagnostic>& list) {
    std::string out;
    for (const auto& d : list) {
        out += (out.empty() ? "" : "\n") + (d.path.empty() ? "" : d.path + ": ") + d.message;
    }
    return out;
}

// The problems of a file dir/m.json with this content; every line of the message names the file (checked
// here).
std::string errorOf(const std::string& content) {
    try {
        korlix_host::parseModel("dir/m.json", content);
    } catch (const korlix_host::ModelFileError& e) {
        std::string message = std::string(e.what()) + "\n";
        for (std::size_t at = 0; at < message.size(); at = message.find('\n', at) + 1) {
            if (message.compare(at, 12, "dir/m.json: ") != 0) {
                return "(no file name) " + message;
            }
        }
        return lines(e.problems());
    }
    return "(accepted)";
}

std::string syntax(int line, int column, const std::string& what) {
    return "not valid JSON at line " + std::to_string(line) + ", column " + std::to_string(column) +
           ": syntax error while parsing value - " + what;
}

// The refusals of model_file_cases.json, and three files that file cannot hold: bytes that are no text, a
// byte that is no UTF-8, nesting too deep to write out.
TEST(ModelFile, RefusesBadFilesNamingThePlace) {
    std::string deep = "1", path = "a";
    for (int i = 0; i < 70; ++i) {
        deep = "{\"a\":" + deep + "}";
        path += i < 63 ? ".a" : "";
    }
    std::vector<std::pair<std::string, std::string>> cases = {
        {std::string("\x7f\x45\x4c\x46\x00", 5), syntax(1, 1, "invalid literal; last read: '<U+007F>'")},
        {"{\"model\": \xff}", syntax(1, 11, "invalid literal; last read: '\"model\": <U+00FF>'")},
        {deep, path + ": nested deeper than 64 levels"}};
    for (const auto& row : korlix_test::caseTable(kCases, "refusals")) {
        cases.emplace_back(row["content"], row["error"]);
    }
    for (const auto& [content, message] : cases) {
        EXPECT_EQ(errorOf(content), message) << content;
    }
}

// The parsed model as one text: name, sizes-only mode and port limit; per block its name, handle, mask type,
// fields (# for a field without text), sample time, parameter count and execution system; per step its kind,
// block, fields, removed fields, sample time and steps.
std::string summary(const korlix_host::ModelDescription& m) {
    std::ostringstream out;
    const auto fields = [&out](const std::vector<quonix::ParamField>& list) {
        for (const quonix::ParamField& field : list) {
            out << " " << field.name << "=" << field.text.value_or("#");
        }
    };
    out << m.name << (m.settings.sizesOnly ? " sizes-only" : "") << " ports " << m.settings.maxPorts;
    for (const quonix::BlockSpec& b : m.blocks) {
        out << "; " << b.name << " " << b.handle << " " << b.maskType.value_or("-") << " {";
        b.parameters ? fields(*b.parameters) : void(out << "null");
        const auto& exec = b.executionSystem;
        out << "} " << b.sampleTime << " " << b.parameterCount << " "
            << (exec ? "'" + exec->errorText + "' '" + exec->execSys + "' '" + exec->sysType + "'" : "none");
    }
    const char* const kinds[] = {"initialize", "delete", "set", "simulate", "generate"};
    for (const korlix_host::ScenarioStep& step : m.scenario) {
        out << "; " << kinds[static_cast<int>(step.kind)] << " " << step.block << " {";
        fields(step.parameters);
        out << "} -";
        for (const std::string& name : step.remove) {
            out << name;
        }
        out << " " << step.sampleTime.value_or(-99) << " " << step.steps;
    }
    return out.str();
}

// Blocks without a handle skip the one the file gives. Fields keep the file's order and only texts carry
// text; a partial executionSystem keeps the defaults of the keys it leaves out; a simulate step without
// "steps" runs 10.
TEST(ModelFile, FillsDefaultsAndReadsFieldsSystemsAndSteps) {
    for (const auto& row : korlix_test::caseTable(kCases, "accepted")) {
        EXPECT_EQ(summary(korlix_host::parseModel(row["file"], row["content"].get<std::string>())),
                  row["summary"]);
    }
}

// What the loader lets pass but warns about, each at its place and for its block.
TEST(ModelFile, WarnsAboutLikelyMistakes) {
    for (const auto& row : korlix_test::caseTable(kCases, "warnings")) {
        const auto model = korlix_host::parseModel("m.json", row["content"].get<std::string>());
        EXPECT_EQ(lines(model.warnings), row["warnings"]) << row["content"];
        for (const auto& w : model.warnings) {
            EXPECT_TRUE(w.block.has_value()) << w.path;
        }
    }
}

// The tool's list of mask types is read from the module's table when it is built: all thirty of them.
TEST(ModelFile, KnowsTheModulesMaskTypes) {
    const auto& list = korlix_host::recognisedMaskTypes();
    EXPECT_EQ(list.size(), 30u);
    EXPECT_EQ(list.front(), "KORLIXConfig");
    EXPECT_EQ(list.back(), "KORLIXNMRequestComm");
}

}  // namespace
