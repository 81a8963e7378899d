// Parameter lookup by name and the text conversions, at their limits.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ServiceTestSupport.hpp"
#include "services/Params.hpp"

namespace korlix_test {
namespace {

TEST(ParamLookup, ReadsFieldTextOrReportsMissingField) {
    const std::string missing =
        "Unable to find variable or field \"DeviceIndex\" in the s-function parameters";
    const Params present{{"MaskType", "KORLIXConfig"}, {"DeviceIndex", "3"}};
    // clang-format off
    struct Row { std::optional<Params> params; int parameterCount; std::string value, error; };
    const Row rows[] = {  // value starts "old" and the error text "earlier"; a success keeps "earlier"
        {present, 2, "3", "earlier"},
        {Params{{"DeviceIndex", ""}}, 2, "", "earlier"},
        {Params{{"DeviceIndex", " \"a\"\tb "}}, 2, " \"a\"\tb ", "earlier"},
        {Params{{"MaskType", "x"}}, 2, "old", missing},
        {Params{{"deviceindex", "3"}}, 2, "old", missing},
        {Params{{"DeviceIndex", kNoText}}, 2, "old", missing},
        {std::nullopt, 2, "old", missing},
        {present, 0, "old", missing},
    };
    // clang-format on
    for (const Row& row : rows) {
        auto inst = makeInstance(row.params, row.parameterCount);
        std::string value = "old", error = "earlier";
        korlix::getSFcnParamString(&inst->block(), "DeviceIndex", value, error);
        EXPECT_EQ(value + " / " + error, row.value + " / " + row.error);
    }
    // A first parameter that is not a structure has no fields, even when it holds text.
    auto inst = makeInstance(present);
    quonix::ArrayPtr text(zvCreateString("DeviceIndex"));
    const zvArray* structure = inst->block().sfcnParams[0];
    inst->block().sfcnParams[0] = text.get();
    std::string value = "old", error;
    korlix::getSFcnParamString(&inst->block(), "DeviceIndex", value, error);
    inst->block().sfcnParams[0] = structure;
    EXPECT_EQ(value + " / " + error, "old / " + missing);
}

TEST(TextConversion, Uint32ReadsOneLeadingNumber) {
    // clang-format off
    struct Row { std::string text, result; };  // the value read, or the error text
    const Row rows[] = {
        {"42", "42"}, {" \t\n\v\f\r42", "42"}, {"12abc", "12"}, {"7 8", "7"}, {"0x1F", "0"}, {"+5", "5"},
        {"4294967295", "4294967295"}, {"0004294967295", "4294967295"},
        {"4294967296", "Error converting string 4294967296 to uint32."},
        {"abc", "Error converting string abc to uint32."},
        {" ", "Error converting string   to uint32."},
        {"\t \n", "Error converting string \t \n to uint32."},
        {"+ 5", "Error converting string + 5 to uint32."},
        {"-5", "Error converting string -5 to uint32."},  // refused rather than taken modulo 2^32
        {"", "Error converting empty string to uint32."},
    };
    // clang-format on
    for (const Row& row : rows) {
        uint32_t value = 777;
        std::string error = "stale";
        korlix::stringToUint32(row.text, value, error);
        const bool fails = row.result.rfind("Error", 0) == 0;
        EXPECT_EQ(error, fails ? row.result : "") << row.text;
        EXPECT_EQ(std::to_string(value), fails ? "777" : row.result) << row.text;
    }
}

TEST(TextConversion, Uint32VectorAppendsUntilFirstNonNumber) {
    // clang-format off
    struct Row { std::string text; std::vector<uint32_t> values; bool emptyError; };  // values after {9}
    const Row rows[] = {
        {"3 1 2", {9, 3, 1, 2}, false}, {"\t4\n5 ", {9, 4, 5}, false}, {"1;2", {9, 1}, false},
        {"1,2,3", {9, 1}, false}, {"[1 2]", {9}, false}, {"   ", {9}, false}, {"1 -2 3", {9, 1}, false},
        {"1 4294967296 3", {9, 1}, false}, {"4294967295 +0", {9, 4294967295u, 0}, false}, {"", {9}, true},
    };
    // clang-format on
    for (const Row& row : rows) {
        std::vector<uint32_t> values{9};
        std::string error = "stale";
        korlix::stringToUint32Vector(row.text, values, error);
        EXPECT_EQ(values, row.values) << row.text;
        EXPECT_EQ(error, row.emptyError ? "Error converting empty string to vector of uint32." : "")
            << row.text;
    }
}

TEST(TextConversion, DataTypeListSplitsAtBlanksOnly) {
    const std::string bad = "Cannot convert following data type from string to Tarvel data type identifier: ";
    // clang-format off
    struct Row { std::string text; std::vector<int32_t> ids; std::string error; };
    const Row rows[] = {
        {"uint8  A_INT16 boolean", {3, 4, 8}, ""},
        {" int32 uint32 A_UINT32 A_INT8 uint16 A_UINT16 int16 A_UINT8 int8 ", {6, 7, 7, 2, 5, 5, 4, 3, 2},
         ""},
        {"uint8 double", {3}, bad + "double"}, {"uint8\tint8", {}, bad + "uint8\tint8"},
        {"\tint8", {}, bad + "\tint8"}, {"int8 UINT8 single", {2}, bad + "UINT8"},
        {"   ", {}, ""}, {"", {}, ""},
    };
    // clang-format on
    for (const Row& row : rows) {
        std::vector<int32_t> ids{99};
        std::string error = "stale";
        korlix::parseDataTypeList(row.text, ids, error);
        EXPECT_EQ(ids, row.ids) << row.text;
        EXPECT_EQ(error, row.error) << row.text;
    }
    EXPECT_EQ(korlix::dataTypeNameToId("A_INT32"), 6);
    EXPECT_EQ(korlix::dataTypeNameToId("uint8 "), -1);
    const int sizes[] = {-1, 8, 4, 1, 1, 2, 2, 4, 4, 1, -1};  // ids -1 .. 9
    for (int id = -1; id <= 9; ++id) {
        EXPECT_EQ(korlix::dataTypeByteSize(id), sizes[id + 1]) << id;
    }
}

}  // namespace
}  // namespace korlix_test
