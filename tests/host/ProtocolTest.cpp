// The registration and callback protocol, port setters, settings, parameters, the report, the trace and the
// record writers, driven by the test module the way the real module is driven.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <tuple>

#include "HostFixture.hpp"

namespace {

using korlix_test::Params;
using nlohmann::json;
using namespace korlix_test::flags;

class Protocol : public korlix_test::HostFixture {
  protected:
    std::string moduleToLoad() const override { return korlix_test::testModulePath(); }
    void SetUp() override {
        HostFixture::SetUp();
        arrays_ = quonix::liveArrayCount();
    }
    // Every test also checks that the blocks and the workspaces release every array they hold.
    void TearDown() override {
        instances_.clear();
        quonix::clearWorkspaces();
        EXPECT_EQ(quonix::liveArrayCount(), arrays_) << "arrays leaked";
        HostFixture::TearDown();
    }

    // Registration, then the callbacks of flags in order, for a new block with these dialog fields.
    quonix::BlockInstance& run(const Params& params, const std::vector<int>& flags,
                               double sampleTime = -1.0) {
        const std::string name = "b" + std::to_string(model_.blocks().size() + 1);
        addBlock("KORLIXTest", params, sampleTime, name);
        quonix::BlockInstance& inst = initialize(name);
        for (int flag : flags) {
            callback(inst, flag);
        }
        return inst;
    }
    std::size_t arrays_ = 0;
};

TEST_F(Protocol, TraceListsCallbacksAndHostCallsInOrder) {
    quonix::BlockInstance& inst =
        run({{"OnSizes",
              "handle|eval global TestModule_Handle;I=ishandle(TestModule_Handle);|get caller I|"
              "get caller Missing|put caller T hi"},
             {"OnSampleTimes", "error stop"}},
            {kTimes, kOutputs});
    const json expected = json::parse(R"([
      {"callback": "mdlInitializeSizes", "block": "b1"},
      {"call": "callMethod", "method": 280, "block": "b1"},
      {"call": "zupPutVariable", "workspace": "global", "name": "TestModule_Handle", "value": 1.0001, "block": "b1"},
      {"call": "zupEvalString", "command": "global TestModule_Handle;I=ishandle(TestModule_Handle);", "status": 0, "block": "b1"},
      {"call": "zupGetVariable", "workspace": "caller", "name": "I", "found": true, "value": 1.0, "block": "b1"},
      {"call": "zupGetVariable", "workspace": "caller", "name": "Missing", "found": false, "block": "b1"},
      {"call": "zupPutVariable", "workspace": "caller", "name": "T", "value": "hi", "block": "b1"},
      {"callback": "mdlInitializeSampleTimes", "block": "b1"},
      {"call": "setErrorStatus", "block": "b1", "text": "stop"}
    ])");
    EXPECT_EQ(quonix::trace().events(), expected) << quonix::trace().events().dump(2);
    EXPECT_EQ(inst.error(), "stop");
}

// Errors and the callbacks that reported them, the port setters' limits, the host settings and the dialog
// texts as registration sees them. A row gives the outcome as "ok" or "CALLBACK 'ERROR'", followed by the
// port counts when there are any.
TEST_F(Protocol, ErrorsSettingsDialogAndPortLimits) {
    const std::string escaped = "mdlOutputs 'module let an exception escape: thrown by the test module'";
    const char* const noText = korlix_test::kNoText;
    // clang-format off
    const std::tuple<quonix::HostSettings, Params, std::vector<int>, std::string> cases[] = {
        {{},                 {{"OnSizes", "raise boom"}},     {kTimes, kStart},                "registration 'boom'"},
        {{},                 {{"OnSizes", "raise"}},          {kTimes},                     "registration ''"},
        {{},                 {{"OnSizes", "error bad"}},      {kTimes},                     "mdlInitializeSizes 'bad'"},
        {{},                 {{"OnSampleTimes", "error e"}},  {kTimes, kStart},                "mdlInitializeSampleTimes 'e'"},
        {{},                 {{"OnStart", "error e"}},        {kTimes, kStart, kOutputs},           "mdlStart 'e'"},
        {{},                 {{"OnOutputs", "error e"}},      {kTimes, kStart, kOutputs, kOutputs, kTerminate}, "mdlOutputs 'e'"},
        {{},                 {{"OnTerminate", "error e"}},    {kTimes, kStart, kOutputs, kTerminate, kQrx}, "mdlTerminate 'e'"},
        {{},                 {{"OnQRX", "error e"}},          {kTimes, kQrx, kQrx},           "mdlQRX 'e'"},
        {{},                 {{"OnStart", "raise late"}},     {kTimes, kStart, kOutputs},           "mdlStart 'late'"},
        {{},                 {{"OnOutputs", "throw"}},        {kTimes, kOutputs, kOutputs},           escaped},
        {{},                 {},                              {kTimes, kCheckParams, kStart},           "flag 112 'test module: unexpected flag 112'"},
        {{},                 {{"OnSampleTimes", "text x"}},   {kTimes},                     "mdlInitializeSampleTimes 'no record writer'"},
        {{},                 {{"OnSizes", "in 1024"}},        {},                        "ok 1024/0"},
        {{},                 {{"OnSizes", "in 1025"}},        {},                        "mdlInitializeSizes 'port count 1025 refused'"},
        {{},                 {{"OnSizes", "in -1"}},          {},                        "mdlInitializeSizes 'port count -1 refused'"},
        {{.maxPorts = 4},    {{"OnSizes", "out 5"}},          {},                        "mdlInitializeSizes 'port count 5 refused'"},
        {{},                 {{"OnSizes", "in 2|in 3000"}},   {},                        "mdlInitializeSizes 'port count 3000 refused' 2/0"},
        {{.maxPorts = 0},    {{"OnSizes", "in 0|out 0"}},     {},                        "ok"},
        {{.maxPorts = -1},   {{"OnSizes", "in 0"}},           {},                        "mdlInitializeSizes 'port count 0 refused'"},
        {{.sizesOnly = true}, {{"OnSizes", "simmode"}},       {},                        "mdlInitializeSizes 'simulation mode 1'"},
        {{.provideSetNumModes = false}, {{"OnSizes", "modes 2"}}, {},                    "mdlInitializeSizes 'no mode setter'"},
        {{.supportsRegistrationHook = false}, {{"OnSizes", "simmode"}}, {},              "mdlInitializeSizes 'simulation mode 0'"},
        {{}, {{"OnSizes", "param Label"}, {"Label", "PDU \"1\""}}, {},                   "mdlInitializeSizes 'Label=PDU \"1\"'"},
        {{}, {{"OnSizes", "param Label"}, {"Label", ""}},     {},                        "mdlInitializeSizes 'Label='"},
        {{}, {{"OnSizes", "param Label"}, {"Label", noText}}, {},                        "mdlInitializeSizes 'Label holds no text'"},
        {{}, {{"OnSizes", "param Label"}},                    {},                        "mdlInitializeSizes 'Label missing'"},
    };
    // clang-format on
    for (const auto& [settings, params, flags, outcome] : cases) {
        SCOPED_TRACE(outcome);
        quonix::trace().clear();
        settings_ = settings;
        quonix::BlockInstance& inst = run(params, flags);
        const int32_t inputs = inst.block().sizes[HB_SIZE_NUM_INPUTS];
        const int32_t outputs = inst.block().sizes[HB_SIZE_NUM_OUTPUTS];
        const std::string ports =
            inputs + outputs > 0 ? " " + std::to_string(inputs) + "/" + std::to_string(outputs) : "";
        EXPECT_EQ((inst.hasError() ? inst.errorCallback() + " '" + *inst.error() + "'" : "ok") + ports,
                  outcome);
        EXPECT_EQ(inst.report()["errorCallback"], inst.hasError() ? json(inst.errorCallback()) : json());
        // An error ends the block's life: the callback that reported it is the last one the block gets.
        const std::string trace = quonix::trace().events().dump();
        const std::size_t last = trace.rfind("\"callback\":\"") + 12;
        if (inst.hasError()) {
            EXPECT_EQ(trace.substr(last, trace.find('"', last) - last),
                      inst.errorCallback() == "registration" ? "mdlInitializeSizes" : inst.errorCallback());
        }
        EXPECT_EQ(trace.find("\"callMethod\"") != std::string::npos, settings.supportsRegistrationHook);
    }
}

TEST_F(Protocol, ReportAndSizeVectorShowWhatTheModuleLeft) {
    quonix::BlockInstance& inst =
        run({{"OnSizes",
              "in 2|out 1|iport 1 4 7 1 32|oport 0 3 6|size 6 1|size 7 2|size 9 1|size 8 2|"
              "size 10 3|size 0 4|size 1 5|size 20 6|size 31 1048576|size 23 -2147483648|modes 3"},
             {"OnSampleTimes", "sampleparam"},
             {"OnQRX", "text KORLIXSFunParameters {\\n      }\\n|pair 6 Width 6 1 1 1"}},
            {HB_CALL_INITIALIZE_SAMPLE_TIMES, HB_CALL_QRX}, 0.5);
    // Keys in reading order, nested objects too.
    const auto expected =
        nlohmann::ordered_json::parse(R"({"name": "b1", "handle": 1.0001, "maskType": "KORLIXTest",
      "error": null, "errorCallback": null,
      "inputs": [{"width": -1, "dataTypeId": -1, "dataType": null, "directFeedThrough": false, "attributes": 0},
                 {"width": 4, "dataTypeId": 7, "dataType": "uint32", "directFeedThrough": true, "attributes": 32}],
      "outputs": [{"width": 3, "dataTypeId": 6, "dataType": "int32"}], "sampleTime": {"period": 0.5, "offset": 0.0},
      "sizes": {"numContStates": 4, "numDiscStates": 5, "numSampleTimes": 1, "numSFcnParams": 2, "numIWork": 2,
                "numRWork": 1, "numPWork": 3, "numModes": 3, "numNonsampledZCs": 6},
      "flagWord": 1048576, "optionWord": 2147483648, "parameterAttributes": [0, 0],
      "record": [{"text": "KORLIXSFunParameters {\n      }\n"},
        {"pair": {"kind": 6, "name": "Width", "value": 1, "dataTypeId": 6, "rows": 1, "columns": 1}}]})");
    EXPECT_EQ(inst.report().dump(2), expected.dump(2));
    // The size vector comes back from the registration call's result slot, with the version the module wrote.
    const std::vector<double>& sizes = inst.sizeVector();
    ASSERT_EQ(sizes.size(), 38u);
    EXPECT_EQ((std::vector{sizes[6], sizes[19], sizes[23]}), (std::vector{1.0, 5200229.0, -2147483648.0}));
}

// Per row: whether the dialog has fields, the parameter count, then what the host hands over: the count,
// whether the lists exist, each parameter as elements:fields of a structure or elements=value of a number.
TEST(BlockInstanceParameters, StructureSampleTimeAndExtras) {
    // clang-format off
    const std::tuple<bool, int, const char*> cases[] = {
        {true, 2, "2 1:2 1=0.25"}, {false, 2, "2 0:0 1=0.25"}, {true, 0, "0 no-lists"}, {true, 1, "1 1:2"},
        {true, 4, "4 1:2 1=0.25 1=0 1=0"}};
    // clang-format on
    for (const auto& [withFields, count, expected] : cases) {
        quonix::BlockSpec block;
        block.name = "p";
        block.parameters = withFields
                               ? std::optional(std::vector<quonix::ParamField>{{"L", "PDU"}, {"N", {}}})
                               : std::nullopt;
        block.parameterCount = count;
        block.sampleTime = 0.25;
        quonix::BlockInstance inst(block, quonix::HostSettings{});
        const HostBlock& b = inst.block();
        std::ostringstream out;
        out << b.numSFcnParams
            << (b.sfcnParams == nullptr && b.sfcnParamAttributes == nullptr ? " no-lists" : "");
        for (int32_t i = 0; i < b.numSFcnParams; ++i) {
            const zvArray* p = b.sfcnParams[i];
            out << " " << zvGetNumberOfElements(p);
            zvIsStruct(p) ? out << ":" << zvGetNumberOfFields(p) : out << "=" << zvGetScalar(p);
        }
        EXPECT_EQ(out.str(), expected);
        EXPECT_STREQ(b.name, "korlix_qvblk");
        EXPECT_EQ(b.root, &b);
        EXPECT_EQ(std::vector<int32_t>(b.sizes, b.sizes + HB_SIZE_FIELD_COUNT),
                  std::vector<int32_t>(HB_SIZE_FIELD_COUNT, 0));
    }
    quonix::BlockSpec twice;
    twice.name = "twice";
    twice.parameters = std::vector<quonix::ParamField>{{"A", "1"}, {"A", "2"}};
    EXPECT_THROW(quonix::BlockInstance(twice, quonix::HostSettings{}), std::invalid_argument);
}

TEST_F(Protocol, ModuleLoadErrorsNameThePathAndBareNamesLoadFromTheCurrentDirectory) {
    std::string error;
    EXPECT_EQ(quonix::Module::load(HOST_LIBRARY_PATH, error), nullptr);
    EXPECT_EQ(error, std::string("module '") + HOST_LIBRARY_PATH + "' does not export zupFunction");
    EXPECT_EQ(quonix::Module::load("", error), nullptr);
    EXPECT_EQ(error, "cannot load module '': the path is empty");
    // The loader's own reason follows the path.
    const std::string prefix = "cannot load module '/nonexistent/korlix.so': ";
    EXPECT_EQ(quonix::Module::load("/nonexistent/korlix.so", error), nullptr);
    EXPECT_EQ(error.substr(0, prefix.size()), prefix);
    EXPECT_GT(error.size(), prefix.size());

    const std::filesystem::path path = korlix_test::testModulePath(),
                                before = std::filesystem::current_path();
    std::filesystem::current_path(path.parent_path());
    std::unique_ptr<quonix::Module> module = quonix::Module::load(path.filename().string(), error);
    std::filesystem::current_path(before);
    ASSERT_NE(module, nullptr) << error;
    EXPECT_EQ(module->path(), path.filename().string());
    EXPECT_NE(module->entry(), nullptr);
}

// What the host makes of each pair kind: the value the report lists and the line of the record file. A
// pair the host cannot read (no value in the row) is refused with the answer 0 and not recorded.
TEST_F(Protocol, RecordPairKindsAreReadAndRendered) {
    // clang-format off
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {R"(pair 1 Quote 0 1 1 a"b\c)",     R"("a\"b\\c")",                R"(Quote "a\"b\\c")"},
        {"pair 0 Bare 0 1 1 x y",           R"("x y")",                    "Bare x y"},
        {"pair 2 List 0 2 1 a b",           R"(["a", "b"])",               R"(List ["a", "b"])"},
        {"pair 3 D 0 1 1 1.5",              "1.5",                         "D 1.5"},
        {"pair 4 V 0 3 1 1 0.1 -3",         "[1.0, 0.1, -3.0]",            "V [1, 0.1, -3]"},
        {"pair 5 M 0 2 2 1 3 2 4",          "[[1.0, 2.0], [3.0, 4.0]]",    "M [1, 2; 3, 4]"},
        {"pair 6 Width 6 1 1 -7",           "-7",                          "Width -7"},
        {"pair 6 U 7 1 1 4294967295",       "4294967295",                  "U 4294967295"},
        {"pair 6 S 1 1 1 0.5",              "0.5",                         "S 0.5"},
        {"pair 6 Big 0 1 1 1e300",          "1e300",                       "Big 1e+300"},
        {"pair 7 I8 2 3 1 -1 0 127",        "[-1, 0, 127]",                "I8 [-1, 0, 127]"},
        {"pair 7 U16 5 2 1 65535 7",        "[65535, 7]",                  "U16 [65535, 7]"},
        {"pair 7 I16 4 1 1 -300",           "[-300]",                      "I16 [-300]"},
        {"pair 7 U8 3 1 1 255",             "[255]",                       "U8 [255]"},
        {"pair 7 B 8 2 1 1 0",              "[1, 0]",                      "B [1, 0]"},
        {"pair 8 M 6 2 3 1 4 2 5 3 6",      "[[1, 2, 3], [4, 5, 6]]",      "M [1, 2, 3; 4, 5, 6]"},
        {"pair 6 C 65536 1 1 1 -2",         R"({"re": 1.0, "im": -2.0})",  "C 1-2i"},
        {"pair 7 CV 65542 2 1 1 2 3 -4",    R"({"re": [1, 3], "im": [2, -4]})", "CV [1+2i, 3-4i]"},
        {"pair 9 Z 65542 2 1 1 2 3 4",      R"({"re": [1, 2], "im": [3, 4]})",  "Z [1+3i, 2+4i]"},
        {"pair 9 R 6 2 1 1 2",              "[1, 2]",                      "R [1, 2]"},
        {"pair 10 ZM 65536 1 2 1 2 -1 0.5", R"({"re": [[1.0, 2.0]], "im": [[-1.0, 0.5]]})", "ZM [1-1i, 2+0.5i]"},
        {"pair 7 E 6 0 1",                  "[]",                          "E []"},
        {"nullpair 7 E 6 0 1",              "[]",                          "E []"},
        {"nullpair 8 M 6 0 0",              "[]",                          "M []"},
        {"nullpair 7 N 6 2 1",              nullptr,                       "writer answered 0"},  // values missing
        {"nullpair 1 N 0 1 1",              nullptr,                       "writer answered 0"},  // text missing
        {"pair 11 K 0 1 1 1",               nullptr,                       "writer answered 0"},  // no such kind
        {"pair 7 T 9 1 1 1",                nullptr,                       "writer answered 0"},  // no such data type
        {"nullpair 7 T 9 0 1",              "[]",                          "T []"},  // ... but no values to read
        {"pair 7 R 6 -1 1",                 nullptr,                       "writer answered 0"},  // negative rows
        {"nullpair 9 Z 65542 1 1",          nullptr,                       "writer answered 0"},  // parts missing
    };
    // clang-format on
    for (const auto& [action, value, line] : cases) {
        const quonix::BlockInstance& inst = run({{"OnQRX", action}}, {kQrx});
        const json pair = inst.record().empty() ? json() : inst.record().back()["pair"];
        EXPECT_EQ(inst.record().size(), value != nullptr ? 1u : 0u) << action;
        EXPECT_EQ(pair.is_null() ? json() : pair["value"], value != nullptr ? json::parse(value) : json())
            << action;
        EXPECT_EQ(inst.hasError() ? errorText(inst) : quonix::renderRecordPair(pair), line) << action;
    }
}

// The writers answer what the host is told to and record the call; a capture installs them outside mdlQRX.
TEST_F(Protocol, RecordWritersAnswerAsToldAndCaptureInstallsThem) {
    quonix::BlockInstance& inst = run({{"OnQRX", "text one|text two"}}, {});
    inst.setWriterResult(3);
    callback(inst, 119);
    EXPECT_EQ(errorText(inst), "writer answered 3");
    EXPECT_EQ(inst.report()["record"], json::parse(R"([{"text": "one"}])"));
    HostBlock& b = run({}, {}).block();
    instances_.at("b2")->beginRecordCapture();
    ASSERT_NE(b.writeRecordPair, nullptr);
    const int32_t values[] = {4, 5};
    EXPECT_EQ(b.writeRecordPair(b.recordContext, 7, "V", values, 6, 2, 1), 1);
    instances_.at("b2")->endRecordCapture();
    EXPECT_TRUE(b.writeRecordText == nullptr && b.writeRecordPair == nullptr);
    EXPECT_EQ(instances_.at("b2")->report()["record"][0]["pair"]["value"], json::parse("[4, 5]"));
    inst.beginRecordCapture();  // a capture starts from an empty record
    EXPECT_EQ(inst.report()["record"], json::array());
    inst.endRecordCapture();
}

TEST_F(Protocol, RecordFileHasAHeaderAndOneSectionPerBlockWithARecord) {
    addBlock("KORLIXTest",
             {{"OnQRX",
               "text KORLIXSFunParameters {\\n        MaskType         \"KORLIXConfig\"\\n      }\\n|"
               "pair 6 NumIWorkDefines 6 1 1 1|text IWorkDefine {|pair 1 Name 0 1 1 Prev|text }"}},
             -1.0, "Network \"config\"");
    quonix::BlockInstance& first = initialize("Network \"config\"");
    callback(first, 119);
    const quonix::BlockInstance& silent = run({}, {kQrx});
    // A text that looks like a section line stays a text: the real section line counts its bytes.
    const quonix::BlockInstance& last =
        run({{"OnQRX", "text |text # block \"b1\" handle 9 bytes 2\\nx\\n"}}, {kQrx});
    const std::string expected =
        "# KORLIX code-generation record\n# model \"test\\x1b[2J\\nmodel\"\n\n"
        "# block \"Network \\\"config\\\"\" handle 1.0001 bytes 117\n"
        "KORLIXSFunParameters {\n        MaskType         \"KORLIXConfig\"\n      }\n"
        "NumIWorkDefines 1\nIWorkDefine {\nName \"Prev\"\n}\n\n"
        "# block \"b3\" handle 3.0001 bytes 33\n\n# block \"b1\" handle 9 bytes 2\nx\n";
    EXPECT_EQ(quonix::renderRecordFile("test\x1b[2J\nmodel", {&first, &silent, nullptr, &last}), expected);
}

}  // namespace
