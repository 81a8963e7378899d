#include "ModelFile.hpp"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

namespace korlix_host {
namespace {

using Json = nlohmann::ordered_json;

bool isIdentifier(const std::string& key) {
    if (key.empty() || std::isdigit(static_cast<unsigned char>(key[0])) != 0) {
        return false;
    }
    for (char c : key) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '_') {
            return false;
        }
    }
    return true;
}

// Control characters in a message are shown as <U+00XX>; with `bytes`, so are bytes outside ASCII (a syntax
// error may point into binary data, which is no valid text).
std::string printable(const std::string& text, bool bytes) {
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || (bytes && u >= 0x80)) {
            static const char hex[] = "0123456789ABCDEF";
            out += "<U+00";
            out += hex[u >> 4];
            out += hex[u & 0xf];
            out += '>';
        } else {
            out += c;
        }
    }
    return out;
}

std::string memberPath(const std::string& path, const std::string& key) {
    if (!isIdentifier(key)) {
        return path + "[" + Json(key).dump(-1, ' ', false, Json::error_handler_t::replace) + "]";
    }
    return path.empty() ? key : path + "." + key;
}

std::string elementPath(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

// First pass over the raw text: nesting depth, duplicate keys and syntax errors, with the path of each
// place. Nothing is built, so the pass itself needs no recursion.
class StructureCheck : public nlohmann::json_sax<Json> {
  public:
    std::string error;  // "path: what", or the parse error detail
    bool syntaxError = false;
    std::size_t errorPosition = 0;

    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool string(string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override { return open(true); }
    bool start_array(std::size_t) override { return open(false); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool key(string_t& name) override {
        Frame& top = frames_.back();
        top.key = name;
        if (!top.keys.insert(name).second) {
            error = path() + ": duplicate key";
            return false;
        }
        return true;
    }
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& ex) override {
        syntaxError = true;
        errorPosition = position;
        std::string text = ex.what();
        if (auto bracket = text.find("] "); bracket != std::string::npos) {
            text.erase(0, bracket + 2);
        }
        if (text.rfind("parse error", 0) == 0) {
            if (auto colon = text.find(": "); colon != std::string::npos) {
                text.erase(0, colon + 2);
            }
        }
        error = printable(text, true);
        return false;
    }

  private:
    struct Frame {
        bool object = false;
        std::size_t count = 0;  // elements seen (arrays)
        std::string key;        // current key (objects)
        std::set<std::string> keys;
    };

    std::string path() const {
        std::string p;
        for (const Frame& f : frames_) {
            p = f.object ? memberPath(p, f.key) : elementPath(p, f.count - 1);
        }
        return p;
    }
    bool value() {
        if (!frames_.empty() && !frames_.back().object) {
            ++frames_.back().count;
        }
        return true;
    }
    bool open(bool object) {
        value();
        if (frames_.size() >= kMaxNesting) {
            const std::string p = path();
            error = (p.empty() ? std::string("the model") : p) + ": nested deeper than " +
                    std::to_string(kMaxNesting) + " levels";
            return false;
        }
        frames_.push_back(Frame{object, 0, {}, {}});
        return true;
    }
    bool close() {
        frames_.pop_back();
        return true;
    }

    std::vector<Frame> frames_;
};

const char* kindOf(const Json& j) {
    switch (j.type()) {
        case Json::value_t::object:
            return "an object";
        case Json::value_t::array:
            return "an array";
        case Json::value_t::string:
            return "a text";
        case Json::value_t::boolean:
            return "true/false";
        case Json::value_t::null:
            return "null";
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float:
            return "a number";
        default:
            return "binary data";
    }
}

class Validator {
  public:
    explicit Validator(std::string file) : file_(std::move(file)) {}

    [[noreturn]] void fail(const std::string& path, const std::string& what) const {
        throw ModelFileError(file_ + ": " +
                             printable((path.empty() ? std::string() : path + ": ") + what, false));
    }

    void expectObject(const Json& j, const std::string& path,
                      std::initializer_list<const char*> allowed) const {
        if (!j.is_object()) {
            fail(path, std::string("must be an object, not ") + kindOf(j));
        }
        for (const auto& [key, value] : j.items()) {
            bool known = false;
            for (const char* name : allowed) {
                known = known || key == name;
            }
            if (!known) {
                fail(memberPath(path, key), "unknown key");
            }
        }
    }
    std::string text(const Json& j, const std::string& path) const {
        if (!j.is_string()) {
            fail(path, std::string("must be a text, not ") + kindOf(j));
        }
        std::string s = j.get<std::string>();
        // The host hands texts to the module as C strings; a zero character would cut them short.
        if (s.find('\0') != std::string::npos) {
            fail(path, "a text must not contain the character U+0000");
        }
        return s;
    }
    double number(const Json& j, const std::string& path) const {
        if (!j.is_number()) {
            fail(path, std::string("must be a number, not ") + kindOf(j));
        }
        return j.get<double>();
    }
    bool boolean(const Json& j, const std::string& path) const {
        if (!j.is_boolean()) {
            fail(path, std::string("must be true or false, not ") + kindOf(j));
        }
        return j.get<bool>();
    }
    // A whole number in [min, max]; 2.0 counts as whole.
    long long whole(const Json& j, const std::string& path, long long min, long long max) const {
        const std::string range = " from " + std::to_string(min) + " to " + std::to_string(max);
        if (!j.is_number()) {
            fail(path, "must be a whole number" + range + ", not " + kindOf(j));
        }
        if (j.is_number_integer()) {
            // Unsigned values above the signed range are out of range as well.
            if (j.is_number_unsigned() &&
                j.get<unsigned long long>() > static_cast<unsigned long long>(max)) {
                fail(path, "must be a whole number" + range);
            }
            const long long v = j.get<long long>();
            if (v < min || v > max) {
                fail(path, "must be a whole number" + range);
            }
            return v;
        }
        const double d = j.get<double>();
        if (d != std::floor(d) || d < static_cast<double>(min) || d > static_cast<double>(max)) {
            fail(path, "must be a whole number" + range);
        }
        return static_cast<long long>(d);
    }

    std::optional<quonix::ExecSysAnswer> executionSystem(const Json& j, const std::string& path) const {
        if (j.is_null()) {
            return std::nullopt;  // korlix_get_execsys2 does not exist
        }
        expectObject(j, path, {"errorText", "execSys", "sysType"});
        // A key left out keeps its default value, so {"sysType": "wqm"} is enough to name the system.
        quonix::ExecSysAnswer answer{"", "", "host"};
        if (j.contains("errorText")) {
            answer.errorText = text(j["errorText"], path + ".errorText");
        }
        if (j.contains("execSys")) {
            answer.execSys = text(j["execSys"], path + ".execSys");
        }
        if (j.contains("sysType")) {
            answer.sysType = text(j["sysType"], path + ".sysType");
        }
        return answer;
    }

    // An object of dialog fields: a text value is a text field, any other value a field without text.
    std::vector<quonix::ParamField> fields(const Json& j, const std::string& path) const {
        if (!j.is_object()) {
            fail(path, std::string("must be an object or null, not ") + kindOf(j));
        }
        std::vector<quonix::ParamField> out;
        for (const auto& [key, value] : j.items()) {
            const std::string fieldPath = memberPath(path, key);
            if (key.empty() || key.find('\0') != std::string::npos) {
                fail(fieldPath, "a field name must be a non-empty text without U+0000");
            }
            quonix::ParamField field{key, std::nullopt};
            if (value.is_string()) {
                field.text = text(value, fieldPath);
            }
            out.push_back(std::move(field));
        }
        return out;
    }

  private:
    std::string file_;
};

// Field names per block as the scenario changes them; nullopt: the structure holds no data.
using FieldNames = std::optional<std::set<std::string>>;

FieldNames namesOf(const std::optional<std::vector<quonix::ParamField>>& params) {
    if (!params) {
        return std::nullopt;
    }
    std::set<std::string> names;
    for (const auto& f : *params) {
        names.insert(f.name);
    }
    return names;
}

ScenarioStep parseStep(const Validator& v, const Json& j, const std::string& path,
                       const std::map<std::string, std::size_t>& byName, std::vector<bool>& deleted,
                       std::vector<FieldNames>& fieldNames) {
    if (!j.is_object()) {
        v.fail(path, std::string("must be an object, not ") + kindOf(j));
    }
    if (!j.contains("do")) {
        v.fail(path + ".do", "missing required key");
    }
    const std::string action = v.text(j["do"], path + ".do");
    ScenarioStep step;
    if (action == "initialize" || action == "generate") {
        v.expectObject(j, path, {"do"});
        step.kind = action == "initialize" ? ScenarioStep::Kind::Initialize : ScenarioStep::Kind::Generate;
        return step;
    }
    if (action == "simulate") {
        v.expectObject(j, path, {"do", "steps"});
        step.kind = ScenarioStep::Kind::Simulate;
        // Without "steps" a simulate step runs as many steps as the simulate command does by default.
        if (j.contains("steps")) {
            step.steps = v.whole(j["steps"], path + ".steps", 0, kMaxSteps);
        }
        return step;
    }
    if (action == "delete") {
        v.expectObject(j, path, {"do", "block"});
        step.kind = ScenarioStep::Kind::Delete;
    } else if (action == "set") {
        v.expectObject(j, path, {"do", "block", "parameters", "remove", "sampleTime"});
        step.kind = ScenarioStep::Kind::Set;
    } else {
        v.fail(path + ".do",
               "unknown step \"" + action + "\" (expected initialize, delete, set, simulate or generate)");
    }
    if (!j.contains("block")) {
        v.fail(path + ".block", "missing required key");
    }
    const std::string name = v.text(j["block"], path + ".block");
    auto found = byName.find(name);
    if (found == byName.end()) {
        v.fail(path + ".block", "no block named \"" + name + "\" in the model");
    }
    step.block = found->second;
    // A step on a block that an earlier step deleted would act on nothing; it is refused as a mistake.
    if (deleted[step.block]) {
        v.fail(path + ".block", "block \"" + name + "\" was deleted by an earlier step");
    }
    if (step.kind == ScenarioStep::Kind::Delete) {
        deleted[step.block] = true;
        return step;
    }

    FieldNames& names = fieldNames[step.block];
    std::set<std::string> replaced;
    if (j.contains("parameters")) {
        if (j["parameters"].is_null()) {
            step.parametersNull = true;
            names = std::set<std::string>{};
        } else {
            step.parameters = v.fields(j["parameters"], path + ".parameters");
            if (!names) {
                names = std::set<std::string>{};
            }
            for (const auto& f : step.parameters) {
                replaced.insert(f.name);
            }
        }
    }
    if (j.contains("remove")) {
        const Json& list = j["remove"];
        if (!list.is_array()) {
            v.fail(path + ".remove", std::string("must be an array of texts, not ") + kindOf(list));
        }
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string itemPath = elementPath(path + ".remove", i);
            const std::string field = v.text(list[i], itemPath);
            if (replaced.count(field) != 0) {
                v.fail(itemPath, "field \"" + field + "\" is both set and removed in this step");
            }
            if (!names || names->erase(field) == 0) {
                v.fail(itemPath, "block \"" + name + "\" has no field \"" + field + "\" to remove");
            }
            step.remove.push_back(field);
        }
    }
    if (names) {
        names->insert(replaced.begin(), replaced.end());
    }
    if (j.contains("sampleTime")) {
        step.sampleTime = v.number(j["sampleTime"], path + ".sampleTime");
    }
    return step;
}

}  // namespace

ModelDescription parseModel(const std::string& file, const std::string& content) {
    StructureCheck structure;
    if (!Json::sax_parse(content, &structure, Json::input_format_t::json, true)) {
        if (structure.syntaxError) {
            std::size_t line = 1;
            std::size_t column = 0;
            for (std::size_t i = 0; i < structure.errorPosition; ++i) {
                if (i < content.size() && content[i] == '\n') {
                    ++line;
                    column = 0;
                } else {
                    ++column;
                }
            }
            throw ModelFileError(file + ": not valid JSON at line " + std::to_string(line) + ", column " +
                                 std::to_string(column) + ": " + structure.error);
        }
        throw ModelFileError(file + ": " + printable(structure.error, false));
    }
    const Json root = Json::parse(content);
    const Validator v(file);
    if (!root.is_object()) {
        v.fail("", std::string("the model must be a JSON object, not ") + kindOf(root));
    }
    v.expectObject(root, "", {"model", "executionSystem", "sizesOnly", "hostLimits", "blocks", "scenario"});

    ModelDescription model;
    model.name =
        root.contains("model") ? v.text(root["model"], "model") : std::filesystem::path(file).stem().string();
    std::optional<quonix::ExecSysAnswer> execSys = quonix::ExecSysAnswer{"", "", "host"};
    if (root.contains("executionSystem")) {
        execSys = v.executionSystem(root["executionSystem"], "executionSystem");
    }
    if (root.contains("sizesOnly")) {
        model.settings.sizesOnly = v.boolean(root["sizesOnly"], "sizesOnly");
    }
    if (root.contains("hostLimits")) {
        v.expectObject(root["hostLimits"], "hostLimits", {"maxPorts"});
        if (root["hostLimits"].contains("maxPorts")) {
            model.settings.maxPorts = static_cast<int32_t>(
                v.whole(root["hostLimits"]["maxPorts"], "hostLimits.maxPorts", 0, kMaxPortLimit));
        }
    }

    // "blocks" is required: a file without it is more likely a mistake than a model without blocks, which
    // is written as "blocks": [].
    if (!root.contains("blocks")) {
        v.fail("blocks", "missing required key");
    }
    const Json& blocks = root["blocks"];
    if (!blocks.is_array()) {
        v.fail("blocks", std::string("must be an array, not ") + kindOf(blocks));
    }
    std::map<std::string, std::size_t> byName;
    std::map<double, std::size_t> byHandle;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::string path = elementPath("blocks", i);
        const Json& b = blocks[i];
        v.expectObject(
            b, path,
            {"name", "maskType", "handle", "parameters", "sampleTime", "parameterCount", "executionSystem"});
        quonix::BlockSpec blockSpec;
        if (!b.contains("name")) {
            v.fail(path + ".name", "missing required key");
        }
        blockSpec.name = v.text(b["name"], path + ".name");
        if (blockSpec.name.empty()) {
            v.fail(path + ".name", "a block name must not be empty");
        }
        if (auto [it, fresh] = byName.emplace(blockSpec.name, i); !fresh) {
            v.fail(path + ".name", "duplicate block name \"" + blockSpec.name + "\" (also blocks[" +
                                       std::to_string(it->second) + "])");
        }
        if (b.contains("maskType")) {
            blockSpec.maskType = v.text(b["maskType"], path + ".maskType");
        } else {
            blockSpec.maskType = std::nullopt;
        }
        if (b.contains("handle")) {
            blockSpec.handle = v.number(b["handle"], path + ".handle");
            if (blockSpec.handle == 0.0) {
                v.fail(path + ".handle", "a block handle must not be 0");
            }
            if (auto [it, fresh] = byHandle.emplace(blockSpec.handle, i); !fresh) {
                v.fail(path + ".handle", "handle already used by blocks[" + std::to_string(it->second) + "]");
            }
        }
        if (b.contains("parameters")) {
            if (b["parameters"].is_null()) {
                blockSpec.parameters = std::nullopt;
            } else {
                blockSpec.parameters = v.fields(b["parameters"], path + ".parameters");
            }
        }
        if (b.contains("sampleTime")) {
            blockSpec.sampleTime = v.number(b["sampleTime"], path + ".sampleTime");
        }
        if (b.contains("parameterCount")) {
            blockSpec.parameterCount = static_cast<int>(
                v.whole(b["parameterCount"], path + ".parameterCount", 0, kMaxParameterCount));
        }
        blockSpec.executionSystem = b.contains("executionSystem")
                                        ? v.executionSystem(b["executionSystem"], path + ".executionSystem")
                                        : execSys;
        model.blocks.push_back(std::move(blockSpec));
    }
    // Blocks without a handle get 1.0001, 2.0001, ... in model order, skipping handles given in the file.
    double next = 1.0;
    for (auto& blockSpec : model.blocks) {
        if (blockSpec.handle != 0.0) {
            continue;
        }
        while (byHandle.count(next + 0.0001) != 0) {
            next += 1.0;
        }
        blockSpec.handle = next + 0.0001;
        next += 1.0;
    }

    if (root.contains("scenario")) {
        const Json& scenario = root["scenario"];
        if (!scenario.is_array()) {
            v.fail("scenario", std::string("must be an array, not ") + kindOf(scenario));
        }
        std::vector<bool> deleted(model.blocks.size(), false);
        std::vector<FieldNames> names;
        for (const auto& blockSpec : model.blocks) {
            names.push_back(namesOf(blockSpec.parameters));
        }
        for (std::size_t i = 0; i < scenario.size(); ++i) {
            model.scenario.push_back(
                parseStep(v, scenario[i], elementPath("scenario", i), byName, deleted, names));
        }
    } else {
        model.scenario = {ScenarioStep{ScenarioStep::Kind::Initialize, 0, false, {}, {}, std::nullopt, 10},
                          ScenarioStep{ScenarioStep::Kind::Generate, 0, false, {}, {}, std::nullopt, 10}};
    }
    return model;
}

ModelDescription loadModelFile(const std::string& file) {
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (!std::filesystem::exists(status)) {
        throw ModelFileError(file + ": model file not found");
    }
    if (std::filesystem::is_directory(status)) {
        throw ModelFileError(file + ": is a directory, not a model file");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw ModelFileError(file + ": cannot read the model file");
    }
    std::string content;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        content.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (content.size() > kMaxModelFileBytes) {
            throw ModelFileError(file + ": larger than " + std::to_string(kMaxModelFileBytes >> 20) +
                                 " MiB; not a model file");
        }
    }
    if (in.bad()) {
        throw ModelFileError(file + ": cannot read the model file");
    }
    return parseModel(file, content);
}

}  // namespace korlix_host
