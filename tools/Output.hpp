// What korlix-host writes besides the report: the JUnit results, and the record file, which appears whole or
// not at all.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Table.hpp"

namespace korlix_host {

// The results of one run as a JUnit XML file: one test suite per model, one test case per block. Each result
// is a report ("model", "file", "blocks" with name, error, errorCallback and deleted, "warnings" with path,
// block and message) or, for a model file that could not be used, {"file", "problems"}. A block with an error
// fails with its callback and text; warnings are properties and standard output of their block's case (or of
// the suite); a deleted block is skipped; an unusable model file is one case with an error.
std::string renderJunit(const std::vector<nlohmann::ordered_json>& results);
// A file that appears whole or not at all, and only when its writer says so. prepare() writes the content to
// a temporary file beside the target and flushes it to disk; commit() renames it over the target. Nothing
// the tool was given is damaged on the way:
// - a target that exists and is a character device or a FIFO is opened by prepare() and written through at
//   commit(), never replaced (a FIFO nobody reads is refused); a directory, a block device or a socket is
//   refused;
// - a symbolic link is followed: the file it names is replaced, the link stays;
// - the temporary name is short (".korlix-host.XXXXXX" in the target's directory), so any target name the
//   file system allows works;
// - a PendingFile that is destroyed uncommitted removes its temporary file, and so does SIGINT, SIGTERM or
//   SIGHUP while a temporary file exists (the signal then ends the tool as it would have).
// Failures give false and a message naming the target as `what` ("the record file").
// Text for XML and HTML: markup characters as entities, newlines as character references, other control
// characters as \xNN, bytes that are no valid UTF-8 as U+FFFD.
std::string escapeMarkup(const std::string& text);

// A temporary file beside `target` (in its directory, under a short name), which a SIGINT, SIGTERM or SIGHUP
// removes until removeTemp forgets it; its descriptor, or -1 with errno set.
int createTempBeside(const std::string& target, std::string& temp, int& slot);
// Forgets the temporary file (when there is one), removing it unless it was renamed into place.
void releaseTemp(std::string& temp, int& slot, bool remove);

class PendingFile {
  public:
    PendingFile() = default;
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool prepare(const std::string& target, const std::string& content, const std::string& what,
                 std::string& error);
    bool commit(std::string& error);

  private:
    bool fail(const std::string& step, int err, std::string& error);
    std::string target_;
    std::string what_;
    std::string temp_;         // the temporary file, empty when there is none
    std::string throughData_;  // content for a device or FIFO, written at commit()
    int throughFd_ = -1;       // that device or FIFO, open for writing
    int slot_ = -1;            // the signal handler's record of temp_
};

}  // namespace korlix_host
