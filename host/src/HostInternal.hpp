// Host-private declarations shared by the sources of libquonix. Nothing here is visible to modules.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "quonix/host.hpp"

// The array layout. Elements are stored column by column; a char array keeps one byte per element. Arrays
// come from the host's pool (Arrays.cpp) and go back to it when destroyed.
struct zvArray {
    zvClassID classId = zvDOUBLE_CLASS;
    std::array<std::size_t, 2> dims{0, 0};  // rows, columns
    std::vector<double> re;                 // double class: real parts
    std::vector<double> im;                 // double class: imaginary parts, empty unless complex
    bool complex = false;
    std::string chars;                    // char class
    std::vector<std::string> fieldNames;  // struct class
    std::vector<zvArray*> fieldValues;    // struct class: element-major, numel * fieldNames.size()
    // Struct class: when set, every name asked for with zvGetFieldNumber is added here (a copy does not).
    std::set<std::string>* fieldLookups = nullptr;
    bool live = false;  // created and not destroyed yet
};

namespace quonix::detail {

// Raised by zupErrMsgTxt. Deliberately not derived from std::exception, so that a module's
// "catch (const std::exception&)" does not swallow it; only the host's call sites catch it.
struct RaisedError {
    std::string text;
};

// A 1-by-N char array holding text (embedded zeros kept).
zvArray* createCharArray(std::string_view text);
// True for an array that was created and not destroyed yet.
bool isLive(const zvArray* array);
// What zvCreateDoubleScalar and zvDuplicateArray do, for the host's own use (no call of a module).
zvArray* createScalar(double value);
// A deep copy, or null when the array is not live.
zvArray* duplicateLive(const zvArray* array);

// Name of the block whose callback is running, for the "block" key of trace events (null outside).
const std::string* currentBlockName();
void setCurrentBlockName(const std::string* name);

// What the trace shows as "value" of a variable: a 1-by-1 real number or a text; null otherwise.
nlohmann::json traceValue(const zvArray* array);

// The model the evaluator answers from, or null.
const ModelQueries* modelQueries();

// Shortest decimal form that reads back to the same double ("1.0001", "3", "-0.5", "NaN", "Inf").
std::string formatNumber(double value);

}  // namespace quonix::detail

namespace quonix::detail {

// ---- workspaces (Workspace.cpp) ----

enum class Space { Global, Caller };

// A valid variable name: a letter, then letters, digits and underscores.
bool isValidName(std::string_view name);

// Destroys an array the host owns and knows to be live, without the check a module's pointer needs.
void destroyOwned(zvArray* array);
struct OwnedDeleter {
    void operator()(zvArray* array) const { destroyOwned(array); }
};
using OwnedArray = std::unique_ptr<zvArray, OwnedDeleter>;

// One variable name: its value in "global", its value in "caller" and whether "caller" declared it global.
struct Slot {
    std::string name;
    OwnedArray global;
    OwnedArray caller;
    bool declared = false;
};
// The slot of a name, or null for a name never used. Slots live until trimSlots drops them.
Slot* findSlot(const char* name);
// The slot of a valid name, made when missing.
Slot& slotFor(std::string_view name);
// Drops the slots that hold nothing, and every parsed command, when there are very many of them. Only
// called where no slot is in use: before a name is stored or a command is parsed.
void trimSlots();

// The variable as code in that workspace sees it (in "caller", a name declared global is the global one);
// null when missing. Owned by the workspace.
const zvArray* findVariable(Space space, const Slot& slot);
// Stores value (taking ownership) as the variable, replacing an old value.
void storeVariable(Space space, Slot& slot, zvArray* value);
// "global A": declares A global in "caller"; creates it in "global" as an empty double when missing.
void declareGlobal(Slot& slot);
// "clear global A": removes A from "global" and its declaration.
void clearGlobal(Slot& slot);
void clearAllGlobals();
// "clear A": removes A from "caller", or only its declaration when A is declared global.
void clearCaller(Slot& slot);
void clearAllCaller();

// ---- fault injection and call tracking (Faults.cpp) ----

// One host call made by a module, declared at the top of every host function that has a failure answer.
// It counts the call when a module is being called and no other host call is running (a host call made
// inside another is the host's own), raises when it is the call chosen to raise, and failed() says whether
// the function must give its failure answer instead of doing its work.
class HostCall {
  public:
    explicit HostCall(const char* name);
    ~HostCall();
    HostCall(const HostCall&) = delete;
    HostCall& operator=(const HostCall&) = delete;
    bool failed() const { return failed_; }

  private:
    bool failed_ = false;
};

// Marks a call into the module for as long as it lives: only calls made meanwhile are counted. Also tells the
// callback listener which block and callback run.
class ModuleCall {
  public:
    ModuleCall(const std::string& block, const char* callback);
    ~ModuleCall();
    ModuleCall(const ModuleCall&) = delete;
    ModuleCall& operator=(const ModuleCall&) = delete;
};

// ---- evaluator (Evaluator.cpp) ----

// Runs a statement list in the "caller" workspace; 0 when every statement succeeded.
int evaluate(const char* command);
// Drops every parsed command (they hold slots).
void forgetCommands();

}  // namespace quonix::detail
