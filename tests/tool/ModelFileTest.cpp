// The model file loader: every refusal names the file and the JSON path; accepted files get the documented
// defaults.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ModelFile.hpp"
#include "Schema.hpp"

namespace {

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

TEST(ModelFile, RefusesBadFilesNamingThePlace) {
    const std::string two =
        R"({"blocks": [{"name": "A", "parameters": {"X": "1"}}, {"name": "B"}], "scenario": )";
    std::string deep = "1", path = "a";
    for (int i = 0; i < 70; ++i) {
        deep = "{\"a\":" + deep + "}";
        path += i < 63 ? ".a" : "";
    }
    // clang-format off
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"{\"blocks\": [\n  {\"name\": }]}", syntax(2, 12, "unexpected '}'; expected '[', '{', or a literal")},
        {"", syntax(1, 1, "unexpected end of input; expected '[', '{', or a literal")},
        {std::string("\x7f\x45\x4c\x46\x00", 5), syntax(1, 1, "invalid literal; last read: '<U+007F>'")},
        {"{\"model\": \xff}", syntax(1, 11, "invalid literal; last read: '\"model\": <U+00FF>'")},
        {"{\"blocks\": [], \"a\\u0001\": 1}", "[\"a\\u0001\"]: unknown key"},
        {"{\"blocks\": [], \"model\": 1e999}", "not valid JSON at line 1, column 29: number overflow parsing '1e999'"},
        {deep, path + ": nested deeper than 64 levels"},
        {R"({"blocks": [{"name": "A", "name": "B"}]})", "blocks[0].name: duplicate key"},
        {"[]", "the model must be a JSON object, not an array"},
        {R"({"blocks": [], "blokcs": []})", "blokcs: unknown key; did you mean \"blocks\"?"},
        {R"({"blocks": [{"name": "A", "sampletime": 1}]})", "blocks[0].sampletime: unknown key; did you mean \"sampleTime\"?"},
        {R"({"blocks": [], "hostLimits": {"max ports": 1}})", "hostLimits[\"max ports\"]: unknown key; did you mean \"maxPorts\"?"},
        {R"({"model": "x"})", "blocks: missing required key"},
        {R"({"blocks": [{"maskType": "KORLIXConfig"}]})", "blocks[0].name: missing required key"},
        {R"({"blocks": [{"name": 7}]})", "blocks[0].name: must be a text, not a number"},
        {R"({"blocks": [{"name": "A", "sampleTime": "0.1"}]})", "blocks[0].sampleTime: must be a number, not a text"},
        {R"({"blocks": [{"name": "A", "parameterCount": 2.5}]})", "blocks[0].parameterCount: must be a whole number from 0 to 64, not 2.5"},
        {R"({"blocks": [{"name": "A", "parameterCount": 18446744073709551615}]})", "blocks[0].parameterCount: must be a whole number from 0 to 64"},
        {R"({"blocks": [], "hostLimits": {"maxPorts": 1e10}})", "hostLimits.maxPorts: must be a whole number from 0 to 1048576"},
        {R"({"blocks": [], "sizesOnly": "yes"})", "sizesOnly: must be true or false, not a text"},
        {R"({"blocks": [{"name": "A"}, {"name": "D", "parameters": {"PduLength": "8\u0000"}}]})", "blocks[1].parameters.PduLength: a text must not contain the character U+0000"},
        {R"({"blocks": [{"name": "A", "parameters": "x"}]})", "blocks[0].parameters: must be an object or null, not a text"},
        {R"({"blocks": [{"name": "A"}, {"name": "B"}, {"name": "A"}]})", "blocks[2].name: duplicate block name \"A\" (also blocks[0])"},
        {R"({"blocks": [{"name": "A", "handle": 0}]})", "blocks[0].handle: must not be 0"},
        {R"({"blocks": [{"name": "A", "handle": 3.5}, {"name": "B", "handle": 3.5}]})", "blocks[1].handle: handle already used by blocks[0]"},
        {two + R"([{"do": "delete", "block": "C"}]})", "scenario[0].block: no block named \"C\" in the model"},
        {two + R"([{"do": "init"}]})", "scenario[0].do: \"init\" is not one of initialize, delete, set, simulate or generate; did you mean \"initialize\"?"},
        {two + R"([{"do": "initialize", "steps": 2}]})", "scenario[0].steps: unknown key"},
        {two + R"([{"do": "initialize"}, {"do": "simulate", "steps": -1}]})", "scenario[1].steps: must be a whole number from 0 to 1000000"},
        {two + R"([{"do": "delete", "block": "B"}, {"do": "generate"}]})", "scenario[1].do: \"generate\" before any initialize: no block is set up yet; put an initialize step first"},
        {two + R"([{"do": "simulate"}, {"do": "initialize"}]})", "scenario[0].do: \"simulate\" before any initialize: no block is set up yet; put an initialize step first"},
        {two + R"([{"do": "initialize"}, {"do": "simulate", "steps": 1000000}, {"do": "simulate", "steps": 1000000}, )"
               R"({"do": "simulate", "steps": 1000000}, {"do": "simulate", "steps": 1000000}, {"do": "simulate", "steps": 1000000}, )"
               R"({"do": "simulate", "steps": 1000000}, {"do": "simulate", "steps": 1000000}, {"do": "simulate", "steps": 1000000}, )"
               R"({"do": "simulate", "steps": 1000000}, {"do": "simulate", "steps": 1000000}, {"do": "simulate", "steps": 1000000}]})",
         "scenario[11].steps: the scenario's simulate steps call mdlOutputs 22000000 times by now (blocks times steps), more than the limit of 20000000"},
        {two + R"([{"do": "set"}]})", "scenario[0].block: missing required key"},
        {two + R"([{"do": "delete", "block": "A"}, {"do": "set", "block": "A"}]})", "scenario[1].block: block \"A\" was deleted by an earlier step"},
        {two + R"([{"do": "set", "block": "A", "remove": ["X", "Y"]}]})", "scenario[0].remove[1]: block \"A\" has no field \"Y\" to remove"},
        {two + R"([{"do": "set", "block": "A", "remove": ["X"]}, {"do": "set", "block": "A", "remove": ["X"]}]})",
         "scenario[1].remove[0]: block \"A\" has no field \"X\" to remove"},
        {two + R"([{"do": "set", "block": "A", "parameters": {"X": "2"}, "remove": ["X"]}]})",
         "scenario[0].remove[0]: field \"X\" is both set and removed in this step"},
        // Independent mistakes, of the schema and beside it, all in one run and in the file's order.
        {R"({"scenario": [{"do": "set", "block": "Pak", "remove": ["X"]}], "blocks": [
            {"name": "Pack", "paramters": {}, "sampleTime": "0.1"}, {"name": "Pack", "parameters": {"": "1"}}]})",
         "scenario[0].block: no block named \"Pak\" in the model; did you mean \"Pack\"?\n"
         "blocks[0].paramters: unknown key; did you mean \"parameters\"?\n"
         "blocks[0].sampleTime: must be a number, not a text\n"
         "blocks[1].name: duplicate block name \"Pack\" (also blocks[0])\n"
         "blocks[1].parameters[\"\"]: a field name must not be empty"},
    };
    // clang-format on
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

TEST(ModelFile, FillsDefaultsAndReadsFieldsSystemsAndSteps) {
    // Blocks without a handle skip the one the file gives. Fields keep the file's order and only texts carry
    // text; a partial executionSystem keeps the defaults of the keys it leaves out; a simulate step without
    // "steps" runs 10.
    // clang-format off
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"dir/flexray_demo.json",
         R"({"blocks": [{"name": "A"}, {"name": "B", "handle": 2.0001},
                        {"name": "C", "maskType": "KORLIXConfig", "parameters": null, "executionSystem": null}]})",
         "flexray_demo ports 1024; A 1.0001 - {} -1 2 '' '' 'host'; B 2.0001 - {} -1 2 '' '' 'host'; "
         "C 3.0001 KORLIXConfig {null} -1 2 none; initialize 0 {} - -99 10; generate 0 {} - -99 10"},
        {"m.json",
         R"({"$schema": "../schema/model.schema.json", "model": "demo", "sizesOnly": true, "hostLimits": {"maxPorts": 4}, "executionSystem": {"sysType": "wqm"},
             "blocks": [{"name": "A", "parameters": {"Z": "on", "N": 3, "L": [1, 2]}, "sampleTime": 0.01},
                        {"name": "B", "executionSystem": {"errorText": "bad", "execSys": "rt"}}],
             "scenario": [{"do": "set", "block": "A", "parameters": {"Q": "x"}, "remove": ["N"], "sampleTime": 2},
                          {"do": "initialize"}, {"do": "simulate"}, {"do": "simulate", "steps": 3.0}, {"do": "delete", "block": "B"}]})",
         "demo sizes-only ports 4; A 1.0001 - { Z=on N=# L=#} 0.01 2 '' '' 'wqm'; B 2.0001 - {} -1 2 'bad' 'rt' 'host'; "
         "set 0 { Q=x} -N 2 10; initialize 0 {} - -99 10; simulate 0 {} - -99 10; simulate 0 {} - -99 3; delete 1 {} - -99 10"},
    };
    // clang-format on
    for (const auto& [file, content, expected] : cases) {
        EXPECT_EQ(summary(korlix_host::parseModel(file, content)), expected);
    }
}

// What the loader lets pass but warns about, each at its place and for its block.
TEST(ModelFile, WarnsAboutLikelyMistakes) {
    const std::string blocks = R"({"blocks": [{"name": "A", "maskType": "FlexRayUnpackPDU",
        "parameters": {"MaskType": "FlexRayPackPDU", "PduLength": 4, "On": true}},
        {"name": "B", "maskType": "KORLIXconfig"}, {"name": "C", "maskType": "NoSuchBlock"}])";
    // clang-format off
    const std::vector<std::pair<std::string, std::string>> cases = {
        {blocks + "}",
         "blocks[0].parameters.MaskType: \"FlexRayPackPDU\" differs from maskType \"FlexRayUnpackPDU\": the block is set up as FlexRayUnpackPDU but its record names the other\n"
         "blocks[0].parameters.PduLength: is a number, not a text: the module reads dialog fields as texts and will report this one as missing; write it as \"4\"\n"
         "blocks[0].parameters.On: is true/false, not a text: the module reads dialog fields as texts and will report this one as missing\n"
         "blocks[1].maskType: \"KORLIXconfig\" is not a mask type the module recognises; did you mean \"KORLIXConfig\"?"},
        // An edit reaches the record only through an initialize before the generate.
        {R"({"blocks": [{"name": "A"}, {"name": "B"}], "scenario": [{"do": "set", "block": "A", "parameters": {"X": 1}},
            {"do": "set", "block": "B"}, {"do": "initialize"}, {"do": "set", "block": "B", "sampleTime": 1},
            {"do": "simulate"}, {"do": "generate"}, {"do": "set", "block": "A"}]})",
         "scenario[0].parameters.X: is a number, not a text: the module reads dialog fields as texts and will report this one as missing; write it as \"1\"\n"
         "scenario[3]: this edit of \"B\" is not in the record of scenario[5]: no initialize step between them makes it visible"},
    };
    // clang-format on
    for (const auto& [content, expected] : cases) {
        const auto model = korlix_host::parseModel("m.json", content);
        EXPECT_EQ(lines(model.warnings), expected) << content;
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
