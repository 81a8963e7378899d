// The "global" and "caller" workspaces, the zup functions, the trace and the evaluator's view of the model.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <unordered_map>

#include "HostInternal.hpp"

namespace {

using quonix::detail::Slot;

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// Every variable name the host has seen has one slot that holds its value in either workspace and its global
// declaration, so that commands, parsed once, reach their variables without looking a name up, and the
// module's fixed names are found by the address of their text. A workspace holds a handful of variables; the
// slots of names that hold nothing are dropped when there are too many of them (see trimSlots).
class SlotTable {
  public:
    Slot* find(const char* name) {
        Recent& recent = recent_[(reinterpret_cast<std::uintptr_t>(name) >> 3) % recent_.size()];
        if (recent.address == name && std::strcmp(recent.slot->name.c_str(), name) == 0) {
            return recent.slot;
        }
        Slot* slot = find(std::string_view(name));
        if (slot != nullptr) {
            recent = {name, slot};
        }
        return slot;
    }
    Slot* find(std::string_view name) const {
        const auto it = byName_.find(name);
        return it != byName_.end() ? it->second.get() : nullptr;
    }
    Slot& add(std::string_view name) {
        auto it = byName_.find(name);
        if (it == byName_.end()) {
            auto slot = std::make_unique<Slot>();
            slot->name.assign(name);
            it = byName_.emplace(slot->name, std::move(slot)).first;
        }
        return *it->second;
    }
    std::size_t size() const { return byName_.size(); }
    template <typename F>
    void forEach(F f) {
        for (auto& entry : byName_) {
            f(*entry.second);
        }
    }
    void dropEmpty() {
        recent_ = {};
        std::erase_if(byName_, [](const auto& entry) {
            const Slot& slot = *entry.second;
            return !slot.global && !slot.caller && !slot.declared;
        });
    }

  private:
    struct Recent {
        const char* address = nullptr;
        Slot* slot = nullptr;
    };
    std::unordered_map<std::string_view, std::unique_ptr<Slot>, TextHash, std::equal_to<>> byName_;
    std::array<Recent, 16> recent_{};
};

struct HostState {
    SlotTable slots;
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

quonix::detail::OwnedArray& valueIn(quonix::detail::Space space, Slot& slot) {
    return space == quonix::detail::Space::Global ? slot.global : slot.caller;
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
    detail::clearAllGlobals();
    detail::clearAllCaller();
}

std::vector<std::string> workspaceVariables(const std::string& workspace) {
    detail::Space space{};
    std::vector<std::string> names;
    if (!parseSpace(workspace.c_str(), space)) {
        return names;
    }
    state().slots.forEach([&](Slot& slot) {
        if (valueIn(space, slot)) {
            names.push_back(slot.name);
        }
    });
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

Slot* findSlot(const char* name) {
    return state().slots.find(name);
}

Slot& slotFor(std::string_view name) {
    return state().slots.add(name);
}

void trimSlots() {
    // Far more names than any module keeps: a caller sending ever new names cannot grow the host without
    // limit. The parsed commands hold slots, so they go first.
    constexpr std::size_t kMaxSlots = 16384;
    if (state().slots.size() >= kMaxSlots) {
        forgetCommands();
        state().slots.dropEmpty();
    }
}

const zvArray* findVariable(Space space, const Slot& slot) {
    return (space == Space::Caller && !slot.declared ? slot.caller : slot.global).get();
}

void storeVariable(Space space, Slot& slot, zvArray* value) {
    (space == Space::Caller && !slot.declared ? slot.caller : slot.global).reset(value);
}

void declareGlobal(Slot& slot) {
    // A caller variable of the same name would be hidden by the declaration for good; it is dropped.
    slot.caller.reset();
    slot.declared = true;
    if (!slot.global) {
        slot.global.reset(zvCreateDoubleMatrix(0, 0, zvREAL));
    }
}

void clearGlobal(Slot& slot) {
    slot.global.reset();
    slot.declared = false;
}

void clearAllGlobals() {
    state().slots.forEach([](Slot& slot) { clearGlobal(slot); });
}

void clearCaller(Slot& slot) {
    if (slot.declared) {
        slot.declared = false;
    } else {
        slot.caller.reset();
    }
}

void clearAllCaller() {
    state().slots.forEach([](Slot& slot) {
        slot.caller.reset();
        slot.declared = false;
    });
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
        if (const Slot* slot = quonix::detail::findSlot(name)) {
            copy = quonix::detail::duplicateLive(quonix::detail::findVariable(space, *slot));
        }
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
    if (!call.failed() && parseSpace(workspace, space) && name != nullptr) {
        // A name that has a slot is valid: slots are made only for valid names.
        Slot* slot = quonix::detail::findSlot(name);
        if (slot == nullptr && quonix::detail::isValidName(name)) {
            quonix::detail::trimSlots();
            slot = &quonix::detail::slotFor(name);
        }
        zvArray* copy = slot != nullptr ? quonix::detail::duplicateLive(value) : nullptr;
        if (copy != nullptr) {
            quonix::detail::storeVariable(space, *slot, copy);
            status = 0;
        }
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
