// The record writers (what the host makes of each pair kind) and the rendering of the record file.
#include <gtest/gtest.h>

#include "HostFixture.hpp"

namespace {

using nlohmann::json;

class Record : public korlix_test::HostFixture {
  protected:
    std::string moduleToLoad() const override { return korlix_test::testModulePath(); }

    quonix::BlockInstance& generateWith(const std::string& actions, const std::string& name) {
        addBlock("KORLIXTest", {{"OnQRX", actions}}, -1.0, name);
        quonix::BlockInstance& inst = initialize(name);
        callback(inst, 119);
        return inst;
    }
};

struct PairCase {
    const char* action;
    const char* value;  // the pair's "value" as JSON
    const char* line;   // the pair rendered as a line of the record file
};

TEST_F(Record, PairKindsAreReadAndRendered) {
    const PairCase cases[] = {
        {"pair 1 Name 0 1 1 PDU_1", R"("PDU_1")", R"(Name "PDU_1")"},
        {R"(pair 1 Quote 0 1 1 a"b\c)", R"("a\"b\\c")", R"(Quote "a\"b\\c")"},
        {"pair 0 Bare 0 1 1 x y", R"("x y")", "Bare x y"},
        {"pair 2 List 0 2 1 a b", R"(["a", "b"])", R"(List ["a", "b"])"},
        {"pair 3 D 0 1 1 1.5", "1.5", "D 1.5"},
        {"pair 4 V 0 3 1 1 0.1 -3", "[1.0, 0.1, -3.0]", "V [1, 0.1, -3]"},
        {"pair 5 M 0 2 2 1 3 2 4", "[[1.0, 2.0], [3.0, 4.0]]", "M [1, 2; 3, 4]"},
        {"pair 6 Width 6 1 1 -7", "-7", "Width -7"},
        {"pair 6 U 7 1 1 4294967295", "4294967295", "U 4294967295"},
        {"pair 6 S 1 1 1 0.5", "0.5", "S 0.5"},
        {"pair 6 Big 0 1 1 1e300", "1e300", "Big 1e+300"},
        {"pair 7 I8 2 3 1 -1 0 127", "[-1, 0, 127]", "I8 [-1, 0, 127]"},
        {"pair 7 U16 5 2 1 65535 7", "[65535, 7]", "U16 [65535, 7]"},
        {"pair 7 I16 4 1 1 -300", "[-300]", "I16 [-300]"},
        {"pair 7 U8 3 1 1 255", "[255]", "U8 [255]"},
        {"pair 7 B 8 2 1 1 0", "[1, 0]", "B [1, 0]"},
        {"pair 8 M 6 2 3 1 4 2 5 3 6", "[[1, 2, 3], [4, 5, 6]]", "M [1, 2, 3; 4, 5, 6]"},
        {"pair 6 C 65536 1 1 1 -2", R"({"re": 1.0, "im": -2.0})", "C 1-2i"},
        {"pair 7 CV 65542 2 1 1 2 3 -4", R"({"re": [1, 3], "im": [2, -4]})", "CV [1+2i, 3-4i]"},
        {"pair 9 Z 65542 2 1 1 2 3 4", R"({"re": [1, 2], "im": [3, 4]})", "Z [1+3i, 2+4i]"},
        {"pair 9 R 6 2 1 1 2", "[1, 2]", "R [1, 2]"},
        {"pair 10 ZM 65536 1 2 1 2 -1 0.5", R"({"re": [[1.0, 2.0]], "im": [[-1.0, 0.5]]})",
         "ZM [1-1i, 2+0.5i]"},
        {"pair 7 E 6 0 1", "[]", "E []"},
        {"nullpair 7 E 6 0 1", "[]", "E []"},
        {"nullpair 8 M 6 0 0", "[]", "M []"},
    };
    for (const PairCase& c : cases) {
        SCOPED_TRACE(c.action);
        quonix::BlockInstance& inst = generateWith(c.action, "b" + std::to_string(model_.blocks().size()));
        EXPECT_FALSE(inst.hasError()) << errorText(inst);
        ASSERT_EQ(inst.record().size(), 1u);
        const json& pair = inst.record()[0]["pair"];
        EXPECT_EQ(pair["value"], json::parse(c.value));
        EXPECT_EQ(quonix::renderRecordPair(pair), c.line);
    }
}

TEST_F(Record, PairsTheHostCannotReadAreRefused) {
    const char* actions[] = {
        "nullpair 7 N 6 2 1",      // values missing
        "nullpair 1 N 0 1 1",      // text missing
        "pair 11 K 0 1 1 1",       // no such kind
        "pair 7 T 9 1 1 1",        // no such data type
        "pair 7 R 6 -1 1",         // negative rows
        "nullpair 9 Z 65542 1 1",  // parts missing
    };
    for (const char* action : actions) {
        SCOPED_TRACE(action);
        quonix::BlockInstance& inst = generateWith(action, "b" + std::to_string(model_.blocks().size()));
        EXPECT_EQ(errorText(inst), "writer answered 0");
        EXPECT_TRUE(inst.record().empty());
    }
}

TEST_F(Record, WritersAnswerWhatTheHostIsToldAndRecordTheCall) {
    addBlock("KORLIXTest", {{"OnQRX", "text one|text two"}}, -1.0, "refusing");
    quonix::BlockInstance& inst = initialize("refusing");
    inst.setWriterResult(3);
    callback(inst, 119);
    EXPECT_EQ(errorText(inst), "writer answered 3");
    EXPECT_EQ(inst.report()["record"], json::parse(R"([{"text": "one"}])"));
}

TEST_F(Record, CaptureInstallsTheWritersOutsideCodeGeneration) {
    addBlock("KORLIXTest", {}, -1.0, "captured");
    quonix::BlockInstance& inst = initialize("captured");
    HostBlock& b = inst.block();
    EXPECT_EQ(b.writeRecordText, nullptr);
    inst.beginRecordCapture();
    ASSERT_NE(b.writeRecordText, nullptr);
    const int32_t values[] = {4, 5};
    EXPECT_EQ(b.writeRecordText(b.recordContext, "line\n"), 1);
    EXPECT_EQ(b.writeRecordPair(b.recordContext, 7, "V", values, 6, 2, 1), 1);
    inst.endRecordCapture();
    EXPECT_EQ(b.writeRecordText, nullptr);
    EXPECT_EQ(b.writeRecordPair, nullptr);
    EXPECT_EQ(inst.report()["record"], json::parse(R"([{"text": "line\n"},
        {"pair": {"kind": 7, "name": "V", "value": [4, 5], "dataTypeId": 6, "rows": 2, "columns": 1}}])"));
}

TEST_F(Record, FileHasAHeaderAndOneSectionPerBlockWithARecord) {
    quonix::BlockInstance& first = generateWith(
        "text KORLIXSFunParameters {\\n        MaskType         \"KORLIXConfig\"\\n      }\\n|"
        "pair 6 NumIWorkDefines 6 1 1 1|text IWorkDefine {|pair 1 Name 0 1 1 Prev|text }",
        "Network \"config\"");
    quonix::BlockInstance& silent = generateWith("", "silent");
    quonix::BlockInstance& last = generateWith("text |text x\\n\\n", "last");
    const std::string expected =
        "# KORLIX code-generation record\n"
        "# model \"test_model\"\n"
        "\n"
        "# block \"Network \\\"config\\\"\" handle 1.0001\n"
        "KORLIXSFunParameters {\n"
        "        MaskType         \"KORLIXConfig\"\n"
        "      }\n"
        "NumIWorkDefines 1\n"
        "IWorkDefine {\n"
        "Name \"Prev\"\n"
        "}\n"
        "\n"
        "# block \"last\" handle 3.0001\n"
        "\n"
        "x\n"
        "\n";
    EXPECT_EQ(quonix::renderRecordFile("test_model", {&first, &silent, nullptr, &last}), expected);
}

}  // namespace
