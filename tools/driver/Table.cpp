#include "Table.hpp"

#include <algorithm>
#include <array>
#include <charconv>

#include "quonix/host.hpp"

namespace korlix_host {
namespace {

using Json = nlohmann::ordered_json;

// One table cell per line: names and messages reach the terminal through the host's one escaper, so no
// control character (a line end in a message, an escape sequence in a name) acts on the terminal.
std::string escape(const std::string& text) {
    return quonix::escapeControls(text);
}

std::string number(const Json& j) {
    if (!j.is_number()) {
        return "?";
    }
    std::array<char, 64> buf{};
    auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), j.get<double>());
    return ec == std::errc() ? std::string(buf.data(), end) : "?";
}

// A text member for a table cell.
std::string text(const Json& j, const char* key) {
    return escape(textMember(j, key));
}

// "uint8[8]" per port; a data type the host does not name shows its id, an unset one "?".
std::string ports(const Json& block, const char* key) {
    if (!block.contains(key) || !block[key].is_array() || block[key].empty()) {
        return "-";
    }
    std::string out;
    for (const Json& port : block[key]) {
        if (!out.empty()) {
            out += ", ";
        }
        if (port.contains("dataType") && port["dataType"].is_string()) {
            out += escape(port["dataType"].get<std::string>());
        } else if (port.contains("dataTypeId") && port["dataTypeId"].is_number() &&
                   port["dataTypeId"].get<double>() != -1) {
            out += "id " + number(port["dataTypeId"]);
        } else {
            out += "?";
        }
        out += "[" + (port.contains("width") ? number(port["width"]) : std::string("?")) + "]";
    }
    return out;
}

std::string sampleTime(const Json& block) {
    if (!block.contains("sampleTime") || !block["sampleTime"].is_object()) {
        return "-";
    }
    const Json& st = block["sampleTime"];
    return number(st.value("period", Json())) + " offset " + number(st.value("offset", Json()));
}

std::string status(const Json& block) {
    std::string out;
    if (block.value("deleted", false)) {
        out = "deleted";
    }
    if (block.contains("error") && block["error"].is_string()) {
        out += (out.empty() ? "" : ", ") + std::string("error in ") + text(block, "errorCallback") + ": " +
               text(block, "error");
    }
    return out.empty() ? "ok" : out;
}

std::string dump(const Json& j, int indent) {
    return j.dump(indent, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

long nextCodePoint(const std::string& text, std::size_t& i) {
    const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xe  ? 3
                               : (lead >> 3) == 0x1e ? 4
                                                     : 0;
    if (length == 0 || i + length > text.size()) {
        ++i;
        return -1;
    }
    long cp = length == 1 ? lead : lead & (0x7f >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) {
            ++i;
            return -1;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3f);
    }
    static constexpr long kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kShortest[length] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) {
        ++i;
        return -1;
    }
    i += length;
    return cp;
}

std::string textMember(const Json& j, const char* key) {
    return j.contains(key) && j[key].is_string() ? j[key].get<std::string>() : std::string();
}

TableWriter::TableWriter(std::string model) : model_(std::move(model)) {
    rows_.push_back({"block", "mask type", "inputs", "outputs", "sample time", "status"});
}

void TableWriter::add(const Json& b) {
    const std::string mask = b.contains("maskType") && b["maskType"].is_string() ? text(b, "maskType") : "-";
    rows_.push_back(
        {text(b, "name"), mask, ports(b, "inputs"), ports(b, "outputs"), sampleTime(b), status(b)});
    ++blocks_;
    if (b.contains("error") && b["error"].is_string() && !b.value("deleted", false)) {
        ++errors_;
    }
}

void TableWriter::warn(const Diagnostic& warning) {
    warnings_.push_back("warning: " +
                        escape((warning.path.empty() ? "" : warning.path + ": ") + warning.message));
}

std::string TableWriter::finish(const Json* trace) const {
    // Columns are as wide as their widest cell up to kMaxColumnWidth; a wider cell is written whole and
    // pushes the rest of its own row only, so that one long name cannot pad every row of a large model.
    std::array<std::size_t, 6> width{};
    for (const auto& row : rows_) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            width[c] = std::min(std::max(width[c], displayWidth(row[c])), kMaxColumnWidth);
        }
    }
    std::string out = "model " + escape(model_) + "\n";
    for (const auto& row : rows_) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) {
                const std::size_t shown = displayWidth(row[c]);
                line += std::string((shown < width[c] ? width[c] - shown : 0) + 2, ' ');
            }
        }
        out += line + "\n";
    }
    out += std::to_string(blocks_) + " blocks, " + std::to_string(errors_) + " with an error" +
           (warnings_.empty()       ? ""
            : warnings_.size() == 1 ? ", 1 warning"
                                    : ", " + std::to_string(warnings_.size()) + " warnings") +
           "\n";
    for (const std::string& line : warnings_) {
        out += line + "\n";
    }
    if (trace != nullptr) {
        out += "trace:\n";
        for (const Json& event : *trace) {
            out += "  " + dump(event, -1) + "\n";
        }
    }
    return out;
}

std::string renderTable(const Json& report) {
    TableWriter table(text(report, "model"));
    if (report.contains("blocks")) {
        for (const Json& b : report["blocks"]) {
            table.add(b);
        }
    }
    return table.finish(report.contains("trace") ? &report["trace"] : nullptr);
}

std::size_t displayWidth(const std::string& text) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const long cp = nextCodePoint(text, i);
        const bool combining =
            (cp >= 0x300 && cp <= 0x36f) || (cp >= 0x200b && cp <= 0x200f) || (cp >= 0xfe00 && cp <= 0xfe0f);
        const bool wide = (cp >= 0x1100 && cp <= 0x115f) || (cp >= 0x2e80 && cp <= 0xa4cf && cp != 0x303f) ||
                          (cp >= 0xac00 && cp <= 0xd7a3) || (cp >= 0xf900 && cp <= 0xfaff) ||
                          (cp >= 0xfe30 && cp <= 0xfe6f) || (cp >= 0xff00 && cp <= 0xff60) ||
                          (cp >= 0xffe0 && cp <= 0xffe6) || (cp >= 0x1f300 && cp <= 0x1f64f) ||
                          (cp >= 0x1f900 && cp <= 0x1f9ff) || (cp >= 0x20000 && cp <= 0x3fffd);
        width += combining ? 0 : wide ? 2 : 1;
    }
    return width;
}

Json reportSummary(std::size_t blocks, std::size_t errors, std::size_t warnings, std::size_t problems,
                   int exitStatus) {
    Json s;
    s["blocks"] = blocks;
    s["errors"] = errors;
    s["warnings"] = warnings;
    s["problems"] = problems;
    s["tool"] = "korlix-host";
    s["toolVersion"] = korlix::version();
    s["reportFormat"] = kReportFormat;
    s["exitStatus"] = exitStatus;
    return s;
}

std::string renderJson(const Json& report) {
    return dump(report, 2) + "\n";
}

}  // namespace korlix_host
