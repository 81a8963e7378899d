// The host's small command language: statement lists of "global", "clear", "clear global" and assignments
// from calls of get_param, ishandle and korlix_get_execsys2. Commands are parsed once and cached by their
// text, because a model update sends the same few commands for every block; a text sent again from the same
// address is found without hashing it.
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <unordered_map>

#include "HostInternal.hpp"

namespace quonix::detail {
namespace {

struct Argument {
    bool quoted = false;  // a quoted text; otherwise a variable name
    std::string value;
    Slot* slot = nullptr;  // the variable's slot, once parsed
};

// An argument as a function sees it: a quoted text, or a variable's array.
struct Value {
    const std::string* text = nullptr;
    const zvArray* array = nullptr;
};

// What a call hands back: at most three arrays (korlix_get_execsys2's answer), owned until they are stored.
class Results {
  public:
    void add(zvArray* array) { items_[count_++].reset(array); }
    std::size_t size() const { return count_; }
    zvArray* release(std::size_t i) { return items_[i].release(); }

  private:
    std::array<ArrayPtr, 3> items_;
    std::size_t count_ = 0;
};

using Function = bool (*)(std::span<const Value> args, Results& results);

// The function a call names, or null for an unknown one (the call then fails when it runs).
Function lookUpFunction(std::string_view name);

struct Statement {
    enum class Kind { Global, ClearGlobal, Clear, Call };
    Kind kind = Kind::Call;
    std::vector<std::string> names;  // declared or cleared names, or the assignment targets
    std::vector<Slot*> slots;        // their slots, once parsed
    Function function = nullptr;
    std::vector<Argument> arguments;
};

// The statements parsed before the first syntax error; syntaxError marks that one more statement was
// there and failed. The statements in front of it still run, as each statement of a list is run in turn.
struct Program {
    std::vector<Statement> statements;
    bool syntaxError = false;
};

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {}

    Program parse() {
        Program program;
        while (true) {
            skipBlanks();
            if (atEnd()) {
                break;
            }
            if (isSeparator(peek())) {
                ++pos_;
                continue;
            }
            Statement statement;
            if (!parseStatement(statement)) {
                program.syntaxError = true;
                break;
            }
            program.statements.push_back(std::move(statement));
        }
        return program;
    }

  private:
    static bool isSeparator(char c) { return c == ';' || c == ',' || c == '\n' || c == '\r'; }
    static bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
    static bool isNameChar(char c) { return isLetter(c) || (c >= '0' && c <= '9') || c == '_'; }

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    void skipBlanks() {
        while (!atEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t')) {
            ++pos_;
        }
    }
    bool accept(char c) {
        skipBlanks();
        if (peek() == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool name(std::string& out) {
        skipBlanks();
        if (!isLetter(peek())) {
            return false;
        }
        std::size_t start = pos_;
        while (!atEnd() && isNameChar(text_[pos_])) {
            ++pos_;
        }
        out.assign(text_.substr(start, pos_ - start));
        return true;
    }
    // The statement must end here: at a separator or at the end of the text.
    bool statementEnds() {
        skipBlanks();
        return atEnd() || isSeparator(peek());
    }

    bool parseStatement(Statement& statement) {
        if (peek() == '[') {
            ++pos_;
            return parseTargetList(statement) && accept('=') && parseCall(statement) && statementEnds();
        }
        std::string first;
        if (!name(first)) {
            return false;
        }
        skipBlanks();
        if ((first == "global" || first == "clear") && peek() != '=' && peek() != '(') {
            return parseCommandWords(first, statement);
        }
        statement.names.push_back(std::move(first));
        return accept('=') && parseCall(statement) && statementEnds();
    }

    // "global A B", "clear A B", "clear global A B": names separated by blanks up to the statement's end.
    bool parseCommandWords(const std::string& command, Statement& statement) {
        statement.kind = command == "global" ? Statement::Kind::Global : Statement::Kind::Clear;
        while (!statementEnds()) {
            std::string word;
            if (!name(word)) {
                return false;
            }
            if (statement.kind == Statement::Kind::Clear && statement.names.empty() && word == "global") {
                statement.kind = Statement::Kind::ClearGlobal;
                continue;
            }
            statement.names.push_back(std::move(word));
        }
        // "global" alone declares nothing, which the language treats as a mistake.
        return statement.kind != Statement::Kind::Global || !statement.names.empty();
    }

    // "A,B C]" after the opening bracket: names separated by commas or blanks.
    bool parseTargetList(Statement& statement) {
        while (true) {
            std::string target;
            if (!name(target)) {
                return false;
            }
            statement.names.push_back(std::move(target));
            if (accept(']')) {
                return true;
            }
            accept(',');
        }
    }

    bool parseCall(Statement& statement) {
        statement.kind = Statement::Kind::Call;
        std::string function;
        if (!name(function) || !accept('(')) {
            return false;
        }
        statement.function = lookUpFunction(function);
        if (accept(')')) {
            return true;
        }
        while (true) {
            Argument argument;
            skipBlanks();
            if (peek() == '\'') {
                if (!quotedText(argument.value)) {
                    return false;
                }
                argument.quoted = true;
            } else if (!name(argument.value)) {
                return false;
            }
            statement.arguments.push_back(std::move(argument));
            if (accept(')')) {
                return true;
            }
            if (!accept(',')) {
                return false;
            }
        }
    }

    // 'text' with '' standing for one quote; the text may not run past the end of the line.
    bool quotedText(std::string& out) {
        ++pos_;
        while (!atEnd() && text_[pos_] != '\n') {
            char c = text_[pos_++];
            if (c != '\'') {
                out.push_back(c);
            } else if (peek() == '\'') {
                out.push_back('\'');
                ++pos_;
            } else {
                return true;
            }
        }
        return false;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// ---- functions ----

bool scalarOf(const Value& value, double& out) {
    // Variables are the host's own live arrays.
    const zvArray* array = value.array;
    if (array == nullptr || array->classId != zvDOUBLE_CLASS || array->complex || array->re.size() != 1) {
        return false;
    }
    out = array->re[0];
    return true;
}

bool textOf(const Value& value, std::string& out) {
    if (value.text != nullptr) {
        out = *value.text;
        return true;
    }
    if (value.array != nullptr && value.array->classId == zvCHAR_CLASS) {
        out = value.array->chars;
        return true;
    }
    return false;
}

bool getParam(std::span<const Value> args, Results& results) {
    double handle = 0.0;
    std::string parameter;
    const ModelQueries* queries = modelQueries();
    if (args.size() != 2 || queries == nullptr || !scalarOf(args[0], handle) || !textOf(args[1], parameter) ||
        parameter != "MaskType") {
        return false;
    }
    std::optional<std::string> maskType = queries->maskType(handle);
    if (!maskType) {
        return false;
    }
    results.add(createCharArray(*maskType));
    return true;
}

bool isHandle(std::span<const Value> args, Results& results) {
    const ModelQueries* queries = modelQueries();
    if (args.size() != 1 || queries == nullptr) {
        return false;
    }
    // Anything but one real number (a text, a vector) is not a handle: the answer is 0, not a failure.
    double handle = 0.0;
    bool valid = scalarOf(args[0], handle) && queries->isHandle(handle);
    results.add(createScalar(valid ? 1.0 : 0.0));
    return true;
}

bool executionSystem(std::span<const Value> args, Results& results) {
    double handle = 0.0;
    const ModelQueries* queries = modelQueries();
    if (args.size() != 1 || queries == nullptr || !scalarOf(args[0], handle)) {
        return false;
    }
    std::optional<ExecSysAnswer> answer = queries->executionSystem(handle);
    if (!answer) {
        return false;
    }
    results.add(createCharArray(answer->errorText));
    results.add(createCharArray(answer->execSys));
    results.add(createCharArray(answer->sysType));
    return true;
}

Function lookUpFunction(std::string_view name) {
    if (name == "get_param") {
        return &getParam;
    }
    if (name == "ishandle") {
        return &isHandle;
    }
    if (name == "korlix_get_execsys2") {
        return &executionSystem;
    }
    return nullptr;
}

bool call(const Statement& statement, Results& results) {
    // No function takes more than two arguments; a call with more fails without looking at them.
    constexpr std::size_t kMaxArguments = 2;
    std::array<Value, kMaxArguments> args;
    std::size_t count = 0;
    for (const Argument& argument : statement.arguments) {
        Value value;
        if (argument.quoted) {
            value.text = &argument.value;
        } else if ((value.array = findVariable(Space::Caller, *argument.slot)) == nullptr) {
            return false;  // unknown variable
        }
        if (count == kMaxArguments) {
            return false;
        }
        args[count++] = value;
    }
    return statement.function != nullptr && statement.function(std::span(args.data(), count), results);
}

bool run(const Statement& statement) {
    switch (statement.kind) {
        case Statement::Kind::Global:
            for (Slot* slot : statement.slots) {
                declareGlobal(*slot);
            }
            return true;
        case Statement::Kind::ClearGlobal:
            if (statement.names.empty()) {
                clearAllGlobals();
            }
            for (Slot* slot : statement.slots) {
                clearGlobal(*slot);
            }
            return true;
        case Statement::Kind::Clear:
            // "clear" without names empties the caller workspace (its variables and global declarations).
            if (statement.names.empty()) {
                clearAllCaller();
            }
            for (Slot* slot : statement.slots) {
                clearCaller(*slot);
            }
            return true;
        case Statement::Kind::Call: {
            Results results;
            if (!call(statement, results) || results.size() < statement.names.size()) {
                return false;  // sets none of the targets
            }
            for (std::size_t i = 0; i < statement.names.size(); ++i) {
                storeVariable(Space::Caller, *statement.slots[i], results.release(i));
            }
            return true;
        }
    }
    return false;
}

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// Parses a command and gives each variable it names its slot.
std::unique_ptr<Program> parsed(std::string_view text) {
    auto program = std::make_unique<Program>(Parser(text).parse());
    for (Statement& statement : program->statements) {
        for (const std::string& name : statement.names) {
            statement.slots.push_back(&slotFor(name));
        }
        for (Argument& argument : statement.arguments) {
            if (!argument.quoted) {
                argument.slot = &slotFor(argument.value);
            }
        }
    }
    return program;
}

// Parsed commands by their text. Bounded, so that a caller sending ever new texts cannot grow the host
// without limit.
class ProgramCache {
  public:
    const Program& find(const char* command) {
        // A module sends its commands from a few constant texts: the last texts seen are looked up by their
        // address first. The text itself is still compared, since a caller may reuse a buffer for another.
        Recent& recent = recent_[(reinterpret_cast<std::uintptr_t>(command) >> 3) % recent_.size()];
        if (recent.address == command && std::strcmp(recent.text->c_str(), command) == 0) {
            return *recent.program;
        }
        const std::string_view text(command);
        auto it = byText_.find(text);
        if (it == byText_.end()) {
            constexpr std::size_t kMaxCached = 4096;
            if (byText_.size() >= kMaxCached) {
                clear();
            }
            trimSlots();
            it = byText_.emplace(std::string(text), parsed(text)).first;
        }
        recent = {command, &it->first, it->second.get()};
        return *it->second;
    }

    void clear() {
        byText_.clear();
        recent_ = {};
    }

  private:
    struct Recent {
        const char* address = nullptr;
        const std::string* text = nullptr;
        const Program* program = nullptr;
    };
    std::unordered_map<std::string, std::unique_ptr<Program>, TextHash, std::equal_to<>> byText_;
    std::array<Recent, 16> recent_{};
};

ProgramCache& programs() {
    static ProgramCache cache;
    return cache;
}

}  // namespace

void forgetCommands() {
    programs().clear();
}

int evaluate(const char* command) {
    const Program& program = programs().find(command);
    for (const Statement& statement : program.statements) {
        if (!run(statement)) {
            return 1;
        }
    }
    return program.syntaxError ? 1 : 0;
}

}  // namespace quonix::detail
