// Size set-up and sample times of every block class, driven through the stand-in host: the ports, the
// closing set-up and the set-up message of each case in setup_cases.json.
#include <tuple>

#include "BlockFixture.hpp"

namespace korlix_test {
namespace {

class BlockSetup : public BlockFixture {
  protected:
    void check(const char* group) {
        for (const Json& row : caseGroup("setup_cases.json", group)) {
            SCOPED_TRACE(row.dump());
            quonix::BlockInstance& inst = run(row["mask"], Json::array({row.value("update", Json::object())}),
                                              hostCase(row.value("host", Json::object())));
            EXPECT_EQ(errorText(inst), row.value("error", ""));
            EXPECT_EQ(ports(inst, "inputs"), row["inputs"]);
            EXPECT_EQ(ports(inst, "outputs"), row["outputs"]);
            EXPECT_EQ(closing(inst.block()), row["closing"]);
        }
    }
};

TEST_F(BlockSetup, NetworkBlocks) {
    check("network blocks");
}
TEST_F(BlockSetup, SignalAndFrameBlocks) {
    check("signal and frame blocks");
}
TEST_F(BlockSetup, PduBlocks) {
    check("PDU blocks");
}

// Every class but the signal blocks takes the sample time from the second parameter; those inherit.
TEST_F(BlockSetup, SampleTimes) {
    constexpr unsigned kInherited = HB_FLAG_INHERITED_SAMPLE_TIME;
    // mask, sample-time parameter, sample time, offset, the inherited and fixed sample-time flags
    using Row = std::tuple<const char*, double, double, double, unsigned>;
    // clang-format off
    const std::vector<Row> rows = {
        {kCfg, -1.0, -1.0, 1.0, kInherited},  {kCommit, 0.1, 0.1, 0.0, 0},     {kPoc, 0.005, 0.005, 0.0, 0},
        {kCycle, -1.0, -1.0, 1.0, kInherited}, {kNet, -1.0, -1.0, 1.0, kInherited},   {kInject, -2.0, -2.0, 0.0, 0},
        {kSR, 0.01, -1.0, 0.0, kInherited},   {kSW, -2.0, -1.0, 0.0, kInherited},    {kFR, -1.0, -1.0, 1.0, kInherited},
        {kFW, 0.01, 0.01, 0.0, 0},       {kRP, -2.0, -2.0, 0.0, 0},        {kWP, -1.0, -1.0, 1.0, kInherited},
        {kPack, 0.01, 0.01, 0.0, 0},     {kUnpack, -1.0, -1.0, 1.0, kInherited},
    };
    // clang-format on
    for (const auto& [mask, parameter, period, offset, flags] : rows) {
        SCOPED_TRACE(testing::Message() << mask << " " << parameter);
        quonix::BlockInstance& inst = run(mask, Json::array({Json::object()}), {}, parameter);
        EXPECT_EQ(errorText(inst), "");
        EXPECT_EQ(inst.block().sampleTime, period);
        EXPECT_EQ(inst.block().sampleOffset, offset);
        EXPECT_EQ(static_cast<unsigned>(inst.block().sizes[HB_SIZE_FLAGS]) &
                      (HB_FLAG_INHERITED_SAMPLE_TIME | HB_FLAG_FIXED_SAMPLE_TIME),
                  flags);
    }
}

}  // namespace
}  // namespace korlix_test
