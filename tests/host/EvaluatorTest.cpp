// The "global" and "caller" workspaces and the command evaluator: statement forms, function calls, quoted
// texts, global declarations and clear forms, and failures that set nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "Dialogs.hpp"
#include "quonix/host.hpp"

namespace {

using quonix::ArrayPtr;
using Names = std::vector<std::string>;

const char* const kCases = "tests/host/evaluator_cases.json";

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

// Rows of evaluator_cases.json, from global G1 = 1, G2 = 2 and caller L1 = 3, L2 = 4: the command, both
// workspaces after it, what "caller" reads as G1 and P, and whether the probe stored in "caller" lands in
// "global".
TEST_F(Workspace, GlobalDeclarationsAndClearForms) {
    for (const auto& row : korlix_test::caseTable(kCases, "global declarations and clear forms")) {
        SCOPED_TRACE(row.dump());
        quonix::clearWorkspaces();
        put("global", "G1", 1);
        put("global", "G2", 2);
        put("caller", "L1", 3);
        put("caller", "L2", 4);
        EXPECT_EQ(zupEvalString(row["command"].get<std::string>().c_str()), 0);
        EXPECT_EQ(quonix::workspaceVariables("global"), row["global"].get<Names>());
        EXPECT_EQ(quonix::workspaceVariables("caller"), row["caller"].get<Names>());
        EXPECT_EQ("G1=" + show("caller", "G1") + " P=" + show("caller", "P"), row["reads"]);
        const std::string probe = row["probe"];
        put("caller", probe.c_str(), 9);
        EXPECT_EQ(show("global", probe) == "9", row["probeIsGlobal"]);
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

// Rows of evaluator_cases.json: the command, its status and then "caller". Globals H, D, B hold the handles
// of config, gone and bare (KorLix_BlockHandle that of config as well), P holds 'MaskType', "caller" holds
// M = 'old'.
TEST_F(Evaluator, StatementListsAndTheirFailures) {
    for (const auto& row : korlix_test::caseTable(kCases, "statement lists")) {
        SCOPED_TRACE(row.dump());
        quonix::clearWorkspaces();
        put("global", "H", 1.0001);
        put("global", "D", 2.0001);
        put("global", "B", 3.0001);
        put("global", "KorLix_BlockHandle", 1.0001);
        ArrayPtr old(zvCreateString("old")), parameter(zvCreateString("MaskType"));
        zupPutVariable("caller", "M", old.get());
        zupPutVariable("global", "P", parameter.get());
        EXPECT_EQ(zupEvalString(row["command"].get<std::string>().c_str()), row["status"]);
        EXPECT_EQ(callerVariables(), row["caller"]);
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
