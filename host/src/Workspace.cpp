// The "global" and "caller" workspaces, the zup functions, the trace and the evaluator's view of the model.
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "HostInternal.hpp"

namespace {

struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
using VariableMap = std::unordered_map<std::string, quonix::ArrayPtr, NameHash, std::equal_to<>>;
using NameSet = std::unordered_set<std::string, NameHash, std::equal_to<>>;

struct HostState {
    VariableMap global;
    VariableMap caller;
    NameSet declaredGlobal;  // names declared global in "caller"
    const quonix::ModelQueries* queries = nullptr;
    const std::string* blockName = nullptr;
    quonix::Trace trace;
};

HostState& state() {
    static HostState host;
    return host;
}

VariableMap& variables(quonix::detail::Space space) {
    return space == quonix::detail::Space::Global ? state().global : state().caller;
}

bool isDeclared(std::string_view name) {
    const NameSet& declared = state().declaredGlobal;
    return !declared.empty() && declared.find(name) != declared.end();
}

// Parses "global"/"caller".
bool parseSpace(const char* workspace, quonix::detail::Space& space) {
    if (workspace == nullptr) {
        return false;
    }
    if (std::strcmp(workspace, "global") == 0) {
        space = quonix::detail::Space::Global;
        return true;
    }
    if (std::strcmp(workspace, "caller") == 0) {
        space = quonix::detail::Space::Caller;
        return true;
    }
    return false;
}

nlohmann::json callEvent(const char* call) {
    nlohmann::json event = {{"call", call}};
    if (const std::string* block = state().blockName) {
        event["block"] = *block;
    }
    return event;
}

nlohmann::json textOrNull(const char* text) {
    return text != nullptr ? nlohmann::json(text) : nlohmann::json();
}

}  // namespace

namespace quonix {

void Trace::add(nlohmann::json event) {
    if (enabled_) {
        events_.push_back(std::move(event));
    }
}

Trace& trace() {
    return state().trace;
}

void setModelQueries(const ModelQueries* queries) {
    state().queries = queries;
}

void clearWorkspaces() {
    state().global.clear();
    state().caller.clear();
    state().declaredGlobal.clear();
}

std::vector<std::string> workspaceVariables(const std::string& workspace) {
    detail::Space space{};
    std::vector<std::string> names;
    if (!parseSpace(workspace.c_str(), space)) {
        return names;
    }
    for (const auto& entry : variables(space)) {
        names.push_back(entry.first);
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace detail {

const ModelQueries* modelQueries() {
    return state().queries;
}
const std::string* currentBlockName() {
    return state().blockName;
}
void setCurrentBlockName(const std::string* name) {
    state().blockName = name;
}

nlohmann::json traceValue(const zvArray* array) {
    if (zvIsChar(array) != 0) {
        return array->chars;
    }
    if (zvIsNumeric(array) != 0 && !array->complex && array->re.size() == 1 && array->dims.size() == 2) {
        return array->re[0];
    }
    return nullptr;
}

bool isValidName(std::string_view name) {
    if (name.empty() || !((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

const zvArray* findVariable(Space space, std::string_view name) {
    if (space == Space::Caller && isDeclared(name)) {
        space = Space::Global;
    }
    const VariableMap& vars = variables(space);
    auto it = vars.find(name);
    return it != vars.end() ? it->second.get() : nullptr;
}

void storeVariable(Space space, std::string_view name, zvArray* value) {
    if (space == Space::Caller && isDeclared(name)) {
        space = Space::Global;
    }
    VariableMap& vars = variables(space);
    auto it = vars.find(name);
    if (it != vars.end()) {
        it->second.reset(value);
    } else {
        vars.emplace(std::string(name), ArrayPtr(value));
    }
}

void declareGlobal(std::string_view name) {
    // A caller variable of the same name would be hidden by the declaration for good; it is dropped.
    auto local = state().caller.find(name);
    if (local != state().caller.end()) {
        state().caller.erase(local);
    }
    if (!isDeclared(name)) {
        state().declaredGlobal.emplace(name);
    }
    if (state().global.find(name) == state().global.end()) {
        state().global.emplace(std::string(name), ArrayPtr(zvCreateDoubleMatrix(0, 0, zvREAL)));
    }
}

void clearGlobal(std::string_view name) {
    auto it = state().global.find(name);
    if (it != state().global.end()) {
        state().global.erase(it);
    }
    auto decl = state().declaredGlobal.find(name);
    if (decl != state().declaredGlobal.end()) {
        state().declaredGlobal.erase(decl);
    }
}

void clearAllGlobals() {
    state().global.clear();
    state().declaredGlobal.clear();
}

void clearCaller(std::string_view name) {
    auto decl = state().declaredGlobal.find(name);
    if (decl != state().declaredGlobal.end()) {
        state().declaredGlobal.erase(decl);
        return;
    }
    auto it = state().caller.find(name);
    if (it != state().caller.end()) {
        state().caller.erase(it);
    }
}

void clearAllCaller() {
    state().caller.clear();
    state().declaredGlobal.clear();
}

}  // namespace detail
}  // namespace quonix

using quonix::detail::Space;

extern "C" {

void zupErrMsgTxt(const char* text) {
    quonix::detail::RaisedError raised{text != nullptr ? text : ""};
    if (state().trace.enabled()) {
        nlohmann::json event = callEvent("zupErrMsgTxt");
        event["text"] = raised.text;
        state().trace.add(std::move(event));
    }
    throw raised;
}

int zupEvalString(const char* command) {
    int status = command != nullptr ? quonix::detail::evaluate(command) : 1;
    if (state().trace.enabled()) {
        nlohmann::json event = callEvent("zupEvalString");
        event["command"] = textOrNull(command);
        event["status"] = status;
        state().trace.add(std::move(event));
    }
    return status;
}

zvArray* zupGetVariable(const char* workspace, const char* name) {
    Space space{};
    zvArray* copy = nullptr;
    if (parseSpace(workspace, space) && name != nullptr) {
        copy = zvDuplicateArray(quonix::detail::findVariable(space, name));
    }
    if (state().trace.enabled()) {
        nlohmann::json event = callEvent("zupGetVariable");
        event["workspace"] = textOrNull(workspace);
        event["name"] = textOrNull(name);
        event["found"] = copy != nullptr;
        nlohmann::json value = quonix::detail::traceValue(copy);
        if (!value.is_null()) {
            event["value"] = std::move(value);
        }
        state().trace.add(std::move(event));
    }
    return copy;
}

int zupPutVariable(const char* workspace, const char* name, const zvArray* value) {
    Space space{};
    int status = 1;
    if (parseSpace(workspace, space) && name != nullptr && quonix::detail::isValidName(name) &&
        quonix::detail::isLive(value)) {
        quonix::detail::storeVariable(space, name, zvDuplicateArray(value));
        status = 0;
    }
    if (state().trace.enabled()) {
        nlohmann::json event = callEvent("zupPutVariable");
        event["workspace"] = textOrNull(workspace);
        event["name"] = textOrNull(name);
        nlohmann::json shown = quonix::detail::traceValue(quonix::detail::isLive(value) ? value : nullptr);
        if (!shown.is_null()) {
            event["value"] = std::move(shown);
        }
        if (status != 0) {
            event["status"] = status;
        }
        state().trace.add(std::move(event));
    }
    return status;
}

}  // extern "C"
