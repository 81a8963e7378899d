// The PDU read and write blocks driven through the stand-in host: port shapes, set-up errors, records.
#include <string>
#include <vector>

#include "PduFixture.hpp"

namespace korlix_test {
namespace {

constexpr const char* kRead = "FlexRayReadPDU";
constexpr const char* kWrite = "FlexRayWritePDU";
// After the closing set-up (integer work vector 1) and without it (the framework's presets).
constexpr const char* kClosedIw1 = "iw=1 rw=0 pw=0 st=1 opt=282020 flags=100000";
constexpr const char* kNotClosed = "iw=0 rw=0 pw=0 st=1 opt=2000 flags=0";

class ReadWritePdu : public PduFixture {};

TEST_F(ReadWritePdu, PortShapesFollowLengthSwitchesAndLabel) {
    struct Row {
        const char* maskType;
        Params overrides;
        const char* ports;
        const char* closing;
    };
    const std::vector<Row> rows = {
        {kRead, {}, "in{} out{3x8}", kClosedIw1},
        {kRead, {{"PduLength", "0"}}, "in{} out{3x1}", kClosedIw1},
        {kRead, {{"EnableUSO", "on"}}, "in{} out{3x8 8x1}", kClosedIw1},
        {kRead, {{"EnableUpdtBit", "on"}}, "in{} out{3x8 8x1}", kClosedIw1},
        {kRead, {{"EnableUSO", "on"}, {"EnableUpdtBit", "on"}}, "in{} out{3x8 8x1 8x1}", kClosedIw1},
        {kRead, {{"EnableUSO", "On"}, {"EnableUpdtBit", "on "}}, "in{} out{3x8}", kClosedIw1},
        {kRead, {{"PduLength", "2147483647"}}, "in{} out{3x2147483647}", kClosedIw1},
        // Placeholder labels end the set-up early: ports as far as set, no closing set-up, no error.
        {kRead, {{"PduLabel", "<>"}, {"EnableUSO", "on"}}, "in{} out{3x8 8x1}", kNotClosed},
        {kRead, {{"PduLabel", "<No configuration data found>"}}, "in{} out{3x8}", kNotClosed},
        {kRead, {{"PduLabel", "<No receive frame found>"}}, "in{} out{3x8}", kClosedIw1},
        {kWrite, {}, "in{3x8FA} out{}", kClosedIw1},
        {kWrite, {{"PduLength", "0"}}, "in{3x1FA} out{}", kClosedIw1},
        {kWrite, {{"PduLabel", "<>"}}, "in{3x8F} out{}", kNotClosed},
        {kWrite, {{"PduLabel", "<No configuration data found>"}}, "in{3x8F} out{}", kNotClosed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.maskType) + " " + row.ports);
        quonix::BlockInstance& inst = setUp(row.maskType, row.overrides);
        EXPECT_EQ(errorText(inst), "");
        EXPECT_EQ(portShape(inst.block()), row.ports);
        EXPECT_EQ(closingState(inst.block()), row.closing);
    }
}

TEST_F(ReadWritePdu, SetUpErrorsNameTheFirstFailureAndKeepEarlierPorts) {
    struct Row {
        const char* maskType;
        Params overrides;
        int parameterCount;
        const char* error;
        const char* ports;
    };
    const std::vector<Row> rows = {
        {kRead, {}, 3, "2 input args expected, 3 passed", "in{} out{}"},
        {kWrite, {}, 1, "2 input args expected, 1 passed", "in{-1x-1} out{}"},
        {kRead,
         {{"EnableUSO", kRemove}, {"PduLength", kRemove}},
         2,
         "Unable to find variable or field \"EnableUSO\" in the s-function parameters",
         "in{} out{}"},
        {kRead,
         {{"EnableUpdtBit", kNoText}},
         2,
         "Unable to find variable or field \"EnableUpdtBit\" in the s-function parameters",
         "in{} out{}"},
        {kRead,
         {{"PduLength", kRemove}, {"PduLabel", kRemove}, {"EnableUSO", "on"}},
         2,
         "Unable to find variable or field \"PduLength\" in the s-function parameters",
         "in{} out{-1x-1 8x1}"},
        {kRead, {{"PduLength", ""}}, 2, "Error converting empty string to uint32.", "in{} out{-1x-1}"},
        {kRead,
         {{"PduLabel", kRemove}},
         2,
         "Unable to find variable or field \"PduLabel\" in the s-function parameters",
         "in{} out{3x8}"},
        {kWrite, {{"PduLength", "abc"}}, 2, "Error converting string abc to uint32.", "in{3x-1F} out{}"},
        {kWrite,
         {{"PduLabel", kRemove}, {"PduLength", "12"}},
         2,
         "Unable to find variable or field \"PduLabel\" in the s-function parameters",
         "in{3x12F} out{}"},
        // A length beyond the largest port width is refused with its own message, never a negative width.
        {kRead,
         {{"PduLength", "2147483648"}},
         2,
         "PduLength 2147483648 exceeds the largest port width 2147483647.",
         "in{} out{-1x-1}"},
        {kWrite,
         {{"PduLength", "4000000000"}},
         2,
         "PduLength 4000000000 exceeds the largest port width 2147483647.",
         "in{3x-1F} out{}"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.maskType) + " " + row.error);
        quonix::BlockInstance& inst = setUp(row.maskType, row.overrides, row.parameterCount);
        EXPECT_EQ(errorText(inst), row.error);
        EXPECT_EQ(inst.errorCallback(), "mdlInitializeSizes");
        EXPECT_EQ(portShape(inst.block()), row.ports);
    }
}

TEST_F(ReadWritePdu, RefusedPortCountStopsWithoutMessage) {
    struct Row {
        const char* maskType;
        Params overrides;
        int32_t maxPorts;
        const char* ports;
    };
    const std::vector<Row> rows = {
        {kRead, {}, 0, "in{} out{}"},                                              // one output refused
        {kRead, {{"EnableUSO", "on"}, {"EnableUpdtBit", "on"}}, 2, "in{} out{}"},  // three refused
        {kWrite, {}, 0, "in{} out{}"},                                             // one input refused
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.maskType) + " maxPorts " + std::to_string(row.maxPorts));
        settings_.maxPorts = row.maxPorts;
        quonix::BlockInstance& inst = setUp(row.maskType, row.overrides);
        EXPECT_EQ(errorText(inst), "");
        EXPECT_EQ(portShape(inst.block()), row.ports);
        EXPECT_EQ(closingState(inst.block()), kNotClosed);
    }
}

TEST_F(ReadWritePdu, RecordsAreWrittenWholeFromTheFieldTexts) {
    const std::string longFile(9000, 'f');
    struct Row {
        const char* maskType;
        Params overrides;
        std::string record;
    };
    const std::vector<Row> rows = {
        {kRead,
         {{"PduLength", "16"}, {"EnableUSO", "on"}},
         "KORLIXSFunParameters {\n"
         "        MaskType              \"FlexRayReadPDU\"\n"
         "        ConfigValid           1\n"
         "        DeviceIndex           0\n"
         "        PduLabel            \"PDU_Engine\"\n"
         "        PduIndex            4\n"
         "        PduLength           16\n"
         "        EnableUSO            \"on\"\n"
         "        EnableUpdtBit            \"off\"\n"
         "        SignalIndex           2\n"
         "        VXLInitFile           \"fr_init\"\n"
         "        VXLFile               \"fr_pdu_read\"\n"
         "      }\n"},
        {kWrite,
         {{"PduLength", "16"}},
         "KORLIXSFunParameters {\n"
         "        MaskType              \"FlexRayWritePDU\"\n"
         "        ConfigValid           1\n"
         "        DeviceIndex           1\n"
         "        PduLabel            \"PDU_Brake\"\n"
         "        PduIndex            7\n"
         "        PduLength       \"16\"\n"
         "        VXLInitFile           \"fr_init\"\n"
         "        VXLFile               \"fr_pdu_write\"\n"
         "      }\n"},
        // A placeholder label still gives a record; texts go in unchanged, however long.
        {kWrite,
         {{"PduLabel", "<>"}, {"PduIndex", ""}, {"VXLFile", longFile}},
         "KORLIXSFunParameters {\n"
         "        MaskType              \"FlexRayWritePDU\"\n"
         "        ConfigValid           1\n"
         "        DeviceIndex           1\n"
         "        PduLabel            \"<>\"\n"
         "        PduIndex            \n"
         "        PduLength       \"8\"\n"
         "        VXLInitFile           \"fr_init\"\n"
         "        VXLFile               \"" +
             longFile +
             "\"\n"
             "      }\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.maskType);
        quonix::BlockInstance& inst = setUp(row.maskType, row.overrides);
        generate(inst);
        EXPECT_EQ(errorText(inst), "");
        EXPECT_EQ(recordTexts(inst), std::vector<std::string>{row.record});
        EXPECT_EQ(inst.record().size(), 1u);  // no work-vector defines, no parameter settings
    }
}

TEST_F(ReadWritePdu, RecordFieldMissingReportsAndWritesNothing) {
    struct Row {
        const char* maskType;
        Params overrides;
        const char* error;
    };
    const std::vector<Row> rows = {
        {kRead,
         {{"SignalIndex", kRemove}},
         "Unable to find variable or field \"SignalIndex\" in the s-function parameters"},
        {kRead,
         {{"DeviceIndex", kRemove}, {"VXLFile", kNoText}},
         "Unable to find variable or field \"VXLFile\" in the s-function parameters"},
        {kWrite,
         {{"DeviceIndex", kRemove}, {"PduIndex", kRemove}},
         "Unable to find variable or field \"PduIndex\" in the s-function parameters"},
        {kWrite,
         {{"MaskType", kRemove}},
         "Unable to find variable or field \"MaskType\" in the s-function parameters"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error);
        quonix::BlockInstance& inst = setUp(row.maskType, row.overrides);
        ASSERT_EQ(errorText(inst), "");  // set-up does not read these fields
        generate(inst);
        EXPECT_EQ(errorText(inst), row.error);
        EXPECT_EQ(inst.errorCallback(), "mdlQRX");
        EXPECT_TRUE(inst.record().empty());
    }
}

// All four PDU classes take the sample time from the second dialog parameter.
TEST_F(ReadWritePdu, SampleTimeComesFromTheSecondParameter) {
    struct Row {
        double sampleTime;
        double period;
        double offset;
        bool inheritedBit;  // flag bit 0x800 set, 0x1000 cleared
    };
    const std::vector<Row> rows = {
        {-1.0, -1.0, 1.0, true}, {0.01, 0.01, 0.0, false}, {-2.0, -2.0, 0.0, false}};
    for (const char* maskType : {kRead, kWrite, "FlexRayPackPDU", "FlexRayUnpackPDU"}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(maskType) + " " + std::to_string(row.sampleTime));
            quonix::BlockSpec& spec = addBlock(maskType, baseParams(maskType), row.sampleTime);
            quonix::BlockInstance& inst = initializeWithSampleTimes(spec.name);
            EXPECT_EQ(errorText(inst), "");
            EXPECT_DOUBLE_EQ(inst.block().sampleTime, row.period);
            EXPECT_DOUBLE_EQ(inst.block().sampleOffset, row.offset);
            EXPECT_EQ((inst.block().sizes[HB_SIZE_FLAGS] & 0x1800) == 0x800, row.inheritedBit);
        }
    }
}

}  // namespace
}  // namespace korlix_test
