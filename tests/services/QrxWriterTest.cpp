// The record writer layer: every check with its message, what reaches the host's writers (calls made before
// a failure stay written) and host writer results passed back unchanged.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ServiceTestSupport.hpp"
#include "framework/QrxWriter.hpp"

namespace korlix_test {
namespace {

using namespace korlix;

const char* const kPairKind = "Invalid SSWRITE_VALUE_type passed to ssWriteQRXNameValuePair";
const char* const kName = "Invalid name passed to ssWriteQRXNameValuePair";
const char* const kShape = "Invalid number of rows or columns passed to ssWriteQRXNameValuePair";
const char* const kNull = "Invalid value (NULL) passed to ssWriteQRXNameValuePair";
const char* const kVect =
    "Invalid work vector name (vectName) passed to ssWriteQRXWorkVect (must be RWork, IWork, or PWork";
const std::string kMismatch =
    "Error in ssWriteQRXWorkVect.  The total number of IWorkDefines written to the .qrx "
    "file (= 2), should be equal to number of IWork (= 1), registered in mdlInitializeSizes";

const int32_t kIdx[] = {1, 2, 3};
const double kRe[] = {1.5, -2.0};
const double kIm[] = {0.5, 4.0};
const void* const kReOnly[] = {kRe, nullptr};
const void* const kImOnly[] = {nullptr, kIm};
const int32_t kOne = 1;

// A call runs on a block with an integer work vector of length 1 whose host writers answer `writerResult`.
// `record` lists the writer calls one "|" apart: texts as handed over, pairs as "kind name=value id RxC".
struct Row {
    std::function<int32_t(HostBlock*)> call;
    int32_t writerResult;
    int32_t result;
    std::string error;
    std::string record;
};

std::string recordOf(const quonix::BlockInstance& inst) {
    std::string out;
    for (const auto& e : inst.record()) {
        out += out.empty() ? "" : "|";
        if (e.contains("text")) {
            out += e["text"].get<std::string>();
            continue;
        }
        const auto& p = e["pair"];
        out += p["kind"].dump() + " " + p["name"].get<std::string>() + "=" + p["value"].dump() + " " +
               p["dataTypeId"].dump() + " " + p["rows"].dump() + "x" + p["columns"].dump();
    }
    return out;
}

void runRows(const std::vector<Row>& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto inst = makeInstance(Params{});
        inst->block().sizes[HB_SIZE_NUM_IWORK] = 1;
        inst->setWriterResult(rows[i].writerResult);
        inst->beginRecordCapture();
        EXPECT_EQ(rows[i].call(&inst->block()), rows[i].result) << "row " << i;
        EXPECT_EQ(errorStatusOf(inst->block()), rows[i].error) << "row " << i;
        EXPECT_EQ(recordOf(*inst), rows[i].record) << "row " << i;
        inst->endRecordCapture();
    }
}

#define CALL(expr) [](HostBlock* S) { return expr; }

TEST(RecordWriter, NameValuePairChecksInOrder) {
    // clang-format off
    runRows({
        {CALL(ssWriteQRXNameValuePair(S, 11, "A", "x", 0, 0, 0)), 1, 0, kPairKind, ""},
        {CALL(ssWriteQRXNameValuePair(S, -1, "A", "x", 0, 0, 0)), 1, 0, kPairKind, ""},
        {CALL(ssWriteQRXNameValuePair(S, 11, nullptr, nullptr, 0, 0, 0)), 1, 0, kPairKind, ""},
        {CALL(ssWriteQRXNameValuePair(S, 1, nullptr, "x", 0, 0, 0)), 1, 0, kName, ""},
        {CALL(ssWriteQRXNameValuePair(S, 7, "", nullptr, 6, -1, 0)), 1, 0, kName, ""},
        {CALL(ssWriteQRXNameValuePair(S, 7, "V", kIdx, 6, -1, 0)), 1, 0, kShape, ""},
        {CALL(ssWriteQRXNameValuePair(S, 2, "V", nullptr, -3, 0, 0)), 1, 0, kShape, ""},
        {CALL(ssWriteQRXNameValuePair(S, 8, "M", kIdx, 6, 0, 4)), 1, 0, kShape, ""},
        {CALL(ssWriteQRXNameValuePair(S, 5, "M", kRe, 0, 2, 0)), 1, 0, kShape, ""},
        {CALL(ssWriteQRXNameValuePair(S, 8, "M", nullptr, 6, 0, 0)), 1, 1, "", "8 M=[] 6 0x0"},
        {CALL(ssWriteQRXNameValuePair(S, 7, "V", nullptr, 6, 0, 0)), 1, 1, "", "7 V=[] 6 0x1"},
        {CALL(ssWriteQRXNameValuePair(S, 7, "V", nullptr, 6, 2, 0)), 1, 0, kNull, ""},
        {CALL(ssWriteQRXNameValuePair(S, 1, "T", nullptr, 0, 0, 0)), 1, 0, kNull, ""},
        {CALL(ssWriteQRXNameValuePair(S, 9, "C", kReOnly, 0, 2, 0)), 1, 1, "", "9 C=[1.5,-2.0] 0 2x1"},
        {CALL(ssWriteQRXNameValuePair(S, 9, "C", kReOnly, 0x10000, 2, 0)), 1, 0, kNull, ""},
        {CALL(ssWriteQRXNameValuePair(S, 10, "C", kImOnly, 0, 1, 2)), 1, 0, kNull, ""},
        {CALL(ssWriteQRXNameValuePair(S, 6, "W", &kOne, 6, 0, 0)), 0, 0, "", "6 W=1 6 1x1"},
    });
    // clang-format on
}

TEST(RecordWriter, ParamSettingsSection) {
    // clang-format off
    runRows({
        {CALL(ssWriteQRXParamSettings(S, 0)), 1, 0, "", ""},
        {CALL(ssWriteQRXParamSettings(S, -2, 1, "A", "x")), 1, 0, "", ""},
        {CALL(ssWriteQRXParamSettings(S, 1, 7, "SignalsIndexes", kIdx, 3, 6)), 1, 1, "",
         "SFcnParamSettings {|7 SignalsIndexes=[1,2,3] 6 3x1|}"},
        {CALL(ssWriteQRXParamSettings(S, 4, 1, "T", "on", 3, "D", 2.5, 4, "V", kRe, 2, 5, "M", kRe, 1, 2)),
         1, 1, "",
         "SFcnParamSettings {|1 T=\"on\" 0 1x1|3 D=2.5 0 1x1|4 V=[1.5,-2.0] 0 2x1|5 M=[[1.5,-2.0]] 0 1x2|}"},
        {CALL(ssWriteQRXParamSettings(S, 1, 9, "C", kRe, kIm, 2, 0x10000)), 1, 1, "",
         "SFcnParamSettings {|9 C={\"im\":[0.5,4.0],\"re\":[1.5,-2.0]} 65536 2x1|}"},
        {CALL(ssWriteQRXParamSettings(S, 2, 6, "W", &kOne, 6, 11, "X", "y")), 1, 0,
         "Invalid SSWRITE_VALUE_type passed to ssWriteQRXParamSettings", "SFcnParamSettings {|6 W=1 6 1x1"},
        {CALL(ssWriteQRXParamSettings(S, 2, 7, "V", nullptr, 2, 6, 1, "T", "x")), 1, 0, kNull,
         "SFcnParamSettings {"},
        {CALL(ssWriteQRXParamSettings(S, 1, 1, "T", "x")), 7, 7, "", "SFcnParamSettings {"},
    });
    // clang-format on
}

TEST(RecordWriter, WorkVectorDefines) {
    const std::string define =
        "IWorkDefine {|1 Name=\"PreviousTriggerValue\" 0 1x1|6 Width=1 6 1x1|6 StartIndex=0 6 1x1|}";
    // clang-format off
    runRows({
        {CALL(ssWriteQRXWorkVect(S, "Work", 1, "A", 1)), 1, 0, kVect, ""},
        {CALL(ssWriteQRXWorkVect(S, "iwork", 1, "A", 1)), 1, 0, kVect, ""},
        {CALL(ssWriteQRXWorkVect(S, nullptr, 1, "A", 1)), 1, 0, kVect, ""},
        {CALL(ssWriteQRXWorkVect(S, "IWork", 0)), 1, 0,
         "nNames argument to ssWriteQRXWorkVect must be greater than 0", ""},
        {CALL(ssWriteQRXWorkVect(S, "IWork", 1, "PreviousTriggerValue", 1)), 1, 1, "",
         "6 NumIWorkDefines=1 6 1x1|IWorkDefine {|1 Name=\"PreviousTriggerValue\" 0 1x1|6 Width=1 6 1x1|"
         "6 StartIndex=0 6 1x1|}"},
        {CALL(ssWriteQRXWorkVect(S, "IWork", 2, "PrevTrigInputVal", 1, "CommitTrigger", 1)), 1, 0, kMismatch,
         "6 NumIWorkDefines=2 6 1x1|IWorkDefine {|1 Name=\"PrevTrigInputVal\" 0 1x1|6 Width=1 6 1x1|"
         "6 StartIndex=0 6 1x1|}|IWorkDefine {|1 Name=\"CommitTrigger\" 0 1x1|6 Width=1 6 1x1|"
         "6 StartIndex=1 6 1x1|}"},
        // The real work vector's own length (0 here) is compared, not the integer one; widths add up.
        {CALL(ssWriteQRXWorkVect(S, "RWork", 2, "R", 2, "Q", 3)), 1, 0,
         "Error in ssWriteQRXWorkVect.  The total number of RWorkDefines written to the .qrx file (= 5), "
         "should be equal to number of RWork (= 0), registered in mdlInitializeSizes",
         "6 NumRWorkDefines=2 6 1x1|RWorkDefine {|1 Name=\"R\" 0 1x1|6 Width=2 6 1x1|"
         "6 StartIndex=0 6 1x1|}|RWorkDefine {|1 Name=\"Q\" 0 1x1|6 Width=3 6 1x1|6 StartIndex=2 6 1x1|}"},
        {CALL(ssWriteQRXWorkVect(S, "IWork", 1, "PreviousTriggerValue", 1)), 7, 7, "",
         "6 NumIWorkDefines=1 6 1x1"},
        // Outside record generation there are no writers: an error, not a jump through a null pointer.
        {[](HostBlock* S) { S->writeRecordText = nullptr; return ssWriteQRXString(S, "x"); }, 1, 0,
         "Record writers are not available outside mdlQRX", ""},
    });
    // clang-format on
}

}  // namespace
}  // namespace korlix_test
