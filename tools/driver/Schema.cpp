#include "Schema.hpp"

#include <cmath>
#include <limits>
#include <memory>
#include <set>

#include <valijson/adapters/nlohmann_json_adapter.hpp>
#include <valijson/schema.hpp>
#include <valijson/schema_parser.hpp>
#include <valijson/validator.hpp>

namespace korlix_host {
namespace {

using Json = nlohmann::json;

const Json& schemaDocument() {
    static const Json document = Json::parse(modelSchemaText());
    return document;
}

const valijson::Schema& compiledSchema() {
    static const std::unique_ptr<valijson::Schema> schema = [] {
        auto s = std::make_unique<valijson::Schema>();
        valijson::SchemaParser parser(valijson::SchemaParser::kDraft7);
        valijson::adapters::NlohmannJsonAdapter adapter(schemaDocument());
        parser.populateSchema(adapter, *s);
        return s;
    }();
    return *schema;
}

// The validator reads nlohmann::json; a whole number written as 3.0 becomes the integer it is, so that
// "integer" accepts it as JSON Schema means it to.
Json forValidation(const nlohmann::ordered_json& j) {
    switch (j.type()) {
        case Json::value_t::object: {
            Json out = Json::object();
            for (const auto& [key, value] : j.items()) {
                out[key] = forValidation(value);
            }
            return out;
        }
        case Json::value_t::array: {
            Json out = Json::array();
            for (const auto& value : j) {
                out.push_back(forValidation(value));
            }
            return out;
        }
        case Json::value_t::number_float: {
            const double d = j.get<double>();
            constexpr double kLimit = 9007199254740992.0;  // whole doubles up to here are exact integers
            if (d == std::floor(d) && std::fabs(d) <= kLimit) {
                return static_cast<long long>(d);
            }
            return d;
        }
        case Json::value_t::string:
            return j.get<std::string>();
        case Json::value_t::boolean:
            return j.get<bool>();
        case Json::value_t::number_integer:
            return j.get<long long>();
        case Json::value_t::number_unsigned:
            return j.get<unsigned long long>();
        default:
            return nullptr;
    }
}

// A key of a schema object, or null when it has none.
const Json& member(const Json& node, const char* key) {
    static const Json none;
    return node.is_object() && node.contains(key) ? node[key] : none;
}

const Json* resolve(const Json* node) {
    // Only local references (#/definitions/NAME) occur in the model schema.
    while (node != nullptr && node->is_object() && node->contains("$ref")) {
        const std::string ref = (*node)["$ref"].get<std::string>();
        const std::string prefix = "#/definitions/";
        node =
            ref.rfind(prefix, 0) == 0 ? &schemaDocument()["definitions"][ref.substr(prefix.size())] : nullptr;
    }
    return node;
}

// Whether `instance` meets the "if" of a conditional branch: its required keys are there and its constant
// properties match.
bool meets(const Json& condition, const Json& instance) {
    if (!instance.is_object()) {
        return false;
    }
    for (const auto& key : member(condition, "required")) {
        if (!instance.contains(key.get<std::string>())) {
            return false;
        }
    }
    for (const auto& [key, rule] : member(condition, "properties").items()) {
        if (rule.contains("const") && instance.contains(key) && instance[key] != rule["const"]) {
            return false;
        }
    }
    return true;
}

// The node itself and the branches of its conditionals that apply to `instance`.
std::vector<const Json*> applicable(const Json* node, const Json& instance) {
    std::vector<const Json*> out;
    node = resolve(node);
    if (node == nullptr || !node->is_object()) {
        return out;
    }
    out.push_back(node);
    for (const auto& part : member(*node, "allOf")) {
        if (part.contains("if") && meets(part["if"], instance) && part.contains("then")) {
            out.push_back(&part["then"]);
        }
    }
    return out;
}

const Json* propertySchema(const Json* node, const Json& instance, const std::string& key) {
    const Json* extra = nullptr;
    for (const Json* n : applicable(node, instance)) {
        if (n->contains("properties") && (*n)["properties"].contains(key)) {
            const Json* p = &(*n)["properties"][key];
            if (!p->empty()) {
                return resolve(p);
            }
        }
        if (n->contains("additionalProperties") && (*n)["additionalProperties"].is_object()) {
            extra = &(*n)["additionalProperties"];
        }
    }
    return resolve(extra);
}

std::vector<std::string> knownKeys(const Json* node, const Json& instance) {
    std::set<std::string> keys;
    for (const Json* n : applicable(node, instance)) {
        for (const auto& [key, value] : member(*n, "properties").items()) {
            keys.insert(key);
        }
    }
    return {keys.begin(), keys.end()};
}

std::string numberText(double d) {
    Json j = d == std::floor(d) && std::fabs(d) < 1e15 ? Json(static_cast<long long>(d)) : Json(d);
    return j.dump();
}

std::string listText(const Json& values) {
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += (i == 0                   ? ""
                : i + 1 == values.size() ? " or "
                                         : ", ") +
               (values[i].is_string() ? values[i].get<std::string>() : values[i].dump());
    }
    return out;
}

// What the schema asks at a place, as the words after "must be".
std::string expected(const Json* node) {
    node = resolve(node);
    if (node == nullptr) {
        return "something else";
    }
    if (node->contains("enum")) {
        return "one of " + listText((*node)["enum"]);
    }
    Json types = member(*node, "type");
    if (types.is_string()) {
        types = Json::array({types});
    }
    std::string out;
    for (const auto& type : types) {
        const std::string t = type.get<std::string>();
        std::string word = t == "string"    ? "a text"
                           : t == "number"  ? "a number"
                           : t == "boolean" ? "true or false"
                           : t == "object"  ? "an object"
                           : t == "null"    ? "null"
                                            : t;
        if (t == "integer") {
            word = "a whole number";
            if (node->contains("minimum") && node->contains("maximum")) {
                word += " from " + numberText((*node)["minimum"].get<double>()) + " to " +
                        numberText((*node)["maximum"].get<double>());
            }
        } else if (t == "array") {
            const Json* items = resolve(node->contains("items") ? &(*node)["items"] : nullptr);
            word = items != nullptr && member(*items, "type") == "string" ? "an array of texts" : "an array";
        }
        out += (out.empty() ? "" : " or ") + word;
    }
    return out.empty() ? "something else" : out;
}

// The key a validator message names: "... constraints: 'KEY'." or "Missing required property 'KEY'.".
std::string quotedName(const std::string& description) {
    const std::size_t colon = description.find(": '");
    const std::size_t start = colon != std::string::npos ? colon + 2 : description.find('\'');
    const std::size_t end = description.rfind('\'');
    return start != std::string::npos && end > start ? description.substr(start + 1, end - start - 1)
                                                     : std::string();
}

// The place a validator error points at: its path, its value and the schema that applies there.
struct Place {
    std::string path;
    const Json* value = nullptr;
    const Json* schema = nullptr;
};

Place locate(const Json& document, const std::vector<std::string>& context) {
    Place place{"", &document, &schemaDocument()};
    for (std::size_t i = 1; i < context.size(); ++i) {
        std::string step = context[i];
        if (step.size() >= 2 && step.front() == '[' && step.back() == ']') {
            step = step.substr(1, step.size() - 2);
        }
        const Json& parent = *place.value;
        if (parent.is_array()) {
            const std::size_t index = std::stoul(step);
            place.path = elementPath(place.path, index);
            place.value = &parent[index];
            const Json* node = resolve(place.schema);
            place.schema = node != nullptr && node->contains("items") ? resolve(&(*node)["items"]) : nullptr;
        } else if (parent.is_object() && parent.contains(step)) {
            place.path = memberPath(place.path, step);
            place.value = &parent[step];
            place.schema = propertySchema(place.schema, parent, step);
        } else {
            break;
        }
        if (place.schema == nullptr) {
            break;
        }
    }
    return place;
}

std::optional<Diagnostic> describe(const Json& document, const valijson::ValidationResults::Error& error) {
    const std::string& d = error.description;
    const Place place = locate(document, error.context);
    const Json& value = *place.value;
    auto at = [&place](const std::string& path, std::string message) {
        return Diagnostic{path.empty() ? place.path : path, std::move(message), std::nullopt};
    };
    if (d.rfind("Object contains a property", 0) == 0) {
        const std::string key = quotedName(d);
        return at(memberPath(place.path, key),
                  "unknown key" + didYouMean(key, knownKeys(place.schema, value)));
    }
    if (d.rfind("Missing required property", 0) == 0) {
        return at(memberPath(place.path, quotedName(d)), "missing required key");
    }
    if (d.rfind("Value type not permitted", 0) == 0) {
        // A number of the wrong kind (2.5 for a whole number) is shown as itself.
        const std::string want = expected(place.schema);
        const bool wrongNumber = value.is_number() && want.rfind("a whole number", 0) == 0;
        if (wrongNumber && value.get<double>() == std::floor(value.get<double>())) {
            return at("", "must be " + want);  // whole, but too large to be taken as one: out of range
        }
        return at("",
                  "must be " + want + ", not " + (wrongNumber ? value.dump() : std::string(kindOf(value))));
    }
    if (d.rfind("Expected number", 0) == 0) {
        return at("", "must be " + expected(place.schema));
    }
    if (d.rfind("Failed to match against any enum values", 0) == 0) {
        const Json* node = resolve(place.schema);
        const Json& options = node != nullptr ? member(*node, "enum") : member(Json(), "enum");
        std::vector<std::string> names;
        for (const auto& o : options) {
            names.push_back(o.is_string() ? o.get<std::string>() : o.dump());
        }
        if (!value.is_string()) {
            return at("", "must be " + expected(place.schema) + ", not " + kindOf(value));
        }
        return at("", "\"" + value.get<std::string>() + "\" is not one of " + listText(options) +
                          didYouMean(value.get<std::string>(), names));
    }
    if (d.rfind("Target should not validate against schema specified in 'not'", 0) == 0) {
        const Json* node = resolve(place.schema);
        const Json* excluded = node != nullptr && node->contains("not") ? &(*node)["not"] : nullptr;
        return at("", excluded != nullptr && excluded->contains("const")
                          ? "must not be " + (*excluded)["const"].dump()
                          : std::string("is not allowed here"));
    }
    if (d.rfind("String should be no fewer than", 0) == 0) {
        return at("", "must not be empty");
    }
    // The rest only say that an enclosing value failed because of the errors above.
    if (d.rfind("Failed to validate", 0) == 0) {
        return std::nullopt;
    }
    return at("", d);
}

}  // namespace

std::vector<Diagnostic> schemaProblems(const nlohmann::ordered_json& document) {
    const Json copy = forValidation(document);
    valijson::Validator validator;
    valijson::ValidationResults results;
    valijson::adapters::NlohmannJsonAdapter adapter(copy);
    std::vector<Diagnostic> out;
    if (validator.validate(compiledSchema(), adapter, &results)) {
        return out;
    }
    std::set<std::pair<std::string, std::string>> seen;
    valijson::ValidationResults::Error error;
    while (results.popError(error)) {
        if (auto problem = describe(copy, error);
            problem && seen.emplace(problem->path, problem->message).second) {
            out.push_back(std::move(*problem));
        }
    }
    // Never pass a file the schema refused, even when no error named a place.
    if (out.empty()) {
        out.push_back(Diagnostic{"", "does not follow the model file's schema", std::nullopt});
    }
    return out;
}

}  // namespace korlix_host
