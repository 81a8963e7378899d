// The HTML page and the dot diagram of a report.
#include "Pictures.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "Output.hpp"
#include "quonix/host.hpp"

namespace korlix_host {

namespace {

using Json = nlohmann::ordered_json;

// Bytes of a PDU drawn bit by bit; a longer PDU is drawn up to here and said to go on.
constexpr std::int64_t kMaxDrawnBytes = 256;

std::string text(const Json& j, const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// "uint8 x 8" for a port; "? x -1" where the module left the host's presets.
std::string portLabel(const Json& port) {
    const std::string type =
        port.contains("dataType") && port["dataType"].is_string() ? port["dataType"].get<std::string>() : "?";
    return type + " \u00d7 " + port.value("width", Json(-1)).dump();
}

std::string ports(const Json& list) {
    std::string out;
    for (const Json& port : list) {
        out += (out.empty() ? "" : ", ") + portLabel(port);
    }
    return out.empty() ? "\u2014" : out;
}

// The parameter settings entry `name` of a block's record, as numbers; empty when it has none.
std::vector<std::int64_t> settings(const Json& block, const std::string& name) {
    std::vector<std::int64_t> values;
    for (const Json& entry : block.value("record", Json::array())) {
        if (entry.contains("pair") && entry["pair"].value("name", "") == name &&
            entry["pair"]["value"].is_array()) {
            for (const Json& v : entry["pair"]["value"]) {
                values.push_back(v.is_number() ? v.get<std::int64_t>() : 0);
            }
        }
    }
    return values;
}

struct Signal {
    std::int64_t firstBit;
    std::int64_t bits;
    std::int64_t byteOrder;
};

// The bit layout of a pack or unpack block from what the module set up and wrote: the PDU length is the
// byte port's width, each signal starts at its offset (in bits from the PDU's first bit) and takes its byte
// size in bits. Cells two signals claim, and signals that end past the PDU, are marked.
std::string pduLayout(const Json& block) {
    const std::string mask = text(block, "maskType");
    const bool pack = mask == "FlexRayPackPDU";
    if (!pack && mask != "FlexRayUnpackPDU") {
        return "";
    }
    const Json& bytePorts = block[pack ? "outputs" : "inputs"];
    const std::vector<std::int64_t> offsets = settings(block, "SignalsOffset");
    const std::vector<std::int64_t> sizes = settings(block, "SignalsDTypeSize");
    const std::vector<std::int64_t> orders = settings(block, "SignalsEndianess");
    if (bytePorts.empty() || offsets.empty() || offsets.size() != sizes.size()) {
        return "";
    }
    const std::int64_t length =
        std::max<std::int64_t>(bytePorts[0].value("width", Json(0)).get<std::int64_t>(), 0);
    std::vector<Signal> signals;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        // Offsets went out as signed 32-bit numbers; read them back as the unsigned counts they are.
        const std::int64_t first = offsets[i] < 0 ? offsets[i] + 4294967296LL : offsets[i];
        signals.push_back(
            {first, std::max<std::int64_t>(sizes[i], 0) * 8, i < orders.size() ? orders[i] : 0});
    }
    const std::int64_t drawn = std::min(length, kMaxDrawnBytes);
    std::vector<std::vector<std::size_t>> owners(static_cast<std::size_t>(drawn * 8));
    for (std::size_t s = 0; s < signals.size(); ++s) {
        for (std::int64_t bit = signals[s].firstBit;
             bit < signals[s].firstBit + signals[s].bits && bit < drawn * 8; ++bit) {
            owners[static_cast<std::size_t>(bit)].push_back(s);
        }
    }
    std::string out = "<h3>" + escapeMarkup(text(block, "name")) + ": PDU of " + std::to_string(length) +
                      " bytes</h3>\n<table class=\"pdu\"><tr><th>byte</th>";
    for (int bit = 7; bit >= 0; --bit) {
        out += "<th>" + std::to_string(bit) + "</th>";
    }
    out += "</tr>\n";
    for (std::int64_t byte = 0; byte < drawn; ++byte) {
        out += "<tr><th>" + std::to_string(byte) + "</th>";
        for (int bit = 7; bit >= 0; --bit) {
            const auto& who = owners[static_cast<std::size_t>(byte * 8 + bit)];
            std::string label;
            for (std::size_t s : who) {
                label.append(label.empty() ? "" : "+").append(std::to_string(s));
            }
            const char* cls = who.size() > 1 ? " class=\"overlap\"" : who.empty() ? "" : " class=\"sig\"";
            out += "<td" + std::string(cls) + ">" + label + "</td>";
        }
        out += "</tr>\n";
    }
    out += "</table>\n";
    if (drawn < length) {
        out += "<p>Drawn up to byte " + std::to_string(drawn) + ".</p>\n";
    }
    out += "<ul class=\"signals\">\n";
    for (std::size_t s = 0; s < signals.size(); ++s) {
        const Signal& sig = signals[s];
        const bool past = sig.firstBit + sig.bits > length * 8;
        bool overlaps = false;
        for (std::size_t t = 0; t < signals.size(); ++t) {
            overlaps = overlaps ||
                       (t != s && sig.firstBit < signals[t].firstBit + signals[t].bits &&
                        signals[t].firstBit < sig.firstBit + sig.bits && sig.bits > 0 && signals[t].bits > 0);
        }
        out +=
            std::string("<li") + (past || overlaps ? " class=\"bad\"" : "") + ">signal " + std::to_string(s) +
            ": bits " + std::to_string(sig.firstBit) + " to " + std::to_string(sig.firstBit + sig.bits - 1) +
            ", " + std::to_string(sig.bits / 8) + " byte(s), " +
            (sig.byteOrder == 0 ? "byte order 0" : "byte order " + std::to_string(sig.byteOrder)) +
            (overlaps ? ", overlaps another signal" : "") + (past ? ", ends past the PDU" : "") + "</li>\n";
    }
    return out + "</ul>\n";
}

// A block as a box, its inputs as stubs on the left and its outputs on the right, each labelled.
std::string blockDrawing(const Json& block, int x, int y) {
    const Json& inputs = block["inputs"];
    const Json& outputs = block["outputs"];
    const std::size_t n = std::max<std::size_t>({inputs.size(), outputs.size(), 1});
    const int height = 24 + static_cast<int>(std::min<std::size_t>(n, 12)) * 18;
    const bool failed = !block["error"].is_null();
    std::string out = "<g transform=\"translate(" + std::to_string(x) + "," + std::to_string(y) + ")\">";
    out += "<rect x=\"90\" y=\"0\" width=\"140\" height=\"" + std::to_string(height) + "\" class=\"" +
           (failed ? "box failed" : "box") + "\"/>";
    out += "<text x=\"160\" y=\"16\" class=\"name\">" + escapeMarkup(text(block, "name")) + "</text>";
    const auto stubs = [&out](const Json& list, bool input) {
        for (std::size_t i = 0; i < list.size() && i < 12; ++i) {
            const int py = 34 + static_cast<int>(i) * 18;
            const std::string label = escapeMarkup(portLabel(list[i]));
            out += input ? "<line x1=\"70\" y1=\"" + std::to_string(py) + "\" x2=\"90\" y2=\"" +
                               std::to_string(py) + "\"/><text x=\"68\" y=\"" + std::to_string(py + 4) +
                               "\" class=\"in\">" + label + "</text>"
                         : "<line x1=\"230\" y1=\"" + std::to_string(py) + "\" x2=\"250\" y2=\"" +
                               std::to_string(py) + "\"/><text x=\"252\" y=\"" + std::to_string(py + 4) +
                               "\" class=\"out\">" + label + "</text>";
        }
    };
    stubs(inputs, true);
    stubs(outputs, false);
    return out + "</g>\n";
}

// One record call as the record file shows it.
std::string recordLine(const Json& entry) {
    if (entry.contains("text")) {
        return entry["text"].get<std::string>();
    }
    return quonix::renderRecordPair(nlohmann::json(entry["pair"])) + "\n";
}

std::string dotText(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (std::string("{}|<>\"\\").find(c) != std::string::npos) {
            out += '\\';
        }
        out += c == '\n' ? ' ' : c;
    }
    return out;
}

}  // namespace

std::string renderHtml(const Json& report) {
    const std::string model = text(report, "model");
    const Json& blocks = report.value("blocks", Json::array());
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>KORLIX model " +
        escapeMarkup(model) +
        "</title>\n<style>\n"
        "body{font-family:sans-serif;margin:1.5em;color:#222}table{border-collapse:collapse;margin:.5em 0}"
        "td,th{border:1px solid #bbb;padding:2px 6px;text-align:left;vertical-align:top}"
        "tr.failed td{background:#fdd}pre{background:#f6f6f6;padding:.5em;overflow:auto}"
        "table.pdu td{width:2.2em;text-align:center;font-size:80%}td.sig{background:#cde}"
        "td.overlap{background:#e33;color:#fff}li.bad{color:#c00}"
        "svg text{font-size:11px}svg text.name{text-anchor:middle;font-weight:bold}svg "
        "text.in{text-anchor:end}"
        "svg line{stroke:#333}rect.box{fill:#eef;stroke:#333}rect.failed{fill:#fdd;stroke:#c00}\n"
        "</style>\n</head>\n<body>\n<h1>Model " +
        escapeMarkup(model) + "</h1>\n";
    const Json summary = report.value("summary", Json::object());
    out += "<table class=\"summary\">";
    for (const auto& [key, value] : summary.items()) {
        out += "<tr><th>" + escapeMarkup(key) + "</th><td>" +
               escapeMarkup(value.is_string() ? value.get<std::string>() : value.dump()) + "</td></tr>";
    }
    out +=
        "</table>\n<h2>Blocks</h2>\n<table class=\"blocks\">\n<tr><th>name</th><th>mask "
        "type</th><th>inputs</th>"
        "<th>outputs</th><th>sample time</th><th>status</th></tr>\n";
    for (const Json& block : blocks) {
        const bool failed = !block.value("error", Json()).is_null();
        const Json& st = block.value("sampleTime", Json::object());
        out += std::string("<tr class=\"block") + (failed ? " failed" : "") + "\"><td>" +
               escapeMarkup(text(block, "name")) + "</td><td>" + escapeMarkup(text(block, "maskType")) +
               "</td><td>" + escapeMarkup(ports(block["inputs"])) + "</td><td>" +
               escapeMarkup(ports(block["outputs"])) + "</td><td>" + st.value("period", Json()).dump() +
               ", " + st.value("offset", Json()).dump() + "</td><td>" +
               (failed ? escapeMarkup(text(block, "errorCallback") + ": " + text(block, "error"))
                : block.value("deleted", false) ? "deleted"
                                                : "ok") +
               "</td></tr>\n";
    }
    out += "</table>\n";
    for (const Json& warning : report.value("warnings", Json::array())) {
        out += "<p class=\"warning\">warning: " +
               escapeMarkup(text(warning, "path") + ": " + text(warning, "message")) + "</p>\n";
    }
    // The diagram: three blocks a row.
    const int columns = 3, cellWidth = 380;
    int y = 10, rowHeight = 0;
    std::string drawing;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const int column = static_cast<int>(i % columns);
        if (column == 0 && i > 0) {
            y += rowHeight + 20;
            rowHeight = 0;
        }
        const std::size_t n =
            std::max<std::size_t>({blocks[i]["inputs"].size(), blocks[i]["outputs"].size(), 1});
        rowHeight = std::max(rowHeight, 24 + static_cast<int>(std::min<std::size_t>(n, 12)) * 18);
        drawing += blockDrawing(blocks[i], column * cellWidth, y);
    }
    out += "<h2>Diagram</h2>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           std::to_string(columns * cellWidth) + "\" height=\"" + std::to_string(y + rowHeight + 20) +
           "\">\n" + drawing + "</svg>\n";
    std::string layouts;
    for (const Json& block : blocks) {
        layouts += pduLayout(block);
    }
    if (!layouts.empty()) {
        out +=
            "<h2>PDU layouts</h2>\n<p>Bits counted from the PDU's first bit; red cells are claimed by more "
            "than one "
            "signal.</p>\n" +
            layouts;
    }
    out += "<h2>Records</h2>\n";
    for (const Json& block : blocks) {
        const Json& record = block.value("record", Json::array());
        if (record.empty()) {
            continue;
        }
        std::string lines;
        for (const Json& entry : record) {
            lines += recordLine(entry);
        }
        out += "<h3>" + escapeMarkup(text(block, "name")) + "</h3>\n<pre>" + escapeMarkup(lines) + "</pre>\n";
    }
    return out + "</body>\n</html>\n";
}

std::string renderDot(const Json& report) {
    std::string out =
        "digraph \"" + dotText(text(report, "model")) + "\" {\n  rankdir=LR;\n  node [shape=record];\n";
    std::size_t index = 0;
    for (const Json& block : report.value("blocks", Json::array())) {
        std::string inputs, outputs;
        for (std::size_t i = 0; i < block["inputs"].size(); ++i) {
            inputs.append(i > 0 ? "|" : "").append("<i" + std::to_string(i) + "> ");
            inputs.append(dotText(portLabel(block["inputs"][i])));
        }
        for (std::size_t i = 0; i < block["outputs"].size(); ++i) {
            outputs.append(i > 0 ? "|" : "").append("<o" + std::to_string(i) + "> ");
            outputs.append(dotText(portLabel(block["outputs"][i])));
        }
        const bool failed = !block.value("error", Json()).is_null();
        out += "  b" + std::to_string(index++) + " [label=\"{{" + inputs + "}|" +
               dotText(text(block, "name")) + "\\n" + dotText(text(block, "maskType")) + "|{" + outputs +
               "}}\"" + (failed ? ", color=red" : "") + "];\n";
    }
    return out + "}\n";
}

}  // namespace korlix_host
