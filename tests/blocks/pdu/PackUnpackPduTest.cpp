// The PDU pack and unpack blocks driven through the stand-in host: port shapes, the checks of the
// per-signal texts, the stored lists across model updates, and the record with its parameter settings.
#include <string>
#include <vector>

#include "PduFixture.hpp"

namespace korlix_test {
namespace {

constexpr const char* kPack = "FlexRayPackPDU";
constexpr const char* kUnpack = "FlexRayUnpackPDU";
const std::string kMissing = "Unable to find variable or field \"";
const std::string kInParams = "\" in the s-function parameters";
const std::string kLongLabel(2000, 'L');

std::string mismatch(const char* block, const char* what, const char* text) {
    return std::string("Error in ") + block + " block: Mismatch in " + what +
           " string length: String read: " + text + ", number of signals: 3, PDU label: PDU_Body\n";
}

class PackUnpackPdu : public PduFixture {};

TEST_F(PackUnpackPdu, SetUpShapesPortsOrStopsAtTheFirstFailure) {
    struct Row {
        const char* maskType;
        Params overrides;
        const char* ports;
        bool closed;
        std::string error = "";
        HostKnobs knobs = {};
    };
    // clang-format off
    const std::vector<Row> rows = {
        {kPack, {}, "in{3x1FA 5x1FA 8x1FA} out{3x8}", true},
        {kUnpack, {}, "in{3x8FA} out{3x1 5x1 8x1}", true},
        {kPack, {{"PduLength", "0"}, {"SignalsDTypes", "A_INT16 int32 A_UINT32"}}, "in{4x1FA 6x1FA 7x1FA} out{3x1}", true},
        {kUnpack, {{"SignalsDTypes", "  int8   A_UINT8 uint32 "}}, "in{3x8FA} out{2x1 3x1 7x1}", true},
        // Texts without numbers or names pass for no signals; offsets and byte orders are not checked.
        {kPack, {{"NumberOfSignals", "0"}, {"SignalsDTypes", ""}, {"SignalsOffsets", " "}, {"SignalsEndianess", " "}},
         "in{} out{3x8}", true},
        {kUnpack, {{"SignalsOffsets", "0 4294967295 900"}, {"SignalsEndianess", "7 8 9"}}, "in{3x8FA} out{3x1 5x1 8x1}", true},
        // Sizes only: signal ports are double and the per-signal texts are not read at all.
        {kPack, {{"SignalsDTypes", "nonsense"}, {"SignalsOffsets", kRemove}, {"SignalsEndianess", ""}},
         "in{0x1 0x1 0x1} out{3x8}", true, "", {.sizesOnly = true}},
        {kUnpack, {{"SignalsDTypes", kRemove}, {"NumberOfSignals", "2"}}, "in{3x8FA} out{0x1 0x1}", true, "", {.sizesOnly = true}},
        {kPack, {{"PduLabel", "<>"}}, "in{} out{3x8}", false},
        {kUnpack, {{"PduLabel", "<No configuration data found>"}}, "in{3x8} out{}", false},
        {kUnpack, {{"PduLabel", "<No transmit frame found>"}}, "in{3x8FA} out{3x1 5x1 8x1}", true},
        // Refused port counts stop without a message, before anything is sized by the count.
        {kPack, {}, "in{} out{}", false, "", {.maxPorts = 0}},
        {kUnpack, {}, "in{} out{}", false, "", {.maxPorts = 0}},
        {kPack, {{"NumberOfSignals", "2147483647"}}, "in{} out{3x8}", false},
        {kUnpack, {{"NumberOfSignals", "1025"}}, "in{3x8FA} out{}", false},
        // Counts beyond what a port count can hold get their own message.
        {kPack, {{"NumberOfSignals", "4000000000"}}, "in{} out{3x8}", false,
         "NumberOfSignals 4000000000 exceeds the largest port count 2147483647."},
        {kUnpack, {{"NumberOfSignals", "2147483648"}}, "in{3x8FA} out{}", false,
         "NumberOfSignals 2147483648 exceeds the largest port count 2147483647."},
        {kPack, {}, "in{} out{}", false, "2 input args expected, 3 passed", {.parameterCount = 3}},
        {kUnpack, {}, "in{} out{}", false, "2 input args expected, 0 passed", {.parameterCount = 0}},
        {kPack, {{"PduLength", kRemove}, {"NumberOfSignals", kRemove}}, "in{} out{-1x-1}", false, kMissing + "PduLength" + kInParams},
        {kUnpack, {{"PduLength", "4294967296"}}, "in{3x-1} out{}", false, "Error converting string 4294967296 to uint32."},
        {kPack, {{"NumberOfSignals", ""}}, "in{} out{3x8}", false, "Error converting empty string to uint32."},
        {kUnpack, {{"NumberOfSignals", "three"}}, "in{3x8FA} out{}", false, "Error converting string three to uint32."},
        {kPack, {{"SignalsOffsets", kRemove}, {"SignalsDTypes", kRemove}}, "in{-1x1 -1x1 -1x1} out{3x8}", false,
         kMissing + "SignalsDTypes" + kInParams},
        {kUnpack, {{"SignalsEndianess", kNoText}, {"VXLFile", kRemove}}, "in{3x8FA} out{3x1 5x1 8x1}", false,
         kMissing + "SignalsEndianess" + kInParams},
        {kPack, {{"SignalsDTypes", "uint8 double boolean"}}, "in{-1x1 -1x1 -1x1} out{3x8}", false,
         "Cannot convert following data type from string to Tarvel data type identifier: double"},
        {kPack, {{"SignalsOffsets", ""}}, "in{3x1 5x1 8x1} out{3x8}", false, "Error converting empty string to vector of uint32."},
        {kUnpack, {{"SignalsEndianess", ""}}, "in{3x8FA} out{3x1 5x1 8x1}", false, "Error converting empty string to vector of uint32."},
        {kPack, {{"SignalsDTypes", "uint8 uint16"}}, "in{-1x1 -1x1 -1x1} out{3x8}", false, mismatch("Pack PDU", "data type", "uint8 uint16")},
        {kPack, {{"SignalsOffsets", "0 8 x 16"}}, "in{3x1 5x1 8x1} out{3x8}", false, mismatch("Pack PDU", "signal offsets", "0 8 x 16")},
        {kPack, {{"SignalsEndianess", "0 1 1 0"}}, "in{3x1 5x1 8x1} out{3x8}", false, mismatch("Pack PDU", "signal endianess", "0 1 1 0")},
        {kUnpack, {{"SignalsDTypes", "uint8 uint16 boolean int8"}}, "in{3x8FA} out{-1x1 -1x1 -1x1}", false,
         mismatch("Unpack PDU", "data type", "uint8 uint16 boolean int8")},
        {kUnpack, {{"SignalsOffsets", "0,8,24"}}, "in{3x8FA} out{3x1 5x1 8x1}", false, mismatch("Unpack PDU", "signal offsets", "0,8,24")},
        {kUnpack, {{"SignalsEndianess", "%s %d"}}, "in{3x8FA} out{3x1 5x1 8x1}", false, mismatch("Unpack PDU", "signal endianess", "%s %d")},
        // A message longer than its buffer keeps its first 1023 characters.
        {kPack, {{"SignalsDTypes", "uint8"}, {"PduLabel", kLongLabel}}, "in{-1x1 -1x1 -1x1} out{3x8}", false,
         ("Error in Pack PDU block: Mismatch in data type string length: String read: uint8, number of signals: 3, "
          "PDU label: " + kLongLabel).substr(0, 1023)},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.maskType) + " " + row.ports + " " + row.error.substr(0, 80));
        quonix::BlockInstance& inst = setUp(row.maskType, row.overrides, row.knobs);
        EXPECT_EQ(errorText(inst), row.error);
        EXPECT_EQ(portShape(inst.block()), row.ports);
        EXPECT_EQ(closingState(inst.block()), expectedClosing(row.maskType, row.closed));
    }
}

const std::string kPackRecord =
    "KORLIXSFunParameters {\n"
    "        MaskType           \"FlexRayPackPDU\"\n"
    "        ConfigValid        1\n"
    "        PduLabel         \"PDU_Body\"\n"
    "        NumberOfSignals    3\n"
    "        VXLInitFile        \"fr_init\"\n"
    "        VXLFile            \"fr_pdu_pack\"\n"
    "      }\n";

// kPackRecord with one piece of text replaced.
std::string packRecordWith(const std::string& from, const std::string& to) {
    std::string text = kPackRecord;
    return text.replace(text.find(from), from.size(), to);
}

// The settings section as the host records it.
std::string settings(const char* offsets, const char* byteOrders, const char* byteSizes, int rows = 3) {
    const std::string r = std::to_string(rows);
    const auto pair = [&r](const char* name, const char* value, int id) {
        return std::string(R"({"pair": {"kind": 7, "name": ")") + name + R"(", "value": )" + value +
               R"(, "dataTypeId": )" + std::to_string(id) + R"(, "rows": )" + r + R"(, "columns": 1}},)";
    };
    return std::string(R"([{"text": "SFcnParamSettings {"},)") + pair("SignalsOffset", offsets, 6) +
           pair("SignalsEndianess", byteOrders, 6) + pair("SignalsDTypeSize", byteSizes, 2) +
           R"({"text": "}"}])";
}

TEST_F(PackUnpackPdu, RecordAndSettingsFollowTheStoredLists) {
    // One model update per run, each applying its edits on top of the last; the block object persists.
    struct Run {
        Params edits;
        bool sizesOnly = false;
    };
    struct Row {
        const char* name;
        const char* maskType;
        std::vector<Run> runs;
        std::string recordText;  // empty: nothing written
        std::string after;       // JSON array of the record entries after the text
        std::string error = "";  // reported by mdlQRX
        int32_t writerResult = 1;
    };
    const std::string full = settings("[0, 8, 24]", "[0, 0, 1]", "[1, 2, 1]");
    // clang-format off
    const std::vector<Row> rows = {
        {"pack", kPack, {{}}, kPackRecord, full},
        {"unpack", kUnpack, {{{{"VXLFile", "fr_unpack"}}}},
         "KORLIXSFunParameters {\n"
         "        MaskType           \"FlexRayUnpackPDU\"\n"
         "        ConfigValid        1\n"
         "        PduLabel         \"PDU_Body\"\n"
         "        NumberOfSignals    3\n"
         "        VXLInitFile        \"fr_init\"\n"
         "        VXLFile            \"fr_unpack\"\n"
         "      }\n", full},
        {"unsigned values go out as int32", kPack,
         {{{{"SignalsOffsets", "4294967295 2147483648 3"}, {"SignalsEndianess", "0 1 4294967294"}}}},
         kPackRecord, settings("[-1, -2147483648, 3]", "[0, 1, -2]", "[1, 2, 1]")},
        {"byte sizes rebuilt", kPack, {{}, {{{"SignalsDTypes", "int32 A_INT16 uint32"}}}}, kPackRecord,
         settings("[0, 8, 24]", "[0, 0, 1]", "[4, 2, 4]")},
        {"no signals", kPack,
         {{{{"NumberOfSignals", "0"}, {"SignalsDTypes", " "}, {"SignalsOffsets", " "}, {"SignalsEndianess", "x"}}}},
         packRecordWith("    3\n", "    0\n"), settings("[]", "[]", "[]", 0)},
        // Run 2 passes the data types and fails at the offsets: the lists of run 1 stay, and so do the byte
        // sizes, rebuilt only at the end. Run 3 stops at a placeholder label without an error.
        {"lists replaced only after their check", kPack,
         {{}, {{{"SignalsDTypes", "int32 int32 int32"}, {"SignalsOffsets", "1 2"}}}, {{{"PduLabel", "<>"}}}},
         packRecordWith("PDU_Body", "<>"), full},
        // A placeholder label or a refused port count leaves the stored count as it was.
        {"count kept after placeholder", kPack, {{}, {{{"PduLabel", "<>"}, {"NumberOfSignals", "5"}}}},
         packRecordWith("PDU_Body\"\n        NumberOfSignals    3", "<>\"\n        NumberOfSignals    5"), full},
        {"count kept after refusal", kPack, {{}, {{{"NumberOfSignals", "3000"}}}}, packRecordWith("    3\n", "    3000\n"), full},
        // The stored count outgrew a list: the record is written, no settings, and the short entry is named.
        {"count beyond lists after sizes-only run", kPack, {{}, {{{"NumberOfSignals", "4"}}, true}},
         packRecordWith("    3\n", "    4\n"), "[]",
         "Cannot write SignalsOffset: the block holds 3 values but its signal count is 4; initialise the block again"},
        {"count beyond lists after failed check", kPack, {{{{"SignalsDTypes", "uint8"}}}, {{{"PduLabel", "<>"}}}},
         packRecordWith("PDU_Body", "<>"), "[]",
         "Cannot write SignalsOffset: the block holds 0 values but its signal count is 3; initialise the block again"},
        {"byte orders short after failed check", kPack,
         {{}, {{{"NumberOfSignals", "4"}, {"SignalsDTypes", "int8 int8 int8 int8"}, {"SignalsOffsets", "1 2 3 4"}}},
          {{{"PduLabel", "<>"}}}},
         packRecordWith("PDU_Body\"\n        NumberOfSignals    3", "<>\"\n        NumberOfSignals    4"), "[]",
         "Cannot write SignalsEndianess: the block holds 3 values but its signal count is 4; initialise the block again"},
        {"writer refuses the record text", kPack, {{}}, kPackRecord, "[]", "", 0},
        {"record field missing", kUnpack, {{{{"VXLFile", kRemove}, {"VXLInitFile", kRemove}}}}, "", "[]",
         kMissing + "VXLInitFile" + kInParams},
        {"record field without text", kPack, {{{{"ConfigValid", kNoText}}}}, "", "[]", kMissing + "ConfigValid" + kInParams},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        addBlock(row.maskType, withOverrides(baseParams(row.maskType), row.runs.front().edits), 0.01,
                 row.name);
        quonix::BlockInstance* inst = nullptr;
        for (const Run& run : row.runs) {
            edit(row.name, run.edits);
            settings_.sizesOnly = run.sizesOnly;
            inst = &initialize(row.name);
        }
        ASSERT_EQ(errorText(*inst), "");
        inst->setWriterResult(row.writerResult);
        generate(*inst);
        EXPECT_EQ(errorText(*inst), row.error);
        nlohmann::json expected = nlohmann::json::parse(row.after);
        if (!row.recordText.empty()) {
            expected.insert(expected.begin(), nlohmann::json::object({{"text", row.recordText}}));
        }
        EXPECT_EQ(nlohmann::json(inst->record()), expected);
    }
}

}  // namespace
}  // namespace korlix_test
