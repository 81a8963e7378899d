// What the framework asks of a block object and when: the callback sequence, the execution-system answers,
// the size vector, and the creation and destruction of objects. Runs on the probe copy of the module, whose
// block objects record every operation.
#include <dlfcn.h>

#include <array>

#include "HostFixture.hpp"
#include "ProbeBlock.hpp"

namespace {

using quonix::ExecSysAnswer;
using Calls = std::vector<std::string>;

const std::string kUnknownType =
    "Unknown KORLIX system type found (must be \"wqm\", \"host\", \"opalrt\" or  \"kvd\")!";

class ModuleLifecycleTest : public korlix_test::HostFixture {
  protected:
    std::string moduleToLoad() const override { return KORLIX_PROBE_MODULE_PATH; }

    void insertProbe(double handle, ProbeLog* log, int behaviour) {
        void* lib = dlopen(KORLIX_PROBE_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(lib, nullptr);
        auto insert = reinterpret_cast<ProbeInsertFn>(dlsym(lib, kProbeInsertSymbol));
        ASSERT_NE(insert, nullptr);
        insert(handle, log, behaviour);
        dlclose(lib);
    }
    // A block served by a probe object; its mask type is never asked for.
    ProbeLog& addProbe(const std::string& name, int behaviour = kProbeQuiet) {
        const double handle = addBlock("not asked", {}, -1.0, name).handle;
        insertProbe(handle, &logs_[name], behaviour);
        return logs_[name];
    }

    std::map<std::string, ProbeLog> logs_;  // outlives the module, which TearDown unloads first
};

TEST_F(ModuleLifecycleTest, CallbackSequences) {
    const ExecSysAnswer host{"", "rt", "host"}, wqm{"", "", "wqm"};
    const std::string longText(2000, 'x');
    struct Row {
        const char* label;
        std::optional<ExecSysAnswer> atSizes, atSampleTimes;
        std::vector<int> flags;
        int32_t taskIndicator;
        Calls calls;
        std::string error, errorCallback;
    };
    const Row rows[] = {
        {"host",
         host,
         host,
         {101},
         0,
         {"initializeSizes", "initializeSampleTimes", "initializeForHost"},
         "",
         ""},
        {"wqm", wqm, wqm, {101}, 0, {"initializeSizes", "initializeSampleTimes"}, "", ""},
        {"error text with a valid type",
         ExecSysAnswer{"no target", "", "kvd"},
         host,
         {101},
         0,
         {},
         "no target",
         "mdlInitializeSizes"},
        {"function gone at sample times",
         host,
         std::nullopt,
         {101},
         0,
         {"initializeSizes", "initializeSampleTimes"},
         kUnknownType,
         "mdlInitializeSampleTimes"},
        {"long text at sizes",
         ExecSysAnswer{longText, "", "host"},
         host,
         {101},
         0,
         {},
         longText.substr(0, 1023),
         "mdlInitializeSizes"},
        {"long text at sample times",
         host,
         ExecSysAnswer{longText, "", "opalrt"},
         {101},
         0,
         {"initializeSizes", "initializeSampleTimes"},
         longText.substr(0, 1023),
         "mdlInitializeSampleTimes"},
        {"simulation and code",
         wqm,
         wqm,
         {101, 117, 104, 104, 107, 119},
         0,
         {"initializeSizes", "initializeSampleTimes", "start", "outputs 0", "outputs 0", "writeQRXRecord"},
         "",
         ""},
        {"single task",
         wqm,
         wqm,
         {101, 104},
         -2,
         {"initializeSizes", "initializeSampleTimes", "outputs -2"},
         "",
         ""},
    };
    for (const Row& row : rows) {
        ProbeLog& log = addProbe(row.label);
        model_.find(row.label)->executionSystem = row.atSizes;
        quonix::BlockInstance& inst = initialize(row.label);
        model_.find(row.label)->executionSystem = row.atSampleTimes;
        inst.block().sizes[HB_SIZE_TASK_INDICATOR] = row.taskIndicator;
        for (int flag : row.flags) {
            callback(inst, flag);
        }
        EXPECT_EQ(log.calls, row.calls) << row.label;
        EXPECT_EQ(errorText(inst), row.error) << row.label;
        EXPECT_EQ(inst.errorCallback(), row.errorCallback) << row.label;
    }
}

TEST_F(ModuleLifecycleTest, RegistrationWritesSizesAndMarksParameters) {
    addProbe("b", kProbeNegativeSizes);
    quonix::BlockInstance inst(*model_.find("b"), settings_);
    for (int field : {6, 8, 9, 10, 20, 22}) {
        inst.block().sizes[field] = 7;
    }
    inst.block().sfcnParamAttributes[0] = inst.block().sfcnParamAttributes[1] = HB_PARAM_TUNABLE | 0x4;
    inst.registration(module_->entry());
    ASSERT_FALSE(inst.hasError()) << errorText(inst);

    std::vector<double> expected(38, 0.0);
    expected[HB_SIZE_NUM_SAMPLE_TIMES] = 1;
    expected[5] = -1;             // signed field
    expected[15] = 4294967295.0;  // unsigned field
    expected[19] = 5200229;
    expected[23] = 2147483648.0 + 0x2000;  // option word, unsigned, with the registration bit
    std::vector<double> got = inst.sizeVector();
    for (int field : {0, 1, 2, 3, 4, 7, 31}) {  // left to the host's presets
        got[static_cast<size_t>(field)] = 0;
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(inst.block().sfcnParamAttributes[0], HB_PARAM_NOT_TUNABLE);
    EXPECT_EQ(inst.block().sfcnParamAttributes[1], HB_PARAM_NOT_TUNABLE);
}

TEST_F(ModuleLifecycleTest, ObjectsLiveUntilTheirHandleGoesStale) {
    ProbeLog& a = addProbe("a");
    ProbeLog& b = addProbe("b");
    initialize("a");
    initialize("a");  // a second size initialisation reuses the object
    initialize("b");
    EXPECT_EQ(a.calls, (Calls{"initializeSizes", "initializeSizes"}));
    EXPECT_EQ(a.constructed, 1);

    model_.find("a")->deleted = true;
    callback(*instances_["b"], 107);  // terminating destroys nothing
    EXPECT_EQ(a.destroyed, 0);
    initialize("b");  // the sweep at the start of any size initialisation
    EXPECT_EQ(a.destroyed, 1);
    EXPECT_EQ(b.destroyed, 0);
    EXPECT_EQ(b.calls, (Calls{"initializeSizes", "initializeSizes"}));
}

TEST_F(ModuleLifecycleTest, UnloadDestroysEveryObjectOnce) {
    std::vector<ProbeLog*> logs;
    for (const char* name : {"a", "b", "c"}) {
        logs.push_back(&addProbe(name));
        initialize(name);
    }
    for (const ProbeLog* log : logs) {
        EXPECT_EQ(log->calls, Calls{"initializeSizes"});
        EXPECT_EQ(log->destroyed, 0);
    }
    instances_.clear();
    module_.reset();
    for (const ProbeLog* log : logs) {
        EXPECT_EQ(log->destroyed, 1);
    }
    EXPECT_EQ(dlopen(KORLIX_PROBE_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the module stays loaded";
}

TEST_F(ModuleLifecycleTest, StandardLibraryFailureBecomesTheBlockError) {
    addProbe("b", kProbeThrows);
    quonix::BlockInstance& inst = initialize("b");
    EXPECT_EQ(errorText(inst), "KORLIX internal error: probe failure");
    EXPECT_EQ(inst.errorCallback(), "registration");
}

// Command-line calls have no dispatcher, so their handle is 0.0; the host here keeps that handle valid so
// that a probe object can look at the bare structure the module built.
struct EveryHandleValid : quonix::ModelQueries {
    std::optional<std::string> maskType(double) const override { return std::nullopt; }
    bool isHandle(double) const override { return true; }
    std::optional<ExecSysAnswer> executionSystem(double) const override {
        return ExecSysAnswer{"", "", "wqm"};
    }
};

TEST_F(ModuleLifecycleTest, CommandLineCallBuildsABareStructure) {
    EveryHandleValid queries;
    quonix::setModelQueries(&queries);
    struct Restore {
        quonix::Model& model;
        ~Restore() { quonix::setModelQueries(&model); }
    } restore{model_};
    ProbeLog& log = logs_["bare"];
    insertProbe(0.0, &log, kProbeQuiet);
    quonix::ArrayPtr empty(zvCreateDoubleMatrix(0, 0, zvREAL)), flag(zvCreateDoubleScalar(0));
    for (int nRight : {4, 5, 6}) {
        std::vector<const zvArray*> right{empty.get(), empty.get(), empty.get(),
                                          flag.get(),  flag.get(),  empty.get()};
        std::array<zvArray*, 1> left{};
        module_->entry()(0, left.data(), nRight, right.data());
        quonix::ArrayPtr sizes(left[0]);
        ASSERT_EQ(zvGetNumberOfElements(sizes.get()), 38u);
        EXPECT_EQ(zvGetPr(sizes.get())[HB_SIZE_NUM_SAMPLE_TIMES], 1.0);
        EXPECT_EQ(zvGetPr(sizes.get())[HB_SIZE_VERSION], 5200229.0);
        EXPECT_EQ(zvGetPr(sizes.get())[HB_SIZE_OPTIONS], 0x2000);
        HostBlock* S = log.lastBlock;
        ASSERT_NE(S, nullptr);
        EXPECT_STREQ(S->name, "korlix_qvblk");
        EXPECT_EQ(S->root, S);
        EXPECT_EQ(S->callMethod, nullptr);
        EXPECT_EQ(S->mdlInitializeSizes, nullptr);
        ASSERT_EQ(S->numSFcnParams, nRight - 4);
        for (int i = 0; i < nRight - 4; ++i) {
            EXPECT_EQ(S->sfcnParams[i], right[static_cast<size_t>(4 + i)]);
            EXPECT_EQ(S->sfcnParamAttributes[i], HB_PARAM_NOT_TUNABLE);
        }
        EXPECT_EQ(S->setNumInputPorts(S, -1), 0);
        EXPECT_EQ(S->sizes[HB_SIZE_FLAGS], 0);
        EXPECT_EQ(S->setNumInputPorts(S, 3), 1);
        EXPECT_EQ(S->setNumOutputPorts(S, 0), 1);
        EXPECT_EQ(S->sizes[HB_SIZE_NUM_INPUTS], 3);
        EXPECT_EQ(S->sizes[HB_SIZE_NUM_OUTPUTS], 0);
        EXPECT_EQ(S->sizes[HB_SIZE_FLAGS], 0x2);
        ASSERT_NE(S->inputs, nullptr);
        EXPECT_EQ(S->inputs[2].width, 0);
        EXPECT_EQ(S->inputs[2].dataTypeId, 0);
    }
    EXPECT_EQ(log.constructed, 1);
    EXPECT_EQ(log.calls.size(), 3u);
}

}  // namespace
