// The "global" and "caller" workspaces and the command evaluator: statement forms, function calls, quoted
// texts, global declarations and clear forms, and failures that set nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "quonix/host.hpp"

namespace {

using quonix::ArrayPtr;
using Names = std::vector<std::string>;

int put(const char* ws, const char* name, double value) {
    ArrayPtr a(zvCreateDoubleScalar(value));
    return zupPutVariable(ws, name, a.get());
}

// A variable as the tests write it: 'text', a number, [] for an empty double, - for a missing variable.
std::string show(const char* ws, const std::string& name) {
    ArrayPtr a(zupGetVariable(ws, name.c_str()));
    char* text = zvArrayToString(a.get());
    char number[32];
    std::snprintf(number, sizeof number, "%g", zvGetScalar(a.get()));
    const std::string shown = text != nullptr      ? "'" + std::string(text) + "'"
                              : !a                 ? "-"
                              : zvIsEmpty(a.get()) ? "[]"
                                                   : number;
    zvFree(text);
    return shown;
}

// Every variable of "caller" as NAME=VALUE, in name order.
std::string callerVariables() {
    std::string out;
    for (const std::string& name : quonix::workspaceVariables("caller")) {
        out += (out.empty() ? "" : " ") + name + "=" + show("caller", name);
    }
    return out;
}

// The model: "config" 1.0001 with mask type and execution system, "gone" 2.0001 deleted, "bare" 3.0001
// without mask type and without korlix_get_execsys2.
class Workspace : public ::testing::Test {
  protected:
    void SetUp() override {
        quonix::clearWorkspaces();
        model_.addBlock({.name = "config",
                         .maskType = "KORLIXConfig",
                         .executionSystem = quonix::ExecSysAnswer{"", "target_rt", "host"}});
        model_.addBlock({.name = "gone", .maskType = "FlexRayPackPDU", .deleted = true});
        model_.addBlock({.name = "bare", .maskType = std::nullopt, .executionSystem = std::nullopt});
        start_ = quonix::liveArrayCount();
    }
    void TearDown() override {
        quonix::clearWorkspaces();
        EXPECT_EQ(quonix::liveArrayCount(), start_) << "arrays leaked";
    }
    quonix::Model model_{"eval"};
    std::size_t start_ = 0;
};
class Evaluator : public Workspace {};

// Put and get work on copies; bad workspaces, names and values are refused and store nothing.
TEST_F(Workspace, PutAndGetWorkOnCopiesAndRefuseBadArguments) {
    ArrayPtr value(zvCreateString("text"));
    ASSERT_EQ(zupPutVariable("caller", "V", value.get()), 0);
    value.reset();  // the host keeps its own copy
    ArrayPtr first(zupGetVariable("caller", "V")), second(zupGetVariable("caller", "V"));
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(show("caller", "V") + show("global", "V"), "'text'-");
    quonix::clearWorkspaces();
    value.reset(zvCreateDoubleScalar(1.0));
    const std::tuple<const char*, const char*, const zvArray*> cases[] = {
        {"base", "A", value.get()},     {nullptr, "A", value.get()}, {"caller", "1A", value.get()},
        {"caller", "A-B", value.get()}, {"caller", "", value.get()}, {"caller", nullptr, value.get()},
        {"global", "A", nullptr}};
    for (const auto& [ws, name, array] : cases) {
        EXPECT_EQ(zupPutVariable(ws, name, array), 1)
            << (ws ? ws : "(null)") << " " << (name ? name : "(null)");
    }
    for (const char* ws : {"global", "caller", "base"}) {
        EXPECT_TRUE(quonix::workspaceVariables(ws).empty()) << ws;
    }
    EXPECT_EQ(zupGetVariable("base", "A"), nullptr);
    EXPECT_EQ(zupGetVariable("caller", nullptr), nullptr);
}

TEST_F(Workspace, GlobalDeclarationsAndClearForms) {
    // From global G1 = 1, G2 = 2 and caller L1 = 3, L2 = 4: the command, both workspaces after it, what
    // "caller" reads as G1 and P, and whether the probe stored in "caller" lands in "global".
    // clang-format off
    const std::tuple<const char*, Names, Names, const char*, const char*, bool> cases[] = {
        {"global G1;",                   {"G1", "G2"},      {"L1", "L2"}, "G1=1 P=-",  "G1", true},
        {"global P;",                    {"G1", "G2", "P"}, {"L1", "L2"}, "G1=- P=[]", "P",  true},
        {"global G1 P",                  {"G1", "G2", "P"}, {"L1", "L2"}, "G1=1 P=[]", "P",  true},
        {"global L1;",                   {"G1", "G2", "L1"}, {"L2"},      "G1=- P=-",  "L1", true},
        {"global G1; clear global G1;",  {"G2"},            {"L1", "L2"}, "G1=- P=-",  "G1", false},
        {"clear global G2",              {"G1"},            {"L1", "L2"}, "G1=- P=-",  "G2", false},
        {"global G1;clear global;",      {},                {"L1", "L2"}, "G1=- P=-",  "G1", false},
        {"clear L1 L2 Nothing;",         {"G1", "G2"},      {},           "G1=- P=-",  "L1", false},
        {"global G1;clear G1;",          {"G1", "G2"},      {"L1", "L2"}, "G1=- P=-",  "G1", false},
        {"global G1;clear;",             {"G1", "G2"},      {},           "G1=- P=-",  "G1", false},
    };
    // clang-format on
    for (const auto& [command, globals, callers, reads, probe, probeIsGlobal] : cases) {
        SCOPED_TRACE(command);
        quonix::clearWorkspaces();
        put("global", "G1", 1);
        put("global", "G2", 2);
        put("caller", "L1", 3);
        put("caller", "L2", 4);
        EXPECT_EQ(zupEvalString(command), 0);
        EXPECT_EQ(quonix::workspaceVariables("global"), globals);
        EXPECT_EQ(quonix::workspaceVariables("caller"), callers);
        EXPECT_EQ("G1=" + show("caller", "G1") + " P=" + show("caller", "P"), reads);
        put("caller", probe, 9);
        EXPECT_EQ(show("global", probe) == "9", probeIsGlobal);
    }
}

// The handles the rows below use are those the model assigns; names and handles are unique.
TEST_F(Evaluator, ModelAssignsDistinctHandles) {
    const std::vector<quonix::BlockSpec>& blocks = model_.blocks();
    EXPECT_EQ((std::vector{blocks[0].handle, blocks[1].handle, blocks[2].handle}),
              (std::vector{1.0001, 2.0001, 3.0001}));
    EXPECT_THROW(model_.addBlock({.name = "config", .maskType = {}}), std::invalid_argument);
    EXPECT_THROW(model_.addBlock({.name = "other", .handle = 2.0001, .maskType = {}}), std::invalid_argument);
}

TEST_F(Evaluator, StatementListsAndTheirFailures) {
    // Globals H, D, B hold the handles of config, gone and bare (KorLix_BlockHandle that of config as well),
    // P holds 'MaskType', "caller" holds M = 'old'. The row gives the command, its status and then "caller".
    // clang-format off
    const std::tuple<const char*, int, const char*> cases[] = {
        {"global H;M=get_param(H,'MaskType');",                  0, "M='KORLIXConfig'"},
        {"  global   H ;  M = get_param ( H , 'MaskType' ) ;  ", 0, "M='KORLIXConfig'"},
        {"global H\nM=get_param(H,'MaskType')",                  0, "M='KORLIXConfig'"},
        {"global H P;M=get_param(H,P);",                         0, "M='KORLIXConfig'"},
        {"global KorLix_BlockHandle;KorLix_IsHandle=ishandle(KorLix_BlockHandle);", 0, "KorLix_IsHandle=1 M='old'"},
        {"global H;M=get_param(H,'Name');",                      1, "M='old'"},
        {"global D;M=get_param(D,'MaskType');",                  1, "M='old'"},
        {"global B;M=get_param(B,'MaskType');",                  1, "M='old'"},
        {"M=get_param(H,'MaskType');",                           1, "M='old'"},  // H not declared
        {"global H;M=mask_of(H);",                               1, "M='old'"},
        {"global H;I=ishandle(H);",                              0, "I=1 M='old'"},
        {"global D;I=ishandle(D);",                              0, "I=0 M='old'"},
        {"I=ishandle('H');",                                     0, "I=0 M='old'"},
        {"global Fresh;I=ishandle(Fresh);",                      0, "I=0 M='old'"},
        {"global H;[E,X,T]=korlix_get_execsys2(H);",             0, "E='' M='old' T='host' X='target_rt'"},
        {"global H;[E X, T] = korlix_get_execsys2( H );",        0, "E='' M='old' T='host' X='target_rt'"},
        {"global H;[E,X]=korlix_get_execsys2(H);",               0, "E='' M='old' X='target_rt'"},
        {"global H;[E,X,T,M]=korlix_get_execsys2(H);",           1, "M='old'"},
        {"global B;[E,X,T]=korlix_get_execsys2(B);",             1, "M='old'"},
        {"global H;M=nothing(H);I=ishandle(H);",                 1, "M='old'"},
        {"global H;I=ishandle(H);M=get_param(H,'MaskType'",      1, "I=1 M='old'"},
        {"I=ishandle('a;b');",                                   0, "I=0 M='old'"},
        {"I=ishandle('it''s; fine');",                           0, "I=0 M='old'"},
        {"I=ishandle('abc);",                                    1, "M='old'"},
        {"global H;M get_param(H,'MaskType');",                  1, "M='old'"},
        {"I=ishandle(1.0001);",                                  1, "M='old'"},
        {"global H;I=ishandle(H) x;",                            1, "M='old'"},
        {"global H;[]=ishandle(H);",                             1, "M='old'"},
        {"global;",                                              1, "M='old'"},
        {"global H;global = ishandle(H);",                       0, "M='old' global=1"},  // a name, not the word
        {"global H;Zz9=ishandle(H);",                            0, "M='old' Zz9=1"},
        {"=ishandle(H);",                                        1, "M='old'"},
        {"",                                                     0, "M='old'"},
    };
    // clang-format on
    for (const auto& [command, status, caller] : cases) {
        SCOPED_TRACE(command);
        quonix::clearWorkspaces();
        put("global", "H", 1.0001);
        put("global", "D", 2.0001);
        put("global", "B", 3.0001);
        put("global", "KorLix_BlockHandle", 1.0001);
        ArrayPtr old(zvCreateString("old")), parameter(zvCreateString("MaskType"));
        zupPutVariable("caller", "M", old.get());
        zupPutVariable("global", "P", parameter.get());
        EXPECT_EQ(zupEvalString(command), status);
        EXPECT_EQ(callerVariables(), caller);
    }
}

TEST_F(Evaluator, NoModelMakesEveryQueryFail) {
    quonix::setModelQueries(nullptr);
    put("global", "H", 1.0001);
    for (const char* command : {"global H;M=get_param(H,'MaskType');", "global H;M=ishandle(H);",
                                "global H;[M]=korlix_get_execsys2(H);"}) {
        EXPECT_EQ(zupEvalString(command), 1) << command;
        EXPECT_EQ(show("caller", "M"), "-") << command;
    }
    quonix::setModelQueries(&model_);
    EXPECT_EQ(zupEvalString(nullptr), 1);
}

}  // namespace
