// The workspace bridge against the stand-in host's evaluator: answers, the exact protocol, and a workspace
// left as it was found.
#include <gtest/gtest.h>

#include <functional>

#include "CountedBlock.hpp"
#include "services/Workspace.hpp"

namespace {

using korlix_test::Counted;
using quonix::ExecSysAnswer;
using Lines = std::vector<std::string>;

const std::string kUnknownType =
    "Unknown KORLIX system type found (must be \"wqm\", \"host\", \"opalrt\" or  \"kvd\")!";

class ModuleWorkspaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        quonix::clearWorkspaces();
        quonix::trace().clear();
        quonix::trace().setEnabled(true);
        quonix::BlockSpec blockSpec;
        blockSpec.name = "b";
        blockSpec.maskType = "KORLIXConfig";
        handle_ = model_.addBlock(blockSpec).handle;
        arraysBefore_ = quonix::liveArrayCount();
    }
    void TearDown() override {
        korlix::registry::destroyAll();
        EXPECT_EQ(quonix::liveArrayCount(), arraysBefore_) << "every host array is released";
        quonix::trace().setEnabled(false);
        quonix::clearWorkspaces();
    }
    // Both workspaces are empty again.
    static void expectClean(const std::string& label) {
        EXPECT_EQ(quonix::workspaceVariables("global"), Lines{}) << label;
        EXPECT_EQ(quonix::workspaceVariables("caller"), Lines{}) << label;
    }
    // The trace as lines: the call, then its command or its workspace and variable.
    static Lines traceLines() {
        Lines lines;
        for (const auto& e : quonix::trace().events()) {
            const std::string call = e.value("call", "");
            lines.push_back(call == "zupEvalString"
                                ? e["command"].get<std::string>()
                                : call + " " + e.value("workspace", "") + " " + e.value("name", ""));
        }
        return lines;
    }

    quonix::Model model_{"m"};
    double handle_ = 0;
    std::size_t arraysBefore_ = 0;
};

TEST_F(ModuleWorkspaceTest, ProtocolOfEachQuery) {
    const std::string put = "zupPutVariable global KorLix_BlockHandle";
    struct Row {
        const char* label;
        std::function<void(double)> query;
        Lines leftovers;  // variables of the same names that were there before
        Lines trace;
    };
    int destroyed = 0;
    const Row rows[] = {
        {"mask type",
         [](double h) { korlix::queryBlockMaskType(h); },
         {"KorLix_BlockMaskType"},
         {put, "global KorLix_BlockHandle;KorLix_BlockMaskType=get_param(KorLix_BlockHandle,'MaskType');",
          "zupGetVariable caller KorLix_BlockMaskType",
          "clear global KorLix_BlockHandle; clear KorLix_BlockMaskType;"}},
        {"execution system",
         [](double h) {
             std::string execSys, error;
             int32_t code = 0;
             korlix::queryExecutionSystem(h, execSys, code, error);
         },
         {"KorLix_ErrMsg", "KorLix_ExecSys", "KorLix_SysType"},
         {put,
          "global KorLix_BlockHandle;"
          "[KorLix_ErrMsg,KorLix_ExecSys,KorLix_SysType]=korlix_get_execsys2(KorLix_BlockHandle);",
          "zupGetVariable caller KorLix_ErrMsg", "zupGetVariable caller KorLix_ExecSys",
          "zupGetVariable caller KorLix_SysType",
          "clear global KorLix_BlockHandle;clear KorLix_ExecSys KorLix_SysType KorLix_ErrMsg;"}},
        {"stale handles",
         [&destroyed](double h) {
             korlix::registry::insert(h, std::make_unique<Counted>(destroyed));
             quonix::trace().clear();
             korlix::removeStaleBlocks();
         },
         {"KorLix_IsHandle"},
         {put, "global KorLix_BlockHandle;KorLix_IsHandle=ishandle(KorLix_BlockHandle);",
          "zupGetVariable caller KorLix_IsHandle", "clear global KorLix_BlockHandle;clear KorLix_IsHandle;"}},
    };
    for (const Row& row : rows) {
        for (const std::string& name : row.leftovers) {
            quonix::ArrayPtr old(zvCreateString("old"));
            zupPutVariable("caller", name.c_str(), old.get());
        }
        quonix::trace().clear();
        row.query(handle_);
        EXPECT_EQ(traceLines(), row.trace) << row.label;
        for (const auto& e : quonix::trace().events()) {
            EXPECT_EQ(e.value("status", 0), 0) << row.label << ": " << e.dump();
        }
        EXPECT_EQ(quonix::trace().events()[0]["value"], handle_) << row.label;
        expectClean(row.label);
    }
    EXPECT_EQ(destroyed, 0);
}

TEST_F(ModuleWorkspaceTest, ExecutionSystemAnswers) {
    struct Row {
        const char* label;
        std::optional<ExecSysAnswer> answer;  // nullopt: korlix_get_execsys2 does not exist
        std::string execSys;
        int32_t code;
        std::string error;
    };
    const Row rows[] = {
        {"host", ExecSysAnswer{"", "rt", "host"}, "rt", korlix::kExecHost, ""},
        {"wqm", ExecSysAnswer{"", "w", "wqm"}, "w", korlix::kExecWqm, ""},
        {"opalrt", ExecSysAnswer{"", "o", "opalrt"}, "o", korlix::kExecOpalrt, ""},
        {"kvd", ExecSysAnswer{"", "", "kvd"}, "", korlix::kExecKvd, ""},
        {"capital Host", ExecSysAnswer{"", "rt", "Host"}, "rt", korlix::kExecNone, kUnknownType},
        {"type with a blank", ExecSysAnswer{"", "rt", "host "}, "rt", korlix::kExecNone, kUnknownType},
        {"error with a valid type", ExecSysAnswer{"no licence", "rt", "kvd"}, "rt", korlix::kExecKvd,
         "no licence"},
        {"function missing", std::nullopt, "before", korlix::kExecNone, kUnknownType},
    };
    for (const Row& row : rows) {
        model_.find("b")->executionSystem = row.answer;
        std::string execSys = "before", error = "before";
        int32_t code = 99;
        korlix::queryExecutionSystem(handle_, execSys, code, error);
        EXPECT_EQ(execSys, row.execSys) << row.label;
        EXPECT_EQ(code, row.code) << row.label;
        EXPECT_EQ(error, row.error) << row.label;
        expectClean(row.label);
    }
}

TEST_F(ModuleWorkspaceTest, MaskTypeAndCallerVariables) {
    EXPECT_EQ(korlix::queryBlockMaskType(handle_), "KORLIXConfig");
    model_.find("b")->maskType = std::nullopt;
    EXPECT_EQ(korlix::queryBlockMaskType(handle_), "");
    EXPECT_EQ(korlix::queryBlockMaskType(12345.0), "");
    expectClean("mask type");

    struct Row {
        const char* label;
        zvArray* value;  // null: no such variable
        bool found;
        std::string text;
    };
    const Row rows[] = {
        {"text", zvCreateString("abc"), true, "abc"},
        {"empty text", zvCreateString(""), true, ""},
        {"number", zvCreateDoubleScalar(5), false, "unchanged"},
        {"missing", nullptr, false, "unchanged"},
    };
    for (const Row& row : rows) {
        quonix::ArrayPtr value(row.value);
        if (value != nullptr) {
            zupPutVariable("caller", "V", value.get());
        }
        std::string text = "unchanged";
        EXPECT_EQ(korlix::getCallerVariableString("V", text), row.found) << row.label;
        EXPECT_EQ(text, row.text) << row.label;
        quonix::clearWorkspaces();
    }
}

TEST_F(ModuleWorkspaceTest, StaleHandlesAreRemovedAfterTheWalk) {
    korlix::removeStaleBlocks();
    EXPECT_TRUE(quonix::trace().events().empty()) << "an empty registry asks nothing";

    quonix::BlockSpec gone;
    gone.name = "gone";
    gone.deleted = true;
    const double goneHandle = model_.addBlock(gone).handle;
    int destroyed[3] = {};
    const double handles[3] = {handle_, goneHandle, 99.5};  // 99.5 is no block at all
    for (int i = 0; i < 3; ++i) {
        korlix::registry::insert(handles[i], std::make_unique<Counted>(destroyed[i]));
    }
    korlix::removeStaleBlocks();
    EXPECT_EQ(korlix::registry::handles(), (std::vector<double>{handle_}));
    EXPECT_EQ(destroyed[0], 0);
    EXPECT_EQ(destroyed[1], 1);
    EXPECT_EQ(destroyed[2], 1);
    EXPECT_EQ(Counted::traceLengthAtDestruction, 3u * 4u) << "every handle is asked about before any removal";
    expectClean("sweep");

    // Without a model the ishandle command fails and leaves nothing to read: the block is kept.
    quonix::setModelQueries(nullptr);
    korlix::removeStaleBlocks();
    quonix::setModelQueries(&model_);
    EXPECT_EQ(korlix::registry::size(), 1u);
}

}  // namespace
