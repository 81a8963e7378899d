// What the host cannot show: the byte-size step on data type ids that the dialog's names never lead to,
// the setter of size field 22 and the execution-system code. Driven directly on a host structure.
#include <memory>
#include <string>
#include <vector>

#include "PduFixture.hpp"
#include "blocks/BlockFactories.hpp"
#include "blocks/PackPdu.hpp"

namespace korlix_test {
namespace {

TEST(PduByteSizes, UnknownTypeStopsTheRebuildAtThatSignal) {
    using korlix::pdu::SignalPorts;
    struct Row {
        const char* blockTitle;
        SignalPorts ports;
        std::vector<int32_t> ids;
        std::string error;
        std::vector<int8_t> sizes;
        const char* portShape;
    };
    const std::string unknown = "Unrecognized data type for input number ";
    // clang-format off
    const std::vector<Row> rows = {
        {"Pack PDU", SignalPorts::Inputs, {3, 5, 42, 8}, "Error in Pack PDU block for PDU PDU_Body: " + unknown + "2.\n",
         {1, 2}, "in{-1x-1FA -1x-1FA -1x-1 -1x-1} out{-1x-1 -1x-1 -1x-1 -1x-1}"},
        {"Pack PDU", SignalPorts::Inputs, {-1, 3}, "Error in Pack PDU block for PDU PDU_Body: " + unknown + "0.\n",
         {}, "in{-1x-1 -1x-1} out{-1x-1 -1x-1}"},
        // The unpack block names the signal an input number as well, and touches no port attribute.
        {"Unpack PDU", SignalPorts::Outputs, {0, 9}, "Error in Unpack PDU block for PDU PDU_Body: " + unknown + "1.\n",
         {8}, "in{-1x-1 -1x-1} out{-1x-1 -1x-1}"},
        {"Pack PDU", SignalPorts::Inputs, {}, "", {}, "in{} out{}"},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error);
        quonix::BlockSpec desc;
        desc.name = "sizes";
        quonix::BlockInstance inst(desc, quonix::HostSettings{});
        HostBlock& b = inst.block();
        const auto n = static_cast<int32_t>(row.ids.size());
        ASSERT_TRUE(b.setNumInputPorts(&b, n) != 0 && b.setNumOutputPorts(&b, n) != 0);
        korlix::pdu::SignalLists lists;
        lists.count = static_cast<uint32_t>(n);
        lists.dataTypeIds = row.ids;
        lists.byteSizes = {4, 4, 4, 4, 4};  // from an earlier run: emptied first
        korlix::ErrorBuffer buffer;
        const bool ok =
            korlix::pdu::rebuildByteSizes(&b, buffer, row.blockTitle, row.ports, "PDU_Body", lists);
        EXPECT_EQ(ok, row.error.empty());
        EXPECT_EQ(b.errorStatus == nullptr ? "" : std::string(b.errorStatus), row.error);
        EXPECT_EQ(lists.byteSizes, row.sizes);
        EXPECT_EQ(portShape(b), row.portShape);
    }
}

std::vector<int32_t> setterCalls;
void recordSetter(HostBlock* /*block*/, int32_t value) {
    setterCalls.push_back(value);
}

// The read and write blocks call the host's setter of size field 22 when it has one and write the field
// themselves as well; the pack blocks only write it. Only a completed set-up resets the execution system.
TEST(PduClosingSetUp, ModesFieldAndExecutionSystemCode) {
    struct Row {
        std::unique_ptr<korlix::BaseFcn> (*make)();
        const char* maskType;
        Params overrides;
        bool offerSetter;
        std::vector<int32_t> setterCalls;
        int32_t execSysAfter;
    };
    // clang-format off
    const std::vector<Row> rows = {
        {korlix::makeReadPdu, "FlexRayReadPDU", {}, true, {0}, 0},
        {korlix::makeReadPdu, "FlexRayReadPDU", {}, false, {}, 0},
        {korlix::makeReadPdu, "FlexRayReadPDU", {{"PduLabel", "<>"}}, true, {}, 3},
        {korlix::makeWritePdu, "FlexRayWritePDU", {}, true, {0}, 0},
        {korlix::makeWritePdu, "FlexRayWritePDU", {{"PduLength", ""}}, true, {}, 3},
        {korlix::makePackPdu, "FlexRayPackPDU", {}, true, {}, 3},
        {korlix::makeUnpackPdu, "FlexRayUnpackPDU", {}, true, {}, 3},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.maskType) + (row.offerSetter ? " with setter" : " without setter"));
        quonix::BlockSpec desc;
        desc.name = "closing";
        desc.parameters = toFields(withOverrides(baseParams(row.maskType), row.overrides));
        quonix::BlockInstance inst(desc, quonix::HostSettings{});
        HostBlock& b = inst.block();
        b.setNumModes = row.offerSetter ? &recordSetter : nullptr;
        b.sizes[HB_SIZE_NUM_MODES] = 7;
        setterCalls.clear();
        std::unique_ptr<korlix::BaseFcn> block = row.make();
        block->setExecSysCode(3);
        block->initializeSizes(&b);
        EXPECT_EQ(setterCalls, row.setterCalls);
        const bool closed = b.sizes[HB_SIZE_OPTIONS] == 0x280020;
        EXPECT_EQ(b.sizes[HB_SIZE_NUM_MODES], closed ? 0 : 7);
        EXPECT_EQ(block->execSysCode(), row.execSysAfter);
    }
}

}  // namespace
}  // namespace korlix_test
