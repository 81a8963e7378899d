// The "global" and "caller" workspaces, the zup functions, the trace and the evaluator's view of the model.
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <set>

#include "HostInternal.hpp"

namespace {

// A workspace holds a handful of variables, and the module stores and clears the same few names thousands of
// times per model update. A flat list searched by name beats hashing here, and a cleared entry keeps its
// name's storage so that storing that name again allocates nothing.
class VariableList {
  public:
    zvArray* find(std::string_view name) const {
        for (const Entry& entry : entries_) {
            if (entry.value && entry.name == name) {
                return entry.value.get();
            }
        }
        return nullptr;
    }
    void store(std::string_view name, zvArray* value) {
        Entry* unused = nullptr;
        for (Entry& entry : entries_) {
            if (entry.name == name) {
                entry.value.reset(value);
                return;
            }
            if (!entry.value && unused == nullptr) {
                unused = &entry;
            }
        }
        if (unused != nullptr) {
            unused->name.assign(name);
            unused->value.reset(value);
        } else {
            entries_.push_back({std::string(name), quonix::ArrayPtr(value)});
        }
    }
    void erase(std::string_view name) {
        for (Entry& entry : entries_) {
            if (entry.name == name) {
                entry.value.reset();
            }
        }
    }
    void clear() { entries_.clear(); }
    template <typename F>
    void forEach(F f) const {
        for (const Entry& entry : entries_) {
            if (entry.value) {
                f(entry.name);
            }
        }
    }

  private:
    struct Entry {
        std::string name;
        quonix::ArrayPtr value;  // null: a cleared entry whose storage is kept for reuse
    };
    std::vector<Entry> entries_;
};

// Names declared global in "caller", kept the same way.
class NameList {
  public:
    bool empty() const { return count_ == 0; }
    bool contains(std::string_view name) const {
        for (const auto& [text, used] : names_) {
            if (used && text == name) {
                return true;
            }
        }
        return false;
    }
    void add(std::string_view name) {
        if (contains(name)) {
            return;
        }
        ++count_;
        for (auto& [text, used] : names_) {
            if (!used) {
                text.assign(name);
                used = true;
                return;
            }
        }
        names_.emplace_back(std::string(name), true);
    }
    bool erase(std::string_view name) {
        for (auto& [text, used] : names_) {
            if (used && text == name) {
                used = false;
                --count_;
                return true;
            }
        }
        return false;
    }
    void clear() {
        names_.clear();
        count_ = 0;
    }

  private:
    std::vector<std::pair<std::string, bool>> names_;
    std::size_t count_ = 0;
};

using VariableMap = VariableList;
using NameSet = NameList;

struct HostState {
    VariableMap global;
    VariableMap caller;
    NameSet declaredGlobal;  // names declared global in "caller"
    const quonix::ModelQueries* queries = nullptr;
    const std::string* blockName = nullptr;
    quonix::Trace trace;
};

// At namespace scope rather than inside a function: every host call reaches it several times, and a
// function's guarded static costs a call each time. Nothing uses it before the library is initialised.
HostState gHost;

HostState& state() {
    return gHost;
}

VariableMap& variables(quonix::detail::Space space) {
    return space == quonix::detail::Space::Global ? state().global : state().caller;
}

bool isDeclared(std::string_view name) {
    const NameSet& declared = state().declaredGlobal;
    return !declared.empty() && declared.contains(name);
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
    if (sink_) {
        sink_(event);
    }
    if (keep_) {
        events_.push_back(std::move(event));
    }
}

void Trace::endCallback(const std::string& callback, const std::string& block) {
    if (sink_) {
        sink_({{"callbackEnd", callback}, {"block", block}});
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
    variables(space).forEach([&names](const std::string& name) { names.push_back(name); });
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
    // 1: a letter, 2: a digit or an underscore.
    static constexpr auto kKinds = [] {
        std::array<unsigned char, 256> kinds{};
        for (int c = 'a'; c <= 'z'; ++c) {
            kinds[static_cast<std::size_t>(c)] = kinds[static_cast<std::size_t>(c - 'a' + 'A')] = 1;
        }
        for (int c = '0'; c <= '9'; ++c) {
            kinds[static_cast<std::size_t>(c)] = 2;
        }
        kinds[static_cast<std::size_t>('_')] = 2;
        return kinds;
    }();
    const auto kind = [](char c) { return kKinds[static_cast<unsigned char>(c)]; };
    return !name.empty() && kind(name[0]) == 1 &&
           std::all_of(name.begin() + 1, name.end(), [&kind](char c) { return kind(c) != 0; });
}

const zvArray* findVariable(Space space, std::string_view name) {
    if (space == Space::Caller && isDeclared(name)) {
        space = Space::Global;
    }
    return variables(space).find(name);
}

void storeVariable(Space space, std::string_view name, zvArray* value) {
    if (space == Space::Caller && isDeclared(name)) {
        space = Space::Global;
    }
    variables(space).store(name, value);
}

void declareGlobal(std::string_view name) {
    // A caller variable of the same name would be hidden by the declaration for good; it is dropped.
    state().caller.erase(name);
    state().declaredGlobal.add(name);
    if (state().global.find(name) == nullptr) {
        state().global.store(name, zvCreateDoubleMatrix(0, 0, zvREAL));
    }
}

void clearGlobal(std::string_view name) {
    state().global.erase(name);
    state().declaredGlobal.erase(name);
}

void clearAllGlobals() {
    state().global.clear();
    state().declaredGlobal.clear();
}

void clearCaller(std::string_view name) {
    if (!state().declaredGlobal.erase(name)) {
        state().caller.erase(name);
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
    const quonix::detail::HostCall call("zupEvalString");
    int status = command != nullptr && !call.failed() ? quonix::detail::evaluate(command) : 1;
    if (state().trace.enabled()) {
        nlohmann::json event = callEvent("zupEvalString");
        event["command"] = textOrNull(command);
        event["status"] = status;
        state().trace.add(std::move(event));
    }
    return status;
}

zvArray* zupGetVariable(const char* workspace, const char* name) {
    const quonix::detail::HostCall call("zupGetVariable");
    Space space{};
    zvArray* copy = nullptr;
    if (!call.failed() && parseSpace(workspace, space) && name != nullptr) {
        copy = quonix::detail::duplicateLive(quonix::detail::findVariable(space, name));
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
    const quonix::detail::HostCall call("zupPutVariable");
    Space space{};
    int status = 1;
    if (!call.failed() && parseSpace(workspace, space) && name != nullptr &&
        quonix::detail::isValidName(name) && quonix::detail::isLive(value)) {
        quonix::detail::storeVariable(space, name, quonix::detail::duplicateLive(value));
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
