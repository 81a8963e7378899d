// The PDU pack and unpack blocks driven through the stand-in host: port shapes, the checks of the
// per-signal texts, the stored lists across model updates, and the record with its parameter settings.
#include <string>
#include <vector>

#include "PduFixture.hpp"

namespace korlix_test {
namespace {

constexpr const char* kPack = "FlexRayPackPDU";
constexpr const char* kUnpack = "FlexRayUnpackPDU";
constexpr const char* kClosed = "iw=0 rw=0 pw=0 st=1 opt=282020 flags=100000";
constexpr const char* kNotClosed = "iw=0 rw=0 pw=0 st=1 opt=2000 flags=0";

class PackUnpackPdu : public PduFixture {};

TEST_F(PackUnpackPdu, PortShapesFollowSignalsAndMode) {
    struct Row {
        const char* maskType;
        Params overrides;
        bool sizesOnly;
        const char* ports;
        const char* closing;
    };
    const std::vector<Row> rows = {
        {kPack, {}, false, "in{3x1FA 5x1FA 8x1FA} out{3x8}", kClosed},
        {kUnpack, {}, false, "in{3x8FA} out{3x1 5x1 8x1}", kClosed},
        {kPack,
         {{"PduLength", "0"}, {"SignalsDTypes", "A_INT16 int32 A_UINT32"}},
         false,
         "in{4x1FA 6x1FA 7x1FA} out{3x1}",
         kClosed},
        {kUnpack,
         {{"SignalsDTypes", "  int8   A_UINT8 uint32 "}},
         false,
         "in{3x8FA} out{2x1 3x1 7x1}",
         kClosed},
        // No signals: texts without numbers or names pass with zero elements.
        {kPack,
         {{"NumberOfSignals", "0"},
          {"SignalsDTypes", ""},
          {"SignalsOffsets", " "},
          {"SignalsEndianess", " "}},
         false,
         "in{} out{3x8}",
         kClosed},
        // Offsets and byte orders are passed on, not checked against the PDU.
        {kUnpack,
         {{"SignalsOffsets", "0 4294967295 900"}, {"SignalsEndianess", "7 8 9"}},
         false,
         "in{3x8FA} out{3x1 5x1 8x1}",
         kClosed},
        // Sizes only: every signal port is double and the per-signal texts are not read at all.
        {kPack,
         {{"SignalsDTypes", "nonsense"}, {"SignalsOffsets", kRemove}, {"SignalsEndianess", ""}},
         true,
         "in{0x1 0x1 0x1} out{3x8}",
         kClosed},
        {kUnpack,
         {{"SignalsDTypes", kRemove}, {"NumberOfSignals", "2"}},
         true,
         "in{3x8FA} out{0x1 0x1}",
         kClosed},
        // Placeholder labels end the set-up early, before the signal ports.
        {kPack, {{"PduLabel", "<>"}}, false, "in{} out{3x8}", kNotClosed},
        {kUnpack, {{"PduLabel", "<No configuration data found>"}}, false, "in{3x8} out{}", kNotClosed},
        {kUnpack, {{"PduLabel", "<No transmit frame found>"}}, false, "in{3x8FA} out{3x1 5x1 8x1}", kClosed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.maskType) + " " + row.ports);
        settings_.sizesOnly = row.sizesOnly;
        quonix::BlockInstance& inst = setUp(row.maskType, row.overrides);
        EXPECT_EQ(errorText(inst), "");
        EXPECT_EQ(portShape(inst.block()), row.ports);
        EXPECT_EQ(closingState(inst.block()), row.closing);
    }
}

TEST_F(PackUnpackPdu, SetUpErrorsNameTheFirstFailureAndKeepEarlierPorts) {
    struct Row {
        const char* maskType;
        Params overrides;
        int parameterCount;
        std::string error;
        const char* ports;
    };
    const std::string longLabel(2000, 'L');
    const std::vector<Row> rows = {
        {kPack, {}, 3, "2 input args expected, 3 passed", "in{} out{}"},
        {kUnpack, {}, 0, "2 input args expected, 0 passed", "in{} out{}"},
        {kPack,
         {{"PduLength", kRemove}, {"NumberOfSignals", kRemove}},
         2,
         "Unable to find variable or field \"PduLength\" in the s-function parameters",
         "in{} out{-1x-1}"},
        {kPack, {{"NumberOfSignals", ""}}, 2, "Error converting empty string to uint32.", "in{} out{3x8}"},
        {kUnpack,
         {{"NumberOfSignals", "three"}},
         2,
         "Error converting string three to uint32.",
         "in{3x8FA} out{}"},
        {kUnpack,
         {{"PduLength", "4294967296"}},
         2,
         "Error converting string 4294967296 to uint32.",
         "in{3x-1} out{}"},
        // Counts beyond what a port count can hold get their own message; nothing is sized by them.
        {kPack,
         {{"NumberOfSignals", "4000000000"}},
         2,
         "NumberOfSignals 4000000000 exceeds the largest port count 2147483647.",
         "in{} out{3x8}"},
        {kUnpack,
         {{"NumberOfSignals", "2147483648"}},
         2,
         "NumberOfSignals 2147483648 exceeds the largest port count 2147483647.",
         "in{3x8FA} out{}"},
        {kPack,
         {{"SignalsOffsets", kRemove}, {"SignalsDTypes", kRemove}},
         2,
         "Unable to find variable or field \"SignalsDTypes\" in the s-function parameters",
         "in{-1x1 -1x1 -1x1} out{3x8}"},
        {kUnpack,
         {{"SignalsEndianess", kNoText}, {"VXLFile", kRemove}},
         2,
         "Unable to find variable or field \"SignalsEndianess\" in the s-function parameters",
         "in{3x8FA} out{3x1 5x1 8x1}"},
        {kPack,
         {{"SignalsDTypes", "uint8 double boolean"}},
         2,
         "Cannot convert following data type from string to Tarvel data type identifier: double",
         "in{-1x1 -1x1 -1x1} out{3x8}"},
        {kPack,
         {{"SignalsDTypes", "uint8 uint16"}},
         2,
         "Error in Pack PDU block: Mismatch in data type string length: String read: uint8 uint16, number of "
         "signals: 3, PDU label: PDU_Body\n",
         "in{-1x1 -1x1 -1x1} out{3x8}"},
        {kPack,
         {{"SignalsOffsets", "0 8 x 16"}},
         2,
         "Error in Pack PDU block: Mismatch in signal offsets string length: String read: 0 8 x 16, number "
         "of "
         "signals: 3, PDU label: PDU_Body\n",
         "in{3x1 5x1 8x1} out{3x8}"},
        {kPack,
         {{"SignalsOffsets", ""}},
         2,
         "Error converting empty string to vector of uint32.",
         "in{3x1 5x1 8x1} out{3x8}"},
        {kPack,
         {{"SignalsEndianess", "0 1 1 0"}},
         2,
         "Error in Pack PDU block: Mismatch in signal endianess string length: String read: 0 1 1 0, number "
         "of "
         "signals: 3, PDU label: PDU_Body\n",
         "in{3x1 5x1 8x1} out{3x8}"},
        {kUnpack,
         {{"SignalsDTypes", "uint8 uint16 boolean int8"}},
         2,
         "Error in Unpack PDU block: Mismatch in data type string length: String read: uint8 uint16 boolean "
         "int8, number of signals: 3, PDU label: PDU_Body\n",
         "in{3x8FA} out{-1x1 -1x1 -1x1}"},
        {kUnpack,
         {{"SignalsOffsets", "0,8,24"}},
         2,
         "Error in Unpack PDU block: Mismatch in signal offsets string length: String read: 0,8,24, number "
         "of "
         "signals: 3, PDU label: PDU_Body\n",
         "in{3x8FA} out{3x1 5x1 8x1}"},
        {kUnpack,
         {{"SignalsEndianess", "1"}, {"PduLabel", "PDU %s %d"}},
         2,
         "Error in Unpack PDU block: Mismatch in signal endianess string length: String read: 1, number of "
         "signals: 3, PDU label: PDU %s %d\n",
         "in{3x8FA} out{3x1 5x1 8x1}"},
        {kUnpack,
         {{"SignalsEndianess", ""}},
         2,
         "Error converting empty string to vector of uint32.",
         "in{3x8FA} out{3x1 5x1 8x1}"},
        // A message longer than its buffer keeps its first 1023 characters.
        {kPack,
         {{"SignalsDTypes", "uint8"}, {"PduLabel", longLabel}},
         2,
         ("Error in Pack PDU block: Mismatch in data type string length: String read: uint8, number of "
          "signals: "
          "3, PDU label: " +
          longLabel)
             .substr(0, 1023),
         "in{-1x1 -1x1 -1x1} out{3x8}"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.maskType) + " " + row.error.substr(0, 80));
        quonix::BlockInstance& inst = setUp(row.maskType, row.overrides, row.parameterCount);
        EXPECT_EQ(errorText(inst), row.error);
        EXPECT_EQ(inst.errorCallback(), "mdlInitializeSizes");
        EXPECT_EQ(portShape(inst.block()), row.ports);
    }
}

TEST_F(PackUnpackPdu, RefusedPortCountStopsWithoutMessage) {
    struct Row {
        const char* maskType;
        Params overrides;
        int32_t maxPorts;
        const char* ports;
    };
    const std::vector<Row> rows = {
        {kPack, {}, 0, "in{} out{}"},
        {kUnpack, {}, 0, "in{} out{}"},
        {kPack, {{"NumberOfSignals", "2147483647"}}, 1024, "in{} out{3x8}"},
        {kUnpack, {{"NumberOfSignals", "1025"}}, 1024, "in{3x8FA} out{}"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.maskType) + " " + row.ports);
        settings_.maxPorts = row.maxPorts;
        quonix::BlockInstance& inst = setUp(row.maskType, row.overrides);
        EXPECT_EQ(errorText(inst), "");
        EXPECT_EQ(portShape(inst.block()), row.ports);
        EXPECT_EQ(closingState(inst.block()), kNotClosed);
    }
}

constexpr const char* kPackRecord =
    "KORLIXSFunParameters {\n"
    "        MaskType           \"FlexRayPackPDU\"\n"
    "        ConfigValid        1\n"
    "        PduLabel         \"PDU_Body\"\n"
    "        NumberOfSignals    3\n"
    "        VXLInitFile        \"fr_init\"\n"
    "        VXLFile            \"fr_pdu_pack\"\n"
    "      }\n";

// The settings section as the host records it, for three elements of each list.
std::string settings(const char* offsets, const char* byteOrders, const char* byteSizes, int rows = 3) {
    const std::string r = std::to_string(rows);
    return std::string(R"([{"text": "SFcnParamSettings {"},)") +
           R"({"pair": {"kind": 7, "name": "SignalsOffset", "value": )" + offsets +
           R"(, "dataTypeId": 6, "rows": )" + r + R"(, "columns": 1}},)" +
           R"({"pair": {"kind": 7, "name": "SignalsEndianess", "value": )" + byteOrders +
           R"(, "dataTypeId": 6, "rows": )" + r + R"(, "columns": 1}},)" +
           R"({"pair": {"kind": 7, "name": "SignalsDTypeSize", "value": )" + byteSizes +
           R"(, "dataTypeId": 2, "rows": )" + r + R"(, "columns": 1}},)" + R"({"text": "}"}])";
}

TEST_F(PackUnpackPdu, RecordAndSettingsFollowTheStoredLists) {
    // One model update per run; the block object, and so its lists, persists between them.
    struct Run {
        Params edits;
        bool sizesOnly = false;
    };
    struct Row {
        const char* name;
        const char* maskType;
        std::vector<Run> runs;
        std::string recordText;  // the record's text entry
        std::string after;       // JSON array of the entries after it ("[]": none)
        std::string error;       // reported by mdlQRX
        int32_t writerResult = 1;
    };
    const std::vector<Row> rows = {
        {"pack", kPack, {{}}, kPackRecord, settings("[0, 8, 24]", "[0, 0, 1]", "[1, 2, 1]"), ""},
        {"unpack",
         kUnpack,
         {{{{"VXLFile", "fr_unpack"}}}},
         "KORLIXSFunParameters {\n"
         "        MaskType           \"FlexRayUnpackPDU\"\n"
         "        ConfigValid        1\n"
         "        PduLabel         \"PDU_Body\"\n"
         "        NumberOfSignals    3\n"
         "        VXLInitFile        \"fr_init\"\n"
         "        VXLFile            \"fr_unpack\"\n"
         "      }\n",
         settings("[0, 8, 24]", "[0, 0, 1]", "[1, 2, 1]"),
         ""},
        {"unsigned values go out as int32",
         kPack,
         {{{{"SignalsOffsets", "4294967295 2147483648 3"}, {"SignalsEndianess", "0 1 4294967294"}}}},
         kPackRecord,
         settings("[-1, -2147483648, 3]", "[0, 1, -2]", "[1, 2, 1]"),
         ""},
        {"byte sizes rebuilt",
         kPack,
         {{}, {{{"SignalsDTypes", "int32 A_INT16 uint32"}}}},
         kPackRecord,
         settings("[0, 8, 24]", "[0, 0, 1]", "[4, 2, 4]"),
         ""},
        // Run 2 passes the data types but fails at the offsets: the lists of run 1 stay, and so do the byte
        // sizes, which are rebuilt only at the end. Run 3 stops at a placeholder label without an error.
        {"lists replaced only after their check",
         kPack,
         {{}, {{{"SignalsDTypes", "int32 int32 int32"}, {"SignalsOffsets", "1 2"}}}, {{{"PduLabel", "<>"}}}},
         std::string(kPackRecord).replace(std::string(kPackRecord).find("PDU_Body"), 8, "<>"),
         settings("[0, 8, 24]", "[0, 0, 1]", "[1, 2, 1]"),
         ""},
        // A placeholder label or a refused port count leaves the stored count as it was.
        {"count kept after placeholder",
         kPack,
         {{}, {{{"PduLabel", "<>"}, {"NumberOfSignals", "5"}}}},
         "KORLIXSFunParameters {\n"
         "        MaskType           \"FlexRayPackPDU\"\n"
         "        ConfigValid        1\n"
         "        PduLabel         \"<>\"\n"
         "        NumberOfSignals    5\n"
         "        VXLInitFile        \"fr_init\"\n"
         "        VXLFile            \"fr_pdu_pack\"\n"
         "      }\n",
         settings("[0, 8, 24]", "[0, 0, 1]", "[1, 2, 1]"),
         ""},
        {"count kept after refusal",
         kPack,
         {{}, {{{"NumberOfSignals", "3000"}}}},
         std::string(kPackRecord).replace(std::string(kPackRecord).find("    3\n"), 6, "    3000\n"),
         settings("[0, 8, 24]", "[0, 0, 1]", "[1, 2, 1]"),
         ""},
        {"no signals",
         kPack,
         {{{{"NumberOfSignals", "0"},
            {"SignalsDTypes", " "},
            {"SignalsOffsets", " "},
            {"SignalsEndianess", "x"}}}},
         std::string(kPackRecord).replace(std::string(kPackRecord).find("    3\n"), 6, "    0\n"),
         settings("[]", "[]", "[]", 0),
         ""},
        // The stored count outgrew the lists (sizes-only run, or a check that failed after the count was
        // stored): the record is written, the settings are not, and the short entry is named.
        {"count beyond lists after sizes-only run",
         kPack,
         {{}, {{{"NumberOfSignals", "4"}}, true}},
         std::string(kPackRecord).replace(std::string(kPackRecord).find("    3\n"), 6, "    4\n"),
         "[]",
         "Cannot write SignalsOffset: the block holds 3 values but its signal count is 4; initialise the "
         "block again"},
        {"count beyond lists after failed check",
         kPack,
         {{{{"SignalsDTypes", "uint8"}}}, {{{"PduLabel", "<>"}}}},
         std::string(kPackRecord).replace(std::string(kPackRecord).find("PDU_Body"), 8, "<>"),
         "[]",
         "Cannot write SignalsOffset: the block holds 0 values but its signal count is 3; initialise the "
         "block again"},
        // Offsets passed for four signals, byte orders did not: the byte-order entry is the short one.
        {"byte orders short after failed check",
         kUnpack,
         {{},
          {{{"NumberOfSignals", "4"},
            {"SignalsDTypes", "int8 int8 int8 int8"},
            {"SignalsOffsets", "1 2 3 4"}}},
          {{{"PduLabel", "<>"}}}},
         "KORLIXSFunParameters {\n"
         "        MaskType           \"FlexRayUnpackPDU\"\n"
         "        ConfigValid        1\n"
         "        PduLabel         \"<>\"\n"
         "        NumberOfSignals    4\n"
         "        VXLInitFile        \"fr_init\"\n"
         "        VXLFile            \"fr_pdu_pack\"\n"
         "      }\n",
         "[]",
         "Cannot write SignalsEndianess: the block holds 3 values but its signal count is 4; initialise the "
         "block "
         "again"},
        {"writer refuses the record text", kPack, {{}}, kPackRecord, "[]", "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string name = row.name;
        addBlock(row.maskType, withOverrides(baseParams(row.maskType), row.runs.front().edits), 0.01, name);
        quonix::BlockInstance* inst = nullptr;
        for (const Run& run : row.runs) {
            edit(name, run.edits);
            settings_.sizesOnly = run.sizesOnly;
            inst = &initialize(name);
        }
        ASSERT_EQ(errorText(*inst), "");
        inst->setWriterResult(row.writerResult);
        generate(*inst);
        EXPECT_EQ(errorText(*inst), row.error);
        nlohmann::json expected = nlohmann::json::array({{{"text", row.recordText}}});
        for (const auto& entry : nlohmann::json::parse(row.after)) {
            expected.push_back(entry);
        }
        EXPECT_EQ(nlohmann::json(inst->record()), expected);
    }
}

TEST_F(PackUnpackPdu, RecordFieldMissingReportsAndWritesNothing) {
    struct Row {
        const char* maskType;
        Params overrides;
        const char* error;
    };
    const std::vector<Row> rows = {
        {kPack,
         {{"VXLFile", kRemove}, {"VXLInitFile", kRemove}},
         "Unable to find variable or field \"VXLInitFile\" in the s-function parameters"},
        {kUnpack,
         {{"ConfigValid", kNoText}},
         "Unable to find variable or field \"ConfigValid\" in the s-function parameters"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error);
        quonix::BlockInstance& inst = setUp(row.maskType, row.overrides);
        ASSERT_EQ(errorText(inst), "");
        generate(inst);
        EXPECT_EQ(errorText(inst), row.error);
        EXPECT_TRUE(inst.record().empty());
    }
}

}  // namespace
}  // namespace korlix_test
