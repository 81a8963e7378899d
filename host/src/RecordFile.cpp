// Rendering of the code-generation record file (format described in docs/record-file.md).
#include <charconv>
#include <cmath>

#include "HostInternal.hpp"

namespace quonix {
namespace detail {

std::string formatNumber(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-Inf" : "Inf";
    }
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace detail

namespace {

// A text between double quotes: \ and " get a backslash, control characters are escaped as on a terminal,
// so that a pair or a section line stays one line.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return escapeControls(out) + "\"";
}

std::string number(const nlohmann::json& value) {
    if (value.is_number_integer()) {
        return value.dump();
    }
    if (value.is_number()) {
        return detail::formatNumber(value.get<double>());
    }
    if (value.is_boolean()) {
        return value.get<bool>() ? "1" : "0";
    }
    if (value.is_string()) {
        return quoted(value.get<std::string>());
    }
    return "[]";
}

std::string complexNumber(const nlohmann::json& re, const nlohmann::json& im) {
    std::string imaginary = number(im);
    bool negative = !imaginary.empty() && imaginary[0] == '-';
    return number(re) + (negative ? "" : "+") + imaginary + "i";
}

// Renders a scalar, a vector or a matrix (array of rows); im, when given, has the same shape as re.
std::string renderShape(const nlohmann::json& re, const nlohmann::json* im) {
    if (!re.is_array()) {
        return im != nullptr ? complexNumber(re, *im) : number(re);
    }
    std::string out = "[";
    bool matrix = !re.empty() && re[0].is_array();
    for (std::size_t i = 0; i < re.size(); ++i) {
        if (i > 0) {
            out += matrix ? "; " : ", ";
        }
        if (matrix) {
            for (std::size_t j = 0; j < re[i].size(); ++j) {
                const nlohmann::json* imPart = im != nullptr ? &(*im)[i][j] : nullptr;
                out += (j > 0 ? ", " : "") + renderShape(re[i][j], imPart);
            }
        } else {
            out += renderShape(re[i], im != nullptr ? &(*im)[i] : nullptr);
        }
    }
    return out + "]";
}

}  // namespace

std::string escapeControls(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (u < 0x20 || u == 0x7f) {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

std::string renderRecordPair(const nlohmann::json& pair) {
    const nlohmann::json& value = pair.contains("value") ? pair["value"] : nlohmann::json();
    std::string name = pair.value("name", "");
    // Kind 0 is a text written bare; every other text is quoted.
    if (value.is_string() && pair.value("kind", 1) == 0) {
        return name + " " + value.get<std::string>();
    }
    if (value.is_object() && value.contains("re") && value.contains("im")) {
        return name + " " + renderShape(value["re"], &value["im"]);
    }
    return name + " " + renderShape(value, nullptr);
}

std::string recordFileHeader(const std::string& modelName) {
    return "# KORLIX code-generation record\n# model " + quoted(modelName) + "\n";
}

std::string renderRecordSection(const BlockInstance& block) {
    if (block.record().empty()) {
        return {};
    }
    std::string body;
    for (const RecordEntry& entry : block.record()) {
        std::string line = entry.contains("text")
                               ? entry["text"].get<std::string>()
                               : renderRecordPair(entry.contains("pair") ? entry["pair"] : entry);
        body += line;
        if (line.empty() || line.back() != '\n') {
            body += '\n';
        }
    }
    // The section line gives the byte length of the entries that follow it: a reader takes exactly that many
    // bytes, so no text a block writes, however it looks, can pass for a section line.
    return "\n# block " + quoted(block.blockSpec().name) + " handle " +
           detail::formatNumber(block.blockSpec().handle) + " bytes " + std::to_string(body.size()) + "\n" +
           body;
}

std::string renderRecordFile(const std::string& modelName, const std::vector<const BlockInstance*>& blocks) {
    std::string out = recordFileHeader(modelName);
    for (const BlockInstance* block : blocks) {
        if (block != nullptr) {
            out += renderRecordSection(*block);
        }
    }
    return out;
}

}  // namespace quonix
