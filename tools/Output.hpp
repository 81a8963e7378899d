// What korlix-host writes: the report as a table or JSON, and the record file, which appears whole or not at
// all.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Diagnostics.hpp"

namespace korlix_host {

// The report as a table: one row per block with name, mask type, input and output ports (data type and
// width), sample time and offset, and the status; then the trace, one event per line, when the report has
// one.
std::string renderTable(const nlohmann::ordered_json& report);

// The same table built one block at a time, so that a large model's report never has to exist whole.
class TableWriter {
  public:
    explicit TableWriter(std::string model);
    void add(const nlohmann::ordered_json& block);
    // A warning line below the table.
    void warn(const Diagnostic& warning);
    // The table, then the warnings, then the trace when one is given.
    std::string finish(const nlohmann::ordered_json* trace) const;

  private:
    std::string model_;
    std::vector<std::array<std::string, 6>> rows_;
    std::size_t blocks_ = 0;
    std::size_t errors_ = 0;
    std::vector<std::string> warnings_;
};

// Columns a terminal gives the UTF-8 text: two for wide East Asian characters, none for combining marks,
// one for anything else (a byte that is no valid UTF-8 included).
std::size_t displayWidth(const std::string& text);

// The results of one run as a JUnit XML file: one test suite per model, one test case per block. Each result
// is a report ("model", "file", "blocks" with name, error, errorCallback and deleted, "warnings" with path,
// block and message) or, for a model file that could not be used, {"file", "problems"}. A block with an error
// fails with its callback and text; warnings are properties and standard output of their block's case (or of
// the suite); a deleted block is skipped; an unusable model file is one case with an error.
std::string renderJunit(const std::vector<nlohmann::ordered_json>& results);
// The report as indented JSON. Texts that are not valid UTF-8 (a message cut inside a character) are written
// with the replacement character instead of failing.
std::string renderJson(const nlohmann::ordered_json& report);

// Writes `content` to a temporary file beside `target`, flushes it to disk and renames it over `target`.
// On failure returns false with a message naming the target as `what` ("the record file"); the temporary
// file is removed and an existing target is left as it was.
bool writeFileAtomically(const std::string& target, const std::string& content, const std::string& what,
                         std::string& error);

// The module beside the running executable, or lib/korlix/ of the installed layout when only that exists.
// When neither exists, returns an empty text and a message naming both places.
std::string defaultModulePath(std::string& error);

}  // namespace korlix_host
