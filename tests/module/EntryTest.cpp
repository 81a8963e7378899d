// The module's entry as the host and a command-line user call it: argument checks, callback flags, the size
// vector, what is asked of a block object and when, object lifetimes, and the export list. Runs on the probe
// copy of the module, whose probe objects record every operation.
#include <dlfcn.h>

#include <array>
#include <cstdio>

#include "HostFixture.hpp"
#include "ProbeBlock.hpp"

namespace {

using quonix::ArrayPtr;
using quonix::ExecSysAnswer;
using Calls = std::vector<std::string>;

const std::string kSelf = "ZUP level2 S-function \"korlix_qvblk\"";

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
    // A callback call for a host structure; answers the error status it left.
    std::string callback(HostBlock& block, double flag) {
        block.errorStatus = nullptr;
        std::array<zvArray*, 2> left{nullptr, reinterpret_cast<zvArray*>(&block)};
        ArrayPtr empty(zvCreateDoubleMatrix(0, 0, zvREAL)), flagArg(zvCreateDoubleScalar(flag));
        call(-1, left.data(), {empty.get(), empty.get(), empty.get(), flagArg.get()});
        return block.errorStatus != nullptr ? block.errorStatus : "(none)";
    }
    using HostFixture::callback;

    // A probe object under the handle; for a new block when none is given (its mask type is never asked for).
    ProbeLog& addProbe(const std::string& name, int behaviour = kProbeQuiet,
                       std::optional<double> handle = {}) {
        void* lib = dlopen(KORLIX_PROBE_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD);
        auto insert = reinterpret_cast<ProbeInsertFn>(dlsym(lib, "korlixProbeInsert"));
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
        {1, 4, zvCreateDoubleScalar(0.5), notInteger},
        {1, 4, zvCreateDoubleMatrix(1, 2, zvREAL), notInteger},
        {1, 4, zvCreateDoubleMatrix(1, 1, zvCOMPLEX), notInteger},
        {1, 4, zvCreateString("0"), notInteger},
        {1, 4, zvCreateDoubleScalar(4294967296.0), notInteger},
        {1, 4, zvCreateDoubleScalar(std::nan("")), notInteger},
        {1, 4, zvCreateDoubleScalar(3), invalid},
        {0, 4, zvCreateDoubleScalar(-1), invalid},
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
    EXPECT_EQ(other.block().mdlInitializeSizes, nullptr);
    EXPECT_EQ(log.calls, Calls{});
    for (int field : {6, 8, 9, 10, 20, 22}) {
        inst.block().sizes[field] = 7;
    }
    inst.block().sfcnParamAttributes[0] = inst.block().sfcnParamAttributes[1] = HB_PARAM_TUNABLE | 0x4;
    inst.registration(module_->entry());
    const std::vector<double>& v = inst.sizeVector();
    EXPECT_EQ((std::vector{v[6], v[8], v[9], v[10], v[20], v[22]}),
              (std::vector{1.0, 0.0, 0.0, 0.0, 0.0, 0.0}));
    EXPECT_EQ(inst.block().sfcnParamAttributes[0], HB_PARAM_NOT_TUNABLE);
    EXPECT_EQ(inst.block().sfcnParamAttributes[1], HB_PARAM_NOT_TUNABLE);
}

TEST_F(ModuleEntryTest, CallbackFlags) {
    addBlock("KORLIXModelUpdate", {}, -1.0, "b");
    quonix::BlockInstance bare(*model_.find("b"), settings_);  // never registered: no callbacks
    quonix::BlockInstance& registered = initialize("b");       // callbacks set, but no block object
    // clang-format off
    const std::map<double, std::string> unexpected = {  // "Unexpected call to mdl" and the name
        {111, "SetWorkWidths"}, {112, "CheckParameters"}, {112.9, "CheckParameters"},  // the flag is truncated
        {113, "SetInputPortDataType"}, {114, "SetOutputPortDataType"}, {115, "SetInputPortWidth"},
        {116, "SetOutputPortWidth"}, {120, "SetInputPortComplexSignal"}, {121, "SetOutputPortComplexSignal"},
        {122, "SetInputPortSampleTime"}, {123, "SetOutputPortSampleTime"}, {126, "SetInputPortDimensionInfo"},
        {127, "SetOutputPortDimensionInfo"}, {128, "SetInputPortFrameData"}, {131, "SetDefaultPortDimensionInfo"},
        {132, "SetDefaultPortDataTypes"}, {133, "SetDefaultPortComplexSignals"},
        {142, "InitializePropagationPass"}, {144, "GetSimState (MDL_SIM_STATE not defined)"},
        {145, "SetSimState (MDL_SIM_STATE not defined)"}, {149, "SetInputPortSymbolicDimensions"},
        {150, "SetOutputPortSymbolicDimensions"}};
    // clang-format on
    for (HostBlock* block : {&bare.block(), &registered.block()}) {
        for (const auto& [flag, name] : unexpected) {
            EXPECT_EQ(callback(*block, flag), "Unexpected call to mdl" + name) << flag;
        }
        EXPECT_EQ(callback(*block, 103),
                  "To have a variable sample time, you must define MDL_GET_TIME_OF_NEXT_VAR_HIT and add a "
                  "mdlGetTimeOfNextVarHit routine");
        EXPECT_EQ(callback(*block, 108),
                  "To have nonsampled zero crossings, you must define MDL_ZERO_CROSSINGS and have a "
                  "mdlZeroCrossings routine");
        for (double flag : {0.0, 102.0, 105.0, 118.0, 200.0, -101.0, 1e12}) {
            EXPECT_EQ(callback(*block, flag), "Invalid flag encountered in tarvel") << flag;
        }
    }
    EXPECT_EQ(callback(bare.block(), 117), "Unexpected call to mdlStart");
    EXPECT_EQ(callback(bare.block(), 119), "Unexpected call to mdlQRX");
    // Without a block object the block callbacks do nothing; the block already carries its error.
    for (double flag : {117, 119, 101, 104, 107}) {
        EXPECT_EQ(callback(registered.block(), flag), "(none)") << flag;
    }
    // mdlStart replaces the option word even when it finds no object.
    EXPECT_EQ(static_cast<uint32_t>(registered.block().sizes[HB_SIZE_OPTIONS]), 0x200000u);
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
    const std::string unknown =
        "Unknown KORLIX system type found (must be \"wqm\", \"host\", \"opalrt\" or  \"kvd\")!";
    const Calls both{"initializeSizes", "initializeSampleTimes"};
    // clang-format off
    struct Row { std::optional<ExecSysAnswer> atSizes, atSampleTimes; std::vector<int> flags; int32_t taskIndicator;
                 Calls calls; std::string error, errorCallback; };
    const Row rows[] = {
        {host, host, {101}, 0, {"initializeSizes", "initializeSampleTimes", "initializeForHost"}, "", ""},
        {host, std::nullopt, {101}, 0, both, unknown, times},
        {ExecSysAnswer{longText, "", "kvd"}, host, {101}, 0, {}, cut, sizes},  // the type is valid
        {host, ExecSysAnswer{longText, "", "opalrt"}, {101}, 0, both, cut, times},
        {wqm, wqm, {101, 117, 104, 104, 107, 119}, 0,
         {"initializeSizes", "initializeSampleTimes", "start", "outputs 0", "outputs 0", "writeQRXRecord"}, "", ""},
        {wqm, wqm, {101, 104}, -2, {"initializeSizes", "initializeSampleTimes", "outputs -2"}, "", ""},
    };
    // clang-format on
    for (const Row& row : rows) {
        const std::string name = "row " + std::to_string(&row - rows);
        ProbeLog& log = addProbe(name);
        model_.find(name)->executionSystem = row.atSizes;
        quonix::BlockInstance& inst = initialize(name);
        model_.find(name)->executionSystem = row.atSampleTimes;
        inst.block().sizes[HB_SIZE_TASK_INDICATOR] = row.taskIndicator;
        for (int flag : row.flags) {
            callback(inst, flag);
        }
        EXPECT_EQ(log.calls, row.calls) << name;
        EXPECT_EQ(errorText(inst), row.error) << name;
        EXPECT_EQ(inst.errorCallback(), row.errorCallback) << name;
    }
}

TEST_F(ModuleEntryTest, ObjectsLiveUntilTheirHandleGoesStaleOrTheModuleUnloads) {
    ProbeLog &a = addProbe("a"), &b = addProbe("b"), &c = addProbe("c"),
             &failing = addProbe("f", kProbeThrows);
    for (const char* name : {"a", "a", "b", "c"}) {  // a second size initialisation reuses the object
        initialize(name);
    }
    EXPECT_EQ(a.calls, (Calls{"initializeSizes", "initializeSizes"}));
    EXPECT_EQ(a.constructed, 1);
    EXPECT_EQ(errorText(initialize("f")), "KORLIX internal error: probe failure");
    EXPECT_EQ(instances_["f"]->errorCallback(), "registration");
    model_.find("a")->deleted = true;
    callback(*instances_["b"], 107);  // terminating destroys nothing
    EXPECT_EQ(a.destroyed, 0);
    initialize("b");  // the sweep at the start of any size initialisation
    EXPECT_EQ((std::vector{a.destroyed, b.destroyed, c.destroyed, failing.destroyed}),
              (std::vector{1, 0, 0, 0}));
    EXPECT_EQ(b.calls, (Calls{"initializeSizes", "initializeSizes"}));
    instances_.clear();
    module_.reset();
    EXPECT_EQ((std::vector{a.destroyed, b.destroyed, c.destroyed, failing.destroyed}),
              (std::vector{1, 1, 1, 1}));
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
    expected[HB_SIZE_NUM_SAMPLE_TIMES] = 1;
    expected[5] = -1;                      // signed field
    expected[15] = 4294967295.0;           // unsigned field
    expected[HB_SIZE_VERSION] = 5200229;   // structure version
    expected[23] = 2147483648.0 + 0x2000;  // option word, unsigned, with the registration bit
    ArrayPtr empty(zvCreateDoubleMatrix(0, 0, zvREAL)), flag(zvCreateDoubleScalar(0));
    std::vector<const zvArray*> right{empty.get(), empty.get(), empty.get(),
                                      flag.get(),  flag.get(),  empty.get()};
    for (int nRight : {4, 5, 6}) {
        std::array<zvArray*, 1> left{};
        module_->entry()(0, left.data(), nRight, right.data());
        ArrayPtr sizes(left[0]);
        ASSERT_EQ(zvGetNumberOfElements(sizes.get()), 38u);
        EXPECT_EQ(std::vector(zvGetPr(sizes.get()), zvGetPr(sizes.get()) + 38), expected);
        HostBlock* S = log.lastBlock;
        ASSERT_NE(S, nullptr);
        ASSERT_EQ(S->numSFcnParams, nRight - 4);
        EXPECT_STREQ(S->name, "korlix_qvblk");
        EXPECT_TRUE(S->root == S && S->callMethod == nullptr && S->mdlInitializeSizes == nullptr);
        for (int i = 0; i < S->numSFcnParams; ++i) {
            EXPECT_EQ(S->sfcnParams[i], right[static_cast<size_t>(4 + i)]);
            EXPECT_EQ(S->sfcnParamAttributes[i], HB_PARAM_NOT_TUNABLE);
        }
        EXPECT_FALSE(S->setNumInputPorts(S, -1));
        EXPECT_EQ(S->sizes[HB_SIZE_FLAGS], 0);
        EXPECT_TRUE(S->setNumInputPorts(S, 3) && S->setNumOutputPorts(S, 0));
        const int32_t* sz = S->sizes;
        EXPECT_EQ((std::vector{sz[HB_SIZE_NUM_INPUTS], sz[HB_SIZE_NUM_OUTPUTS], sz[HB_SIZE_FLAGS]}),
                  (std::vector{3, 0, 2}));
        ASSERT_NE(S->inputs, nullptr);
        EXPECT_EQ((std::vector{S->inputs[2].width, S->inputs[2].dataTypeId}), (std::vector{0, 0}));
    }
    EXPECT_EQ(log.constructed, 1);
    EXPECT_EQ(log.calls.size(), 3u);
}

TEST_F(ModuleEntryTest, ModuleExportsOnlyTheEntryAndUnloads) {
    FILE* pipe = popen(
        ("nm -D --defined-only --format=just-symbols " + std::string(korlix_test::modulePath())).c_str(),
        "r");
    ASSERT_NE(pipe, nullptr);
    std::string names(4096, '\0');
    names.resize(std::fread(names.data(), 1, names.size(), pipe));
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, "zupFunction\n");
    std::string error;
    EXPECT_NE(quonix::Module::load(korlix_test::modulePath(), error), nullptr) << error;
    EXPECT_EQ(dlopen(korlix_test::modulePath(), RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the module stays loaded";
}

}  // namespace
