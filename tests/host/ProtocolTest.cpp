// The registration and callback protocol, port setters, settings, the report and the trace, driven by the
// test module the way the real module is driven.
#include <gtest/gtest.h>

#include <filesystem>

#include "HostFixture.hpp"

namespace {

using korlix_test::Params;
using nlohmann::json;

class Protocol : public korlix_test::HostFixture {
  protected:
    std::string moduleToLoad() const override { return korlix_test::testModulePath(); }

    // Registration, then the callbacks of flags in order, for a block with these dialog fields.
    quonix::BlockInstance& run(const Params& params, std::initializer_list<int> flags,
                               double sampleTime = -1.0) {
        const std::string name = "b" + std::to_string(model_.blocks().size() + 1);
        addBlock("KORLIXTest", params, sampleTime, name);
        quonix::BlockInstance& inst = initialize(name);
        for (int flag : flags) {
            callback(inst, flag);
        }
        return inst;
    }
    static std::string lastCallback() {
        std::string last;
        for (const json& event : quonix::trace().events()) {
            if (event.contains("callback")) {
                last = event["callback"];
            }
        }
        return last;
    }
};

TEST_F(Protocol, TraceListsCallbacksAndHostCallsInOrder) {
    quonix::BlockInstance& inst =
        run({{"OnSizes",
              "handle|eval global TestModule_Handle;I=ishandle(TestModule_Handle);|get caller I|"
              "get caller Missing|put caller T hi"},
             {"OnSampleTimes", "error stop"}},
            {101, 104});
    const json expected = json::parse(R"([
      {"callback": "mdlInitializeSizes", "block": "b1"},
      {"call": "callMethod", "method": 280, "block": "b1"},
      {"call": "zupPutVariable", "workspace": "global", "name": "TestModule_Handle", "value": 1.0001, "block": "b1"},
      {"call": "zupEvalString", "command": "global TestModule_Handle;I=ishandle(TestModule_Handle);", "status": 0,
       "block": "b1"},
      {"call": "zupGetVariable", "workspace": "caller", "name": "I", "found": true, "value": 1.0, "block": "b1"},
      {"call": "zupGetVariable", "workspace": "caller", "name": "Missing", "found": false, "block": "b1"},
      {"call": "zupPutVariable", "workspace": "caller", "name": "T", "value": "hi", "block": "b1"},
      {"callback": "mdlInitializeSampleTimes", "block": "b1"},
      {"call": "setErrorStatus", "block": "b1", "text": "stop"}
    ])");
    EXPECT_EQ(quonix::trace().events(), expected) << quonix::trace().events().dump(2);
    EXPECT_EQ(inst.error(), "stop");
}

TEST_F(Protocol, RegistrationHandsOverTheStructureAndReadsTheSizeVector) {
    quonix::BlockInstance& inst = run({{"OnSizes", "size 6 1|size 23 -1"}}, {});
    ASSERT_EQ(inst.sizeVector().size(), 38u);
    EXPECT_EQ(inst.sizeVector()[19], 5200229.0);  // written by the module into the structure it was handed
    EXPECT_EQ(inst.sizeVector()[6], 1.0);
    EXPECT_EQ(inst.sizeVector()[23], -1.0);
    EXPECT_FALSE(inst.hasError());
}

struct ErrorCase {
    const char* name;
    Params params;
    std::vector<int> flags;
    const char* error;
    const char* callback;
};

// An error ends the block's life: the callback that reported it is the last one the block gets.
TEST_F(Protocol, ErrorsNameTheirCallbackAndEndTheBlock) {
    const ErrorCase cases[] = {
        {"raised at registration", {{"OnSizes", "raise boom"}}, {101, 117}, "boom", "registration"},
        {"raised empty text", {{"OnSizes", "raise"}}, {101}, "", "registration"},
        {"status at registration", {{"OnSizes", "error bad"}}, {101}, "bad", "mdlInitializeSizes"},
        {"sample times", {{"OnSampleTimes", "error e"}}, {101, 117}, "e", "mdlInitializeSampleTimes"},
        {"start", {{"OnStart", "error e"}}, {101, 117, 104}, "e", "mdlStart"},
        {"outputs", {{"OnOutputs", "error e"}}, {101, 117, 104, 104, 107}, "e", "mdlOutputs"},
        {"terminate", {{"OnTerminate", "error e"}}, {101, 117, 104, 107, 119}, "e", "mdlTerminate"},
        {"record", {{"OnQRX", "error e"}}, {101, 119, 119}, "e", "mdlQRX"},
        {"raised in a callback", {{"OnStart", "raise late"}}, {101, 117, 104}, "late", "mdlStart"},
        {"escaping exception",
         {{"OnOutputs", "throw"}},
         {101, 104, 104},
         "module let an exception escape: thrown by the test module",
         "mdlOutputs"},
        {"unlisted flag", {}, {101, 112, 117}, "test module: unexpected flag 112", "flag 112"},
        {"writers only during mdlQRX",
         {{"OnSampleTimes", "text x"}},
         {101},
         "no record writer",
         "mdlInitializeSampleTimes"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.name);
        quonix::trace().clear();
        quonix::BlockInstance& inst = run(c.params, {});
        for (int flag : c.flags) {
            callback(inst, flag);
        }
        EXPECT_EQ(inst.error(), std::optional<std::string>(c.error));
        EXPECT_EQ(inst.errorCallback(), c.callback);
        EXPECT_EQ(inst.report()["errorCallback"], c.callback);
        EXPECT_EQ(lastCallback(),
                  std::string(c.callback) == "registration" ? "mdlInitializeSizes" : c.callback);
    }
}

struct PortCase {
    int32_t maxPorts;
    const char* actions;
    const char* error;  // "" when accepted
    int inputs, outputs;
};

TEST_F(Protocol, PortSettersRefuseCountsOutsideTheLimit) {
    const PortCase cases[] = {
        {1024, "in 1024", "", 1024, 0},
        {1024, "in 1025", "port count 1025 refused", 0, 0},
        {1024, "in -1", "port count -1 refused", 0, 0},
        {4, "out 4", "", 0, 4},
        {4, "out 5", "port count 5 refused", 0, 0},
        {1024, "in 2|in 3000", "port count 3000 refused", 2, 0},
        {0, "in 0|out 0", "", 0, 0},
        {-1, "in 0", "port count 0 refused", 0, 0},
    };
    for (const PortCase& c : cases) {
        SCOPED_TRACE(c.actions);
        settings_.maxPorts = c.maxPorts;
        quonix::BlockInstance& inst = run({{"OnSizes", c.actions}}, {});
        EXPECT_EQ(inst.error().value_or(""), c.error);
        EXPECT_EQ(inst.block().sizes[HB_SIZE_NUM_INPUTS], c.inputs);
        EXPECT_EQ(inst.block().sizes[HB_SIZE_NUM_OUTPUTS], c.outputs);
        EXPECT_EQ(inst.report()["inputs"].size(), static_cast<std::size_t>(c.inputs));
        EXPECT_EQ(inst.report()["outputs"].size(), static_cast<std::size_t>(c.outputs));
    }
}

TEST_F(Protocol, ReportShowsWhatTheModuleLeft) {
    quonix::BlockInstance& inst =
        run({{"OnSizes",
              "in 2|out 1|iport 1 4 7 1 32|oport 0 3 6|size 6 1|size 7 2|size 9 1|size 8 2|"
              "size 10 3|size 0 4|size 1 5|size 20 6|size 31 1048576|size 23 -2147483648|modes 3"},
             {"OnSampleTimes", "sampleparam"},
             {"OnQRX", "text KORLIXSFunParameters {\\n      }\\n|pair 6 Width 6 1 1 1"}},
            {101, 119}, 0.5);
    const json expected = json::parse(R"({
      "name": "b1", "handle": 1.0001, "maskType": "KORLIXTest", "error": null, "errorCallback": null,
      "inputs": [
        {"width": -1, "dataTypeId": -1, "dataType": null, "directFeedThrough": false, "attributes": 0},
        {"width": 4, "dataTypeId": 7, "dataType": "uint32", "directFeedThrough": true, "attributes": 32}
      ],
      "outputs": [ {"width": 3, "dataTypeId": 6, "dataType": "int32"} ],
      "sampleTime": {"period": 0.5, "offset": 0.0},
      "sizes": {"numContStates": 4, "numDiscStates": 5, "numSampleTimes": 1, "numSFcnParams": 2, "numIWork": 2,
                "numRWork": 1, "numPWork": 3, "numModes": 3, "numNonsampledZCs": 6},
      "flagWord": 1048576,
      "optionWord": 2147483648,
      "parameterAttributes": [0, 0],
      "record": [
        {"text": "KORLIXSFunParameters {\n      }\n"},
        {"pair": {"kind": 6, "name": "Width", "value": 1, "dataTypeId": 6, "rows": 1, "columns": 1}}
      ]
    })");
    EXPECT_EQ(inst.report(), expected) << inst.report().dump(2);
}

struct SettingsCase {
    const char* name;
    quonix::HostSettings settings;
    const char* action;
    const char* error;
    bool hookCalled;
};

TEST_F(Protocol, HostSettingsReachTheStructure) {
    const SettingsCase cases[] = {
        {"normal mode", {}, "simmode", "simulation mode 0", true},
        {"sizes only", {.sizesOnly = true}, "simmode", "simulation mode 1", true},
        {"no mode setter", {.provideSetNumModes = false}, "modes 2", "no mode setter", true},
        {"no registration hook", {.supportsRegistrationHook = false}, "simmode", "simulation mode 0", false},
    };
    for (const SettingsCase& c : cases) {
        SCOPED_TRACE(c.name);
        quonix::trace().clear();
        settings_ = c.settings;
        quonix::BlockInstance& inst = run({{"OnSizes", c.action}}, {});
        EXPECT_EQ(inst.error(), std::optional<std::string>(c.error));
        bool hook = false;
        for (const json& event : quonix::trace().events()) {
            hook = hook || event.value("call", "") == "callMethod";
        }
        EXPECT_EQ(hook, c.hookCalled);
    }
}

struct ParameterCase {
    const char* name;
    std::optional<std::vector<quonix::ParamField>> parameters;
    int parameterCount;
    int32_t expectedCount;
    std::size_t structElements;
    int fields;
};

TEST(BlockInstanceParameters, StructureSampleTimeAndExtras) {
    const std::vector<quonix::ParamField> fields = {{"Label", "PDU 1"}, {"Length", std::nullopt}};
    const ParameterCase cases[] = {
        {"structure and sample time", fields, 2, 2, 1, 2},
        {"empty structure", std::nullopt, 2, 2, 0, 0},
        {"no parameters", fields, 0, 0, 0, 0},
        {"structure only", fields, 1, 1, 1, 2},
        {"extra zeros", fields, 4, 4, 1, 2},
    };
    for (const ParameterCase& c : cases) {
        SCOPED_TRACE(c.name);
        quonix::BlockSpec block;
        block.name = "p";
        block.handle = 7.0001;
        block.parameters = c.parameters;
        block.parameterCount = c.parameterCount;
        block.sampleTime = 0.25;
        quonix::BlockInstance inst(block, quonix::HostSettings{});
        const HostBlock& b = inst.block();
        ASSERT_EQ(b.numSFcnParams, c.expectedCount);
        EXPECT_EQ(b.sfcnParams == nullptr, c.expectedCount == 0);
        EXPECT_EQ(b.sfcnParamAttributes == nullptr, c.expectedCount == 0);
        EXPECT_STREQ(b.name, "korlix_qvblk");
        EXPECT_EQ(b.root, &b);
        for (int32_t i = 0; i < HB_SIZE_FIELD_COUNT; ++i) {
            EXPECT_EQ(b.sizes[i], 0) << i;
        }
        if (c.expectedCount >= 1) {
            const zvArray* s = b.sfcnParams[0];
            EXPECT_TRUE(zvIsStruct(s));
            EXPECT_EQ(zvGetNumberOfElements(s), c.structElements);
            EXPECT_EQ(zvGetNumberOfFields(s), c.fields);
            if (c.fields == 2) {
                char* label = zvArrayToString(get_struct_field_by_number(s, 0, 0));
                EXPECT_STREQ(label, "PDU 1");
                zvFree(label);
                const zvArray* length = get_struct_field_by_number(s, 0, 1);
                EXPECT_TRUE(zvIsNumeric(length) && zvGetNumberOfElements(length) == 1 &&
                            zvGetScalar(length) == 0);
            }
        }
        if (c.expectedCount >= 2) {
            EXPECT_EQ(zvGetScalar(b.sfcnParams[1]), 0.25);
        }
        for (int32_t i = 2; i < c.expectedCount; ++i) {
            EXPECT_EQ(zvGetNumberOfElements(b.sfcnParams[i]), 1u);
            EXPECT_EQ(zvGetScalar(b.sfcnParams[i]), 0.0);
        }
    }
    quonix::BlockSpec twice;
    twice.name = "twice";
    twice.parameters = std::vector<quonix::ParamField>{{"A", "1"}, {"A", "2"}};
    EXPECT_THROW(quonix::BlockInstance(twice, quonix::HostSettings{}), std::invalid_argument);
}

TEST_F(Protocol, DialogTextsReachTheModule) {
    struct Case {
        Params params;
        const char* error;
    };
    const Case cases[] = {
        {{{"OnSizes", "param Label"}, {"Label", "PDU \"1\""}}, "Label=PDU \"1\""},
        {{{"OnSizes", "param Label"}, {"Label", ""}}, "Label="},
        {{{"OnSizes", "param Label"}, {"Label", korlix_test::kNoText}}, "Label holds no text"},
        {{{"OnSizes", "param Label"}}, "Label missing"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorText(run(c.params, {})), c.error);
    }
}

TEST_F(Protocol, ModuleLoadErrorsNameThePath) {
    std::string error;
    EXPECT_EQ(quonix::Module::load(HOST_LIBRARY_PATH, error), nullptr);
    EXPECT_EQ(error, std::string("module '") + HOST_LIBRARY_PATH + "' does not export zupFunction");

    // The loader's own reason follows the path.
    const std::string prefix = "cannot load module '/nonexistent/korlix.so': ";
    EXPECT_EQ(quonix::Module::load("/nonexistent/korlix.so", error), nullptr);
    EXPECT_EQ(error.substr(0, prefix.size()), prefix);
    EXPECT_GT(error.size(), prefix.size());

    EXPECT_EQ(quonix::Module::load("", error), nullptr);
    EXPECT_EQ(error, "cannot load module '': the path is empty");
}

TEST_F(Protocol, BareFileNameLoadsFromTheCurrentDirectory) {
    const std::filesystem::path modulePath = korlix_test::testModulePath();
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(modulePath.parent_path());
    std::string error;
    std::unique_ptr<quonix::Module> module = quonix::Module::load(modulePath.filename().string(), error);
    std::filesystem::current_path(before);
    ASSERT_NE(module, nullptr) << error;
    EXPECT_EQ(module->path(), modulePath.filename().string());
    EXPECT_NE(module->entry(), nullptr);
}

TEST_F(Protocol, NothingLeaksOverABlocksLife) {
    std::size_t arrays = quonix::liveArrayCount();
    run({{"OnSizes", "in 1|handle|eval global TestModule_Handle;I=ishandle(TestModule_Handle);|get caller I"},
         {"OnStart", "put caller X 1"},
         {"OnQRX", "text a|pair 7 V 6 2 1 1 2"}},
        {101, 117, 104, 107, 119});
    EXPECT_GT(quonix::liveArrayCount(), arrays);
    instances_.clear();
    quonix::clearWorkspaces();
    EXPECT_EQ(quonix::liveArrayCount(), arrays);
}

}  // namespace
