#include "Output.hpp"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

#include "quonix/host.hpp"

namespace korlix_host {
namespace {

using Json = nlohmann::ordered_json;

std::string warningLine(const Json& w) {
    const std::string path = textMember(w, "path");
    return (path.empty() ? std::string() : path + ": ") + textMember(w, "message");
}

}  // namespace

// Text for an XML attribute or element: markup characters and line ends as entities, other control
// characters as \xNN (XML cannot hold them), bytes that are no valid UTF-8 as U+FFFD.
std::string escapeMarkup(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        const long cp = nextCodePoint(text, i);
        switch (cp) {
            case -1:
                out += "\xef\xbf\xbd";
                break;
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\n':
                out += "&#10;";
                break;
            default:
                out += cp < 0x20 || cp == 0x7f ? quonix::escapeControls(text.substr(start, 1))
                                               : text.substr(start, i - start);
        }
    }
    return out;
}

std::string renderJunit(const std::vector<Json>& results) {
    std::string suites;
    std::size_t allTests = 0, allFailures = 0, allErrors = 0, allSkipped = 0;
    for (const Json& result : results) {
        const std::string suite =
            result.contains("model") ? textMember(result, "model") : textMember(result, "file");
        std::size_t tests = 0, failures = 0, errors = 0, skipped = 0;
        std::string cases;
        if (result.contains("problems")) {
            std::string detail;
            for (const Json& p : result["problems"]) {
                detail += warningLine(p) + "\n";
            }
            ++tests;
            ++errors;
            cases += "    <testcase classname=\"" + escapeMarkup(suite) +
                     "\" name=\"model file\">\n      <error message=\"" +
                     escapeMarkup(textMember(result, "file") + ": the model file cannot be used") + "\">" +
                     escapeMarkup(detail) + "</error>\n    </testcase>\n";
        }
        // Warnings by block name; those of no block belong to the suite.
        std::map<std::string, std::vector<std::string>> byBlock;
        for (const Json& w : result.value("warnings", Json::array())) {
            byBlock[w.contains("block") ? textMember(w, "block") : std::string()].push_back(warningLine(w));
        }
        auto notes = [](const std::vector<std::string>& lines, const std::string& indent) {
            if (lines.empty()) {
                return std::string();
            }
            std::string out = indent + "<properties>\n";
            std::string plain;
            for (const std::string& line : lines) {
                out += indent + "  <property name=\"warning\" value=\"" + escapeMarkup(line) + "\"/>\n";
                plain += "warning: " + line + "\n";
            }
            return out + indent + "</properties>\n" + indent + "<system-out>" + escapeMarkup(plain) +
                   "</system-out>\n";
        };
        for (const Json& b : result.value("blocks", Json::array())) {
            const std::string name = textMember(b, "name");
            ++tests;
            cases += "    <testcase classname=\"" + escapeMarkup(suite) + "\" name=\"" + escapeMarkup(name) +
                     "\">\n";
            if (b.value("deleted", false)) {
                ++skipped;
                cases += "      <skipped message=\"deleted by the scenario\"/>\n";
            } else if (b.contains("error") && b["error"].is_string()) {
                ++failures;
                const std::string callback = textMember(b, "errorCallback");
                cases += "      <failure type=\"" + escapeMarkup(callback) + "\" message=\"" +
                         escapeMarkup("error in " + callback + ": " + textMember(b, "error")) + "\">" +
                         escapeMarkup(textMember(b, "error")) + "</failure>\n";
            }
            if (auto it = byBlock.find(name); it != byBlock.end()) {
                cases += notes(it->second, "      ");
            }
            cases += "    </testcase>\n";
        }
        suites += "  <testsuite name=\"" + escapeMarkup(suite) + "\" tests=\"" + std::to_string(tests) +
                  "\" failures=\"" + std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
                  "\" skipped=\"" + std::to_string(skipped) + "\">\n" + notes(byBlock[""], "    ") + cases +
                  "  </testsuite>\n";
        allTests += tests;
        allFailures += failures;
        allErrors += errors;
        allSkipped += skipped;
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"korlix-host\" tests=\"" +
           std::to_string(allTests) + "\" failures=\"" + std::to_string(allFailures) + "\" errors=\"" +
           std::to_string(allErrors) + "\" skipped=\"" + std::to_string(allSkipped) + "\">\n" + suites +
           "</testsuites>\n";
}

namespace {

// Temporary files the signal handler removes: fixed storage, since a handler may use nothing that allocates.
constexpr int kTempSlots = 4;
char gTempPaths[kTempSlots][PATH_MAX + 1];
volatile sig_atomic_t gTempUsed[kTempSlots];
int gPendingCount = 0;
struct sigaction gOldActions[3];
constexpr int kCleanupSignals[3] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void removeTempFilesAndDie(int sig) {
    for (int i = 0; i < kTempSlots; ++i) {
        if (gTempUsed[i] != 0) {
            unlink(gTempPaths[i]);
        }
    }
    // Then end as the signal would have ended the tool.
    signal(sig, SIG_DFL);
    raise(sig);
}

int rememberTemp(const std::string& path) {
    if (path.size() > PATH_MAX) {
        return -1;
    }
    for (int i = 0; i < kTempSlots; ++i) {
        if (gTempUsed[i] == 0) {
            std::memcpy(gTempPaths[i], path.c_str(), path.size() + 1);
            gTempUsed[i] = 1;
            if (gPendingCount++ == 0) {
                struct sigaction action {};
                action.sa_handler = &removeTempFilesAndDie;
                sigemptyset(&action.sa_mask);
                for (int k = 0; k < 3; ++k) {
                    sigaction(kCleanupSignals[k], &action, &gOldActions[k]);
                }
            }
            return i;
        }
    }
    return -1;
}

void forgetTemp(int slot) {
    if (slot < 0) {
        return;
    }
    gTempUsed[slot] = 0;
    if (--gPendingCount == 0) {
        for (int k = 0; k < 3; ++k) {
            sigaction(kCleanupSignals[k], &gOldActions[k], nullptr);
        }
    }
}

bool writeAll(int fd, const std::string& content, int& err) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = write(fd, data, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

const char* kindOf(mode_t mode) {
    return S_ISDIR(mode)    ? "a directory"
           : S_ISBLK(mode)  ? "a block device"
           : S_ISSOCK(mode) ? "a socket"
                            : "not a regular file";
}

}  // namespace

int createTempBeside(const std::string& target, std::string& temp, int& slot) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(target).parent_path();
    // A short name, so that a target name of any allowed length still leaves room for it.
    std::string name = (dir.empty() ? fs::path(".korlix-host.XXXXXX") : dir / ".korlix-host.XXXXXX").string();
    // The handler must know the name before the file exists: block the signals until both are in place.
    sigset_t block, old;
    sigemptyset(&block);
    for (int sig : kCleanupSignals) {
        sigaddset(&block, sig);
    }
    sigprocmask(SIG_BLOCK, &block, &old);
    const int fd = mkstemp(name.data());
    const int createErr = errno;
    if (fd >= 0) {
        temp = name;
        slot = rememberTemp(temp);
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
    if (fd < 0) {
        errno = createErr;
        return -1;
    }
    // mkstemp creates the file for its owner only; give it the mode a newly created file gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, static_cast<mode_t>(0666 & ~mask));
    return fd;
}

void releaseTemp(std::string& temp, int& slot, bool remove) {
    if (!temp.empty()) {
        if (remove) {
            unlink(temp.c_str());
        }
        forgetTemp(slot);
        temp.clear();
        slot = -1;
    }
}

PendingFile::~PendingFile() {
    if (throughFd_ >= 0) {
        close(throughFd_);
    }
    releaseTemp(temp_, slot_, true);
}

bool PendingFile::fail(const std::string& step, int err, std::string& error) {
    error = "cannot write " + what_ + " " + target_ + ": " + step +
            (err != 0 ? ": " + std::string(std::strerror(err)) : "");
    releaseTemp(temp_, slot_, true);
    return false;
}

bool PendingFile::prepare(const std::string& target, const std::string& content, const std::string& what,
                          std::string& error) {
    namespace fs = std::filesystem;
    target_ = target;
    what_ = what;
    if (target.empty()) {
        return fail("the file name is empty", 0, error);
    }
    std::error_code ec;
    fs::path path(target);
    // A link is followed, so that the file it names is replaced and the link itself stays.
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        const fs::path resolved = fs::weakly_canonical(path, ec);
        if (ec) {
            return fail("cannot follow the symbolic link", ec.value(), error);
        }
        path = resolved;
    }
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
            // Opened now, without creating or truncating, so that a target that cannot be written is known
            // before anything is printed. Without a reader a FIFO would block the tool for ever; O_NONBLOCK
            // makes that an error instead.
            throughFd_ = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (throughFd_ < 0) {
                return fail(errno == ENXIO ? "no process reads the FIFO" : "cannot open it",
                            errno == ENXIO ? 0 : errno, error);
            }
            fcntl(throughFd_, F_SETFL, fcntl(throughFd_, F_GETFL) & ~O_NONBLOCK);
            throughData_ = content;
            return true;
        }
        return fail(std::string("it is ") + kindOf(st.st_mode) + ", which is not replaced", 0, error);
    }
    const fs::path dir = path.parent_path();
    if (!dir.empty() && !fs::is_directory(dir, ec)) {
        return fail(fs::exists(dir, ec) ? dir.string() + " is not a directory"
                                        : "the directory " + dir.string() + " does not exist",
                    0, error);
    }
    target_ = path.string();
    const int fd = createTempBeside(target_, temp_, slot_);
    if (fd < 0) {
        return fail("cannot create a temporary file beside it", errno, error);
    }
    int err = 0;
    if (!writeAll(fd, content, err)) {
        close(fd);
        return fail("write failed", err, error);
    }
    if (fsync(fd) != 0) {
        err = errno;
        close(fd);
        return fail("flush failed", err, error);
    }
    if (close(fd) != 0) {
        return fail("close failed", errno, error);
    }
    return true;
}

bool PendingFile::commit(std::string& error) {
    if (throughFd_ >= 0) {
        int err = 0;
        const bool written = writeAll(throughFd_, throughData_, err);
        close(throughFd_);
        throughFd_ = -1;
        return written || fail("write failed", err, error);
    }
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        return fail("cannot replace it", errno, error);
    }
    releaseTemp(temp_, slot_, false);
    return true;
}

}  // namespace korlix_host
