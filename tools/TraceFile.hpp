// The host's trace streamed to a file as it happens, in the trace-event format that trace viewers open: one
// slice per callback of a block (its start and duration), the host calls the module made inside it as
// instant events with their arguments. Memory stays flat however long the run: nothing is kept.
#pragma once

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace korlix_host {

class TraceFile {
  public:
    TraceFile() = default;
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;
    ~TraceFile() { discard(); }

    // Starts the file as a temporary file beside `target`; only the callbacks of the named blocks (all when
    // none are named) and the calls inside them are written. False with a message when it cannot.
    bool open(const std::string& target, const std::vector<std::string>& blocks, std::string& error);
    // One event of the host's trace (the sink of quonix::trace()).
    void add(const nlohmann::json& event);
    // Writes out what is buffered (a run in another process ends with this).
    void flush() {
        if (file_ != nullptr) {
            std::fflush(file_);
        }
    }
    // Ends the file and renames it over the target. False with a message when that fails; the target is
    // then left as it was.
    bool commit(std::string& error);
    // Removes the temporary file: the run did not end well enough to leave a trace behind.
    void discard();

  private:
    void write(const nlohmann::json& event);

    std::string target_;
    std::string temp_;
    int slot_ = -1;  // the signal handler's record of temp_
    std::FILE* file_ = nullptr;
    std::set<std::string> blocks_;
    bool inShownCallback_ = false;
    bool first_ = true;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace korlix_host
