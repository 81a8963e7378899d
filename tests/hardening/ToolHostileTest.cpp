// korlix-host under hostile input: each refusal is one line on standard error and exit code 2, with nothing
// on standard output, no file left behind and an existing record file unchanged.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
    std::stringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

TEST(HostileInput, RefusedWithoutTouchingAnything) {
    std::string dirName = (fs::temp_directory_path() / "korlix-hostile-XXXXXX").string();
    ASSERT_NE(mkdtemp(dirName.data()), nullptr);
    const fs::path dir = dirName;
    std::ofstream(dir / "plain").close();
    fs::create_directory(dir / "sub");
    std::string deep;
    for (int i = 0; i < 64; ++i) {
        deep += "[0]";
    }
    struct Case {
        std::string model;  // written to m.json, then grown to `size` bytes when that is larger
        std::size_t size;
        std::string args;
        std::string message;  // after "korlix-host: "; paths are relative to the directory
    };
    const std::string config = R"({"blocks": [{"name": "a", "maskType": "KORLIXConfig"}]})";
    // clang-format off
    const std::vector<Case> cases = {
        {R"({"blocks": [{"name": "a", "maskType": "KORLIXCon)", 0, "", "m.json: not valid JSON at line 1, column "
         "49: syntax error while parsing value - invalid string: missing closing quote; last read: '\"KORLIXCon'"},
        {std::string("\x07\x00\xff\xfe{", 5), 0, "", "m.json: not valid JSON at line 1, column 1: syntax error "
         "while parsing value - invalid literal; last read: '<U+0007>'"},
        {std::string(100000, '[') + std::string(100000, ']'), 0, "", "m.json: " + deep + ": nested deeper than 64 "
         "levels"},
        {R"({"blocks": [{"name": "a", "sampleTime": 1e400}]})", 0, "", "m.json: not valid JSON at line 1, column 45: "
         "number overflow parsing '1e400'"},
        {R"({"blocks": [{"name": "a", "parameterCount": -9223372036854775809}]})", 0, "", "m.json: blocks[0]."
         "parameterCount: must be a whole number from 0 to 64"},
        {"", (64u << 20) + 1, "", "m.json: larger than 64 MiB; not a model file"},
        {config, 0, "-o plain/x.qrx", "cannot write the record file plain/x.qrx: plain is not a directory"},
        {config, 0, "-o sub", "cannot write the record file sub: cannot replace it: Is a directory"},
    };
    // clang-format on
    const auto fileCount = [&dir] {
        return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::ofstream(dir / "m.json", std::ios::binary) << c.model;
        if (c.size > c.model.size()) {
            fs::resize_file(dir / "m.json", c.size);  // sparse
        }
        std::ofstream(dir / "m.qrx") << "previous record\n";
        const auto files = fileCount();
        const std::string cmd = "cd " + dir.string() + " && " + KORLIX_HOST_TOOL_PATH +
                                " build m.json --module " + KORLIX_MODULE_PATH + " " + c.args + " 2>err";
        FILE* pipe = popen(cmd.c_str(), "r");
        char report[64];
        EXPECT_EQ(fread(report, 1, sizeof report, pipe), 0u);
        const int status = pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
        EXPECT_EQ(readFile(dir / "err"), "korlix-host: " + c.message + "\n");
        fs::remove(dir / "err");
        EXPECT_EQ(readFile(dir / "m.qrx"), "previous record\n");
        EXPECT_EQ(fileCount(), files);
    }
    fs::remove_all(dir);
}

}  // namespace
