// Streaming the host's trace into a trace-event file.
#include "TraceFile.hpp"

#include "Output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace korlix_host {

namespace {

using Json = nlohmann::json;

// One process and one thread: the host calls the module from one thread at a time.
constexpr int kProcess = 1;
constexpr int kThread = 1;

}  // namespace

bool TraceFile::open(const std::string& target, const std::vector<std::string>& blocks, std::string& error) {
    target_ = target;
    const int fd = createTempBeside(target, temp_, slot_);
    if (fd < 0 || (file_ = fdopen(fd, "w")) == nullptr) {
        error = "cannot write the trace file " + target +
                ": cannot create a temporary file beside it: " + std::strerror(errno);
        if (fd >= 0) {
            close(fd);
        }
        releaseTemp(temp_, slot_, true);
        return false;
    }
    blocks_ = std::set<std::string>(blocks.begin(), blocks.end());
    start_ = std::chrono::steady_clock::now();
    std::fputs("{\"displayTimeUnit\": \"ms\", \"traceEvents\": [\n", file_);
    return true;
}

void TraceFile::write(const Json& event) {
    std::fputs(first_ ? "" : ",\n", file_);
    first_ = false;
    const std::string text = event.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::fwrite(text.data(), 1, text.size(), file_);
}

void TraceFile::add(const Json& event) {
    if (file_ == nullptr) {
        return;
    }
    const double ts =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start_).count();
    if (event.contains("callback") || event.contains("callbackEnd")) {
        const std::string block = event.value("block", "");
        const bool begins = event.contains("callback");
        inShownCallback_ = begins && (blocks_.empty() || blocks_.count(block) > 0);
        if (blocks_.empty() || blocks_.count(block) > 0) {
            const std::string name = event[begins ? "callback" : "callbackEnd"].get<std::string>();
            write({{"name", name},
                   {"cat", "callback"},
                   {"ph", begins ? "B" : "E"},
                   {"ts", ts},
                   {"pid", kProcess},
                   {"tid", kThread},
                   {"args", {{"block", block}}}});
        }
        return;
    }
    if (!inShownCallback_) {
        return;  // a call outside the callbacks asked for
    }
    Json args = event;
    args.erase("call");
    write({{"name", event.value("call", "call")},
           {"cat", "host"},
           {"ph", "i"},
           {"s", "t"},
           {"ts", ts},
           {"pid", kProcess},
           {"tid", kThread},
           {"args", std::move(args)}});
}

bool TraceFile::commit(std::string& error) {
    if (file_ == nullptr) {
        return true;
    }
    std::fputs("\n]}\n", file_);
    const bool written = std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
    const int err = errno;
    std::fclose(file_);
    file_ = nullptr;
    if (!written || std::rename(temp_.c_str(), target_.c_str()) != 0) {
        error = "cannot write the trace file " + target_ + ": " + std::strerror(written ? errno : err);
        releaseTemp(temp_, slot_, true);
        return false;
    }
    releaseTemp(temp_, slot_, false);  // the file has its final name now
    return true;
}

void TraceFile::discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    releaseTemp(temp_, slot_, true);
}

}  // namespace korlix_host
