// The helpers every block class shares: message buffers, ordered parameter reads, the record formatter and
// the common set-up steps.
#include <gtest/gtest.h>

#include <string>

#include "ServiceTestSupport.hpp"
#include "framework/BlockHelpers.hpp"

namespace korlix_test {
namespace {

using korlix::ErrorBuffer;

TEST(ErrorBufferTest, CutsAt1023CharactersAndReportsTheBuffer) {
    for (std::size_t length : {0, 1022, 1023, 1024, 5000}) {
        std::string message;
        for (std::size_t i = 0; i < length; ++i)
            message += static_cast<char>('a' + i % 26);
        auto inst = makeInstance(Params{});
        ErrorBuffer copied, formatted;
        copied.report(&inst->block(), message);
        EXPECT_EQ(inst->block().errorStatus, copied.text());
        formatted.reportf(&inst->block(), "%s", message.c_str());
        EXPECT_EQ(inst->block().errorStatus, formatted.text());
        EXPECT_EQ(std::string(copied.text()), message.substr(0, 1023)) << length;
        EXPECT_EQ(std::string(formatted.text()), message.substr(0, 1023)) << length;
    }
}

TEST(ReadParamsTest, ReadsInOrderAndStopsAtFirstFailure) {
    const std::string missingB = "Unable to find variable or field \"B\" in the s-function parameters";
    // clang-format off
    struct Row { Params params; std::string errorOnEntry; bool ok; std::string values, error; };
    const Row rows[] = {  // values: A|B|C after the call, "-" where nothing was read
        {{{"A", "1"}, {"B", ""}, {"C", "x y"}}, "", true, "1||x y", ""},
        {{{"A", "1"}, {"C", "3"}}, "", false, "1|-|-", missingB},
        {{{"A", "1"}, {"B", kNoText}, {"C", "3"}}, "", false, "1|-|-", missingB},
        // A failure still pending on entry is kept, and nothing is read.
        {{{"A", "1"}, {"B", "2"}, {"C", "3"}}, "earlier", false, "-|-|-", "earlier"},
    };
    // clang-format on
    for (const Row& row : rows) {
        auto inst = makeInstance(row.params);
        std::string a = "-", b = "-", c = "-", error = row.errorOnEntry;
        EXPECT_EQ(korlix::readParams(&inst->block(), {{"A", &a}, {"B", &b}, {"C", &c}}, error), row.ok);
        EXPECT_EQ(a + "|" + b + "|" + c + " " + error, row.values + " " + row.error);
        ErrorBuffer buffer;
        korlix::readParamsOrReport(&inst->block(), {{"A", &a}, {"B", &b}, {"C", &c}}, buffer);
        EXPECT_EQ(errorStatusOf(inst->block()), row.errorOnEntry.empty() ? row.error : "");
    }
}

TEST(FormatRecordTest, WholeRecordQuotedAndBareUnescapedNeverCut) {
    const std::string type = "KORLIXConfig", index = "2", file = "a \"b\" c", huge(9000, 'x');
    EXPECT_EQ(korlix::formatRecord({{"MaskType", 9, true, type},
                                    {"DeviceIndex", 6, false, index},
                                    {"VXLFile", 0, true, file},
                                    {"Lead", 1, false, index, "    "}}),
              "KORLIXSFunParameters {\n"
              "        MaskType         \"KORLIXConfig\"\n"
              "        DeviceIndex      2\n"
              "        VXLFile\"a \"b\" c\"\n"
              "    Lead 2\n"
              "      }\n");
    EXPECT_EQ(korlix::formatRecord({{"VXLFile", 2, true, huge}, {"Next", 1, false, index}}),
              "KORLIXSFunParameters {\n        VXLFile  \"" + huge + "\"\n        Next 2\n      }\n");
}

TEST(SetupHelpers, ParameterCountAndEmptyStructure) {
    // clang-format off
    struct Row { std::optional<Params> params; int count; std::string error; bool empty; };
    const Row rows[] = {
        {Params{{"A", "1"}}, 2, "", false}, {Params{{"A", "1"}}, 3, "2 input args expected, 3 passed", false},
        {Params{}, 1, "2 input args expected, 1 passed", false},
        {Params{{"A", "1"}}, 0, "2 input args expected, 0 passed", true},
        {std::nullopt, 2, "", true},
    };
    // clang-format on
    for (const Row& row : rows) {
        auto inst = makeInstance(row.params, row.count);
        ErrorBuffer buffer;
        EXPECT_EQ(korlix::checkTwoParams(&inst->block(), buffer), row.error.empty());
        EXPECT_EQ(inst->block().sizes[HB_SIZE_NUM_SFCN_PARAMS], 2);
        EXPECT_EQ(errorStatusOf(inst->block()), row.error);
        EXPECT_EQ(korlix::isParamStructEmpty(&inst->block()), row.empty) << row.count;
    }
}

int setterCalls = 0;
void countingSetter(HostBlock*, int32_t value) {
    setterCalls += value == 0 ? 1 : 100;
}

TEST(SetupHelpers, ClosingSetupWithEachModesVariant) {
    using korlix::ModesField;
    // clang-format off
    struct Row { ModesField modes; bool hasSetter; int setterCalls; int32_t modesField; };
    const Row rows[] = {  // size field 22 starts at 5
        {ModesField::Direct, true, 0, 0},
        {ModesField::SetterOnly, true, 1, 5}, {ModesField::SetterOnly, false, 0, 5},
        {ModesField::SetterAndDirect, true, 1, 0}, {ModesField::SetterAndDirect, false, 0, 0},
    };
    // clang-format on
    for (const Row& row : rows) {
        auto inst = makeInstance(Params{});
        HostBlock& S = inst->block();
        for (int field : {0, 1, 6, 8, 9, 10, 20})
            S.sizes[field] = 9;
        S.sizes[HB_SIZE_NUM_MODES] = 5;
        S.sizes[HB_SIZE_FLAGS] = 0x6FF800;  // 0x680000 set, 0x100000 clear
        S.sfcnParamAttributes[0] = S.sfcnParamAttributes[1] = HB_PARAM_TUNABLE | HB_PARAM_SIM_ONLY_TUNABLE;
        S.setNumModes = row.hasSetter ? countingSetter : nullptr;
        setterCalls = 0;
        korlix::closingSetup(&S, {.iwork = 2, .rwork = 1, .pwork = 3}, row.modes);
        std::string sizes;
        for (int field : {0, 1, 6, 8, 9, 10, 20})
            sizes += std::to_string(S.sizes[field]) + " ";
        EXPECT_EQ(sizes, "0 0 1 2 1 3 0 ");
        EXPECT_EQ(setterCalls, row.setterCalls);
        EXPECT_EQ(S.sizes[HB_SIZE_NUM_MODES], row.modesField);
        EXPECT_EQ(static_cast<uint32_t>(S.sizes[HB_SIZE_FLAGS]), 0x17F800u);
        EXPECT_EQ(static_cast<uint32_t>(S.sizes[HB_SIZE_OPTIONS]), 0x280020u);
        EXPECT_EQ(S.sfcnParamAttributes[0], uint32_t{HB_PARAM_NOT_TUNABLE});
        EXPECT_EQ(S.sfcnParamAttributes[1], uint32_t{HB_PARAM_NOT_TUNABLE});
    }
}

TEST(SetupHelpers, ListMustCoverTheSignalCount) {
    // clang-format off
    struct Row { std::size_t have; uint32_t count; std::string error; };
    const Row rows[] = {
        {2, 3, "Cannot write SignalsIndexes: the block holds 2 values but its signal count is 3; "
               "initialise the block again"},
        {0, 4294967295u, "Cannot write SignalsIndexes: the block holds 0 values but its signal count is "
                         "4294967295; initialise the block again"},
        {3, 3, ""}, {5, 0, ""},
    };
    // clang-format on
    for (const Row& row : rows) {
        auto inst = makeInstance(Params{});
        ErrorBuffer buffer;
        EXPECT_EQ(korlix::checkListCovers(&inst->block(), buffer, "SignalsIndexes", row.have, row.count),
                  row.error.empty());
        EXPECT_EQ(errorStatusOf(inst->block()), row.error);
    }
}

}  // namespace
}  // namespace korlix_test
