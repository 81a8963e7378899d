// The zv array functions and the host's memory bookkeeping.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "quonix/host.hpp"

namespace {

using quonix::ArrayPtr;

struct ShapeCase {
    const char* name;
    std::function<zvArray*()> make;
    zvClassID classId;
    size_t m, n, elements;
    bool empty, complex;
};

TEST(Arrays, CreatedArraysHaveTheirClassAndShape) {
    const char* fields[] = {"A", "B"};
    const ShapeCase cases[] = {
        {"real matrix", [] { return zvCreateDoubleMatrix(2, 3, zvREAL); }, zvDOUBLE_CLASS, 2, 3, 6, false,
         false},
        {"complex matrix", [] { return zvCreateDoubleMatrix(1, 2, zvCOMPLEX); }, zvDOUBLE_CLASS, 1, 2, 2,
         false, true},
        {"empty double", [] { return zvCreateDoubleMatrix(0, 0, zvREAL); }, zvDOUBLE_CLASS, 0, 0, 0, true,
         false},
        {"scalar", [] { return zvCreateDoubleScalar(2.5); }, zvDOUBLE_CLASS, 1, 1, 1, false, false},
        {"text", [] { return zvCreateString("abc"); }, zvCHAR_CLASS, 1, 3, 3, false, false},
        {"empty text", [] { return zvCreateString(""); }, zvCHAR_CLASS, 1, 0, 0, true, false},
        {"null text", [] { return zvCreateString(nullptr); }, zvCHAR_CLASS, 0, 0, 0, true, false},
        {"struct", [&] { return zvCreateStructMatrix(1, 1, 2, fields); }, zvSTRUCT_CLASS, 1, 1, 1, false,
         false},
        {"empty struct", [] { return zvCreateStructMatrix(0, 0, 0, nullptr); }, zvSTRUCT_CLASS, 0, 0, 0, true,
         false},
    };
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ArrayPtr a(c.make());
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(zvGetClassID(a.get()), c.classId);
        EXPECT_EQ(zvGetM(a.get()), c.m);
        EXPECT_EQ(zvGetN(a.get()), c.n);
        EXPECT_EQ(zvGetNumberOfElements(a.get()), c.elements);
        EXPECT_EQ(zvGetNumberOfDimensions(a.get()), 2u);
        EXPECT_EQ(get_dimensions(a.get())[0], c.m);
        EXPECT_EQ(zvIsEmpty(a.get()) != 0, c.empty);
        EXPECT_EQ(zvIsComplex(a.get()) != 0, c.complex);
        EXPECT_EQ(zvIsNumeric(a.get()) != 0, c.classId == zvDOUBLE_CLASS);
        EXPECT_EQ(zvIsChar(a.get()) != 0, c.classId == zvCHAR_CLASS);
        EXPECT_EQ(zvIsStruct(a.get()) != 0, c.classId == zvSTRUCT_CLASS);
        EXPECT_EQ(zvGetPr(a.get()) != nullptr, c.classId == zvDOUBLE_CLASS && !c.empty);
        EXPECT_EQ(zvGetPi(a.get()) != nullptr, c.complex);
    }
}

TEST(Arrays, DataAndTextAccess) {
    ArrayPtr scalar(zvCreateDoubleScalar(-4.25));
    EXPECT_EQ(zvGetScalar(scalar.get()), -4.25);
    ArrayPtr empty(zvCreateDoubleMatrix(0, 3, zvREAL));
    EXPECT_EQ(zvGetScalar(empty.get()), 0.0);

    struct TextCase {
        const char* name;
        zvArray* array;
        const char* text;  // null: no text
    };
    const TextCase cases[] = {
        {"text", zvCreateString("KORLIXConfig"), "KORLIXConfig"},
        {"empty text", zvCreateString(""), ""},
        {"null text", zvCreateString(nullptr), ""},
        {"number", zvCreateDoubleScalar(1.0), nullptr},
        {"struct", zvCreateStructMatrix(1, 1, 0, nullptr), nullptr},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        ArrayPtr owner(c.array);
        char* text = zvArrayToString(owner.get());
        EXPECT_EQ(text == nullptr, c.text == nullptr);
        if (text != nullptr && c.text != nullptr) {
            EXPECT_STREQ(text, c.text);
        }
        zvFree(text);
    }
}

TEST(Arrays, StructuresHoldNamedFields) {
    const char* names[] = {"PduLength", "PduLabel"};
    ArrayPtr s(zvCreateStructMatrix(1, 2, 2, names));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(zvGetNumberOfFields(s.get()), 2);
    EXPECT_EQ(zvGetFieldNumber(s.get(), "PduLabel"), 1);
    EXPECT_EQ(zvGetFieldNumber(s.get(), "pdulabel"), -1);
    EXPECT_EQ(zvGetFieldNumber(s.get(), nullptr), -1);
    EXPECT_STREQ(zvGetFieldNameByNumber(s.get(), 0), "PduLength");
    EXPECT_EQ(zvGetFieldNameByNumber(s.get(), 2), nullptr);

    // Every field starts as an empty double; setting a field replaces (and releases) the old value.
    zvArray* initial = get_struct_field_by_number(s.get(), 1, 0);
    ASSERT_NE(initial, nullptr);
    EXPECT_TRUE(zvIsNumeric(initial) && zvIsEmpty(initial));
    std::size_t live = quonix::liveArrayCount();
    zvSetFieldByNumber(s.get(), 1, 0, zvCreateString("8"));
    EXPECT_EQ(quonix::liveArrayCount(), live);
    char* text = zvArrayToString(get_struct_field_by_number(s.get(), 1, 0));
    EXPECT_STREQ(text, "8");
    zvFree(text);

    EXPECT_EQ(get_struct_field_by_number(s.get(), 2, 0), nullptr);
    EXPECT_EQ(get_struct_field_by_number(s.get(), 0, 2), nullptr);
    EXPECT_EQ(get_struct_field_by_number(s.get(), 0, -1), nullptr);
    zvSetFieldByNumber(s.get(), 5, 0, zvCreateString("out of range"));  // refused and released
    EXPECT_EQ(quonix::liveArrayCount(), live);

    const char* duplicate[] = {"A", "A"};
    const char* emptyName[] = {"A", ""};
    const char* nullName[] = {nullptr};
    EXPECT_EQ(zvCreateStructMatrix(1, 1, 2, duplicate), nullptr);
    EXPECT_EQ(zvCreateStructMatrix(1, 1, 2, emptyName), nullptr);
    EXPECT_EQ(zvCreateStructMatrix(1, 1, 1, nullName), nullptr);
    EXPECT_EQ(zvCreateStructMatrix(1, 1, -1, nullptr), nullptr);
}

TEST(Arrays, DuplicatesAreDeepAndDestroyedArraysAreUnknown) {
    std::size_t start = quonix::liveArrayCount();
    const char* names[] = {"T"};
    zvArray* original = zvCreateStructMatrix(1, 1, 1, names);
    zvSetFieldByNumber(original, 0, 0, zvCreateDoubleScalar(3.0));
    zvArray* copy = zvDuplicateArray(original);
    EXPECT_EQ(quonix::liveArrayCount(), start + 4);
    zvGetPr(get_struct_field_by_number(original, 0, 0))[0] = 9.0;
    EXPECT_EQ(zvGetScalar(get_struct_field_by_number(copy, 0, 0)), 3.0);

    zvDestroyArray(original);
    EXPECT_EQ(zvGetClassID(original), zvUNKNOWN_CLASS);
    EXPECT_EQ(zvDuplicateArray(original), nullptr);
    zvDestroyArray(original);  // a second release is ignored
    zvDestroyArray(nullptr);
    zvDestroyArray(copy);
    EXPECT_EQ(quonix::liveArrayCount(), start);
    EXPECT_EQ(zvCreateDoubleMatrix(SIZE_MAX, 2, zvREAL), nullptr);
}

TEST(Arrays, HostMemoryIsReleasedAtShutdown) {
    quonix::releaseHostMemory();
    void* kept = zvCalloc(4, 8);
    void* freed = zvCalloc(1, 1);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(kept)[31], 0);
    zvFree(freed);
    zvFree(nullptr);
    EXPECT_EQ(zvCalloc(SIZE_MAX, 2), nullptr);
    EXPECT_NE(zvCalloc(0, 8), nullptr);  // zero bytes is still a valid block
    EXPECT_EQ(quonix::releaseHostMemory(), 2u);
    EXPECT_EQ(quonix::releaseHostMemory(), 0u);
}

}  // namespace
