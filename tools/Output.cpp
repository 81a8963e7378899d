#include "Output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <vector>

namespace korlix_host {
namespace {

using Json = nlohmann::ordered_json;

// One table cell per line: control characters (messages may end in a newline) are shown escaped.
std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7f) {
            static const char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

std::string number(const Json& j) {
    if (!j.is_number()) {
        return "?";
    }
    std::array<char, 64> buf{};
    auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), j.get<double>());
    return ec == std::errc() ? std::string(buf.data(), end) : "?";
}

std::string text(const Json& j, const char* key) {
    return j.contains(key) && j[key].is_string() ? escape(j[key].get<std::string>()) : std::string();
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

std::string TableWriter::finish(const Json* trace) const {
    std::array<std::size_t, 6> width{};
    for (const auto& row : rows_) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            width[c] = std::max(width[c], row[c].size());
        }
    }
    std::string out = "model " + model_ + "\n";
    for (const auto& row : rows_) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) {
                line += std::string(width[c] - row[c].size() + 2, ' ');
            }
        }
        out += line + "\n";
    }
    out += std::to_string(blocks_) + " blocks, " + std::to_string(errors_) + " with an error\n";
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

std::string renderJson(const Json& report) {
    return dump(report, 2) + "\n";
}

bool writeFileAtomically(const std::string& target, const std::string& content, std::string& error) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(target).parent_path();
    std::error_code ec;
    if (!dir.empty() && !fs::is_directory(dir, ec)) {
        error = "cannot write the record file " + target + ": " +
                (fs::exists(dir, ec) ? dir.string() + " is not a directory"
                                     : "the directory " + dir.string() + " does not exist");
        return false;
    }
    std::string temp = target + ".tmp.XXXXXX";
    const int fd = mkstemp(temp.data());
    auto failWith = [&](const char* what, int err) {
        error = "cannot write the record file " + target + ": " + what + ": " + std::strerror(err);
        return false;
    };
    if (fd < 0) {
        return failWith("cannot create a temporary file beside it", errno);
    }
    // mkstemp creates the file for its owner only; give it the mode a newly created file gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, static_cast<mode_t>(0666 & ~mask));

    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = write(fd, data, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            close(fd);
            unlink(temp.c_str());
            return failWith("write failed", err);
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0) {
        const int err = errno;
        close(fd);
        unlink(temp.c_str());
        return failWith("flush failed", err);
    }
    if (close(fd) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        return failWith("close failed", err);
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        return failWith("cannot replace it", err);
    }
    return true;
}

std::string defaultModulePath(std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        error = "cannot find the module: the tool's own path is unknown (" + ec.message() +
                "); use --module PATH";
        return {};
    }
    const fs::path beside = exe.parent_path() / "korlix_qvblk.so";
    const fs::path installed = (exe.parent_path() / KORLIX_INSTALLED_MODULE).lexically_normal();
    for (const auto& candidate : {beside, installed}) {
        if (fs::exists(candidate, ec)) {
            return candidate.string();
        }
    }
    error = "module not found: neither " + beside.string() + " nor " + installed.string() +
            " exists; use --module PATH";
    return {};
}

}  // namespace korlix_host
