// The driver library as another program uses it: runs in this process, the same result every time, and every
// refusal as an Error naming what is wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "korlix/driver.hpp"

namespace {

const nlohmann::json kOneBlock = {{"model", "m"}, {"blocks", {{{"name", "b"}, {"parameters", {{"X", 4}}}}}}};

TEST(Driver, RunsInProcessAlikeEveryTime) {
    const korlix::Model demo = korlix::Model::load(KORLIX_SOURCE_DIR "/examples/flexray_demo.json");
    korlix::RunOptions build;
    build.module = KORLIX_MODULE_PATH;
    const korlix::Report first = korlix::run(demo, build);
    const korlix::Report second = korlix::run(demo, build);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(first.json(), second.json());
    EXPECT_EQ(first.record(), second.record());
    EXPECT_TRUE(std::filesystem::equivalent(korlix::modulePath(), KORLIX_MODULE_PATH));

    // A block without a mask type fails its set-up; the dialog value that is no text is a warning, which
    // --strict counts.
    build.strict = true;
    const korlix::Report report = korlix::run(korlix::Model::fromJson(kOneBlock), build);
    EXPECT_EQ(report.exitCode(), 1);
    EXPECT_EQ(report.errors(), 1u);
    EXPECT_EQ(report.warnings().at(0).path, "blocks[0].parameters.X");
    EXPECT_NE(report.text().find("1 blocks, 1 with an error, 1 warning\n"), std::string::npos);
}

TEST(Driver, RefusesWithAnErrorNamingTheProblem) {
    struct Case {
        nlohmann::json document;
        std::string command;
        long long steps;
        std::string module;
        std::string message;
    };
    // clang-format off
    const Case cases[] = {
        {{{"blocks", {{{"name", 3}}}}}, "check", 1, KORLIX_MODULE_PATH, "(json): blocks[0].name: must be a text"},
        {kOneBlock, "compile", 1, KORLIX_MODULE_PATH, "unknown command \"compile\""},
        {kOneBlock, "simulate", -1, KORLIX_MODULE_PATH, "steps: -1 is out of range"},
        {kOneBlock, "check", 1, "/nonexistent/module.so", "cannot load module '/nonexistent/module.so'"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        try {
            korlix::RunOptions options;
            options.command = c.command;
            options.steps = c.steps;
            options.module = c.module;
            korlix::run(korlix::Model::fromJson(c.document), options);
            ADD_FAILURE() << "no error";
        } catch (const korlix::Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

}  // namespace
