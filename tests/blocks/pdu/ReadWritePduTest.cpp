// The PDU read and write blocks driven through the stand-in host: port shapes, set-up errors, records.
#include <string>
#include <vector>

#include "PduFixture.hpp"

namespace korlix_test {
namespace {

constexpr const char* kRead = "FlexRayReadPDU";
constexpr const char* kWrite = "FlexRayWritePDU";
const std::string kMissing = "Unable to find variable or field \"";
const std::string kInParams = "\" in the s-function parameters";

class ReadWritePdu : public PduFixture {};

TEST_F(ReadWritePdu, SetUpShapesPortsOrStopsAtTheFirstFailure) {
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
        {kRead, {}, "in{} out{3x8}", true},
        {kRead, {{"PduLength", "0"}, {"EnableUpdtBit", "on"}}, "in{} out{3x1 8x1}", true},
        {kRead, {{"EnableUSO", "on"}, {"EnableUpdtBit", "on"}}, "in{} out{3x8 8x1 8x1}", true},
        {kRead, {{"EnableUSO", "On"}, {"EnableUpdtBit", "on "}}, "in{} out{3x8}", true},
        {kRead, {{"PduLength", "2147483647"}}, "in{} out{3x2147483647}", true},
        {kWrite, {}, "in{3x8FA} out{}", true},
        {kWrite, {{"PduLength", "0"}}, "in{3x1FA} out{}", true},
        // Placeholder labels end the set-up early without an error; other labels of that kind do not.
        {kRead, {{"PduLabel", "<>"}, {"EnableUSO", "on"}}, "in{} out{3x8 8x1}", false},
        {kRead, {{"PduLabel", "<No receive frame found>"}}, "in{} out{3x8}", true},
        {kWrite, {{"PduLabel", "<No configuration data found>"}}, "in{3x8F} out{}", false},
        // A refused port count stops without a message.
        {kRead, {{"EnableUSO", "on"}, {"EnableUpdtBit", "on"}}, "in{} out{}", false, "", {.maxPorts = 2}},
        {kWrite, {}, "in{} out{}", false, "", {.maxPorts = 0}},
        {kRead, {}, "in{} out{}", false, "2 input args expected, 3 passed", {.parameterCount = 3}},
        {kWrite, {}, "in{-1x-1} out{}", false, "2 input args expected, 1 passed", {.parameterCount = 1}},
        {kRead, {{"EnableUSO", kRemove}, {"PduLength", kRemove}}, "in{} out{}", false, kMissing + "EnableUSO" + kInParams},
        {kRead, {{"EnableUpdtBit", kNoText}}, "in{} out{}", false, kMissing + "EnableUpdtBit" + kInParams},
        {kRead, {{"PduLength", kRemove}, {"PduLabel", kRemove}, {"EnableUSO", "on"}}, "in{} out{-1x-1 8x1}", false,
         kMissing + "PduLength" + kInParams},
        {kRead, {{"PduLength", ""}}, "in{} out{-1x-1}", false, "Error converting empty string to uint32."},
        {kRead, {{"PduLabel", kRemove}}, "in{} out{3x8}", false, kMissing + "PduLabel" + kInParams},
        {kWrite, {{"PduLength", "abc"}}, "in{3x-1F} out{}", false, "Error converting string abc to uint32."},
        {kWrite, {{"PduLabel", kRemove}, {"PduLength", "12"}}, "in{3x12F} out{}", false, kMissing + "PduLabel" + kInParams},
        // A length beyond the largest port width has its own message, never a negative width.
        {kRead, {{"PduLength", "2147483648"}}, "in{} out{-1x-1}", false,
         "PduLength 2147483648 exceeds the largest port width 2147483647."},
        {kWrite, {{"PduLength", "4000000000"}}, "in{3x-1F} out{}", false,
         "PduLength 4000000000 exceeds the largest port width 2147483647."},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.maskType) + " " + row.ports + " " + row.error);
        quonix::BlockInstance& inst = setUp(row.maskType, row.overrides, row.knobs);
        EXPECT_EQ(errorText(inst), row.error);
        EXPECT_EQ(portShape(inst.block()), row.ports);
        EXPECT_EQ(closingState(inst.block()), expectedClosing(row.maskType, row.closed));
    }
}

TEST_F(ReadWritePdu, RecordIsWrittenWholeOrNotAtAll) {
    const std::string longFile(9000, 'f');
    struct Row {
        const char* maskType;
        Params overrides;
        std::string record;  // empty: nothing written
        std::string error = "";
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
        // Fields only the record reads: the first missing one in read order is named.
        {kRead, {{"SignalIndex", kRemove}}, "", kMissing + "SignalIndex" + kInParams},
        {kRead, {{"DeviceIndex", kRemove}, {"VXLFile", kNoText}}, "", kMissing + "VXLFile" + kInParams},
        {kWrite, {{"DeviceIndex", kRemove}, {"PduIndex", kRemove}}, "", kMissing + "PduIndex" + kInParams},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.maskType) + " " + row.error);
        quonix::BlockInstance& inst = setUp(row.maskType, row.overrides);
        ASSERT_EQ(errorText(inst), "");
        generate(inst);
        EXPECT_EQ(errorText(inst), row.error);
        // Only the record text: no work-vector defines, no parameter settings.
        EXPECT_EQ(recordTexts(inst),
                  row.record.empty() ? std::vector<std::string>{} : std::vector{row.record});
        EXPECT_EQ(inst.record().size(), row.record.empty() ? 0u : 1u);
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
            quonix::BlockSpec& desc = addBlock(maskType, baseParams(maskType), row.sampleTime);
            quonix::BlockInstance& inst = initializeWithSampleTimes(desc.name);
            EXPECT_EQ(errorText(inst), "");
            EXPECT_DOUBLE_EQ(inst.block().sampleTime, row.period);
            EXPECT_DOUBLE_EQ(inst.block().sampleOffset, row.offset);
            EXPECT_EQ((inst.block().sizes[HB_SIZE_FLAGS] & 0x1800) == 0x800, row.inheritedBit);
        }
    }
}

}  // namespace
}  // namespace korlix_test
