// korlix-host run as a process, the way a user or a CI job runs it, in a scratch directory of the test's own.
#pragma once

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace korlix_test {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct ToolRun {
    int code = -1;  // the exit code; -1 when the tool did not exit by itself
    std::string out, err;
};

// An empty directory for one test, removed with all it holds at the end. The standard output and error of a
// run are kept beside it, so that the directory holds only what the test and the tool put there.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "korlix-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a scratch directory in " +
                                     fs::temp_directory_path().string());
        }
        base_ = pattern;
        dir_ = base_ / "work";
        fs::create_directory(dir_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    fs::path operator/(const std::string& name) const { return dir_ / name; }
    const fs::path& path() const { return dir_; }

    // Writes the file; answers its path.
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return (dir_ / name).string();
    }
    // The names in the directory, sorted: a temporary file left behind shows here.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // korlix-host with args, a shell command line that may redirect the tool's own input and output, run in
    // the directory.
    ToolRun run(const std::string& args) const {
        const fs::path out = base_ / "out", err = base_ / "err";  // the paths hold no single quote
        const std::string command = "cd '" + dir_.string() + "' && exec '" KORLIX_HOST_TOOL_PATH "' >'" +
                                    out.string() + "' 2>'" + err.string() + "' " + args;
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
    }

  private:
    fs::path base_, dir_;
};

}  // namespace korlix_test
