#include "ModelFile.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "Schema.hpp"

namespace korlix_host {
namespace {

using Json = nlohmann::ordered_json;

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

// First pass over the raw text: nesting depth, duplicate keys and syntax errors, with the path of each
// place. Nothing is built, so the pass itself needs no recursion.
class StructureCheck : public nlohmann::json_sax<Json> {
  public:
    std::string error;  // a syntax error or a nesting too deep, which end the pass
    std::string errorPath;
    std::vector<Diagnostic> duplicates;  // every duplicate key
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
            duplicates.push_back(Diagnostic{path(), "duplicate key", std::nullopt});
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
            errorPath = path();
            error = "nested deeper than " + std::to_string(kMaxNesting) + " levels";
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

// What a schema cannot say, collected as the schema's problems are: texts that would be cut short, empty
// field names, names and handles given twice, and scenario steps that refer to blocks and fields.
class Checks {
  public:
    explicit Checks(const Json& root) : root_(root) {}

    std::vector<Diagnostic> problems;
    std::vector<Diagnostic> warnings;

    void run() {
        zeroCharacters(root_, "");
        const Json& blocks = member(root_, "blocks");
        if (blocks.is_array()) {
            for (std::size_t i = 0; i < blocks.size(); ++i) {
                block(blocks[i], i);
            }
        }
        const Json& scenario = member(root_, "scenario");
        if (scenario.is_array()) {
            std::vector<std::size_t> pendingSets;  // edits no initialize has made visible yet
            for (std::size_t i = 0; i < scenario.size(); ++i) {
                step(scenario[i], i, pendingSets);
            }
        }
    }

  private:
    static const Json& member(const Json& j, const char* key) {
        static const Json none;
        return j.is_object() && j.contains(key) ? j[key] : none;
    }

    void problem(std::string path, std::string message) {
        problems.push_back(Diagnostic{std::move(path), std::move(message), std::nullopt});
    }
    void warning(std::string path, std::string message, std::size_t block) {
        warnings.push_back(Diagnostic{std::move(path), std::move(message), block});
    }

    // The host hands texts to the module as C strings; a zero character would cut them short.
    void zeroCharacters(const Json& j, const std::string& path) {
        if (j.is_string() && j.get_ref<const std::string&>().find('\0') != std::string::npos) {
            problem(path, "a text must not contain the character U+0000");
        } else if (j.is_object()) {
            for (const auto& [key, value] : j.items()) {
                if (key.find('\0') != std::string::npos) {
                    problem(memberPath(path, key), "a key must not contain the character U+0000");
                }
                zeroCharacters(value, memberPath(path, key));
            }
        } else if (j.is_array()) {
            for (std::size_t i = 0; i < j.size(); ++i) {
                zeroCharacters(j[i], elementPath(path, i));
            }
        }
    }

    // Dialog fields: names must not be empty; a value that is not a text is allowed (a field without text)
    // but the module, which reads every field as a text, reports such a field as missing.
    void fields(const Json& j, const std::string& path, std::size_t block) {
        if (!j.is_object()) {
            return;
        }
        for (const auto& [key, value] : j.items()) {
            if (key.empty()) {
                problem(memberPath(path, key), "a field name must not be empty");
            } else if (!value.is_string()) {
                std::string message = std::string("is ") + kindOf(value) +
                                      ", not a text: the module reads dialog fields as texts and will report "
                                      "this one as missing";
                if (value.is_number()) {
                    message += "; write it as \"" + value.dump() + "\"";
                }
                warning(memberPath(path, key), message, block);
            }
        }
    }

    void block(const Json& b, std::size_t i) {
        const std::string path = elementPath("blocks", i);
        const Json& name = member(b, "name");
        if (name.is_string()) {
            const std::string& text = name.get_ref<const std::string&>();
            if (auto [it, fresh] = byName_.emplace(text, i); !fresh) {
                problem(path + ".name", "duplicate block name \"" + text + "\" (also blocks[" +
                                            std::to_string(it->second) + "])");
            } else {
                names_.push_back(text);
            }
        }
        const Json& handle = member(b, "handle");
        if (handle.is_number()) {
            if (auto [it, fresh] = byHandle_.emplace(handle.get<double>(), i); !fresh) {
                problem(path + ".handle",
                        "handle already used by blocks[" + std::to_string(it->second) + "]");
            }
        }
        const Json& params = member(b, "parameters");
        fields(params, path + ".parameters", i);
        fieldNames_.push_back(std::nullopt);
        if (!b.contains("parameters") || params.is_object()) {
            fieldNames_.back() = std::set<std::string>{};
            for (const auto& [key, value] : params.items()) {
                fieldNames_.back()->insert(key);
            }
        }
        deleted_.push_back(false);

        const Json& maskType = member(b, "maskType");
        if (!maskType.is_string()) {
            return;
        }
        const std::string& mask = maskType.get_ref<const std::string&>();
        const auto& known = recognisedMaskTypes();
        if (std::find(known.begin(), known.end(), mask) == known.end()) {
            if (std::string hint = didYouMean(mask, known); !hint.empty()) {
                warning(path + ".maskType",
                        "\"" + mask + "\" is not a mask type the module recognises" + hint, i);
            }
        }
        const Json& dialogMask = member(params, "MaskType");
        if (dialogMask.is_string() && dialogMask.get_ref<const std::string&>() != mask) {
            warning(path + ".parameters.MaskType",
                    "\"" + dialogMask.get<std::string>() + "\" differs from maskType \"" + mask +
                        "\": the block is set up as " + mask + " but its record names the other",
                    i);
        }
    }

    void step(const Json& j, std::size_t index, std::vector<std::size_t>& pendingSets) {
        const std::string path = elementPath("scenario", index);
        const Json& action = member(j, "do");
        if (!action.is_string()) {
            return;
        }
        const std::string& kind = action.get_ref<const std::string&>();
        // Simulating or generating before any model update calls no block: the run would end in an empty
        // report and an empty record file that looks like a result.
        if ((kind == "simulate" || kind == "generate") && !initialized_) {
            problem(path + ".do",
                    "\"" + kind +
                        "\" before any initialize: no block is set up yet; put an initialize step first");
        }
        if (kind == "simulate") {
            outputsCalls(member(j, "steps"), path);
        }
        if (kind == "initialize") {
            initialized_ = true;
            pendingSets.clear();
        } else if (kind == "generate") {
            const Json& scenario = root_["scenario"];
            for (std::size_t set : pendingSets) {
                const std::string name = scenario[set]["block"].get<std::string>();
                warning(elementPath("scenario", set),
                        "this edit of \"" + name + "\" is not in the record of " + path +
                            ": no initialize step between them makes it visible",
                        byName_.at(name));
            }
            pendingSets.clear();
        }
        const Json& blockName = member(j, "block");
        if ((kind != "delete" && kind != "set") || !blockName.is_string()) {
            return;
        }
        const std::string& name = blockName.get_ref<const std::string&>();
        auto found = byName_.find(name);
        if (found == byName_.end()) {
            problem(path + ".block",
                    "no block named \"" + name + "\" in the model" + didYouMean(name, names_));
            return;
        }
        const std::size_t block = found->second;
        // A step on a block that an earlier step deleted would act on nothing; it is refused as a mistake.
        if (deleted_[block]) {
            problem(path + ".block", "block \"" + name + "\" was deleted by an earlier step");
            return;
        }
        if (kind == "delete") {
            deleted_[block] = true;
            return;
        }
        pendingSets.push_back(index);

        std::optional<std::set<std::string>>& names = fieldNames_[block];
        std::set<std::string> replaced;
        const Json& params = member(j, "parameters");
        fields(params, path + ".parameters", block);
        if (j.contains("parameters") && params.is_null()) {
            names = std::set<std::string>{};
        } else if (params.is_object()) {
            for (const auto& [key, value] : params.items()) {
                replaced.insert(key);
            }
        }
        const Json& remove = member(j, "remove");
        for (std::size_t i = 0; remove.is_array() && i < remove.size(); ++i) {
            if (!remove[i].is_string()) {
                continue;
            }
            const std::string itemPath = elementPath(path + ".remove", i);
            const std::string& field = remove[i].get_ref<const std::string&>();
            if (replaced.count(field) != 0) {
                problem(itemPath, "field \"" + field + "\" is both set and removed in this step");
            } else if (!names || names->erase(field) == 0) {
                problem(itemPath, "block \"" + name + "\" has no field \"" + field + "\" to remove");
            }
        }
        if (!replaced.empty()) {
            if (!names) {
                names = std::set<std::string>{};
            }
            names->insert(replaced.begin(), replaced.end());
        }
    }

    const Json& root_;
    std::map<std::string, std::size_t> byName_;
    std::vector<std::string> names_;
    std::map<double, std::size_t> byHandle_;
    // The mdlOutputs calls of the scenario so far (blocks times steps): bounded, so that a small file cannot
    // keep the tool busy for days.
    void outputsCalls(const Json& steps, const std::string& path) {
        const double count = steps.is_null() ? 10.0 : steps.is_number() ? steps.get<double>() : -1.0;
        if (!(count >= 0.0 && count <= static_cast<double>(kMaxSteps)) || scenarioCallsExceeded_) {
            return;  // not a step count: the schema reports it
        }
        const std::size_t blocks = member(root_, "blocks").is_array() ? member(root_, "blocks").size() : 0;
        outputsCalls_ += static_cast<unsigned long long>(count) * blocks;  // at most 10^6 times 10^8
        if (outputsCalls_ > static_cast<unsigned long long>(kMaxOutputsCalls)) {
            scenarioCallsExceeded_ = true;
            problem(path + ".steps", "the scenario's simulate steps call mdlOutputs " +
                                         std::to_string(outputsCalls_) +
                                         " times by now (blocks times steps), more than the limit of " +
                                         std::to_string(kMaxOutputsCalls));
        }
    }

    bool initialized_ = false;
    unsigned long long outputsCalls_ = 0;
    bool scenarioCallsExceeded_ = false;
    std::vector<std::optional<std::set<std::string>>> fieldNames_;  // per block as the scenario edits it
    std::vector<bool> deleted_;
};

std::optional<quonix::ExecSysAnswer> executionSystem(const Json& j) {
    if (j.is_null()) {
        return std::nullopt;  // korlix_get_execsys2 does not exist
    }
    // A key left out keeps its default value, so {"sysType": "wqm"} is enough to name the system.
    return quonix::ExecSysAnswer{j.value("errorText", ""), j.value("execSys", ""),
                                 j.value("sysType", "host")};
}

// An object of dialog fields: a text value is a text field, any other value a field without text.
std::vector<quonix::ParamField> fields(const Json& j) {
    std::vector<quonix::ParamField> out;
    for (const auto& [key, value] : j.items()) {
        out.push_back(quonix::ParamField{
            key, value.is_string() ? std::optional<std::string>(value.get<std::string>()) : std::nullopt});
    }
    return out;
}

// The model of a file that passed every check.
ModelDescription build(const std::string& file, const Json& root) {
    ModelDescription model;
    model.name = root.contains("model")
                     ? root["model"].get<std::string>()
                     : std::filesystem::path(file == kStandardInputName ? "stdin" : file).stem().string();
    std::optional<quonix::ExecSysAnswer> execSys = quonix::ExecSysAnswer{"", "", "host"};
    if (root.contains("executionSystem")) {
        execSys = executionSystem(root["executionSystem"]);
    }
    model.settings.sizesOnly = root.value("sizesOnly", false);
    if (root.contains("hostLimits") && root["hostLimits"].contains("maxPorts")) {
        model.settings.maxPorts = root["hostLimits"]["maxPorts"].get<int32_t>();
    }
    std::map<std::string, std::size_t> byName;
    std::set<double> handles;
    for (const Json& b : root["blocks"]) {
        quonix::BlockSpec blockSpec;
        blockSpec.name = b["name"].get<std::string>();
        byName.emplace(blockSpec.name, model.blocks.size());
        blockSpec.maskType = b.contains("maskType")
                                 ? std::optional<std::string>(b["maskType"].get<std::string>())
                                 : std::nullopt;
        blockSpec.handle = b.value("handle", 0.0);
        handles.insert(blockSpec.handle);
        if (b.contains("parameters")) {
            blockSpec.parameters =
                b["parameters"].is_null()
                    ? std::nullopt
                    : std::optional<std::vector<quonix::ParamField>>(fields(b["parameters"]));
        }
        blockSpec.sampleTime = b.value("sampleTime", -1.0);
        blockSpec.parameterCount = b.value("parameterCount", 2);
        blockSpec.executionSystem =
            b.contains("executionSystem") ? executionSystem(b["executionSystem"]) : execSys;
        model.blocks.push_back(std::move(blockSpec));
    }
    // Blocks without a handle get 1.0001, 2.0001, ... in model order, skipping handles given in the file.
    double next = 1.0;
    for (auto& blockSpec : model.blocks) {
        if (blockSpec.handle != 0.0) {
            continue;
        }
        while (handles.count(next + 0.0001) != 0) {
            next += 1.0;
        }
        blockSpec.handle = next + 0.0001;
        next += 1.0;
    }

    if (!root.contains("scenario")) {
        model.scenario = {
            ScenarioStep{ScenarioStep::Kind::Initialize, 0, false, {}, {}, std::nullopt, 10, ""},
            ScenarioStep{ScenarioStep::Kind::Generate, 0, false, {}, {}, std::nullopt, 10, ""}};
        return model;
    }
    static const std::map<std::string, ScenarioStep::Kind> kinds = {
        {"initialize", ScenarioStep::Kind::Initialize},
        {"delete", ScenarioStep::Kind::Delete},
        {"set", ScenarioStep::Kind::Set},
        {"simulate", ScenarioStep::Kind::Simulate},
        {"generate", ScenarioStep::Kind::Generate}};
    for (std::size_t i = 0; i < root["scenario"].size(); ++i) {
        const Json& j = root["scenario"][i];
        ScenarioStep step;
        step.kind = kinds.at(j["do"].get<std::string>());
        step.path = elementPath("scenario", i);
        step.block = j.contains("block") ? byName.at(j["block"].get<std::string>()) : 0;
        // Without "steps" a simulate step runs as many steps as the simulate command does by default.
        step.steps = j.value("steps", 10LL);
        if (j.contains("parameters")) {
            step.parametersNull = j["parameters"].is_null();
            step.parameters =
                step.parametersNull ? std::vector<quonix::ParamField>{} : fields(j["parameters"]);
        }
        if (j.contains("remove")) {
            step.remove = j["remove"].get<std::vector<std::string>>();
        }
        if (j.contains("sampleTime")) {
            step.sampleTime = j["sampleTime"].get<double>();
        }
        model.scenario.push_back(std::move(step));
    }
    return model;
}

}  // namespace

std::optional<std::string> outputsCallsProblem(long long steps, std::size_t blocks) {
    if (static_cast<unsigned long long>(steps) * blocks <=
        static_cast<unsigned long long>(kMaxOutputsCalls)) {
        return std::nullopt;
    }
    return std::to_string(steps) + " with " + std::to_string(blocks) +
           " blocks would call mdlOutputs more than " + std::to_string(kMaxOutputsCalls) + " times";
}

ModelDescription parseModel(const std::string& file, const std::string& content) {
    auto fail = [&file](std::string path, std::string message) {
        return ModelFileError(file, {Diagnostic{std::move(path), std::move(message), std::nullopt}});
    };
    StructureCheck structure;
    if (!Json::sax_parse(content, &structure, Json::input_format_t::json, true)) {
        if (!structure.syntaxError) {
            throw fail(structure.errorPath, structure.error);
        }
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
        throw fail("", "not valid JSON at line " + std::to_string(line) + ", column " +
                           std::to_string(column) + ": " + structure.error);
    }
    const Json root = Json::parse(content);
    if (!root.is_object()) {
        throw fail("", std::string("the model must be a JSON object, not ") + kindOf(root));
    }
    std::vector<Diagnostic> problems = std::move(structure.duplicates);
    for (Diagnostic& p : schemaProblems(root)) {
        problems.push_back(std::move(p));
    }
    Checks checks(root);
    checks.run();
    problems.insert(problems.end(), checks.problems.begin(), checks.problems.end());
    if (!problems.empty()) {
        sortByPlace(problems, root);
        throw ModelFileError(file, std::move(problems));
    }
    ModelDescription model = build(file, root);
    model.warnings = std::move(checks.warnings);
    sortByPlace(model.warnings, root);
    return model;
}

ModelDescription loadModelFile(const std::string& file) {
    const bool standardInput = file == "-";
    const std::string name = standardInput ? kStandardInputName : file;
    auto fail = [&name](const std::string& message) {
        return ModelFileError(name, {Diagnostic{"", message, std::nullopt}});
    };
    std::ifstream in;
    if (!standardInput) {
        std::error_code ec;
        const auto status = std::filesystem::status(file, ec);
        if (!std::filesystem::exists(status)) {
            throw fail("model file not found");
        }
        if (std::filesystem::is_directory(status)) {
            throw fail("is a directory, not a model file");
        }
        in.open(file, std::ios::binary);
        if (!in) {
            throw fail("cannot read the model file");
        }
    }
    std::istream& source = standardInput ? std::cin : in;
    std::string content;
    char buffer[65536];
    while (source.read(buffer, sizeof buffer) || source.gcount() > 0) {
        content.append(buffer, static_cast<std::size_t>(source.gcount()));
        if (content.size() > kMaxModelFileBytes) {
            throw fail("larger than " + std::to_string(kMaxModelFileBytes >> 20) + " MiB; not a model file");
        }
    }
    if (source.bad()) {
        throw fail("cannot read the model file");
    }
    return parseModel(name, content);
}

}  // namespace korlix_host

korlix::Error::Error(std::string file, std::vector<Diagnostic> problems)
    : std::runtime_error([&] {
          std::string text;
          for (const Diagnostic& p : problems) {
              text +=
                  (text.empty() ? "" : "\n") + (file.empty() ? std::string() : file + ": ") +
                  korlix_host::printable((p.path.empty() ? std::string() : p.path + ": ") + p.message, false);
          }
          return text;
      }()),
      file_(std::move(file)),
      problems_(std::move(problems)) {}
