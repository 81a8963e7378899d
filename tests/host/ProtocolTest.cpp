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

const char* const kCases = "tests/host/protocol_cases.json";

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
    const json expected = json::parse(korlix_test::caseTable(kCases, "trace of one block").dump());
    EXPECT_EQ(quonix::trace().events(), expected) << quonix::trace().events().dump(2);
    EXPECT_EQ(inst.error(), "stop");
}

// Errors and the callbacks that reported them, the port setters' limits, the host settings and the dialog
// texts as registration sees them. A row of protocol_cases.json gives the outcome as "ok" or
// "CALLBACK 'ERROR'", followed by the port counts when there are any.
TEST_F(Protocol, ErrorsSettingsDialogAndPortLimits) {
    for (const auto& row : korlix_test::caseTable(kCases, "errors, settings, dialog and port limits")) {
        SCOPED_TRACE(row.dump());
        const auto given = row.value("settings", korlix_test::Json::object());
        quonix::HostSettings settings;
        settings.maxPorts = given.value("maxPorts", settings.maxPorts);
        settings.sizesOnly = given.value("sizesOnly", settings.sizesOnly);
        settings.provideSetNumModes = given.value("provideSetNumModes", settings.provideSetNumModes);
        settings.supportsRegistrationHook =
            given.value("supportsRegistrationHook", settings.supportsRegistrationHook);
        std::vector<int> flags;
        for (const std::string name : row["callbacks"]) {
            flags.push_back(korlix_test::flags::flagOf(name));
        }
        quonix::trace().clear();
        settings_ = settings;
        quonix::BlockInstance& inst = run(korlix_test::paramsFrom(row["dialog"]), flags);
        const int32_t inputs = inst.block().sizes[HB_SIZE_NUM_INPUTS];
        const int32_t outputs = inst.block().sizes[HB_SIZE_NUM_OUTPUTS];
        const std::string ports =
            inputs + outputs > 0 ? " " + std::to_string(inputs) + "/" + std::to_string(outputs) : "";
        EXPECT_EQ((inst.hasError() ? inst.errorCallback() + " '" + *inst.error() + "'" : "ok") + ports,
                  row["outcome"]);
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
    const nlohmann::ordered_json expected = korlix_test::caseTable(kCases, "report");
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
    // A file that is no module and one the loader cannot open are among the tool's refusals; here the empty
    // path.
    std::string error;
    EXPECT_EQ(quonix::Module::load("", error), nullptr);
    EXPECT_EQ(error, "cannot load module '': the path is empty");

    const std::filesystem::path path = korlix_test::testModulePath(),
                                before = std::filesystem::current_path();
    std::filesystem::current_path(path.parent_path());
    std::unique_ptr<quonix::Module> module = quonix::Module::load(path.filename().string(), error);
    std::filesystem::current_path(before);
    ASSERT_NE(module, nullptr) << error;
    EXPECT_EQ(module->path(), path.filename().string());
    EXPECT_NE(module->entry(), nullptr);
}

// What the host makes of each pair kind, rows of protocol_cases.json: the value the report lists and the line
// of the record file. A pair the host cannot read (no value in the row) is refused with the answer 0 and not
// recorded.
TEST_F(Protocol, RecordPairKindsAreReadAndRendered) {
    for (const auto& row : korlix_test::caseTable(kCases, "record pair kinds")) {
        const std::string action = row["action"];
        const quonix::BlockInstance& inst = run({{"OnQRX", action}}, {kQrx});
        const json pair = inst.record().empty() ? json() : inst.record().back()["pair"];
        EXPECT_EQ(inst.record().size(), row.contains("value") ? 1u : 0u) << action;
        EXPECT_EQ(pair.is_null() ? json() : pair["value"], row.value("value", json())) << action;
        EXPECT_EQ(inst.hasError() ? errorText(inst) : quonix::renderRecordPair(pair), row["line"]) << action;
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
