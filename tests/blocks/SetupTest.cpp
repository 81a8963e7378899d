// Size set-up and sample times of every block class, driven through the stand-in host: ports, the closing
// set-up and the set-up messages for each dialog and host.
#include <tuple>

#include "BlockFixture.hpp"

namespace korlix_test {
namespace {

struct SetupRow {
    const char* mask;
    std::string edits;  // one model update, as BlockFixture::run takes it
    HostCase host;
    std::string ports;
    std::string closed;  // as closing() shows it
    std::string error;
};

std::string twoArgs(int passed) {
    return "2 input args expected, " + std::to_string(passed) + " passed";
}
const std::string kEmptyCount = "Error converting empty string to uint32.";
const std::string kEmptyList = "Error converting empty string to vector of uint32.";
const std::string kUnsupported = "Unsupported data type found: \"";
const std::string kNoDouble =
    "Cannot convert following data type from string to Tarvel data type identifier: double";

std::string mismatch(const char* block, const char* what, const char* text) {
    return std::string("Error in ") + block + " block: Mismatch in " + what +
           " string length: String read: " + text + ", number of signals: 3, PDU label: PDU_Body\n";
}

class BlockSetup : public BlockFixture {
  protected:
    void check(const std::vector<SetupRow>& rows) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const SetupRow& row = rows[i];
            SCOPED_TRACE(testing::Message()
                         << "row " << i << " " << row.mask << " {" << row.edits.substr(0, 60) << "}");
            quonix::BlockInstance& inst = run(row.mask, row.edits, row.host);
            EXPECT_EQ(errorText(inst), row.error);
            EXPECT_EQ(portShape(inst.block()), row.ports);
            EXPECT_EQ(closing(inst.block()), row.closed);
        }
    }
};

TEST_F(BlockSetup, NetworkBlocks) {
    const std::string inject = "in{8x1FA} out{}";
    // clang-format off
    check({
        {kCfg, "", {}, "in{} out{7x3}", "i0r1p0", ""},
        {kCfg, "ErrorOut=On", {}, "in{} out{}", "i0r1p0", ""},
        {kCfg, "-ErrorOut", {}, "in{} out{}", "-", missing("ErrorOut")},
        {kCfg, "", {.emptyStruct = true}, "in{} out{}", "-", ""},
        {kCfg, "", {.params = 3}, "in{} out{}", "-", twoArgs(3)},
        {kCfg, "", {.maxPorts = 0}, "in{} out{}", "-", ""},
        // The commit block reads no dialog parameter to set up.
        {kCommit, "", {.emptyStruct = true}, "in{8x1F} out{}", "i1r0p0", ""},
        {kCommit, "", {.params = 1}, "in{-1x-1} out{}", "-", twoArgs(1)},
        {kCommit, "", {.maxPorts = 0}, "in{} out{}", "-", ""},
        {kPoc, "", {}, "in{} out{3x1}", "i0r0p0", ""},
        {kPoc, "", {.params = 3}, "in{} out{}", "-", twoArgs(3)},
        {kCycle, "", {}, "in{} out{3x1}", "i0r0p0", ""},
        {kCycle, "", {.params = 3}, "in{} out{-1x-1}", "-", twoArgs(3)},
        {kNet, "", {}, "in{8x1F} out{}", "i1r1p0", ""},
        {kNet, "", {.params = 1}, "in{-1x-1} out{}", "-", twoArgs(1)},
        {kInject, "", {}, inject, "i1r0p0", ""},
        {kInject, "FrameLabel=<>;-NumberOfSignals", {}, inject, "-", ""},
        {kInject, "FrameLabel=<No configuration data found>;-NumberOfSignals", {}, inject, "-", ""},
        {kInject, "FrameLabel=<No transmit frame found>;-NumberOfSignals", {}, inject, "-", ""},
        {kInject, "FrameLabel=<none>;-NumberOfSignals", {}, inject, "-", missing("NumberOfSignals")},
        {kInject, "NumberOfSignals=", {}, inject, "-", kEmptyCount},
        {kInject, "SignalsIndexes=", {}, inject, "-", kEmptyList},
        {kInject, "", {.params = 1}, "in{} out{}", "-", twoArgs(1)},
        {kInject, "", {.maxPorts = 0}, "in{} out{}", "-", ""},
    });
    // clang-format on
}

TEST_F(BlockSetup, SignalAndFrameBlocks) {
    const std::string frame = "in{} out{3x1 4x1 8x1}";
    const std::string unset = "in{} out{-1x1 -1x1 -1x1}";
    // clang-format off
    check({
        {kSR, "EnableRSO=On;-DataType", {}, "in{} out{0x1}", "sig", ""},
        {kSR, "EnableRSO=on", {}, "in{} out{0x1 7x1}", "sig", ""},
        {kSR, "UseCoded=ON;DataType=bogus", {.sys = "opalrt"}, "in{} out{0x1}", "sig", ""},
        {kSR, "DataType=bogus", {.sys = "kvd"}, "in{} out{0x1}", "sig", ""},
        {kSR, "UseCoded=on;DataType=A_INT16", {.sys = "kvd"}, "in{} out{4x1}", "sig", ""},
        {kSR, "DataType=uint8;EnableRSO=on", {.sys = "wqm"}, "in{} out{3x1 7x1}", "sig", ""},
        {kSR, "DataType=double", {.sys = "wqm"}, "in{} out{-1x1}", "-", kUnsupported + "double\""},
        {kSR, "-DataType", {.sys = "wqm"}, "in{} out{-1x1}", "-", missing("DataType")},
        // A message longer than its buffer keeps its first 1023 characters.
        {kSR, "DataType=" + std::string(2000, 'x'), {.sys = "wqm"}, "in{} out{-1x1}", "-", kUnsupported + std::string(993, 'x')},
        {kSR, "-UseCoded;-EnableRSO", {}, "in{} out{}", "-", missing("UseCoded")},
        {kSR, "~EnableRSO", {.params = 3}, "in{} out{}", "-", missing("EnableRSO")},
        {kSW, "EnableVPort=on", {.params = 1}, "in{0x1F 8x1F} out{}", "sig", ""},
        {kSW, "DataType=int16", {.sys = "wqm"}, "in{4x1F} out{}", "sig", ""},
        {kSW, "DataType=", {.sys = "wqm"}, "in{-1x1} out{}", "-", kUnsupported + "\""},
        {kSW, "-EnableVPort", {}, "in{} out{}", "-", missing("EnableVPort")},
        {kFR, "FrameLabel=<No transmit frame found>;SignalsIndexes=4", {}, frame, "i0r0p0", ""},
        {kFR, "EnableUSO=on;EnableVSO=on;AccessLevel=coded;SignalsDTypes=junk", {}, "in{} out{0x1 0x1 0x1 8x1 8x1}", "i0r0p0", ""},
        {kFR, "sizes:-SignalsDTypes", {}, "in{} out{0x1 0x1 0x1}", "i0r0p0", ""},
        {kFR, "SignalsDTypes=uint8 int8", {}, unset, "-", "Error converting block data type string uint8 int8 in identifier: "
         "The length of the obtained identifiers vector 2 is not equal to the number of signals 3 (value read 3)\n"},
        {kFR, "SignalsDTypes=uint8 double int8", {}, unset, "-", kNoDouble},
        {kFR, "FrameLabel=<No receive frame found>;-SignalsIndexes", {}, unset, "-", ""},
        {kFR, "FrameLabel=<No configuration data found>", {}, unset, "-", ""},
        {kFR, "NumberOfSignals=", {}, "in{} out{}", "-", kEmptyCount},
        {kFR, "SignalsIndexes=", {}, frame, "-", kEmptyList},
        {kFR, "-EnableVSO;-FrameLabel", {}, "in{} out{}", "-", missing("EnableVSO")},
        // More signals than a host port count holds: the largest count is asked for, and refused.
        {kFR, "NumberOfSignals=4294967295;EnableUSO=on;EnableVSO=on", {}, "in{} out{}", "-", ""},
        {kFR, "", {.params = 3}, "in{} out{}", "-", twoArgs(3)},
        {kFR, "", {.emptyStruct = true}, "in{} out{0x1}", "-", ""},
        {kFW, "FrameLabel=<No receive frame found>", {}, "in{3x1F 4x1F 8x1F} out{}", "i2r0p0", ""},
        {kFW, "FrameTiming=mixed;AccessLevel=Raw", {}, "in{0x1F 0x1F 0x1F 8x1F} out{}", "i2r0p0", ""},
        {kFW, "sizes:FrameTiming=event;-SignalsDTypes", {}, "in{0x1F 0x1F 0x1F 8x1F} out{}", "i2r0p0", ""},
        {kFW, "FrameTiming=Cyclic", {}, "in{} out{}", "-",
         "Invalid frame timing type found (Cyclic). Expected values are 'event' or 'cyclic' or 'mixed'.\n"},
        {kFW, "SignalsDTypes=uint8", {}, "in{-1x1 -1x1 -1x1} out{}", "-", "Error converting block data type string "
         "(\"uint8\") in identifier: The length of the obtained identifiers vector (= 1) is not equal to the number of "
         "signals (= 3) \n"},
        {kFW, "FrameLabel=<No transmit frame found>;-AccessLevel", {}, "in{} out{}", "-", ""},
        {kFW, "FrameLabel=<No configuration data found>", {}, "in{} out{}", "-", ""},
        {kFW, "-FrameLabel;-ConfigValid", {}, "in{} out{}", "-", missing("ConfigValid")},
        {kFW, "~SignalsIndexes", {}, "in{3x1F 4x1F 8x1F} out{}", "-", missing("SignalsIndexes")},
        {kFW, "NumberOfSignals=4294967295;FrameTiming=event", {}, "in{} out{}", "-", ""},
        {kFW, "", {.params = 1}, "in{} out{}", "-", twoArgs(1)},
        {kFW, "", {.emptyStruct = true}, "in{0x1} out{}", "-", ""},
    });
    // clang-format on
}

TEST_F(BlockSetup, PduBlocks) {
    const std::string pack = "in{3x1 5x1 8x1} out{3x8}";
    const std::string unpack = "in{3x8FA} out{3x1 5x1 8x1}";
    // clang-format off
    check({
        {kRP, "EnableUSO=On;EnableUpdtBit=on ", {}, "in{} out{3x8}", "i1r0p0", ""},
        {kRP, "PduLength=0;EnableUSO=on;EnableUpdtBit=on", {}, "in{} out{3x1 8x1 8x1}", "i1r0p0", ""},
        {kRP, "PduLength=2147483647", {}, "in{} out{3x2147483647}", "i1r0p0", ""},
        {kWP, "", {}, "in{3x8FA} out{}", "i1r0p0", ""},
        // Placeholder labels end the set-up early without an error; other labels of that kind do not.
        {kRP, "PduLabel=<>;EnableUSO=on", {}, "in{} out{3x8 8x1}", "-", ""},
        {kRP, "PduLabel=<No receive frame found>", {}, "in{} out{3x8}", "i1r0p0", ""},
        {kWP, "PduLabel=<No configuration data found>", {}, "in{3x8F} out{}", "-", ""},
        {kRP, "EnableUSO=on;EnableUpdtBit=on", {.maxPorts = 2}, "in{} out{}", "-", ""},
        {kWP, "", {.maxPorts = 0}, "in{} out{}", "-", ""},
        {kRP, "", {.params = 3}, "in{} out{}", "-", twoArgs(3)},
        {kWP, "", {.params = 1}, "in{-1x-1} out{}", "-", twoArgs(1)},
        {kRP, "-EnableUSO;-PduLength", {}, "in{} out{}", "-", missing("EnableUSO")},
        {kRP, "-PduLength;-PduLabel;EnableUSO=on", {}, "in{} out{-1x-1 8x1}", "-", missing("PduLength")},
        {kWP, "PduLength=abc", {}, "in{3x-1F} out{}", "-", "Error converting string abc to uint32."},
        {kWP, "-PduLabel;PduLength=12", {}, "in{3x12F} out{}", "-", missing("PduLabel")},
        // A length beyond the largest port width has its own message, never a negative width.
        {kWP, "PduLength=2147483648", {}, "in{3x-1F} out{}", "-", "PduLength 2147483648 exceeds the largest port width 2147483647."},
        {kPack, "", {}, "in{3x1FA 5x1FA 8x1FA} out{3x8}", "i0r0p0", ""},
        {kUnpack, "", {}, unpack, "i0r0p0", ""},
        // Texts without numbers or names pass for no signals.
        {kPack, "NumberOfSignals=0;SignalsDTypes=;SignalsOffsets= ;SignalsEndianess= ", {}, "in{} out{3x8}", "i0r0p0", ""},
        // Sizes only: signal ports are double and the per-signal texts are not read at all.
        {kPack, "sizes:SignalsDTypes=nonsense;-SignalsOffsets;SignalsEndianess=", {}, "in{0x1 0x1 0x1} out{3x8}", "i0r0p0", ""},
        {kUnpack, "sizes:-SignalsDTypes;NumberOfSignals=2", {}, "in{3x8FA} out{0x1 0x1}", "i0r0p0", ""},
        {kPack, "PduLabel=<>", {}, "in{} out{3x8}", "-", ""},
        {kUnpack, "PduLabel=<No configuration data found>", {}, "in{3x8} out{}", "-", ""},
        // Refused port counts stop without a message, also counts no port range holds; nothing after runs.
        {kPack, "", {.maxPorts = 0}, "in{} out{}", "-", ""},
        {kUnpack, "", {.maxPorts = 0}, "in{} out{}", "-", ""},
        {kPack, "NumberOfSignals=1025;-SignalsDTypes", {}, "in{} out{3x8}", "-", ""},
        {kPack, "NumberOfSignals=2147483647;-SignalsDTypes", {}, "in{} out{3x8}", "-", ""},
        {kPack, "NumberOfSignals=2147483648;-SignalsDTypes", {}, "in{} out{3x8}", "-", ""},
        {kPack, "NumberOfSignals=4294967295;-SignalsDTypes", {}, "in{} out{3x8}", "-", ""},
        {kUnpack, "NumberOfSignals=1025;-SignalsDTypes", {}, "in{3x8FA} out{}", "-", ""},
        {kUnpack, "NumberOfSignals=2147483647;-SignalsDTypes", {}, "in{3x8FA} out{}", "-", ""},
        {kUnpack, "NumberOfSignals=2147483648;-SignalsDTypes", {}, "in{3x8FA} out{}", "-", ""},
        {kUnpack, "NumberOfSignals=4294967295;-SignalsDTypes", {}, "in{3x8FA} out{}", "-", ""},
        {kPack, "", {.params = 3}, "in{} out{}", "-", twoArgs(3)},
        {kUnpack, "", {.params = 0}, "in{} out{}", "-", twoArgs(0)},
        {kPack, "-PduLength;-NumberOfSignals", {}, "in{} out{-1x-1}", "-", missing("PduLength")},
        {kUnpack, "PduLength=4294967296", {}, "in{3x-1} out{}", "-", "Error converting string 4294967296 to uint32."},
        {kPack, "NumberOfSignals=", {}, "in{} out{3x8}", "-", kEmptyCount},
        {kPack, "-SignalsOffsets;-SignalsDTypes", {}, "in{-1x1 -1x1 -1x1} out{3x8}", "-", missing("SignalsDTypes")},
        {kUnpack, "~SignalsEndianess;-VXLFile", {}, unpack, "-", missing("SignalsEndianess")},
        {kPack, "SignalsDTypes=uint8 double boolean", {}, "in{-1x1 -1x1 -1x1} out{3x8}", "-", kNoDouble},
        {kPack, "SignalsOffsets=", {}, pack, "-", kEmptyList},
        {kPack, "SignalsDTypes=uint8 uint16", {}, "in{-1x1 -1x1 -1x1} out{3x8}", "-", mismatch("Pack PDU", "data type", "uint8 uint16")},
        {kPack, "SignalsOffsets=0 8 x 16", {}, pack, "-", mismatch("Pack PDU", "signal offsets", "0 8 x 16")},
        {kPack, "SignalsEndianess=%s %d", {}, pack, "-", mismatch("Pack PDU", "signal endianess", "%s %d")},
        {kUnpack, "SignalsDTypes=uint8 uint16 boolean int8", {}, "in{3x8FA} out{-1x1 -1x1 -1x1}", "-",
         mismatch("Unpack PDU", "data type", "uint8 uint16 boolean int8")},
    });
    // clang-format on
}

// Every class but the signal blocks takes the sample time from the second parameter; those inherit.
TEST_F(BlockSetup, SampleTimes) {
    // mask, sample-time parameter, sample time, offset, bits 0x1800 of the flag word
    using Row = std::tuple<const char*, double, double, double, unsigned>;
    // clang-format off
    const std::vector<Row> rows = {
        {kCfg, -1.0, -1.0, 1.0, 0x800},  {kCommit, 0.1, 0.1, 0.0, 0},     {kPoc, 0.005, 0.005, 0.0, 0},
        {kCycle, -1.0, -1.0, 1.0, 0x800}, {kNet, -1.0, -1.0, 1.0, 0x800},   {kInject, -2.0, -2.0, 0.0, 0},
        {kSR, 0.01, -1.0, 0.0, 0x800},   {kSW, -2.0, -1.0, 0.0, 0x800},    {kFR, -1.0, -1.0, 1.0, 0x800},
        {kFW, 0.01, 0.01, 0.0, 0},       {kRP, -2.0, -2.0, 0.0, 0},        {kWP, -1.0, -1.0, 1.0, 0x800},
        {kPack, 0.01, 0.01, 0.0, 0},     {kUnpack, -1.0, -1.0, 1.0, 0x800},
    };
    // clang-format on
    for (const auto& [mask, parameter, period, offset, flags] : rows) {
        SCOPED_TRACE(testing::Message() << mask << " " << parameter);
        quonix::BlockInstance& inst = run(mask, "", {}, parameter);
        EXPECT_EQ(errorText(inst), "");
        EXPECT_EQ(inst.block().sampleTime, period);
        EXPECT_EQ(inst.block().sampleOffset, offset);
        EXPECT_EQ(static_cast<unsigned>(inst.block().sizes[HB_SIZE_FLAGS]) & 0x1800u, flags);
    }
}

}  // namespace
}  // namespace korlix_test
