// korlix-host under hostile input: each refusal is one line on standard error and exit code 2, with nothing
// on standard output, no file left behind and an existing record file unchanged.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Dialogs.hpp"
#include "ToolProcess.hpp"

namespace {

namespace fs = std::filesystem;
using korlix_test::readFile;

// The refusals of refusals.json, and three model files that file cannot hold: bytes that are no text, nesting
// far too deep and a file larger than the tool reads.
TEST(HostileInput, RefusedWithoutTouchingAnything) {
    const korlix_test::ScratchDir dir;
    dir.write("plain", "");
    fs::create_directory(dir / "sub");
    mkfifo((dir / "fifo").c_str(), 0600);
    // A socket: no directory, yet nothing a file can be read from.
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (dir / "socket.json").c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::string deep;
    for (int i = 0; i < 64; ++i) {
        deep += "[0]";
    }
    const std::string build = "build m.json --module {module}";
    struct Case {
        std::string model;  // written to m.json, then grown to `size` bytes when that is larger
        std::size_t size;
        std::string args, error;
    };
    std::vector<Case> cases = {
        {std::string("\x07\x00\xff\xfe{", 5), 0, build,
         "m.json: not valid JSON at line 1, column 1: syntax error while parsing value - invalid "
         "literal; last read: '<U+0007>'"},
        {std::string(100000, '[') + std::string(100000, ']'), 0, build,
         "m.json: " + deep + ": nested deeper than 64 levels"},
        {"", (64u << 20) + 1, build, "m.json: larger than 64 MiB; not a model file"},
    };
    for (const auto& row : korlix_test::caseTable("tests/hardening/refusals.json", "cases")) {
        cases.push_back({row.value("model", R"({"blocks": [{"name": "a", "maskType": "KORLIXConfig"}]})"), 0,
                         row["args"], row["error"]});
    }
    const std::pair<std::string, std::string> places[] = {{"{module}", KORLIX_MODULE_PATH},
                                                          {"{test module}", KORLIX_TEST_MODULE_PATH},
                                                          {"{host library}", KORLIX_HOST_LIBRARY_PATH}};
    const auto placed = [&places](std::string text) {
        for (const auto& [place, path] : places) {
            if (const auto at = text.find(place); at != std::string::npos) {
                text.replace(at, place.size(), path);
            }
        }
        return text;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args + ": " + c.error);
        dir.write("m.json", c.model);
        if (c.size > c.model.size()) {
            fs::resize_file(dir / "m.json", c.size);  // sparse
        }
        dir.write("m.qrx", "previous record\n");
        const std::vector<std::string> files = dir.files();
        const korlix_test::ToolRun r = dir.run(placed(c.args));
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "korlix-host: " + placed(c.error) + "\n");
        EXPECT_EQ(readFile(dir / "m.json").substr(0, c.model.size()), c.model);
        EXPECT_EQ(readFile(dir / "m.qrx"), "previous record\n");
        EXPECT_EQ(dir.files(), files);
        EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    }
    close(sock);
}

// Targets that are not a plain new file: each is written through or replaced whole, never turned into
// something else, and a signal while the record waits beside its target leaves nothing behind.
TEST(HostileInput, OutputTargetsKeepWhatTheyAre) {
    const korlix_test::ScratchDir dir;
    const std::string model = (fs::path(KORLIX_SOURCE_DIR) / "examples/flexray_demo.json").string();
    const auto build = [&](const std::string& target, const std::string& redirect = ">/dev/null") {
        const std::string cmd = std::string("exec ") + KORLIX_HOST_TOOL_PATH + " build " + model +
                                " --module " + KORLIX_MODULE_PATH + " -o '" + target + "' " + redirect;
        return std::system(cmd.c_str());
    };
    const std::string longName = (dir / std::string(255, 'n')).string();  // NAME_MAX
    dir.write("real", "old\n");
    fs::create_symlink(dir / "real", dir / "link");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    const int reader = open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);

    for (const std::string& target :
         {longName, std::string("/dev/null"), (dir / "link").string(), (dir / "fifo").string()}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(build(target), 0);
    }
    EXPECT_EQ(readFile(longName).rfind("# KORLIX code-generation record\n", 0), 0u);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(readFile(dir / "real"), readFile(longName));
    char head[32] = {};
    EXPECT_EQ(read(reader, head, 31), 31);
    EXPECT_STREQ(head, "# KORLIX code-generation record");
    close(reader);
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));

    // The report goes to a FIFO nobody reads: the tool waits in front of it with the record prepared
    // beside its target, and is ended there.
    ASSERT_EQ(mkfifo((dir / "stuck").c_str(), 0600), 0);
    const int stuck = open((dir / "stuck").c_str(), O_RDONLY | O_NONBLOCK);
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        dir.write("out.qrx", "old\n");
        const pid_t pid = fork();
        if (pid == 0) {
            // The trace makes the report larger than the FIFO holds.
            const std::string cmd = std::string("exec ") + KORLIX_HOST_TOOL_PATH + " build " + model +
                                    " --json --trace --module " + KORLIX_MODULE_PATH + " -o " +
                                    (dir / "out.qrx").string() + " >" + (dir / "stuck").string();
            execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto temps = [&] {
            int n = 0;
            for (const auto& entry : fs::directory_iterator(dir.path())) {
                n += entry.path().filename().string().rfind(".korlix-host.", 0) == 0 ? 1 : 0;
            }
            return n;
        };
        for (int i = 0; i < 500 && temps() == 0; ++i) {
            usleep(10000);
        }
        EXPECT_EQ(temps(), 1);
        kill(pid, sig);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        EXPECT_EQ(temps(), 0);
        EXPECT_EQ(readFile(dir / "out.qrx"), "old\n");
        char drain[65536];
        while (read(stuck, drain, sizeof drain) > 0) {
        }
    }
    close(stuck);
}

// A small model file cannot make the tool take gigabytes: a block asking for a million ports gets an error
// naming the model's limit, and a 4 MiB block name is printed once, not used to pad every row.
TEST(HostileInput, CostIsBoundedWhateverTheModelAsks) {
    const korlix_test::ScratchDir dir;
    const std::string pack =
        R"({"name": "p", "maskType": "FlexRayPackPDU", "parameters": {"MaskType": "FlexRayPackPDU",
        "ConfigValid": "1", "PduLabel": "x", "PduLength": "8", "NumberOfSignals": "1048575", "SignalsDTypes": "uint8",
        "SignalsOffsets": "0", "SignalsEndianess": "0", "VXLInitFile": "a", "VXLFile": "b"}})";
    const std::string longName(4u << 20, 'n');
    struct Case {
        std::string model;
        std::string expected;  // in the report
        std::size_t maxReport;
    };
    const Case cases[] = {
        {R"({"hostLimits": {"maxPorts": 1048576}, "blocks": [)" + pack + "]}",
         "the model's blocks would have more than 65536 ports in all (this block asked for 1048575)", 4096},
        {R"({"blocks": [{"name": ")" + longName +
             R"(", "maskType": "KORLIXConfig"}, {"name": "a"}, {"name": "b"}]})",
         "3 blocks, 3 with an error", longName.size() + 4096},
    };
    // Under the address sanitizer freed memory waits in a quarantine of up to 256 MiB before it is used
    // again, which the bound below would measure; the tool runs here with a small one (other builds ignore
    // it).
    const char* options = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions = options != nullptr ? options : "";
    setenv("ASAN_OPTIONS", (asanOptions + ":quarantine_size_mb=16").c_str(), 1);
    for (const Case& c : cases) {
        dir.write("m.json", c.model);
        const korlix_test::ToolRun r = dir.run("check m.json --module " KORLIX_MODULE_PATH);
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.out.find(c.expected), std::string::npos) << r.out.substr(0, 2000);
        EXPECT_LT(r.out.size(), c.maxReport);
    }
    setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, 256L * 1024);  // KiB
}

}  // namespace
