// The report as text: the table korlix-host prints by default and the indented JSON of --json, and the
// summary both carry.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Diagnostics.hpp"

namespace korlix_host {

// Version of the JSON report's layout; raised when a key changes meaning or goes away.
inline constexpr int kReportFormat = 2;

// The report's "summary" object: counts, the tool and its version, the report format and the exit status.
nlohmann::ordered_json reportSummary(std::size_t blocks, std::size_t errors, std::size_t warnings,
                                     std::size_t problems, int exitStatus);

// The report as a table: one row per block with name, mask type, input and output ports (data type and
// width), sample time and offset, and the status; then the trace, one event per line, when the report has
// one.
std::string renderTable(const nlohmann::ordered_json& report);

// The same table built one block at a time, so that a large model's report never has to exist whole.
class TableWriter {
  public:
    // The widest a column is padded to; a wider cell is written whole without padding the other rows.
    static constexpr std::size_t kMaxColumnWidth = 40;
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

// The report as indented JSON. Texts that are not valid UTF-8 (a message cut inside a character) are written
// with the replacement character instead of failing.
std::string renderJson(const nlohmann::ordered_json& report);

// The code point that starts at text[i], advancing i past it; a byte that starts no valid UTF-8 sequence
// gives -1 and advances one byte.
long nextCodePoint(const std::string& text, std::size_t& i);
// A text member as it is; "" when it is missing or no text.
std::string textMember(const nlohmann::ordered_json& j, const char* key);

}  // namespace korlix_host
