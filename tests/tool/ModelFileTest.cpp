// The model file loader: every refusal names the file and the JSON path; accepted files get the documented
// defaults.
#include <gtest/gtest.h>

#include <string>

#include "ModelFile.hpp"

namespace {

using korlix_host::ModelFileError;
using korlix_host::parseModel;
using Kind = korlix_host::ScenarioStep::Kind;

std::string errorOf(const std::string& content) {
    try {
        parseModel("dir/m.json", content);
    } catch (const ModelFileError& e) {
        return e.what();
    }
    return "(accepted)";
}

struct BadCase {
    const char* what;
    std::string content;
    std::string message;
};

std::string nested(int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) {
        s += "{\"a\":";
    }
    return s + "1" + std::string(static_cast<std::size_t>(depth), '}');
}

std::string path63() {
    std::string p = "a";
    for (int i = 1; i < 64; ++i) {
        p += ".a";
    }
    return p;
}

const char* const kTwoBlocks =
    R"({"blocks": [{"name": "A", "parameters": {"X": "1"}}, {"name": "B"}], "scenario": )";

TEST(ModelFile, RefusesBadFilesNamingThePlace) {
    const std::vector<BadCase> cases = {
        {"syntax", "{\"blocks\": [\n  {\"name\": }]}",
         "dir/m.json: not valid JSON at line 2, column 12: syntax error while parsing value - unexpected "
         "'}'; "
         "expected '[', '{', or a literal"},
        {"truncated", "{\"blocks\": [",
         "dir/m.json: not valid JSON at line 1, column 13: syntax error while "
         "parsing value - unexpected end of input; expected '[', '{', or a literal"},
        {"binary", std::string("\x7f\x45\x4c\x46\x00", 5),
         "dir/m.json: not valid JSON at line 1, column 1: syntax error while parsing value - invalid "
         "literal; "
         "last read: '<U+007F>'"},
        {"high bytes", "{\"model\": \xff}",
         "dir/m.json: not valid JSON at line 1, column 11: syntax error while parsing value - invalid "
         "literal; "
         "last read: '\"model\": <U+00FF>'"},
        {"control key", "{\"blocks\": [], \"a\\u0001\": 1}", "dir/m.json: [\"a\\u0001\"]: unknown key"},
        {"empty", "",
         "dir/m.json: not valid JSON at line 1, column 1: syntax error while parsing value - "
         "unexpected end of input; expected '[', '{', or a literal"},
        {"huge number", "{\"blocks\": [], \"model\": 1e999}",
         "dir/m.json: not valid JSON at line 1, column 29: number overflow parsing '1e999'"},
        {"too deep", nested(70), "dir/m.json: " + path63() + ": nested deeper than 64 levels"},
        {"duplicate key", R"({"blocks": [{"name": "A", "name": "B"}]})",
         "dir/m.json: blocks[0].name: duplicate key"},
        {"not an object", "[]", "dir/m.json: the model must be a JSON object, not an array"},
        {"unknown top key", R"({"blocks": [], "blokcs": []})", "dir/m.json: blokcs: unknown key"},
        {"unknown block key", R"({"blocks": [{"name": "A", "sampletime": 1}]})",
         "dir/m.json: blocks[0].sampletime: unknown key"},
        {"odd key", R"({"blocks": [], "hostLimits": {"max ports": 1}})",
         "dir/m.json: hostLimits[\"max ports\"]: unknown key"},
        {"missing blocks", R"({"model": "x"})", "dir/m.json: blocks: missing required key"},
        {"missing name", R"({"blocks": [{"maskType": "KORLIXConfig"}]})",
         "dir/m.json: blocks[0].name: missing required key"},
        {"name type", R"({"blocks": [{"name": 7}]})",
         "dir/m.json: blocks[0].name: must be a text, not a number"},
        {"sample time type", R"({"blocks": [{"name": "A", "sampleTime": "0.1"}]})",
         "dir/m.json: blocks[0].sampleTime: must be a number, not a text"},
        {"count fraction", R"({"blocks": [{"name": "A", "parameterCount": 2.5}]})",
         "dir/m.json: blocks[0].parameterCount: must be a whole number from 0 to 64"},
        {"count huge", R"({"blocks": [{"name": "A", "parameterCount": 18446744073709551615}]})",
         "dir/m.json: blocks[0].parameterCount: must be a whole number from 0 to 64"},
        {"max ports", R"({"blocks": [], "hostLimits": {"maxPorts": 1e10}})",
         "dir/m.json: hostLimits.maxPorts: must be a whole number from -2147483648 to 2147483647"},
        {"sizes only", R"({"blocks": [], "sizesOnly": "yes"})",
         "dir/m.json: sizesOnly: must be true or false, not a text"},
        {"exec sys", R"({"blocks": [{"name": "A", "executionSystem": {"sysType": 3}}]})",
         "dir/m.json: blocks[0].executionSystem.sysType: must be a text, not a number"},
        {"zero char",
         R"({"blocks": [{"name": "A"}, {"name": "B"}, {"name": "C"}, {"name": "D", "parameters": {"PduLength": "8\u0000"}}]})",
         "dir/m.json: blocks[3].parameters.PduLength: a text must not contain the character U+0000"},
        {"parameters type", R"({"blocks": [{"name": "A", "parameters": "x"}]})",
         "dir/m.json: blocks[0].parameters: must be an object or null, not a text"},
        {"duplicate name", R"({"blocks": [{"name": "A"}, {"name": "B"}, {"name": "A"}]})",
         "dir/m.json: blocks[2].name: duplicate block name \"A\" (also blocks[0])"},
        {"handle zero", R"({"blocks": [{"name": "A", "handle": 0}]})",
         "dir/m.json: blocks[0].handle: a block handle must not be 0"},
        {"duplicate handle", R"({"blocks": [{"name": "A", "handle": 3.5}, {"name": "B", "handle": 3.5}]})",
         "dir/m.json: blocks[1].handle: handle already used by blocks[0]"},
        {"scenario unknown block", std::string(kTwoBlocks) + R"([{"do": "delete", "block": "C"}]})",
         "dir/m.json: scenario[0].block: no block named \"C\" in the model"},
        {"scenario unknown step", std::string(kTwoBlocks) + R"([{"do": "init"}]})",
         "dir/m.json: scenario[0].do: unknown step \"init\" (expected initialize, delete, set, simulate or "
         "generate)"},
        {"scenario extra key", std::string(kTwoBlocks) + R"([{"do": "initialize", "steps": 2}]})",
         "dir/m.json: scenario[0].steps: unknown key"},
        {"scenario steps", std::string(kTwoBlocks) + R"([{"do": "simulate", "steps": -1}]})",
         "dir/m.json: scenario[0].steps: must be a whole number from 0 to 1000000"},
        {"scenario no block", std::string(kTwoBlocks) + R"([{"do": "set"}]})",
         "dir/m.json: scenario[0].block: missing required key"},
        {"set after delete",
         std::string(kTwoBlocks) + R"([{"do": "delete", "block": "A"}, {"do": "set", "block": "A"}]})",
         "dir/m.json: scenario[1].block: block \"A\" was deleted by an earlier step"},
        {"remove missing field",
         std::string(kTwoBlocks) + R"([{"do": "set", "block": "A", "remove": ["X", "Y"]}]})",
         "dir/m.json: scenario[0].remove[1]: block \"A\" has no field \"Y\" to remove"},
        {"remove removed field",
         std::string(kTwoBlocks) +
             R"([{"do": "set", "block": "A", "remove": ["X"]}, {"do": "set", "block": "A", "remove": ["X"]}]})",
         "dir/m.json: scenario[1].remove[0]: block \"A\" has no field \"X\" to remove"},
        {"set and remove",
         std::string(kTwoBlocks) +
             R"([{"do": "set", "block": "A", "parameters": {"X": "2"}, "remove": ["X"]}]})",
         "dir/m.json: scenario[0].remove[0]: field \"X\" is both set and removed in this step"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(errorOf(c.content), c.message) << c.what;
    }
}

TEST(ModelFile, FillsDefaults) {
    const auto m =
        parseModel("dir/flexray_demo.json", R"({"blocks": [{"name": "A"}, {"name": "B", "handle": 2.0001},
        {"name": "C", "maskType": "KORLIXConfig", "parameters": null, "executionSystem": null}]})");
    EXPECT_EQ(m.name, "flexray_demo");
    EXPECT_FALSE(m.settings.sizesOnly);
    EXPECT_EQ(m.settings.maxPorts, 1024);
    ASSERT_EQ(m.blocks.size(), 3u);
    // Blocks without a handle skip the one the file gives: A 1.0001, C 3.0001.
    EXPECT_EQ(m.blocks[0].handle, 1.0001);
    EXPECT_EQ(m.blocks[1].handle, 2.0001);
    EXPECT_EQ(m.blocks[2].handle, 3.0001);
    EXPECT_FALSE(m.blocks[0].maskType.has_value());
    EXPECT_EQ(m.blocks[2].maskType, "KORLIXConfig");
    ASSERT_TRUE(m.blocks[0].parameters.has_value());
    EXPECT_TRUE(m.blocks[0].parameters->empty());
    EXPECT_FALSE(m.blocks[2].parameters.has_value());
    EXPECT_EQ(m.blocks[0].sampleTime, -1.0);
    EXPECT_EQ(m.blocks[0].parameterCount, 2);
    ASSERT_TRUE(m.blocks[0].executionSystem.has_value());
    EXPECT_EQ(m.blocks[0].executionSystem->sysType, "host");
    EXPECT_FALSE(m.blocks[2].executionSystem.has_value());
    ASSERT_EQ(m.scenario.size(), 2u);
    EXPECT_EQ(m.scenario[0].kind, Kind::Initialize);
    EXPECT_EQ(m.scenario[1].kind, Kind::Generate);
}

TEST(ModelFile, ReadsFieldsSystemsAndSteps) {
    const auto m = parseModel("m.json", R"({"model": "demo", "sizesOnly": true, "hostLimits": {"maxPorts": 4},
        "executionSystem": {"sysType": "wqm"},
        "blocks": [{"name": "A", "parameters": {"Z": "on", "N": 3, "L": [1, 2]}, "sampleTime": 0.01},
                   {"name": "B", "executionSystem": {"errorText": "bad", "execSys": "rt"}}],
        "scenario": [{"do": "set", "block": "A", "parameters": {"Q": "x"}, "remove": ["N"], "sampleTime": 2},
                     {"do": "simulate"}, {"do": "simulate", "steps": 3.0}, {"do": "delete", "block": "B"}]})");
    EXPECT_EQ(m.name, "demo");
    EXPECT_TRUE(m.settings.sizesOnly);
    EXPECT_EQ(m.settings.maxPorts, 4);
    // Fields keep the file's order; only texts carry text.
    const auto& fields = *m.blocks[0].parameters;
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0].name, "Z");
    EXPECT_EQ(fields[0].text, "on");
    EXPECT_EQ(fields[1].name, "N");
    EXPECT_FALSE(fields[1].text.has_value());
    EXPECT_FALSE(fields[2].text.has_value());
    EXPECT_EQ(m.blocks[0].sampleTime, 0.01);
    // A partial executionSystem keeps the defaults of the keys it leaves out.
    EXPECT_EQ(m.blocks[0].executionSystem->sysType, "wqm");
    EXPECT_EQ(m.blocks[0].executionSystem->errorText, "");
    EXPECT_EQ(m.blocks[1].executionSystem->errorText, "bad");
    EXPECT_EQ(m.blocks[1].executionSystem->execSys, "rt");
    EXPECT_EQ(m.blocks[1].executionSystem->sysType, "host");
    ASSERT_EQ(m.scenario.size(), 4u);
    EXPECT_EQ(m.scenario[0].kind, Kind::Set);
    EXPECT_EQ(m.scenario[0].block, 0u);
    ASSERT_EQ(m.scenario[0].parameters.size(), 1u);
    EXPECT_EQ(m.scenario[0].parameters[0].text, "x");
    EXPECT_EQ(m.scenario[0].remove, std::vector<std::string>{"N"});
    EXPECT_EQ(m.scenario[0].sampleTime, 2.0);
    EXPECT_EQ(m.scenario[1].steps, 10);  // a simulate step without "steps" runs the default 10
    EXPECT_EQ(m.scenario[2].steps, 3);
    EXPECT_EQ(m.scenario[3].kind, Kind::Delete);
    EXPECT_EQ(m.scenario[3].block, 1u);
}

}  // namespace
