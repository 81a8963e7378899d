// The command evaluator: statement forms, function calls, quoted texts, and failures that set nothing.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "quonix/host.hpp"

namespace {

using quonix::ArrayPtr;

// A variable as the tests write it: 'text', a number, [] for an empty double, - for a missing variable.
std::string show(const char* ws, const char* name) {
    ArrayPtr a(zupGetVariable(ws, name));
    if (!a) {
        return "-";
    }
    if (zvIsChar(a.get())) {
        char* text = zvArrayToString(a.get());
        std::string out = "'" + std::string(text) + "'";
        zvFree(text);
        return out;
    }
    if (zvIsEmpty(a.get())) {
        return "[]";
    }
    std::ostringstream out;
    out << zvGetScalar(a.get());
    return out.str();
}

class Evaluator : public ::testing::Test {
  protected:
    void SetUp() override {
        quonix::clearWorkspaces();
        quonix::BlockSpec config;
        config.name = "config";
        config.maskType = "KORLIXConfig";
        config.executionSystem = quonix::ExecSysAnswer{"", "target_rt", "host"};
        model_.addBlock(config);  // 1.0001
        quonix::BlockSpec gone;
        gone.name = "gone";
        gone.maskType = "FlexRayPackPDU";
        gone.deleted = true;
        model_.addBlock(gone);  // 2.0001
        quonix::BlockSpec bare;
        bare.name = "bare";
        bare.executionSystem = std::nullopt;
        model_.addBlock(bare);  // 3.0001
    }
    void TearDown() override { quonix::clearWorkspaces(); }
    quonix::Model model_{"eval"};
};

TEST_F(Evaluator, ModelAssignsDistinctHandles) {
    EXPECT_EQ(model_.blocks()[0].handle, 1.0001);
    EXPECT_EQ(model_.blocks()[1].handle, 2.0001);
    EXPECT_EQ(model_.blocks()[2].handle, 3.0001);
    quonix::BlockSpec same;
    same.name = "config";
    EXPECT_THROW(model_.addBlock(same), std::invalid_argument);
    same.name = "other";
    same.handle = 2.0001;
    EXPECT_THROW(model_.addBlock(same), std::invalid_argument);
}

// Every row starts with globals H (config), D (deleted block), B (bare block) = their handles, caller
// M = 'old' and P = 'MaskType', then evaluates the command and looks at caller variables M, I, E, X, T.
struct EvalCase {
    const char* name;
    const char* command;
    int status;
    std::map<std::string, std::string> expect;
};

TEST_F(Evaluator, StatementListsAndTheirFailures) {
    const EvalCase cases[] = {
        {"mask type", "global H;M=get_param(H,'MaskType');", 0, {{"M", "'KORLIXConfig'"}}},
        {"blanks between tokens",
         "  global   H ;  M = get_param ( H , 'MaskType' ) ;  ",
         0,
         {{"M", "'KORLIXConfig'"}}},
        {"no final semicolon", "global H\nM=get_param(H,'MaskType')", 0, {{"M", "'KORLIXConfig'"}}},
        {"parameter name from a variable", "global H;M=get_param(H,P);", 0, {{"M", "'KORLIXConfig'"}}},
        {"other parameter", "global H;M=get_param(H,'Name');", 1, {{"M", "'old'"}}},
        {"deleted block", "global D;M=get_param(D,'MaskType');", 1, {{"M", "'old'"}}},
        {"block without mask type", "global B;M=get_param(B,'MaskType');", 1, {{"M", "'old'"}}},
        {"handle not visible undeclared", "M=get_param(H,'MaskType');", 1, {{"M", "'old'"}}},
        {"unknown variable", "M=get_param(Nothing,'MaskType');", 1, {{"M", "'old'"}}},
        {"unknown function", "global H;M=mask_of(H);", 1, {{"M", "'old'"}}},
        {"valid handle", "global H;I=ishandle(H);", 0, {{"I", "1"}}},
        {"deleted handle", "global D;I=ishandle(D);", 0, {{"I", "0"}}},
        {"text is no handle", "I=ishandle('H');", 0, {{"I", "0"}}},
        {"empty is no handle", "global Fresh;I=ishandle(Fresh);", 0, {{"I", "0"}}},
        {"execution system",
         "global H;[E,X,T]=korlix_get_execsys2(H);",
         0,
         {{"E", "''"}, {"X", "'target_rt'"}, {"T", "'host'"}}},
        {"targets with blanks",
         "global H;[E X, T] = korlix_get_execsys2( H );",
         0,
         {{"E", "''"}, {"X", "'target_rt'"}, {"T", "'host'"}}},
        {"fewer targets",
         "global H;[E,X]=korlix_get_execsys2(H);",
         0,
         {{"E", "''"}, {"X", "'target_rt'"}, {"T", "-"}}},
        {"too many targets",
         "global H;[E,X,T,M]=korlix_get_execsys2(H);",
         1,
         {{"E", "-"}, {"X", "-"}, {"T", "-"}, {"M", "'old'"}}},
        {"missing function",
         "global B;[E,X,T]=korlix_get_execsys2(B);",
         1,
         {{"E", "-"}, {"X", "-"}, {"T", "-"}}},
        {"failure stops the list", "global H;M=nothing(H);I=ishandle(H);", 1, {{"M", "'old'"}, {"I", "-"}}},
        {"statements before a syntax error run",
         "global H;I=ishandle(H);M=get_param(H,'MaskType'",
         1,
         {{"I", "1"}, {"M", "'old'"}}},
        {"semicolon inside a text", "I=ishandle('a;b');", 0, {{"I", "0"}}},
        {"doubled quote inside a text", "I=ishandle('it''s; fine');", 0, {{"I", "0"}}},
        {"unterminated text", "I=ishandle('abc);", 1, {{"I", "-"}}},
        {"missing equals", "global H;M get_param(H,'MaskType');", 1, {{"M", "'old'"}}},
        {"number argument", "I=ishandle(1.0001);", 1, {{"I", "-"}}},
        {"trailing garbage", "global H;I=ishandle(H) x;", 1, {{"I", "-"}}},
        {"empty target list", "global H;[]=ishandle(H);", 1, {}},
        {"bare global", "global;", 1, {}},
        {"empty command", "", 0, {{"M", "'old'"}}},
    };
    for (const EvalCase& c : cases) {
        SCOPED_TRACE(c.name);
        quonix::clearWorkspaces();
        const std::pair<const char*, double> handles[] = {{"H", 1.0001}, {"D", 2.0001}, {"B", 3.0001}};
        for (const auto& [name, handle] : handles) {
            ArrayPtr h(zvCreateDoubleScalar(handle));
            zupPutVariable("global", name, h.get());
        }
        ArrayPtr old(zvCreateString("old")), parameter(zvCreateString("MaskType"));
        zupPutVariable("caller", "M", old.get());
        zupPutVariable("caller", "P", parameter.get());

        EXPECT_EQ(zupEvalString(c.command), c.status);
        for (const auto& [name, value] : c.expect) {
            EXPECT_EQ(show("caller", name.c_str()), value) << name;
        }
    }
}

TEST_F(Evaluator, NoModelMakesEveryQueryFail) {
    quonix::setModelQueries(nullptr);
    ArrayPtr h(zvCreateDoubleScalar(1.0001));
    zupPutVariable("global", "H", h.get());
    for (const char* command : {"global H;M=get_param(H,'MaskType');", "global H;M=ishandle(H);",
                                "global H;[M]=korlix_get_execsys2(H);"}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(zupEvalString(command), 1);
        EXPECT_EQ(show("caller", "M"), "-");
    }
    quonix::setModelQueries(&model_);
    EXPECT_EQ(zupEvalString(nullptr), 1);
}

// The queries the block library sends, run as it runs them: the workspaces end as they started.
TEST_F(Evaluator, QueryProtocolLeavesNothingBehind) {
    std::size_t arrays = quonix::liveArrayCount();
    const char* rounds[][2] = {
        {"global KorLix_BlockHandle;KorLix_BlockMaskType=get_param(KorLix_BlockHandle,'MaskType');",
         "clear global KorLix_BlockHandle; clear KorLix_BlockMaskType;"},
        {"global KorLix_BlockHandle;[KorLix_ErrMsg,KorLix_ExecSys,KorLix_SysType]=korlix_get_execsys2("
         "KorLix_BlockHandle);",
         "clear global KorLix_BlockHandle;clear KorLix_ExecSys KorLix_SysType KorLix_ErrMsg;"},
        {"global KorLix_BlockHandle;KorLix_IsHandle=ishandle(KorLix_BlockHandle);",
         "clear global KorLix_BlockHandle;clear KorLix_IsHandle;"},
    };
    for (const auto& round : rounds) {
        SCOPED_TRACE(round[0]);
        ArrayPtr h(zvCreateDoubleScalar(1.0001));
        ASSERT_EQ(zupPutVariable("global", "KorLix_BlockHandle", h.get()), 0);
        EXPECT_EQ(zupEvalString(round[0]), 0);
        EXPECT_FALSE(quonix::workspaceVariables("caller").empty());
        EXPECT_EQ(zupEvalString(round[1]), 0);
        EXPECT_TRUE(quonix::workspaceVariables("global").empty());
        EXPECT_TRUE(quonix::workspaceVariables("caller").empty());
    }
    EXPECT_EQ(quonix::liveArrayCount(), arrays);
}

}  // namespace
