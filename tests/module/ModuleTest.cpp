// The module as the host and a command-line user drive it, run on the probe copy of the module; then the
// registry and the workspace bridge, called directly against the stand-in host's evaluator.
#include <dlfcn.h>

#include <array>
#include <cmath>
#include <cstdio>

#include "HostFixture.hpp"
#include "ProbeBlock.hpp"
#include "framework/BaseFcn.hpp"
#include "services/Workspace.hpp"

namespace {

using korlix::BaseFcn;
using quonix::ArrayPtr;
using quonix::ExecSysAnswer;
using Calls = std::vector<std::string>;
namespace registry = korlix::registry;
using namespace korlix_test::flags;

const std::string kSelf = "ZUP level2 S-function \"korlix_qvblk\"";
const std::string kUnknownType =
    "Unknown KORLIX system type found (must be \"wqm\", \"host\", \"opalrt\" or  \"kvd\")!";

const char* const kCases = "tests/module/module_cases.json";

class ModuleEntryTest : public korlix_test::HostFixture {
  protected:
    std::string moduleToLoad() const override { return KORLIX_PROBE_MODULE_PATH; }

    // Calls the entry and answers the raised text, or nullopt when none was raised.
    std::optional<std::string> call(int nLeft, zvArray** left, std::vector<const zvArray*> right) {
        quonix::trace().clear();
        try {
            module_->entry()(nLeft, left, static_cast<int>(right.size()), right.data());
        } catch (...) {  // the host's own unwinding from zupErrMsgTxt
            const auto& events = quonix::trace().events();
            EXPECT_EQ(events.size(), 1u) << "nothing may run after a failed check: " << events.dump();
            return events.back().value("text", "");
        }
        return std::nullopt;
    }
    // A callback call for a host structure, the flag argument a row of one or two elements; answers the error
    // status it left.
    std::string callback(HostBlock& block, double flag, std::optional<double> second = {}) {
        block.errorStatus = nullptr;
        std::array<zvArray*, 2> left{nullptr, reinterpret_cast<zvArray*>(&block)};
        ArrayPtr empty(zvCreateDoubleMatrix(0, 0, zvREAL)),
            flagArg(zvCreateDoubleMatrix(1, second ? 2 : 1, zvREAL));
        zvGetPr(flagArg.get())[0] = flag, zvGetPr(flagArg.get())[second ? 1 : 0] = second.value_or(flag);
        call(-1, left.data(), {empty.get(), empty.get(), empty.get(), flagArg.get()});
        return block.errorStatus != nullptr ? block.errorStatus : "(none)";
    }
    using HostFixture::callback;

    // A probe object under the handle; for a new block when none is given (its mask type is never asked for).
    ProbeLog& addProbe(const std::string& name, int behaviour = kProbeQuiet,
                       std::optional<double> handle = {}) {
        void* lib = dlopen(KORLIX_PROBE_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD);
        auto insert = reinterpret_cast<void (*)(double, ProbeLog*, int)>(dlsym(lib, "korlixProbeInsert"));
        insert(handle ? *handle : addBlock("not asked", {}, -1.0, name).handle, &logs_[name], behaviour);
        dlclose(lib);
        return logs_[name];
    }

    std::map<std::string, ProbeLog> logs_;  // outlives the module, which TearDown unloads first
};

TEST_F(ModuleEntryTest, RegistrationArgumentChecks) {
    const std::string notInteger =
        "The 4th right hand argument, FLAG, passed to " + kSelf + " must be an integer";
    const std::string invalid = "Invalid flag passed to " + kSelf;
    // clang-format off
    struct Row { int nLeft, nRight; zvArray* flag; std::string message; };
    const Row rows[] = {
        {1, 3, zvCreateDoubleScalar(0), kSelf + " must be called with at least 4 right hand arguments"},
        {2, 4, zvCreateDoubleScalar(0), kSelf + " called with too many left hand arguments"},
        {1, 4, zvCreateDoubleScalar(0.5), notInteger}, {1, 4, zvCreateDoubleMatrix(1, 2, zvREAL), notInteger},
        {1, 4, zvCreateDoubleMatrix(1, 1, zvCOMPLEX), notInteger}, {1, 4, zvCreateString("0"), notInteger},
        {1, 4, zvCreateDoubleScalar(4294967296.0), notInteger}, {1, 4, zvCreateDoubleScalar(NAN), notInteger},
        {1, 4, zvCreateDoubleScalar(3), invalid}, {0, 4, zvCreateDoubleScalar(-1), invalid},
        // The edges of a signed 32-bit flag: whole numbers inside are flags (not 0), outside are not.
        {1, 4, zvCreateDoubleScalar(2147483647.0), invalid}, {1, 4, zvCreateDoubleScalar(2147483648.0), notInteger},
        {1, 4, zvCreateDoubleScalar(-2147483648.0), invalid}, {1, 4, zvCreateDoubleScalar(-2147483649.0), notInteger},
    };
    // clang-format on
    for (const Row& row : rows) {
        ArrayPtr empty(zvCreateDoubleMatrix(0, 0, zvREAL)), flag(row.flag);
        std::vector<const zvArray*> right{empty.get(), empty.get(), empty.get(), flag.get()};
        right.resize(static_cast<size_t>(row.nRight));
        std::array<zvArray*, 2> left{};
        EXPECT_EQ(call(row.nLeft, left.data(), right), row.message) << "row " << &row - rows;
        EXPECT_EQ(left[0], nullptr) << "row " << &row - rows;
    }
}

// A host structure must carry the module's own name; registration then resets the size fields and marks every
// S-function parameter not tunable.
TEST_F(ModuleEntryTest, RegistrationOfAHostStructure) {
    const ProbeLog& log = addProbe("b");
    quonix::BlockInstance other(*model_.find("b"), settings_), inst(*model_.find("b"), settings_);
    other.block().name = "other_sfun";
    other.registration(module_->entry());
    EXPECT_EQ(
        errorText(other),
        "S-function name mismatch. Name in source is \"#define S_FUNCTION_NAME korlix_qvblk\", whereas name "
        "of the S-function ZUP file is \"other_sfun\". The source needs to be updated");
    EXPECT_EQ(other.errorCallback(), "registration");
    EXPECT_TRUE(other.block().mdlInitializeSizes == nullptr && log.calls.empty());
    for (int field : {6, 8, 9, 10, 20, 22}) {
        inst.block().sizes[field] = 7;
    }
    inst.block().sfcnParamAttributes[0] = inst.block().sfcnParamAttributes[1] =
        HB_PARAM_TUNABLE | HB_PARAM_SIM_ONLY_TUNABLE;
    inst.registration(module_->entry());
    const std::vector<double>& v = inst.sizeVector();
    EXPECT_EQ((std::vector{v[6], v[8], v[9], v[10], v[20], v[22]}),
              (std::vector{1.0, 0.0, 0.0, 0.0, 0.0, 0.0}));
    EXPECT_EQ(inst.block().sfcnParamAttributes[0], HB_PARAM_NOT_TUNABLE);
    EXPECT_EQ(inst.block().sfcnParamAttributes[1], HB_PARAM_NOT_TUNABLE);
    // A host that cannot make the size vector: the registration raises saying so.
    std::string sizeVectorError;
    for (std::size_t k = 1; sizeVectorError.empty() && k < 100; ++k) {
        quonix::BlockInstance failing(*model_.find("b"), settings_);
        quonix::injectFault(k, quonix::FaultMode::Fail);
        failing.registration(module_->entry());
        if (quonix::injectedFaultCall() == "zvCreateDoubleMatrix") {
            sizeVectorError = errorText(failing);
        }
    }
    quonix::injectFault(0, quonix::FaultMode::Fail);
    EXPECT_EQ(sizeVectorError, kSelf + " could not create its size vector (zvCreateDoubleMatrix failed)");
}

TEST_F(ModuleEntryTest, CallbackFlags) {
    addBlock("KORLIXModelUpdate", {}, -1.0, "b");
    quonix::BlockInstance bare(*model_.find("b"), settings_);  // never registered: no callbacks
    quonix::BlockInstance& registered = initialize("b");       // callbacks set, but no block object
    for (HostBlock* block : {&bare.block(), &registered.block()}) {
        for (const auto& row :
             korlix_test::caseTable(kCases, "callbacks the module does not expect")) {  // 112.9: truncated
            EXPECT_EQ(callback(*block, row["flag"]), row["error"]) << row["flag"];
        }
        EXPECT_EQ(callback(*block, kVarHit),
                  "To have a variable sample time, you must define MDL_GET_TIME_OF_NEXT_VAR_HIT and add a "
                  "mdlGetTimeOfNextVarHit routine");
        EXPECT_EQ(callback(*block, kZeroCross),
                  "To have nonsampled zero crossings, you must define MDL_ZERO_CROSSINGS and have a "
                  "mdlZeroCrossings routine");
        for (double flag : {0.0, 102.0, 105.0, 118.0, 200.0, -101.0, 1e12}) {
            EXPECT_EQ(callback(*block, flag), "Invalid flag encountered in tarvel") << flag;
        }
    }
    EXPECT_EQ(callback(bare.block(), kStart), "Unexpected call to mdlStart");
    EXPECT_EQ(callback(bare.block(), kQrx), "Unexpected call to mdlQRX");
    // Without a block object the block callbacks do nothing; the block already carries its error.
    for (double flag : {kStart, kQrx, kTimes, kOutputs, kTerminate}) {
        EXPECT_EQ(callback(registered.block(), flag), "(none)") << flag;
    }
    EXPECT_EQ(callback(registered.block(), kTerminate, -1e12), "(none)")
        << "only the first element is the flag";
    std::array<zvArray*, 2> left{nullptr, reinterpret_cast<zvArray*>(&registered.block())};
    ArrayPtr terminate(zvCreateDoubleScalar(kTerminate));
    const zvArray* right[] = {nullptr, nullptr, nullptr, terminate.get()};
    registered.block().errorStatus = nullptr;
    module_->entry()(-1, left.data(), 3, right);  // a flag beyond the count given is no flag
    EXPECT_STREQ(registered.block().errorStatus, "Invalid flag encountered in tarvel");
    // mdlStart replaces the option word even when it finds no object.
    EXPECT_EQ(static_cast<uint32_t>(registered.block().sizes[HB_SIZE_OPTIONS]), unsigned{HB_OPTION_STARTED});
    // A host may call the registered callbacks through their slots instead: the same answers.
    HostBlock& b = registered.block();
    const std::pair<void (*)(HostBlock*), double> slots[] = {
        {b.mdlGetTimeOfNextVarHit, HB_CALL_GET_TIME_OF_NEXT_VAR_HIT},
        {b.mdlZeroCrossings, HB_CALL_ZERO_CROSSINGS},
        {b.mdlStart, HB_CALL_START},
        {b.mdlQRX, HB_CALL_QRX},
        {b.mdlTerminate, HB_CALL_TERMINATE},
        {b.mdlInitializeSampleTimes, HB_CALL_INITIALIZE_SAMPLE_TIMES}};
    for (const auto& [slot, flag] : slots) {
        b.errorStatus = nullptr;
        ASSERT_NE(slot, nullptr) << flag;
        slot(&b);
        const std::string viaSlot =
            b.errorStatus != nullptr ? b.errorStatus : "(none)";  // before the next call
        EXPECT_EQ(viaSlot, callback(b, flag)) << flag;
    }
}

// Argument 1 with another structure version, or not a column of two, is no host structure: the call is a
// command-line call, and the structure the address points to is left alone.
TEST_F(ModuleEntryTest, WrongStructureVersionIsACommandLineCall) {
    addBlock("KORLIXModelUpdate", {}, -1.0, "b");
    quonix::BlockInstance inst(*model_.find("b"), settings_);
    ArrayPtr empty(zvCreateDoubleMatrix(0, 0, zvREAL)), flag(zvCreateDoubleScalar(0));
    for (const auto& [rows, version] : {std::pair{2, HOST_BLOCK_VERSION - 1}, {1, HOST_BLOCK_VERSION}}) {
        ArrayPtr arg(
            zvCreateDoubleMatrix(static_cast<std::size_t>(rows), 2 / static_cast<std::size_t>(rows), zvREAL));
        zvGetPr(arg.get())[0] = static_cast<double>(reinterpret_cast<uintptr_t>(&inst.block()));
        zvGetPr(arg.get())[1] = version;
        std::array<zvArray*, 2> left{};
        EXPECT_EQ(call(1, left.data(), {empty.get(), arg.get(), empty.get(), flag.get()}), std::nullopt);
        EXPECT_EQ(inst.block().mdlInitializeSizes, nullptr);
        EXPECT_EQ(inst.block().sizes[HB_SIZE_VERSION], 0);
        ASSERT_NE(left[0], nullptr);
        EXPECT_EQ(zvGetPr(left[0])[HB_SIZE_VERSION], HOST_BLOCK_VERSION);
        zvDestroyArray(left[0]);
    }
}

// A refused mask type: no object, no parameter marked, no further query. The registration hook runs only
// for a structure that marks it.
TEST_F(ModuleEntryTest, RejectedMaskTypesAndTheRegistrationHook) {
    for (const std::string maskType : {"KORLIXSignalRead ", "KORLIXWQMConfig", ""}) {
        settings_.supportsRegistrationHook = maskType.empty();
        addBlock(maskType, {}, -1.0, "b" + maskType);
        quonix::trace().clear();
        quonix::BlockInstance& inst = initialize("b" + maskType);
        const auto& trace = quonix::trace().events();
        EXPECT_EQ(errorText(inst), "Invalid KORLIX MaskType found") << maskType;
        EXPECT_EQ(inst.block().sfcnParamAttributes[0] & HB_PARAM_NOT_TUNABLE, 0u) << maskType;
        EXPECT_EQ(trace.dump().find("korlix_get_execsys2"), std::string::npos) << trace.dump();
        EXPECT_EQ(trace[1].dump() == R"({"block":"b","call":"callMethod","method":280})", maskType.empty())
            << trace.dump();
    }
}

TEST_F(ModuleEntryTest, CallbackSequences) {
    const ExecSysAnswer host{"", "rt", "host"}, wqm{"", "", "wqm"};
    const std::string longText(2000, 'x'), cut = longText.substr(0, 1023), sizes = "mdlInitializeSizes",
                                           times = "mdlInitializeSampleTimes";
    const Calls both{"initializeSizes", "initializeSampleTimes"};
    // clang-format off
    struct Row { std::optional<ExecSysAnswer> atSizes, atSampleTimes; std::vector<int> flags; int32_t task;
                 Calls calls; std::string error = "", errorCallback = ""; };
    const Row rows[] = {
        {host, host, {kTimes}, 0, {"initializeSizes", "initializeSampleTimes", "initializeForHost"}},
        {host, std::nullopt, {kTimes}, 0, both, kUnknownType, times},
        {ExecSysAnswer{longText, "", "kvd"}, host, {kTimes}, 0, {}, cut, sizes},  // the type is valid
        {host, ExecSysAnswer{longText, "", "opalrt"}, {kTimes}, 0, both, cut, times},
        {wqm, wqm, {kTimes, kStart, kOutputs, kOutputs, kTerminate, kQrx}, 0,
         {"initializeSizes", "initializeSampleTimes", "start", "outputs 0", "outputs 0", "writeQRXRecord"}},
        {wqm, wqm, {kTimes, kOutputs}, -2, {"initializeSizes", "initializeSampleTimes", "outputs -2"}},
    };
    // clang-format on
    for (const Row& row : rows) {
        const std::string name = "row " + std::to_string(&row - rows);
        ProbeLog& log = addProbe(name);
        model_.find(name)->executionSystem = row.atSizes;
        quonix::BlockInstance& inst = initialize(name);
        model_.find(name)->executionSystem = row.atSampleTimes;
        inst.block().sizes[HB_SIZE_TASK_INDICATOR] = row.task;
        for (int flag : row.flags) {
            callback(inst, flag);
        }
        EXPECT_EQ(log.calls, row.calls) << name;
        EXPECT_EQ(errorText(inst), row.error) << name;
        EXPECT_EQ(inst.errorCallback(), row.errorCallback) << name;
    }
}

TEST_F(ModuleEntryTest, ObjectsLiveUntilTheirHandleGoesStaleOrTheModuleUnloads) {
    ProbeLog &a = addProbe("a"), &b = addProbe("b"), &c = addProbe("c"), &f = addProbe("f", kProbeThrows);
    auto destroyed = [&] { return std::vector{a.destroyed, b.destroyed, c.destroyed, f.destroyed}; };
    for (const char* name : {"a", "a", "b", "c"}) {  // a second size initialisation reuses the object
        initialize(name);
    }
    EXPECT_EQ(a.calls, (Calls{"initializeSizes", "initializeSizes"}));
    EXPECT_EQ(a.constructed, 1);
    EXPECT_EQ(errorText(initialize("f")), "KORLIX internal error: probe failure");
    EXPECT_EQ(instances_["f"]->errorCallback(), "registration");
    model_.find("a")->deleted = true;
    callback(*instances_["b"], kTerminate);  // terminating destroys nothing
    EXPECT_EQ(a.destroyed, 0);
    initialize("b");  // the sweep at the start of any size initialisation
    EXPECT_EQ(destroyed(), (std::vector{1, 0, 0, 0}));
    EXPECT_EQ(b.calls, (Calls{"initializeSizes", "initializeSizes"}));
    instances_.clear();
    module_.reset();
    EXPECT_EQ(destroyed(), (std::vector{1, 1, 1, 1}));
    EXPECT_EQ(dlopen(KORLIX_PROBE_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the module stays loaded";
}

// Command-line calls have no dispatcher, so their handle is 0.0; this host keeps every handle valid so that a
// probe object can look at the bare structure the module built.
struct EveryHandleValid : quonix::ModelQueries {
    std::optional<std::string> maskType(double) const override { return {}; }
    bool isHandle(double) const override { return true; }
    std::optional<ExecSysAnswer> executionSystem(double) const override { return {{"", "", "wqm"}}; }
};

TEST_F(ModuleEntryTest, CommandLineCallBuildsABareStructure) {
    EveryHandleValid queries;
    quonix::setModelQueries(&queries);
    std::shared_ptr<void> restore(nullptr, [this](void*) { quonix::setModelQueries(&model_); });
    ProbeLog& log = addProbe("bare", kProbeNegativeSizes, 0.0);
    std::vector<double> expected(38, 0.0);
    expected[5] = -1, expected[6] = 1, expected[15] = expected[18] = 4294967295.0;  // -1: signed, unsigned
    expected[19] = 5200229, expected[23] = 0x80002000;  // the version; the option word with 0x2000, unsigned
    ArrayPtr e(zvCreateDoubleMatrix(0, 0, zvREAL)), flag(zvCreateDoubleScalar(0));
    std::vector<const zvArray*> right{e.get(), e.get(), e.get(), flag.get(), flag.get(), e.get()};
    for (int nRight : {4, 5, 6}) {
        std::array<zvArray*, 1> left{};
        module_->entry()(0, left.data(), nRight, right.data());
        ArrayPtr sizes(left[0]);
        ASSERT_EQ(zvGetNumberOfElements(sizes.get()), 38u);
        EXPECT_EQ(std::vector(zvGetPr(sizes.get()), zvGetPr(sizes.get()) + 38), expected);
        HostBlock* S = log.lastBlock;
        ASSERT_TRUE(S != nullptr && S->numSFcnParams == nRight - 4);
        EXPECT_STREQ(S->name, "korlix_qvblk");
        EXPECT_TRUE(S->root == S && S->callMethod == nullptr && S->mdlInitializeSizes == nullptr);
        for (int i = 0; i < S->numSFcnParams; ++i) {
            EXPECT_EQ(S->sfcnParams[i], right[static_cast<size_t>(4 + i)]);
            EXPECT_EQ(S->sfcnParamAttributes[i], HB_PARAM_NOT_TUNABLE);
        }
        EXPECT_FALSE(S->setNumInputPorts(S, -1) || S->sizes[HB_SIZE_FLAGS] != 0);  // refused, nothing changed
        ASSERT_TRUE(S->setNumInputPorts(S, 3) && S->setNumOutputPorts(S, 0) && S->inputs != nullptr);
        EXPECT_EQ((std::vector{S->sizes[HB_SIZE_NUM_INPUTS], S->sizes[HB_SIZE_NUM_OUTPUTS],
                               S->sizes[HB_SIZE_FLAGS], S->inputs[2].width, S->inputs[2].dataTypeId}),
                  (std::vector{3, 0, 2, 0, 0}));
    }
    EXPECT_EQ(log.constructed, 1);
    EXPECT_EQ(log.calls.size(), 3u);
}

TEST_F(ModuleEntryTest, ModuleExportsOnlyTheEntryAndUnloads) {
    const std::string path = korlix_test::modulePath();
    FILE* pipe = popen(("nm -D --defined-only --format=just-symbols " + path).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string names(4096, '\0');
    names.resize(std::fread(names.data(), 1, names.size(), pipe));
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, "zupFunction\n");
    std::string error;
    EXPECT_NE(quonix::Module::load(path, error), nullptr) << error;
    EXPECT_EQ(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "the module stays loaded";
}

class ModuleWorkspaceTest : public korlix_test::HostFixture {
  protected:
    void SetUp() override {
        HostFixture::SetUp();
        handle_ = addBlock("KORLIXConfig", {}, -1.0, "b").handle;
        arraysBefore_ = quonix::liveArrayCount();
    }
    void TearDown() override {
        registry::destroyAll();
        EXPECT_EQ(quonix::liveArrayCount(), arraysBefore_) << "every host array is released";
        HostFixture::TearDown();
    }
    static Calls leftovers() {  // what the queries left in the two workspaces
        Calls names = quonix::workspaceVariables("global"), caller = quonix::workspaceVariables("caller");
        names.insert(names.end(), caller.begin(), caller.end());
        return names;
    }

    double handle_ = 0;
    std::size_t arraysBefore_ = 0;
    ProbeLog logs_[4];  // outlive the registry entries, which TearDown destroys
};

// Each query clears its own variables, also those of the same names that were there before.
TEST_F(ModuleWorkspaceTest, ProtocolOfEachQuery) {
    for (const char* name : {"BlockMaskType", "ErrMsg", "ExecSys", "SysType", "IsHandle"}) {
        quonix::ArrayPtr old(zvCreateString("old"));
        zupPutVariable("caller", ("KorLix_" + std::string(name)).c_str(), old.get());
    }
    registry::insert(handle_, std::make_unique<ProbeBlock>(logs_[0]));
    std::string execSys, error;
    int32_t code = 0;
    quonix::trace().clear();
    EXPECT_EQ(korlix::queryBlockMaskType(handle_), "KORLIXConfig");
    korlix::queryExecutionSystem(handle_, execSys, code, error);
    korlix::removeStaleBlocks();
    Calls lines;  // the calls, or the commands evaluated
    for (const auto& e : quonix::trace().events()) {
        const std::string call = e.value("call", ""), status = e.value("status", 0) ? " refused" : "";
        lines.push_back(call == "zupEvalString"
                            ? e.value("command", "") + status
                            : call + " " + e.value("workspace", "") + " " + e.value("name", "") + status);
        if (call == "zupPutVariable") {
            EXPECT_EQ(e["value"], handle_);
        }
    }
    EXPECT_EQ(lines, korlix_test::caseTable(kCases, "calls of the three queries").get<Calls>());
    EXPECT_EQ(leftovers(), Calls{});
    EXPECT_EQ(logs_[0].destroyed, 0);
    model_.find("b")->maskType = std::nullopt;
    EXPECT_EQ(korlix::queryBlockMaskType(handle_) + korlix::queryBlockMaskType(12345.0),
              "");  // none, no block
    EXPECT_EQ(leftovers(), Calls{});
}

// Rows of module_cases.json: the answer of korlix_get_execsys2 (null: no such function) and the execution
// system, code and error the query gives.
TEST_F(ModuleWorkspaceTest, ExecutionSystemAnswers) {
    for (const auto& row : korlix_test::caseTable(kCases, "execution system answers")) {
        const auto& answer = row["answer"];
        model_.find("b")->executionSystem =
            answer.is_null() ? std::optional<ExecSysAnswer>()
                             : ExecSysAnswer{answer["errorText"], answer["execSys"], answer["sysType"]};
        std::string execSys = "before", error = "before";
        int32_t code = 99;
        korlix::queryExecutionSystem(handle_, execSys, code, error);
        EXPECT_EQ(execSys + "|" + std::to_string(code) + "|" + error, row["result"]);
        EXPECT_EQ(leftovers(), Calls{}) << row["result"];
    }
    // clang-format off
    struct Var { zvArray* value; std::string result; };  // value null: no such variable
    const Var vars[] = {{zvCreateString("abc"), "1 abc"}, {zvCreateString(""), "1 "},
                        {zvCreateDoubleScalar(5), "0 unchanged"}, {nullptr, "0 unchanged"}};
    // clang-format on
    for (const Var& var : vars) {
        quonix::ArrayPtr value(var.value);
        if (value != nullptr) {
            zupPutVariable("caller", "V", value.get());
        }
        std::string text = "unchanged";
        EXPECT_EQ(std::to_string(korlix::getCallerVariableString("V", text)) + " " + text, var.result);
        quonix::clearWorkspaces();
    }
}

// The registry keeps one object per handle; the sweep asks about every handle before it removes any.
TEST_F(ModuleWorkspaceTest, RegistryAndStaleHandles) {
    korlix::removeStaleBlocks();
    EXPECT_TRUE(quonix::trace().events().empty()) << "an empty registry asks nothing";
    const double gone = addBlock("", {}, -1.0, "gone").handle;
    model_.find("gone")->deleted = true;
    for (std::size_t i = 0; i < 3; ++i) {  // 99.5 is no block at all
        registry::insert(std::vector{handle_, gone, 99.5}[i], std::make_unique<ProbeBlock>(logs_[i]));
    }
    BaseFcn* kept = registry::find(handle_);
    EXPECT_EQ(registry::insert(handle_, std::make_unique<ProbeBlock>(logs_[3])), kept);
    EXPECT_EQ(registry::insert(handle_, nullptr), kept);
    EXPECT_EQ(registry::handles(), (std::vector<double>{handle_, gone, 99.5}));
    quonix::trace().clear();
    korlix::removeStaleBlocks();
    EXPECT_EQ(registry::handles(), (std::vector<double>{handle_}));
    EXPECT_EQ((std::vector{logs_[0].destroyed, logs_[1].destroyed, logs_[2].destroyed, logs_[3].destroyed}),
              (std::vector{0, 1, 1, 1}));
    EXPECT_EQ(logs_[1].traceAtDestruction, 3u * 4u) << "every handle is asked about before any removal";
    EXPECT_EQ(leftovers(), Calls{});
    // Without a model the ishandle command fails and leaves nothing to read: the block is kept.
    quonix::setModelQueries(nullptr);
    korlix::removeStaleBlocks();
    quonix::setModelQueries(&model_);
    EXPECT_EQ(registry::handles(), (std::vector<double>{handle_}));
    for (double handle : {99.0, handle_, handle_}) {  // an unknown handle, then the same one twice
        registry::remove(handle);
    }
    EXPECT_EQ(registry::find(handle_), nullptr);
    EXPECT_EQ(logs_[0].destroyed, 1);
}

}  // namespace
