// The module's services called directly on a bare host structure, without a registration call: parameter
// lookup, text conversions, the record layout and the record writer layer.
#include "HostFixture.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/QrxWriter.hpp"
#include "services/Params.hpp"

namespace korlix_test {
namespace {

using namespace korlix;

std::unique_ptr<quonix::BlockInstance> makeInstance(std::optional<Params> params, int parameterCount = 2) {
    quonix::BlockSpec layout{.name = "service block", .handle = 1.0001, .maskType = "KORLIXConfig"};
    layout.parameters = params ? std::optional(toFields(*params)) : std::nullopt;
    layout.parameterCount = parameterCount;
    return std::make_unique<quonix::BlockInstance>(layout, quonix::HostSettings{});
}
std::string errorStatusOf(const HostBlock& block) {
    return block.root->errorStatus != nullptr ? block.root->errorStatus : "";
}

TEST(ParamLookup, ReadsFieldTextOrReportsMissingField) {
    const std::string old =
        "old / Unable to find variable or field \"DeviceIndex\" in the s-function parameters";
    const Params present{{"MaskType", "KORLIXConfig"}, {"DeviceIndex", "3"}};
    quonix::ArrayPtr text(zvCreateString("DeviceIndex"));
    // clang-format off
    struct Row { std::optional<Params> params; int count; std::string result; bool textFirst = false; };
    const Row rows[] = {  // result: value / error, starting as "old" and "earlier"; a success keeps "earlier"
        {present, 2, "3 / earlier"}, {Params{{"DeviceIndex", ""}}, 2, " / earlier"}, {present, 0, old},
        {Params{{"DeviceIndex", " \"a\"\tb "}}, 2, " \"a\"\tb  / earlier"}, {std::nullopt, 2, old},
        {Params{{"MaskType", "x"}}, 2, old}, {Params{{"deviceindex", "3"}}, 2, old},
        {Params{{"DeviceIndex", kNoText}}, 2, old}, {present, 2, old, true},  // last: text, not a structure
    };
    // clang-format on
    for (const Row& row : rows) {
        auto inst = makeInstance(row.params, row.count);
        const zvArray* structure =
            row.textFirst ? std::exchange(inst->block().sfcnParams[0], text.get()) : nullptr;
        std::string value = "old", error = "earlier";
        getSFcnParamString(&inst->block(), "DeviceIndex", value, error);
        if (row.textFirst) {
            inst->block().sfcnParams[0] = structure;
        }
        EXPECT_EQ(value + " / " + error, row.result);
    }
}

// Rows of conversion_cases.json. Numbers are read up to the first character that cannot continue them; data
// type names split at blanks only. A refused number leaves the value alone.
TEST(TextConversion, AtTheirLimits) {
    const std::string file = "tests/services/conversion_cases.json";
    for (const auto& row : caseTable(file, "uint32")) {
        uint32_t value = 777;
        std::string error = "stale";
        stringToUint32(row["text"], value, error);
        EXPECT_EQ(error.empty() ? std::to_string(value) : error + (value == 777 ? "" : "!"), row["result"]);
    }
    for (const auto& row : caseTable(file, "uint32 lists")) {
        std::vector<uint32_t> values{9};
        std::string error = "stale";
        stringToUint32Vector(row["text"], values, error);
        EXPECT_EQ(values, row["values"].get<std::vector<uint32_t>>()) << row["text"];
        EXPECT_EQ(error, row.value("error", "")) << row["text"];
    }
    for (const auto& row : caseTable(file, "data type lists")) {
        std::vector<int32_t> ids{99};
        std::string error = "stale";
        parseDataTypeList(row["text"], ids, error);
        EXPECT_EQ(ids, row["ids"].get<std::vector<int32_t>>()) << row["text"];
        EXPECT_EQ(error, row.value("error", "")) << row["text"];
    }
}

// Each call runs on a fresh block with an integer work vector of length 1 and host writers answering
// `writerResult`. `record`: the writer calls, "|" apart; texts as given, pairs as "kind name=value id RxC".
struct Call {
    std::function<int32_t(HostBlock*)> call;
    int32_t result;
    std::string error = "", record = "";
    int32_t writerResult = 1;
};

// clang-format off
#define PAIR(...) [](HostBlock* S) { return ssWriteQRXNameValuePair(S, __VA_ARGS__); }
#define SETTINGS(...) [](HostBlock* S) { return ssWriteQRXParamSettings(S, __VA_ARGS__); }
#define WORKVECT(...) [](HostBlock* S) { return ssWriteQRXWorkVect(S, __VA_ARGS__); }
// clang-format on

void runRows(const std::vector<Call>& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto inst = makeInstance(Params{});
        inst->block().sizes[HB_SIZE_NUM_IWORK] = 1;
        inst->setWriterResult(rows[i].writerResult);
        inst->beginRecordCapture();
        EXPECT_EQ(rows[i].call(&inst->block()), rows[i].result) << "row " << i;
        EXPECT_EQ(errorStatusOf(inst->block()), rows[i].error) << "row " << i;
        std::string record;
        for (const auto& e : inst->record()) {
            const auto& p = e.contains("pair") ? e["pair"] : e;
            record += (record.empty() ? "" : "|") +
                      (e.contains("text") ? e["text"].get<std::string>()
                                          : p["kind"].dump() + " " + p["name"].get<std::string>() + "=" +
                                                p["value"].dump() + " " + p["dataTypeId"].dump() + " " +
                                                p["rows"].dump() + "x" + p["columns"].dump());
        }
        EXPECT_EQ(record, rows[i].record) << "row " << i;
        inst->endRecordCapture();
    }
}

TEST(FormatRecordTest, WholeRecordQuotedAndBareUnescapedNeverCut) {
    DialogTexts texts;
    texts.set("MaskType", "KORLIXConfig");
    texts.set("DeviceIndex", "2");
    texts.set("VXLFile", "a \"b\" c");
    texts.set("LongerThanTheField", std::string(9000, 'x'));
    const RecordKey keys[] = {
        {"MaskType", Quote::Quoted},
        {"DeviceIndex", Quote::Bare, 3},
        {"VXLFile", Quote::Quoted, 0, Side::Read},
        {"VXLFile", Quote::Quoted, 0, Side::Write, "\t"},
        {"LongerThanTheField", Quote::Bare},
        {"Unread", Quote::Quoted},
        {"AsLongAsKey", Quote::Quoted},  // as long as the key field: still one blank
    };
    const std::string tail = "        LongerThanTheField " + std::string(9000, 'x') +
                             "\n        Unread     \"\"\n        AsLongAsKey \"\"\n      }\n";
    EXPECT_EQ(formatRecord(RecordTable{{}, keys, 11, Side::Read}, texts),
              "KORLIXSFunParameters {\n"
              "        MaskType   \"KORLIXConfig\"\n"
              "        DeviceIndex   2\n"
              "        VXLFile    \"a \"b\" c\"\n" +
                  tail);
    EXPECT_EQ(formatRecord(RecordTable{{}, keys, 11, Side::Write}, texts),
              "KORLIXSFunParameters {\n"
              "        MaskType   \"KORLIXConfig\"\n"
              "        DeviceIndex   2\n"
              "\tVXLFile    \"a \"b\" c\"\n" +
                  tail);
}

const std::string kPairKind = "Invalid SSWRITE_VALUE_type passed to ssWriteQRXNameValuePair";
const std::string kName = "Invalid name passed to ssWriteQRXNameValuePair";
const std::string kShape = "Invalid number of rows or columns passed to ssWriteQRXNameValuePair";
const std::string kNull = "Invalid value (NULL) passed to ssWriteQRXNameValuePair";
const std::string kVect =
    "Invalid work vector name (vectName) passed to ssWriteQRXWorkVect (must be RWork, IWork, or PWork";

const int32_t kIdx[] = {1, 2, 3}, kOne = 1;
const double kRe[] = {1.5, -2.0}, kIm[] = {0.5, 4.0};
const double kZeroFirst[] = {0.0, 4.0};  // a complex 0+4i interleaved: not to be read as two part pointers
const void* const kReOnly[] = {kRe, nullptr};
const void* const kImOnly[] = {nullptr, kIm};

// One define as the writers see it: the line, the three pairs, the closing line.
std::string define(const std::string& vect, const std::string& name, int width, int start) {
    return vect + "Define {|1 Name=\"" + name + "\" 0 1x1|6 Width=" + std::to_string(width) +
           " 6 1x1|6 StartIndex=" + std::to_string(start) + " 6 1x1|}";
}

// Pairs, settings sections and work vector defines: each check in order, and what reaches the host.
TEST(RecordWriter, ChecksMessagesAndWhatReachesTheHost) {
    const std::string mismatch = "Error in ssWriteQRXWorkVect.  The total number of ";
    // clang-format off
    runRows({
        {PAIR(11, "A", "x", 0, 0, 0), 0, kPairKind}, {PAIR(-1, "A", "x", 0, 0, 0), 0, kPairKind},
        {PAIR(11, nullptr, nullptr, 0, 0, 0), 0, kPairKind}, {PAIR(1, nullptr, "x", 0, 0, 0), 0, kName},
        {PAIR(7, "", nullptr, 6, -1, 0), 0, kName}, {PAIR(7, "V", kIdx, 6, -1, 0), 0, kShape},
        {PAIR(2, "V", nullptr, -3, 0, 0), 0, kShape}, {PAIR(8, "M", kIdx, 6, 0, 4), 0, kShape},
        {PAIR(5, "M", kRe, 0, 2, 0), 0, kShape}, {PAIR(8, "M", nullptr, 6, 0, 0), 1, "", "8 M=[] 6 0x0"},
        {PAIR(7, "V", nullptr, 6, 0, 0), 1, "", "7 V=[] 6 0x1"}, {PAIR(7, "V", nullptr, 6, 2, 0), 0, kNull},
        {PAIR(1, "T", nullptr, 0, 0, 0), 0, kNull}, {PAIR(9, "C", kReOnly, 0x10000, 2, 0), 0, kNull},
        {PAIR(9, "C", kReOnly, 0, 2, 0), 1, "", "9 C=[1.5,-2.0] 0 2x1"}, {SETTINGS(0), 0},
        {PAIR(8, "Z", kZeroFirst, 0x10000, 1, 1), 1, "", "8 Z={\"im\":[[4.0]],\"re\":[[0.0]]} 65536 1x1"},
        {PAIR(10, "C", kImOnly, 0, 1, 2), 0, kNull}, {PAIR(6, "W", &kOne, 6, 0, 0), 0, "", "6 W=1 6 1x1", 0},
        {SETTINGS(-2, 1, "A", "x"), 0}, {SETTINGS(1, 1, "T", "x"), 7, "", "SFcnParamSettings {", 7},
        {SETTINGS(1, 7, "Indexes", kIdx, 3, 6), 1, "", "SFcnParamSettings {|7 Indexes=[1,2,3] 6 3x1|}"},
        {SETTINGS(2, 8, "M", kIdx, 1, 3, 6, 1, "T", "x"), 1, "", "SFcnParamSettings {|8 M=[[1,2,3]] 6 1x3|1 T=\"x\" 0 1x1|}"},
        {SETTINGS(4, 1, "T", "on", 3, "D", 2.5, 4, "V", kRe, 2, 5, "M", kRe, 1, 2), 1, "",
         "SFcnParamSettings {|1 T=\"on\" 0 1x1|3 D=2.5 0 1x1|4 V=[1.5,-2.0] 0 2x1|5 M=[[1.5,-2.0]] 0 1x2|}"},
        {SETTINGS(1, 9, "C", kRe, kIm, 2, 0x10000), 1, "",
         "SFcnParamSettings {|9 C={\"im\":[0.5,4.0],\"re\":[1.5,-2.0]} 65536 2x1|}"},
        {SETTINGS(2, 6, "W", &kOne, 6, 11, "X", "y"), 0,
         "Invalid SSWRITE_VALUE_type passed to ssWriteQRXParamSettings", "SFcnParamSettings {|6 W=1 6 1x1"},
        {SETTINGS(2, 7, "V", nullptr, 2, 6, 1, "T", "x"), 0, kNull, "SFcnParamSettings {"},
        {WORKVECT("Work", 1, "A", 1), 0, kVect}, {WORKVECT("iwork", 1, "A", 1), 0, kVect},
        {WORKVECT(nullptr, 1, "A", 1), 0, kVect},
        {WORKVECT("IWork", 0), 0, "nNames argument to ssWriteQRXWorkVect must be greater than 0"},
        {WORKVECT("IWork", 1, "PreviousTriggerValue", 1), 1, "",
         "6 NumIWorkDefines=1 6 1x1|IWorkDefine {|1 Name=\"PreviousTriggerValue\" 0 1x1|6 Width=1 6 1x1|"
         "6 StartIndex=0 6 1x1|}"},
        {WORKVECT("IWork", 2, "PrevTrigInputVal", 1, "CommitTrigger", 1), 0,
         "Error in ssWriteQRXWorkVect.  The total number of IWorkDefines written to the .qrx file (= 2), "
         "should be equal to number of IWork (= 1), registered in mdlInitializeSizes",
         "6 NumIWorkDefines=2 6 1x1|" + define("IWork", "PrevTrigInputVal", 1, 0) + "|" +
             define("IWork", "CommitTrigger", 1, 1)},
        // The real work vector's own length (0 here) is compared, not the integer one; widths add up.
        {WORKVECT("RWork", 2, "R", 2, "Q", 3), 0,
         mismatch + "RWorkDefines written to the .qrx file (= 5), should be equal to number of RWork (= 0), "
         "registered in mdlInitializeSizes",
         "6 NumRWorkDefines=2 6 1x1|" + define("RWork", "R", 2, 0) + "|" + define("RWork", "Q", 3, 2)},
        {WORKVECT("PWork", 1, "P", 0), 1, "", "6 NumPWorkDefines=1 6 1x1|" + define("PWork", "P", 0, 0)},
        {WORKVECT("IWork", 1, "PreviousTriggerValue", 1), 7, "", "6 NumIWorkDefines=1 6 1x1", 7},
        // Outside record generation there are no writers: an error, not a jump through a null pointer.
        {[](HostBlock* S) { S->writeRecordText = nullptr; return ssWriteQRXString(S, "x"); }, 0,
         "Record writers are not available outside mdlQRX"},
    });
    // clang-format on
}

}  // namespace
}  // namespace korlix_test
