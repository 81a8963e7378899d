// The mask-type table, the sample-time forms, the registry and the workspace bridge, called directly against
// the stand-in host's evaluator: answers, the exact protocol, and a workspace left as it was found.
#include <typeinfo>

#include "HostFixture.hpp"
#include "ProbeBlock.hpp"
#include "blocks/BlockFactories.hpp"
#include "services/Workspace.hpp"

namespace {

using korlix::BaseFcn;
using quonix::ExecSysAnswer;
using Lines = std::vector<std::string>;
namespace registry = korlix::registry;

TEST(ModuleMaskTypes, OnlyTheKnownClassesAreMade) {
    using korlix::makeBlockForMaskType;
    // clang-format off
    const std::pair<const char*, std::unique_ptr<BaseFcn> (*)()> classes[] = {
        {"KORLIXConfig", korlix::makeConfig}, {"KORLIXSignalRead", korlix::makeSigRead},
        {"KORLIXSignalWrite", korlix::makeSigWrite}, {"KORLIXPOCStatus", korlix::makePOCStatus},
        {"KORLIXStartStopNetwork", korlix::makeStartStopNetwork}, {"KORLIXCommitFrame", korlix::makeCommitFrame},
        {"ErrorInjection", korlix::makeErrorInjection}, {"ReadFrameSignals", korlix::makeReadFrameSig},
        {"WriteFrameSignals", korlix::makeWriteFrameSig}, {"ReadCycleCount", korlix::makeReadCycleCount},
        {"FlexRayReadPDU", korlix::makeReadPdu}, {"FlexRayWritePDU", korlix::makeWritePdu},
        {"FlexRayPackPDU", korlix::makePackPdu}, {"FlexRayUnpackPDU", korlix::makeUnpackPdu}};
    const char* const refused[] = {"KORLIXConsistencyReport", "KORLIXModelUpdate", "KORLIXWQMConfig",
        "KORLIXWQMTunnelRead", "KORLIXWQMTunnelWrite", "KORLIXWQMInstRead", "KORLIXWQMInstWrite",
        "KORLIXStatusCompare", "KORLIXCDUIndexCompare", "KORLIXFrTime", "KORLIXWQMSignalManipFcnCall",
        "KORLIXWQMBuild", "KORLIXWQMCleanup", "KORLIXWQMDescription", "KORLIXNMWQM", "KORLIXNMRequestComm",
        "korlixsignalread", "KORLIXSignalRead ", "", "KORLIX"};
    // clang-format on
    for (const auto& [text, factory] : classes) {
        std::unique_ptr<BaseFcn> made = makeBlockForMaskType(text);
        ASSERT_NE(made, nullptr) << text;
        EXPECT_EQ(typeid(*made), typeid(*factory())) << text;
        EXPECT_EQ(made->execSysCode(), korlix::kExecNone) << text;
    }
    for (const char* text : refused) {
        EXPECT_EQ(makeBlockForMaskType(text), nullptr) << text;
    }
}

TEST(ModuleSampleTimes, BothForms) {
    // clang-format off
    struct Row { bool inherited; std::optional<double> parameter; double period, offset, flagsAfter; };
    const Row rows[] = {  // the flag word starts at 0x1001; parameter nullopt: no second S-function parameter
        {false, -1.0, -1.0, 1.0, 0x801}, {false, 0.01, 0.01, 0.0, 0x1001}, {false, std::nullopt, 0.0, 0.0, 0x1001},
        {true, 0.01, -1.0, 0.0, 0x801},
    };
    // clang-format on
    for (const Row& row : rows) {
        quonix::ArrayPtr ts(zvCreateDoubleScalar(row.parameter.value_or(5)));
        const zvArray* params[2] = {nullptr, ts.get()};
        HostBlock S{};
        S.numSFcnParams = row.parameter ? 2 : 1;
        S.sfcnParams = params;
        S.sizes[HB_SIZE_FLAGS] = 0x1001;
        row.inherited ? korlix::sampleTimeInherited(&S) : korlix::sampleTimeFromParameter(&S);
        EXPECT_EQ((std::vector{S.sampleTime, S.sampleOffset, double(S.sizes[HB_SIZE_FLAGS])}),
                  (std::vector{row.period, row.offset, row.flagsAfter}))
            << "row " << &row - rows;
    }
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
    static Lines leftovers() {  // what the queries left in the two workspaces
        Lines names = quonix::workspaceVariables("global"), caller = quonix::workspaceVariables("caller");
        names.insert(names.end(), caller.begin(), caller.end());
        return names;
    }

    double handle_ = 0;
    std::size_t arraysBefore_ = 0;
};

// Each query clears its own variables, also those of the same names that were there before.
TEST_F(ModuleWorkspaceTest, ProtocolOfEachQuery) {
    for (const char* name : {"BlockMaskType", "ErrMsg", "ExecSys", "SysType", "IsHandle"}) {
        quonix::ArrayPtr old(zvCreateString("old"));
        zupPutVariable("caller", ("KorLix_" + std::string(name)).c_str(), old.get());
    }
    ProbeLog log;
    registry::insert(handle_, std::make_unique<ProbeBlock>(&log));
    std::string execSys, error;
    int32_t code = 0;
    quonix::trace().clear();
    EXPECT_EQ(korlix::queryBlockMaskType(handle_), "KORLIXConfig");
    korlix::queryExecutionSystem(handle_, execSys, code, error);
    korlix::removeStaleBlocks();
    Lines lines;  // the calls, or the commands evaluated
    for (const auto& e : quonix::trace().events()) {
        const std::string call = e.value("call", ""), status = e.value("status", 0) ? " refused" : "";
        lines.push_back(call == "zupEvalString"
                            ? e.value("command", "") + status
                            : call + " " + e.value("workspace", "") + " " + e.value("name", "") + status);
        if (call == "zupPutVariable") {
            EXPECT_EQ(e["value"], handle_);
        }
    }
    const std::string put = "zupPutVariable global KorLix_BlockHandle", get = "zupGetVariable caller KorLix_";
    // clang-format off
    EXPECT_EQ(lines, (Lines{
        put, "global KorLix_BlockHandle;KorLix_BlockMaskType=get_param(KorLix_BlockHandle,'MaskType');",
        get + "BlockMaskType", "clear global KorLix_BlockHandle; clear KorLix_BlockMaskType;",
        put, "global KorLix_BlockHandle;"
             "[KorLix_ErrMsg,KorLix_ExecSys,KorLix_SysType]=korlix_get_execsys2(KorLix_BlockHandle);",
        get + "ErrMsg", get + "ExecSys", get + "SysType",
        "clear global KorLix_BlockHandle;clear KorLix_ExecSys KorLix_SysType KorLix_ErrMsg;",
        put, "global KorLix_BlockHandle;KorLix_IsHandle=ishandle(KorLix_BlockHandle);", get + "IsHandle",
        "clear global KorLix_BlockHandle;clear KorLix_IsHandle;"}));
    // clang-format on
    EXPECT_EQ(leftovers(), Lines{});
    EXPECT_EQ(log.destroyed, 0);
    model_.find("b")->maskType = std::nullopt;
    EXPECT_EQ(korlix::queryBlockMaskType(handle_), "");
    EXPECT_EQ(korlix::queryBlockMaskType(12345.0), "");
    EXPECT_EQ(leftovers(), Lines{});
}

TEST_F(ModuleWorkspaceTest, ExecutionSystemAnswers) {
    const std::string unknown =
        "Unknown KORLIX system type found (must be \"wqm\", \"host\", \"opalrt\" or  \"kvd\")!";
    // clang-format off
    struct Row { std::optional<ExecSysAnswer> answer; std::string result; };  // nullopt: no korlix_get_execsys2
    const Row rows[] = {  // result: execution system|code|error
        {ExecSysAnswer{"", "rt", "host"}, "rt|1|"}, {ExecSysAnswer{"", "w", "wqm"}, "w|2|"},
        {ExecSysAnswer{"", "o", "opalrt"}, "o|3|"}, {ExecSysAnswer{"", "", "kvd"}, "|4|"},
        {ExecSysAnswer{"", "rt", "Host"}, "rt|0|" + unknown}, {ExecSysAnswer{"", "rt", "host "}, "rt|0|" + unknown},
        {ExecSysAnswer{"no licence", "rt", "kvd"}, "rt|4|no licence"}, {std::nullopt, "before|0|" + unknown},
    };
    // clang-format on
    for (const Row& row : rows) {
        model_.find("b")->executionSystem = row.answer;
        std::string execSys = "before", error = "before";
        int32_t code = 99;
        korlix::queryExecutionSystem(handle_, execSys, code, error);
        EXPECT_EQ(execSys + "|" + std::to_string(code) + "|" + error, row.result);
        EXPECT_EQ(leftovers(), Lines{}) << row.result;
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
    ProbeLog logs[4];
    for (int i = 0; i < 3; ++i) {  // 99.5 is no block at all
        registry::insert(std::vector{handle_, gone, 99.5}[i], std::make_unique<ProbeBlock>(&logs[i]));
    }
    BaseFcn* kept = registry::find(handle_);
    EXPECT_EQ(registry::insert(handle_, std::make_unique<ProbeBlock>(&logs[3])), kept);
    EXPECT_EQ(registry::insert(handle_, nullptr), kept);
    EXPECT_EQ(registry::handles(), (std::vector<double>{handle_, gone, 99.5}));
    quonix::trace().clear();
    korlix::removeStaleBlocks();
    EXPECT_EQ(registry::handles(), (std::vector<double>{handle_}));
    EXPECT_EQ((std::vector{logs[0].destroyed, logs[1].destroyed, logs[2].destroyed, logs[3].destroyed}),
              (std::vector{0, 1, 1, 1}));
    EXPECT_EQ(logs[1].traceAtDestruction, 3u * 4u) << "every handle is asked about before any removal";
    EXPECT_EQ(leftovers(), Lines{});
    // Without a model the ishandle command fails and leaves nothing to read: the block is kept.
    quonix::setModelQueries(nullptr);
    korlix::removeStaleBlocks();
    quonix::setModelQueries(&model_);
    registry::remove(99.0);
    EXPECT_EQ(registry::size(), 1u);
    registry::remove(handle_);
    registry::remove(handle_);
    EXPECT_EQ(registry::find(handle_), nullptr);
    EXPECT_EQ(logs[0].destroyed, 1);
}

}  // namespace
