// The stand-in host's own C++ interface: what korlix-host and the tests use to load a module, lay out blocks,
// drive their callbacks and look at the result. Modules never include this header; they see only the C ABI
// of zv.h, zup.h and tarvel/host_block.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "quonix/zup.h"
#include "quonix/zv.h"
#include "tarvel/host_block.h"

namespace quonix {

// ---------------------------------------------------------------------------------------------------------
// Arrays owned by C++ code.

struct ArrayDeleter {
    void operator()(zvArray* a) const { zvDestroyArray(a); }
};
using ArrayPtr = std::unique_ptr<zvArray, ArrayDeleter>;

// ---------------------------------------------------------------------------------------------------------
// The model as the host's command language sees it: what get_param, ishandle and korlix_get_execsys2 answer.

// The three values korlix_get_execsys2 returns: error text, execution system text, system type text.
struct ExecSysAnswer {
    std::string errorText;
    std::string execSys;
    std::string sysType;
};

// Implemented by whoever owns the model (the driver's Model below, or a test). Handles are compared exactly.
class ModelQueries {
  public:
    virtual ~ModelQueries() = default;
    // get_param(h,'MaskType'): the text, or nullopt when the call fails (unknown or deleted handle, or a
    // block without a mask type).
    virtual std::optional<std::string> maskType(double handle) const = 0;
    // ishandle(h): true for the handle of a block that exists and has not been deleted.
    virtual bool isHandle(double handle) const = 0;
    // korlix_get_execsys2(h): the answer, or nullopt when the call fails (function missing for this block,
    // or unknown handle).
    virtual std::optional<ExecSysAnswer> executionSystem(double handle) const = 0;
};

// ---------------------------------------------------------------------------------------------------------
// Process-wide host state: the two workspaces, the evaluator's view of the model, the trace.
// The host is single-threaded, like the real one.

class Trace {
  public:
    // Events a sink is handed as they happen.
    using Sink = std::function<void(const nlohmann::json& event)>;

    // Keeps the events for events() (the report's trace).
    void setEnabled(bool on) { keep_ = on; }
    // Hands every event to `sink` as it happens, kept or not; an empty sink stops that.
    void setSink(Sink sink) { sink_ = std::move(sink); }
    // Whether anybody wants events: they are kept, or a sink takes them.
    bool enabled() const { return keep_ || static_cast<bool>(sink_); }
    // One event (an object with "call" or "callback"). Besides the events of the report, a raised error
    // shows as {"call": "zupErrMsgTxt", "text"} and a refused zupPutVariable carries "status": 1.
    void add(nlohmann::json event);
    // The end of the callback the last {"callback"} event of the block began: {"callbackEnd", "block"}, for
    // the sink only (the report lists each callback once, where it begins).
    void endCallback(const std::string& callback, const std::string& block);
    const nlohmann::json& events() const { return events_; }
    void clear() { events_ = nlohmann::json::array(); }

  private:
    bool keep_ = false;
    Sink sink_;
    nlohmann::json events_ = nlohmann::json::array();
};

// Sets the model the evaluator answers from (null: every get_param/ishandle/korlix_get_execsys2 call fails).
// The caller keeps ownership and must reset it before the object dies.
void setModelQueries(const ModelQueries* queries);
Trace& trace();
// Removes every variable of both workspaces and every global declaration.
void clearWorkspaces();
// Names of the variables in "global" or "caller", sorted; empty for an unknown workspace.
std::vector<std::string> workspaceVariables(const std::string& workspace);
// Frees every zvCalloc block not freed yet (host shutdown). Returns how many were released.
std::size_t releaseHostMemory();
// Number of zvArray objects alive (created and not destroyed), for leak checks in tests.
std::size_t liveArrayCount();

// ---------------------------------------------------------------------------------------------------------
// Fault injection, for tests and scripts: the host counts the calls a module makes that have a failure answer
// (array creation and copies, zvArrayToString, zvCalloc, field lookups, zupEvalString, zupGetVariable,
// zupPutVariable, and in the block structure the port setters, the method dispatcher and the record writers)
// and makes one of them fail. Calls the host makes itself, or that one host call makes inside another, are
// not counted. Releases and plain queries of a live array cannot fail and are not counted either.

enum class FaultMode {
    Fail,   // the call answers its failure value (null, -1, a non-zero status, 0 from a structure function)
    Raise,  // the call raises as zupErrMsgTxt does, with the text "injected fault in <call>"
};

// From now on, count calls from 1 and make call number `call` fail in `mode`; 0 disables. Resets the count.
// The environment variable QUONIX_FAULT ("K:fail" or "K:raise") sets the same when the host starts.
void injectFault(std::size_t call, FaultMode mode);
// Calls counted since the last injectFault.
std::size_t faultableCallCount();
// The name of the call that was made to fail ("zupPutVariable", "callMethod"...), empty while none was.
const std::string& injectedFaultCall();

// A listener told about every callback the host is about to make into the module (the registration call as
// "mdlInitializeSizes"), with the block's name; null removes it. For a driver that must name the block and
// callback in which a module crashed.
using CallbackListener = void (*)(const std::string& block, const char* callback);
void setCallbackListener(CallbackListener listener);

// ---------------------------------------------------------------------------------------------------------
// A loaded module.

class Module {
  public:
    // dlopen(path) and look up zupFunction. On failure returns null and sets error to one clear message that
    // names the path (and the symbol, when it is the symbol that is missing).
    static std::unique_ptr<Module> load(const std::string& path, std::string& error);
    ~Module();  // dlclose: the module's unload handlers run here
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    zupFunctionType entry() const { return entry_; }
    const std::string& path() const { return path_; }

  private:
    Module() = default;
    void* handle_ = nullptr;
    zupFunctionType entry_ = nullptr;
    std::string path_;
};

// ---------------------------------------------------------------------------------------------------------
// Blocks and the driver.

// One field of the block parameter structure: a text, or a value that holds no text (number, logical...).
struct ParamField {
    std::string name;
    std::optional<std::string> text;  // nullopt: the field holds a 1-by-1 double 0 (no text)
};

// What the host knows about one block before it calls the module.
struct BlockSpec {
    std::string name;                     // unique in the model
    double handle = 0.0;                  // never 0 for a real block
    std::optional<std::string> maskType;  // nullopt: get_param fails for this block
    // The block parameter structure: nullopt is an empty structure holding no data (0-by-0 struct).
    std::optional<std::vector<ParamField>> parameters = std::vector<ParamField>{};
    double sampleTime = -1.0;
    // How many S-function parameters the host passes: 0 none, 1 the structure, 2 structure and sample
    // time, more: extra 1-by-1 zeros.
    int parameterCount = 2;
    // korlix_get_execsys2's answer; nullopt: the function does not exist.
    std::optional<ExecSysAnswer> executionSystem = ExecSysAnswer{"", "", "host"};
    bool deleted = false;  // ishandle gives 0, get_param fails
};

// Limits over all blocks of a model together, kept by the driver and shared by their BlockInstances: the
// ports of one model update and the record of one code generation. Without them a small model file could make
// the host hold gigabytes. A port setter or record writer that would pass a limit refuses (answers false or
// 0) and the block's error names the limit, whatever the module reports.
struct ModelBudget {
    std::size_t maxPorts = 65536;            // inputs and outputs of all blocks
    std::size_t maxRecordBytes = 16u << 20;  // texts and values handed to the record writers
    std::size_t ports = 0;                   // in use; the driver resets it before a model update
    std::size_t recordBytes = 0;             // in use; the driver resets it before a code generation
};

// Host-wide settings of one model update.
struct HostSettings {
    bool sizesOnly = false;                // simulation mode 1
    int32_t maxPorts = 1024;               // port setters refuse a negative count or one above this
    bool supportsRegistrationHook = true;  // mark method 280 in every block structure
    bool provideSetNumModes = true;        // offer the setter of size field 22
    ModelBudget* budget = nullptr;         // the model's limits; none when null
    // A real host sets the block's error when it refuses a call (a port count, a record entry it cannot read,
    // a call that failed), so that a module that simply returns on a refusal loses nothing unseen.
    // korlix-host does the same; tests of a module's own reaction to a refusal leave it off.
    bool refusalsAreErrors = false;
};

// One call a block's mdlQRX made to the record writers, as the report lists it:
// {"text": "..."} or {"pair": {"kind", "name", "value", "dataTypeId", "rows", "columns"}}.
using RecordEntry = nlohmann::json;

// A name or text as one line of a terminal or of a comment line: a line end shows as \n, a tab as \t, a
// carriage return as \r, any other control character (DEL included) as \xNN; all else stays as it is. The
// one escaper for names and texts that reach a terminal or a record-file comment line.
std::string escapeControls(std::string_view text);

// Renders one pair as a line of the record file: name, a blank, the value (texts quoted, with a double quote
// and a backslash escaped by a backslash; numbers in shortest decimal form, vectors [a, b], matrices
// [a, b; c, d], complex a+bi). Kind 0 texts are written bare.
std::string renderRecordPair(const nlohmann::json& pair);

// The live host structure of one block with everything it points to. Each model update (initialize) gets a
// fresh one; handles and module-side objects persist across them.
class BlockInstance {
  public:
    // Throws std::invalid_argument when the parameter fields have an empty or repeated name.
    BlockInstance(BlockSpec blockSpec, const HostSettings& settings);
    ~BlockInstance();
    BlockInstance(const BlockInstance&) = delete;
    BlockInstance& operator=(const BlockInstance&) = delete;

    // The block description the instance was made from, without its parameters: the dialog lives on only in
    // the parameter structure the module reads, its field names in parameterNames().
    const BlockSpec& blockSpec() const { return spec_; }
    // The names of the dialog's fields, in the dialog's order.
    const std::vector<std::string>& parameterNames() const;
    HostBlock& block() { return *block_; }
    const HostBlock& block() const { return *block_; }

    // The registration call: right-hand arguments as the host passes them (argument 1 the 2-by-1 double with
    // the structure's address and 5200229, argument 3 the flag 0), the size vector read back from result
    // slot 0 into sizeVector(). A raised error (zupErrMsgTxt) becomes error() with errorCallback
    // "registration"; a set error status becomes error() with "mdlInitializeSizes".
    void registration(zupFunctionType entry);
    // A callback call (nLeft < 0, slot 1 the structure, argument 3 the flag). Does nothing once the block has
    // an error. Flags: 101 mdlInitializeSampleTimes, 104 mdlOutputs, 107 mdlTerminate, 117 mdlStart,
    // 119 mdlQRX (the record writers are set for this call only; record() is emptied first), or any other
    // number (named "flag N" in the trace and in errorCallback). A C++ exception that escapes the module
    // becomes the block's error as well.
    void callback(zupFunctionType entry, int flag);

    bool hasError() const { return error_.has_value(); }
    const std::optional<std::string>& error() const { return error_; }
    const std::string& errorCallback() const { return errorCallback_; }
    const std::vector<double>& sizeVector() const { return sizeVector_; }
    const std::vector<RecordEntry>& record() const { return record_; }
    // Empties record() once the caller has what it needs from it: a large model's entries need not all be
    // held at once.
    void releaseRecord() { std::vector<RecordEntry>().swap(record_); }
    // Every field name the module asked the parameter structure for (zvGetFieldNumber), found or not, since
    // this instance was created: a dialog field not among them was never read.
    const std::set<std::string>& fieldLookups() const;
    // Host writers answer this instead of 1 (to test a refusing host); 1 by default.
    void setWriterResult(int32_t result) { writerResult_ = result; }
    // Installs the host's record writers in the structure outside mdlQRX, for tests that call the module's
    // writer layer directly; calls are collected into record() as during mdlQRX. endRecordCapture removes
    // the writers again.
    void beginRecordCapture();
    void endRecordCapture();

    // The report object for this block, its keys in reading order (nested objects too); withRecord false
    // leaves "record" empty, deleted adds "deleted": true after the mask type.
    nlohmann::ordered_json report(bool withRecord = true, bool deleted = false) const;

  private:
    struct Impl;
    BlockSpec spec_;
    HostSettings settings_;
    HostModelInfo modelInfo_{};
    std::unique_ptr<HostBlock> block_;
    std::unique_ptr<Impl> impl_;
    std::optional<std::string> error_;
    std::string errorCallback_;
    std::vector<double> sizeVector_;
    std::vector<RecordEntry> record_;
    int32_t writerResult_ = 1;
    std::optional<std::string> hostError_;  // the host's own error for the running callback (a refusal)
    friend struct BlockInstanceAccess;
};

// A model: blocks in model order and their answers to the command language. Installs itself as the
// evaluator's ModelQueries while it lives.
class Model : public ModelQueries {
  public:
    explicit Model(std::string name);
    ~Model() override;
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    const std::string& name() const { return name_; }
    // Adds a block; a handle of 0 gets the next free host handle (1.0001, 2.0001, ...). Throws
    // std::invalid_argument for a name or a handle that another block already has.
    BlockSpec& addBlock(BlockSpec blockSpec);
    std::vector<BlockSpec>& blocks() { return blocks_; }
    BlockSpec* find(const std::string& blockName);

    std::optional<std::string> maskType(double handle) const override;
    bool isHandle(double handle) const override;
    std::optional<ExecSysAnswer> executionSystem(double handle) const override;

  private:
    // Mixes the bits of a handle: the standard hash of a double runs a byte hash over them.
    struct HandleHash {
        std::size_t operator()(double handle) const;
    };
    const BlockSpec* byHandle(double handle) const;
    std::string name_;
    std::vector<BlockSpec> blocks_;
    // Model positions by handle and by name: the stale-handle sweep asks about every block at every size
    // initialisation, so these lookups must not walk the model. Names and handles do not change after
    // addBlock.
    std::unordered_map<double, std::size_t, HandleHash> byHandle_;
    std::unordered_map<std::string, std::size_t> byName_;
    // The same positions sorted by handle, for the command language's questions, made again after blocks
    // were added. A sweep asks in ascending handle order, so one search runs along the path of the one
    // before and the blocks are read in model order, where a hash lookup would miss the cache every time.
    mutable std::vector<std::pair<double, std::size_t>> sortedHandles_;
    mutable bool sortedStale_ = false;
    mutable std::size_t lastFound_ = 0;  // where the last question found its handle
    long nextHandle_ = 1;
};

// Renders the record file: a header naming the model, then for every block with a non-empty record, in the
// order given, a section line naming the block, its handle and the byte length of its entries, then those
// entries: its texts as handed over and its pairs rendered by renderRecordPair.
std::string renderRecordFile(const std::string& modelName, const std::vector<const BlockInstance*>& blocks);
// The parts of renderRecordFile, for a caller that renders each block as soon as it generated: the header,
// and one block's section (empty when its record is).
std::string recordFileHeader(const std::string& modelName);
std::string renderRecordSection(const BlockInstance& block);

}  // namespace quonix
