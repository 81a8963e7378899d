// Code-generation records of every block class: for each case in record_cases.json, the model updates that
// set the block up, what the host's record writers answer, then every record call and the message.
#include "BlockFixture.hpp"

namespace korlix_test {
namespace {

class BlockRecords : public BlockFixture {
  protected:
    void check(const char* group) {
        for (const Json& row : caseGroup("record_cases.json", group)) {
            SCOPED_TRACE(row.dump());
            quonix::BlockInstance& inst = run(row["mask"], row["updates"]);
            ASSERT_EQ(errorText(inst), "");
            inst.setWriterResult(row["writerResult"]);
            generate(inst);
            EXPECT_EQ(recordCalls(inst), row["calls"]);
            EXPECT_EQ(errorText(inst), row.value("error", ""));
        }
    }
};

TEST_F(BlockRecords, NetworkBlocks) {
    check("network blocks");
}
TEST_F(BlockRecords, SignalAndFrameBlocks) {
    check("signal and frame blocks");
}
TEST_F(BlockRecords, PduBlocks) {
    check("PDU blocks");
}

}  // namespace
}  // namespace korlix_test
