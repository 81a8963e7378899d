// Size set-up and sample times of every block class, driven through the stand-in host: the ports, the
// closing set-up and the set-up message of each case in setup_cases.json.
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

// Every class but the signal blocks takes the sample time from the second parameter; those inherit. Of the
// inherited and fixed sample-time flags, an inherited sample time leaves the first set, any other neither.
TEST_F(BlockSetup, SampleTimes) {
    for (const Json& row : caseGroup("setup_cases.json", "sample times")) {
        SCOPED_TRACE(row.dump());
        quonix::BlockInstance& inst = run(row["mask"], Json::array({Json::object()}), {}, row["parameter"]);
        EXPECT_EQ(errorText(inst), "");
        EXPECT_EQ(inst.block().sampleTime, row["sampleTime"]);
        EXPECT_EQ(inst.block().sampleOffset, row["offset"]);
        EXPECT_EQ(static_cast<unsigned>(inst.block().sizes[HB_SIZE_FLAGS]) &
                      (HB_FLAG_INHERITED_SAMPLE_TIME | HB_FLAG_FIXED_SAMPLE_TIME),
                  row["inherited"] ? unsigned{HB_FLAG_INHERITED_SAMPLE_TIME} : 0u);
    }
}

}  // namespace
}  // namespace korlix_test
