// Size set-up and sample times of the network-level blocks, driven through the stand-in host.
#include "NetworkFixture.hpp"

namespace korlix_test {
namespace {

// Work vector lengths, and whether the closing set-up ran (option word 0x280020 beside the registration
// bit 0x2000, flag bit 0x100000 set and 0x680000 clear) or not (registration bit only, flags untouched).
std::string sizesOf(const quonix::BlockInstance& inst) {
    const auto r = inst.report();
    const unsigned flags = r["flagWord"].get<unsigned>() & 0x780000u;
    const char* closing = r["optionWord"] == 0x282020 && flags == 0x100000u ? "closed"
                          : r["optionWord"] == 0x2000 && flags == 0u        ? "open"
                                                                            : "other";
    return "i" + r["sizes"]["numIWork"].dump() + " r" + r["sizes"]["numRWork"].dump() + " " + closing;
}

struct SetupCase {
    std::string maskType;
    std::string edits;  // applied to the full dialog; "null" stands for an empty parameter structure
    std::string shape;
    std::string sizes;
    std::string error;
    int paramCount = 2;
    int maxPorts = 1024;
};

class NetworkSetup : public HostFixture {};

TEST_F(NetworkSetup, PortsSizesAndErrors) {
    const std::string twoArgs = "2 input args expected, ";
    const std::string inject = "in[w1t8fa32 ] out[]";
    const std::vector<SetupCase> cases = {
        {"KORLIXConfig", "", "in[] out[w3t7 ]", "i0 r1 closed", ""},
        {"KORLIXConfig", "ErrorOut=On", "in[] out[]", "i0 r1 closed", ""},
        {"KORLIXConfig", "ErrorOut=", "in[] out[]", "i0 r1 closed", ""},
        {"KORLIXConfig", "-ErrorOut", "in[] out[]", "i0 r0 open", missing("ErrorOut")},
        {"KORLIXConfig", "null", "in[] out[]", "i0 r0 open", ""},
        {"KORLIXConfig", "", "in[] out[]", "i0 r0 open", twoArgs + "3 passed", 3},
        {"KORLIXConfig", "", "in[] out[]", "i0 r0 open", "", 2, 0},
        {"KORLIXCommitFrame", "null", "in[w1t8f ] out[]", "i1 r0 closed", ""},
        {"KORLIXCommitFrame", "", "in[w-1t-1 ] out[]", "i0 r0 open", twoArgs + "1 passed", 1},
        {"KORLIXCommitFrame", "", "in[] out[]", "i0 r0 open", "", 2, 0},
        {"KORLIXPOCStatus", "", "in[] out[w1t3 ]", "i0 r0 closed", ""},
        {"KORLIXPOCStatus", "", "in[] out[]", "i0 r0 open", twoArgs + "3 passed", 3},
        {"ReadCycleCount", "", "in[] out[w1t3 ]", "i0 r0 closed", ""},
        {"ReadCycleCount", "", "in[] out[w-1t-1 ]", "i0 r0 open", twoArgs + "3 passed", 3},
        {"KORLIXStartStopNetwork", "", "in[w1t8f ] out[]", "i1 r1 closed", ""},
        {"KORLIXStartStopNetwork", "", "in[w-1t-1 ] out[]", "i0 r0 open", twoArgs + "1 passed", 1},
        {"ErrorInjection", "", inject, "i1 r0 closed", ""},
        {"ErrorInjection", "FrameLabel=<>;-NumberOfSignals", inject, "i0 r0 open", ""},
        {"ErrorInjection", "FrameLabel=<No configuration data found>;-NumberOfSignals", inject, "i0 r0 open",
         ""},
        {"ErrorInjection", "FrameLabel=<No transmit frame found>;-NumberOfSignals", inject, "i0 r0 open", ""},
        {"ErrorInjection", "FrameLabel=<none>;-NumberOfSignals", inject, "i0 r0 open",
         missing("NumberOfSignals")},
        {"ErrorInjection", "NumberOfSignals=", inject, "i0 r0 open",
         "Error converting empty string to uint32."},
        {"ErrorInjection", "NumberOfSignals=three", inject, "i0 r0 open",
         "Error converting string three to uint32."},
        {"ErrorInjection", "SignalsIndexes=", inject, "i0 r0 open",
         "Error converting empty string to vector of uint32."},
        {"ErrorInjection", "", "in[] out[]", "i0 r0 open", twoArgs + "1 passed", 1},
        {"ErrorInjection", "", "in[] out[]", "i0 r0 open", "", 2, 0},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const SetupCase& c = cases[i];
        SCOPED_TRACE(c.maskType + " {" + c.edits + "} params " + std::to_string(c.paramCount));
        const std::string name = "b" + std::to_string(i);
        quonix::BlockSpec& described = addBlock(
            c.maskType, edited(fullDialog(c.maskType), c.edits == "null" ? "" : c.edits), 0.01, name);
        if (c.edits == "null") {
            described.parameters = std::nullopt;
        }
        described.parameterCount = c.paramCount;
        settings_.maxPorts = c.maxPorts;
        quonix::BlockInstance& inst = initialize(name);
        EXPECT_EQ(errorText(inst), c.error);
        EXPECT_EQ(portShape(inst), c.shape);
        EXPECT_EQ(sizesOf(inst), c.sizes);
    }
}

struct SampleTimeCase {
    std::string maskType;
    double parameter;
    double offset;
    unsigned flags;  // bits 0x1800 of the flag word
};

TEST_F(NetworkSetup, SampleTimeForms) {
    const std::vector<SampleTimeCase> cases = {
        {"KORLIXConfig", -1.0, 1.0, 0x800},
        {"KORLIXConfig", 0.01, 0.0, 0},
        {"KORLIXConfig", -2.0, 0.0, 0},
        {"KORLIXCommitFrame", 0.1, 0.0, 0},
        {"KORLIXPOCStatus", 0.005, 0.0, 0},
        {"ReadCycleCount", -1.0, 1.0, 0x800},
        {"KORLIXStartStopNetwork", -1.0, 1.0, 0x800},
        {"ErrorInjection", -2.0, 0.0, 0},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const SampleTimeCase& c = cases[i];
        SCOPED_TRACE(c.maskType + " " + std::to_string(c.parameter));
        addBlock(c.maskType, fullDialog(c.maskType), c.parameter, "b" + std::to_string(i));
        quonix::BlockInstance& inst = initializeWithSampleTimes("b" + std::to_string(i));
        const auto report = inst.report();
        EXPECT_EQ(errorText(inst), "");
        EXPECT_EQ(report["sampleTime"]["period"].get<double>(), c.parameter);
        EXPECT_EQ(report["sampleTime"]["offset"].get<double>(), c.offset);
        EXPECT_EQ(report["flagWord"].get<unsigned>() & 0x1800u, c.flags);
    }
}

}  // namespace
}  // namespace korlix_test
