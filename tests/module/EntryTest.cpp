// The module's entry as the host and a command-line user call it: argument checks of the registration call,
// the size vector, the messages of the callback flags, and the export list of the built module.
#include <dlfcn.h>

#include <array>
#include <cstdio>
#include <functional>
#include <set>
#include <sstream>

#include "HostFixture.hpp"

namespace {

using quonix::ArrayPtr;

const std::string kSelf = "ZUP level2 S-function \"korlix_qvblk\"";

ArrayPtr scalar(double v) {
    return ArrayPtr(zvCreateDoubleScalar(v));
}
ArrayPtr matrix(size_t m, size_t n, zvComplexity c = zvREAL) {
    return ArrayPtr(zvCreateDoubleMatrix(m, n, c));
}

class ModuleEntryTest : public korlix_test::HostFixture {
  protected:
    // Calls the entry with the given arguments and answers the raised text, or nullopt when none was raised.
    std::optional<std::string> call(int nLeft, zvArray** left, std::vector<const zvArray*> right) {
        quonix::trace().clear();
        try {
            module_->entry()(nLeft, left, static_cast<int>(right.size()), right.data());
        } catch (...) {  // the host's own unwinding from zupErrMsgTxt
            const auto& events = quonix::trace().events();
            EXPECT_EQ(events.size(), 1u) << "nothing may run after a failed check: " << events.dump();
            return events.back().value("text", "");
        }
        return std::nullopt;
    }
    // A callback call for a host structure; answers the error status it left.
    std::string callback(HostBlock& block, double flag) {
        block.errorStatus = nullptr;
        std::array<zvArray*, 2> left{nullptr, reinterpret_cast<zvArray*>(&block)};
        ArrayPtr empty = matrix(0, 0), flagArg = scalar(flag);
        call(-1, left.data(), {empty.get(), empty.get(), empty.get(), flagArg.get()});
        return block.errorStatus != nullptr ? block.errorStatus : "(none)";
    }
};

TEST_F(ModuleEntryTest, RegistrationArgumentChecks) {
    const std::string notInteger =
        "The 4th right hand argument, FLAG, passed to " + kSelf + " must be an integer";
    struct Row {
        const char* label;
        int nLeft;
        int nRight;
        std::function<ArrayPtr()> flag;
        std::string message;
    };
    const Row rows[] = {
        {"three arguments", 1, 3, [] { return scalar(0); },
         kSelf + " must be called with at least 4 right hand arguments"},
        {"two results", 2, 4, [] { return scalar(0); }, kSelf + " called with too many left hand arguments"},
        {"fraction", 1, 4, [] { return scalar(0.5); }, notInteger},
        {"1-by-2", 1, 4, [] { return matrix(1, 2); }, notInteger},
        {"complex", 1, 4, [] { return matrix(1, 1, zvCOMPLEX); }, notInteger},
        {"text", 1, 4, [] { return ArrayPtr(zvCreateString("0")); }, notInteger},
        {"empty", 1, 4, [] { return matrix(0, 0); }, notInteger},
        {"beyond 32 bits", 1, 4, [] { return scalar(4294967296.0); }, notInteger},
        {"not a number", 1, 4, [] { return scalar(std::nan("")); }, notInteger},
        {"flag 3", 1, 4, [] { return scalar(3); }, "Invalid flag passed to " + kSelf},
        {"flag -1", 0, 4, [] { return scalar(-1); }, "Invalid flag passed to " + kSelf},
    };
    for (const Row& row : rows) {
        ArrayPtr empty = matrix(0, 0), flag = row.flag();
        std::vector<const zvArray*> right(static_cast<size_t>(row.nRight), empty.get());
        if (row.nRight > 3) {
            right[3] = flag.get();
        }
        std::array<zvArray*, 2> left{};
        EXPECT_EQ(call(row.nLeft, left.data(), right), row.message) << row.label;
        EXPECT_EQ(left[0], nullptr) << row.label;
    }
}

TEST_F(ModuleEntryTest, StructureWithAnotherNameIsRefused) {
    addBlock("KORLIXConfig", {}, -1.0, "b");
    quonix::BlockInstance inst(*model_.find("b"), settings_);
    inst.block().name = "other_sfun";
    inst.registration(module_->entry());
    EXPECT_EQ(
        errorText(inst),
        "S-function name mismatch. Name in source is \"#define S_FUNCTION_NAME korlix_qvblk\", whereas name "
        "of the S-function ZUP file is \"other_sfun\". The source needs to be updated");
    EXPECT_EQ(inst.errorCallback(), "registration");
    EXPECT_EQ(inst.block().mdlInitializeSizes, nullptr);
}

TEST_F(ModuleEntryTest, RegistrationHookOnlyWhenTheStructureMarksIt) {
    addBlock("no such type", {}, -1.0, "b");
    const std::string hook = R"({"block":"b","call":"callMethod","method":280})";
    for (bool marked : {false, true}) {
        settings_.supportsRegistrationHook = marked;
        quonix::trace().clear();
        initialize("b");
        EXPECT_EQ(quonix::trace().events()[1].dump() == hook, marked) << quonix::trace().events().dump();
    }
}

TEST_F(ModuleEntryTest, CallbackFlags) {
    addBlock("KORLIXModelUpdate", {}, -1.0, "b");
    quonix::BlockInstance bare(*model_.find("b"), settings_);  // never registered: no callbacks
    quonix::BlockInstance& registered = initialize("b");       // callbacks set, but no block object
    const std::string none = "(none)", invalid = "Invalid flag encountered in tarvel";
    struct Row {
        double flag;
        bool registered;
        std::string message;
    };
    const Row rows[] = {
        {103, false,
         "To have a variable sample time, you must define MDL_GET_TIME_OF_NEXT_VAR_HIT and add a "
         "mdlGetTimeOfNextVarHit routine"},
        {108, false,
         "To have nonsampled zero crossings, you must define MDL_ZERO_CROSSINGS and have a mdlZeroCrossings "
         "routine"},
        {111, false, "Unexpected call to mdlSetWorkWidths"},
        {112, true, "Unexpected call to mdlCheckParameters"},
        {113, false, "Unexpected call to mdlSetInputPortDataType"},
        {114, false, "Unexpected call to mdlSetOutputPortDataType"},
        {115, false, "Unexpected call to mdlSetInputPortWidth"},
        {116, false, "Unexpected call to mdlSetOutputPortWidth"},
        {120, false, "Unexpected call to mdlSetInputPortComplexSignal"},
        {121, false, "Unexpected call to mdlSetOutputPortComplexSignal"},
        {122, false, "Unexpected call to mdlSetInputPortSampleTime"},
        {123, false, "Unexpected call to mdlSetOutputPortSampleTime"},
        {126, false, "Unexpected call to mdlSetInputPortDimensionInfo"},
        {127, false, "Unexpected call to mdlSetOutputPortDimensionInfo"},
        {128, false, "Unexpected call to mdlSetInputPortFrameData"},
        {131, false, "Unexpected call to mdlSetDefaultPortDimensionInfo"},
        {132, false, "Unexpected call to mdlSetDefaultPortDataTypes"},
        {133, false, "Unexpected call to mdlSetDefaultPortComplexSignals"},
        {142, false, "Unexpected call to mdlInitializePropagationPass"},
        {144, false, "Unexpected call to mdlGetSimState (MDL_SIM_STATE not defined)"},
        {145, false, "Unexpected call to mdlSetSimState (MDL_SIM_STATE not defined)"},
        {149, false, "Unexpected call to mdlSetInputPortSymbolicDimensions"},
        {150, true, "Unexpected call to mdlSetOutputPortSymbolicDimensions"},
        {117, false, "Unexpected call to mdlStart"},
        {119, false, "Unexpected call to mdlQRX"},
        // Without a block object the block callbacks do nothing; the block already carries its error.
        {117, true, none},
        {119, true, none},
        {101, true, none},
        {104, true, none},
        {107, true, none},
        {0, true, invalid},
        {102, true, invalid},
        {105, true, invalid},
        {118, true, invalid},
        {200, true, invalid},
        {-101, true, invalid},
        {1e12, true, invalid},
        {112.9, false, "Unexpected call to mdlCheckParameters"},  // the flag is truncated
    };
    for (const Row& row : rows) {
        HostBlock& block = row.registered ? registered.block() : bare.block();
        EXPECT_EQ(callback(block, row.flag), row.message)
            << row.flag << (row.registered ? " registered" : "");
    }
    // mdlStart replaces the option word even when it finds no object.
    callback(registered.block(), 117);
    EXPECT_EQ(static_cast<uint32_t>(registered.block().sizes[HB_SIZE_OPTIONS]), 0x200000u);
}

TEST_F(ModuleEntryTest, RejectedMaskTypesCreateNothingAndAskNothingMore) {
    for (const char* maskType : {"KORLIXSignalRead ", "KORLIXWQMConfig", ""}) {
        addBlock(maskType, {}, -1.0, std::string("b") + maskType);
        quonix::trace().clear();
        quonix::BlockInstance& inst = initialize(std::string("b") + maskType);
        EXPECT_EQ(errorText(inst), "Invalid KORLIX MaskType found") << maskType;
        EXPECT_EQ(inst.block().sfcnParamAttributes[0] & HB_PARAM_NOT_TUNABLE, 0u) << maskType;
        EXPECT_EQ(quonix::trace().events().dump().find("korlix_get_execsys2"), std::string::npos) << maskType;
    }
}

TEST_F(ModuleEntryTest, ModuleExportsOnlyTheEntry) {
    FILE* pipe = popen((std::string("nm -D --defined-only ") + korlix_test::modulePath()).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream in(line);
        std::string address, type, name;
        in >> address >> type >> name;
        names.insert(name);
    }
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, std::set<std::string>{"zupFunction"});
    module_.reset();
    EXPECT_EQ(dlopen(korlix_test::modulePath(), RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the module stays loaded";
}

}  // namespace
