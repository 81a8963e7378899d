// The zv array functions and the host's memory bookkeeping.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "quonix/host.hpp"

namespace {

using quonix::ArrayPtr;

// What zvArrayToString gives, quoted, or "no-text".
std::string textOf(const zvArray* a) {
    char* text = zvArrayToString(a);
    const std::string out = text != nullptr ? "'" + std::string(text) + "'" : "no-text";
    zvFree(text);
    return out;
}

// Class, rows x columns, element count, dimension count, the predicates that hold and the data pointers
// present, the text and the scalar value.
std::string describe(const zvArray* a) {
    static const char* const classes[] = {"unknown", "double", "char", "struct"};
    std::ostringstream out;
    out << classes[zvGetClassID(a)] << " " << zvGetM(a) << "x" << zvGetN(a) << " n"
        << zvGetNumberOfElements(a) << " d" << zvGetNumberOfDimensions(a) << ":" << get_dimensions(a)[0]
        << (zvIsEmpty(a) ? " empty" : "") << (zvIsComplex(a) ? " complex" : "")
        << (zvIsNumeric(a) ? " numeric" : "") << (zvIsChar(a) ? " char" : "")
        << (zvIsStruct(a) ? " struct" : "") << (zvGetPr(a) ? " pr" : "") << (zvGetPi(a) ? " pi" : "") << " "
        << textOf(a) << " " << zvGetScalar(a);
    return out.str();
}

TEST(Arrays, CreatedArraysHaveTheirClassShapeAndText) {
    static const char* fields[] = {"A", "B"};
    // clang-format off
    const std::pair<zvArray* (*)(), const char*> cases[] = {
        {[] { return zvCreateDoubleMatrix(2, 3, zvREAL); },    "double 2x3 n6 d2:2 numeric pr no-text 0"},
        {[] { return zvCreateDoubleMatrix(1, 2, zvCOMPLEX); }, "double 1x2 n2 d2:1 complex numeric pr pi no-text 0"},
        {[] { return zvCreateDoubleMatrix(0, 3, zvREAL); },    "double 0x3 n0 d2:0 empty numeric no-text 0"},
        {[] { return zvCreateDoubleScalar(-4.25); },           "double 1x1 n1 d2:1 numeric pr no-text -4.25"},
        {[] { return zvCreateString("KORLIXConfig"); },        "char 1x12 n12 d2:1 char 'KORLIXConfig' 0"},
        {[] { return zvCreateString(""); },                    "char 1x0 n0 d2:1 empty char '' 0"},
        {[] { return zvCreateString(nullptr); },               "char 0x0 n0 d2:0 empty char '' 0"},
        {[] { return zvCreateStructMatrix(1, 1, 2, fields); }, "struct 1x1 n1 d2:1 struct no-text 0"},
        {[] { return zvCreateStructMatrix(0, 0, 0, nullptr); }, "struct 0x0 n0 d2:0 empty struct no-text 0"},
        {[] { static const char* n[] = {"A", "A"}; return zvCreateStructMatrix(1, 1, 2, n); }, "null"},
        {[] { static const char* n[] = {"A", ""}; return zvCreateStructMatrix(1, 1, 2, n); },  "null"},
        {[] { static const char* n[] = {nullptr}; return zvCreateStructMatrix(1, 1, 1, n); },  "null"},
        {[] { return zvCreateStructMatrix(1, 1, -1, nullptr); },                             "null"},
        {[] { return zvCreateDoubleMatrix(SIZE_MAX, 2, zvREAL); },                           "null"},
    };
    // clang-format on
    for (const auto& [make, expected] : cases) {
        ArrayPtr a(make());
        EXPECT_EQ(a ? describe(a.get()) : "null", expected);
    }
}

TEST(Arrays, StructuresHoldNamedFieldsAndDuplicatesAreDeep) {
    const char* names[] = {"PduLength", "PduLabel"};
    ArrayPtr s(zvCreateStructMatrix(1, 2, 2, names));
    ASSERT_NE(s, nullptr);
    // Field count, then the numbers of "PduLabel", "pdulabel" and no name.
    EXPECT_EQ((std::vector{zvGetNumberOfFields(s.get()), zvGetFieldNumber(s.get(), "PduLabel"),
                           zvGetFieldNumber(s.get(), "pdulabel"), zvGetFieldNumber(s.get(), nullptr)}),
              (std::vector{2, 1, -1, -1}));
    EXPECT_STREQ(zvGetFieldNameByNumber(s.get(), 0), "PduLength");
    EXPECT_EQ(zvGetFieldNameByNumber(s.get(), 2), nullptr);

    // Every field starts as an empty double; setting a field replaces (and releases) the old value.
    zvArray* initial = get_struct_field_by_number(s.get(), 1, 0);
    ASSERT_NE(initial, nullptr);
    EXPECT_TRUE(zvIsNumeric(initial) && zvIsEmpty(initial));
    const std::size_t live = quonix::liveArrayCount();
    zvSetFieldByNumber(s.get(), 1, 0, zvCreateString("8"));
    EXPECT_EQ(quonix::liveArrayCount(), live);
    EXPECT_EQ(textOf(get_struct_field_by_number(s.get(), 1, 0)), "'8'");
    for (const auto& [index, field] : {std::pair<std::size_t, int>{2, 0}, {0, 2}, {0, -1}}) {
        EXPECT_EQ(get_struct_field_by_number(s.get(), index, field), nullptr) << index << " " << field;
    }
    zvSetFieldByNumber(s.get(), 5, 0, zvCreateString("out of range"));  // refused and released
    EXPECT_EQ(quonix::liveArrayCount(), live);

    // Duplicates are deep; a destroyed array is unknown.
    zvSetFieldByNumber(s.get(), 0, 0, zvCreateDoubleScalar(3.0));
    zvArray* original = zvDuplicateArray(s.get());
    zvArray* copy = zvDuplicateArray(original);
    EXPECT_EQ(quonix::liveArrayCount(), live + 10);
    zvGetPr(get_struct_field_by_number(original, 0, 0))[0] = 9.0;
    EXPECT_EQ(zvGetScalar(get_struct_field_by_number(copy, 0, 0)), 3.0);
    zvDestroyArray(original);
    EXPECT_EQ(zvGetClassID(original), zvUNKNOWN_CLASS);
    EXPECT_EQ(zvDuplicateArray(original), nullptr);
    zvDestroyArray(original);  // a second release is ignored
    zvDestroyArray(nullptr);
    zvDestroyArray(copy);
    EXPECT_EQ(quonix::liveArrayCount(), live);
}

TEST(Arrays, HostMemoryIsReleasedAtShutdown) {
    quonix::releaseHostMemory();
    void* kept = zvCalloc(4, 8);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(kept)[31], 0);
    zvFree(zvCalloc(1, 1));
    zvFree(nullptr);
    EXPECT_EQ(zvCalloc(SIZE_MAX, 2), nullptr);
    EXPECT_NE(zvCalloc(0, 8), nullptr);  // zero bytes is still a valid block
    EXPECT_EQ(quonix::releaseHostMemory(), 2u);
    EXPECT_EQ(quonix::releaseHostMemory(), 0u);
}

}  // namespace
