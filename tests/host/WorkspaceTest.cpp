// The "global" and "caller" workspaces: variables, global declarations and the clear forms.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quonix/host.hpp"

namespace {

using quonix::ArrayPtr;
using Names = std::vector<std::string>;

class Workspace : public ::testing::Test {
  protected:
    void SetUp() override {
        quonix::clearWorkspaces();
        start_ = quonix::liveArrayCount();
    }
    void TearDown() override {
        quonix::clearWorkspaces();
        EXPECT_EQ(quonix::liveArrayCount(), start_) << "arrays leaked";
    }
    static int put(const char* ws, const char* name, double value) {
        ArrayPtr a(zvCreateDoubleScalar(value));
        return zupPutVariable(ws, name, a.get());
    }
    // The value as code in ws sees it, or -1 when there is no such variable.
    static double read(const char* ws, const char* name) {
        ArrayPtr a(zupGetVariable(ws, name));
        return a ? zvGetScalar(a.get()) : -1.0;
    }
    std::size_t start_ = 0;
};

TEST_F(Workspace, PutAndGetWorkOnCopies) {
    ArrayPtr value(zvCreateString("text"));
    ASSERT_EQ(zupPutVariable("caller", "V", value.get()), 0);
    value.reset();  // the host keeps its own copy
    ArrayPtr first(zupGetVariable("caller", "V"));
    ArrayPtr second(zupGetVariable("caller", "V"));
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first.get(), second.get());
    char* text = zvArrayToString(first.get());
    EXPECT_STREQ(text, "text");
    zvFree(text);
    EXPECT_EQ(zupGetVariable("global", "V"), nullptr);
}

TEST_F(Workspace, BadArgumentsAreRefused) {
    ArrayPtr value(zvCreateDoubleScalar(1.0));
    struct Case {
        const char* ws;
        const char* name;
        const zvArray* value;
    };
    const Case cases[] = {{"base", "A", value.get()},    {nullptr, "A", value.get()},
                          {"caller", "1A", value.get()}, {"caller", "A-B", value.get()},
                          {"caller", "", value.get()},   {"caller", nullptr, value.get()},
                          {"global", "A", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ws ? c.ws : "(null)") + " " + (c.name ? c.name : "(null)"));
        EXPECT_EQ(zupPutVariable(c.ws, c.name, c.value), 1);
    }
    EXPECT_TRUE(quonix::workspaceVariables("global").empty());
    EXPECT_TRUE(quonix::workspaceVariables("caller").empty());
    EXPECT_TRUE(quonix::workspaceVariables("base").empty());
    EXPECT_EQ(zupGetVariable("base", "A"), nullptr);
    EXPECT_EQ(zupGetVariable("caller", nullptr), nullptr);
}

// Each row starts from global G1 = 1, G2 = 2 and caller L1 = 3, L2 = 4, runs the command and compares both
// workspaces. Then it stores P = 9 in "caller" and reads P from "global": a declared P lands there.
struct GlobalCase {
    const char* name;
    const char* command;
    Names globals, callers;
    double callerG1;  // what "caller" reads as G1 afterwards (-1: nothing)
    const char* probe;
    bool probeIsGlobal;
};

TEST_F(Workspace, GlobalDeclarationsAndClearForms) {
    const GlobalCase cases[] = {
        {"declare existing", "global G1;", {"G1", "G2"}, {"L1", "L2"}, 1, "G1", true},
        {"declare creates empty", "global P;", {"G1", "G2", "P"}, {"L1", "L2"}, -1, "P", true},
        {"declare several", "global G1 P", {"G1", "G2", "P"}, {"L1", "L2"}, 1, "P", true},
        {"declare hides local", "global L1;", {"G1", "G2", "L1"}, {"L2"}, -1, "L1", true},
        {"clear global", "global G1; clear global G1;", {"G2"}, {"L1", "L2"}, -1, "G1", false},
        {"clear global undeclared", "clear global G2", {"G1"}, {"L1", "L2"}, -1, "G2", false},
        {"clear global all", "global G1;clear global;", {}, {"L1", "L2"}, -1, "G1", false},
        {"clear locals", "clear L1 L2 Nothing;", {"G1", "G2"}, {}, -1, "L1", false},
        {"clear declaration only", "global G1;clear G1;", {"G1", "G2"}, {"L1", "L2"}, -1, "G1", false},
        {"clear all locals", "global G1;clear;", {"G1", "G2"}, {}, -1, "G1", false},
    };
    for (const GlobalCase& c : cases) {
        SCOPED_TRACE(c.name);
        quonix::clearWorkspaces();
        put("global", "G1", 1);
        put("global", "G2", 2);
        put("caller", "L1", 3);
        put("caller", "L2", 4);
        EXPECT_EQ(zupEvalString(c.command), 0);
        EXPECT_EQ(quonix::workspaceVariables("global"), c.globals);
        EXPECT_EQ(quonix::workspaceVariables("caller"), c.callers);
        EXPECT_EQ(read("caller", "G1"), c.callerG1);
        put("caller", c.probe, 9);
        EXPECT_EQ(read("global", c.probe) == 9, c.probeIsGlobal);
    }
}

TEST_F(Workspace, DeclaredNameReadsAnEmptyGlobal) {
    ASSERT_EQ(zupEvalString("global H"), 0);
    ArrayPtr h(zupGetVariable("caller", "H"));
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(zvIsNumeric(h.get()) && zvIsEmpty(h.get()));
    // Once the global is gone, the declared name reads nothing (not a stale local).
    ASSERT_EQ(zupEvalString("clear global H;global K"), 0);
    EXPECT_EQ(zupGetVariable("caller", "H"), nullptr);
}

}  // namespace
