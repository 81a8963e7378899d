// The mask-type table, the two sample-time forms and the registry, called directly.
#include <gtest/gtest.h>

#include <typeinfo>

#include "CountedBlock.hpp"
#include "blocks/BlockFactories.hpp"
#include "framework/BaseFcn.hpp"
#include "quonix/host.hpp"

namespace {

using korlix::BaseFcn;
using korlix_test::Counted;
namespace registry = korlix::registry;

TEST(ModuleMaskTypes, IndexAndClass) {
    using Factory = std::unique_ptr<BaseFcn> (*)();
    struct Row {
        const char* text;
        int index;
        Factory factory;  // null: recognised but refused
    };
    const Row rows[] = {
        {"KORLIXConfig", 0, korlix::makeConfig},
        {"KORLIXSignalRead", 1, korlix::makeSigRead},
        {"KORLIXSignalWrite", 2, korlix::makeSigWrite},
        {"KORLIXPOCStatus", 3, korlix::makePOCStatus},
        {"KORLIXStartStopNetwork", 4, korlix::makeStartStopNetwork},
        {"KORLIXCommitFrame", 5, korlix::makeCommitFrame},
        {"KORLIXConsistencyReport", 6, nullptr},
        {"KORLIXModelUpdate", 7, nullptr},
        {"ErrorInjection", 11, korlix::makeErrorInjection},
        {"ReadFrameSignals", 12, korlix::makeReadFrameSig},
        {"WriteFrameSignals", 13, korlix::makeWriteFrameSig},
        {"ReadCycleCount", 14, korlix::makeReadCycleCount},
        {"FlexRayReadPDU", 15, korlix::makeReadPdu},
        {"FlexRayWritePDU", 16, korlix::makeWritePdu},
        {"FlexRayPackPDU", 17, korlix::makePackPdu},
        {"FlexRayUnpackPDU", 18, korlix::makeUnpackPdu},
        {"KORLIXWQMConfig", 20, nullptr},
        {"KORLIXWQMTunnelRead", 21, nullptr},
        {"KORLIXWQMTunnelWrite", 22, nullptr},
        {"KORLIXWQMInstRead", 23, nullptr},
        {"KORLIXWQMInstWrite", 24, nullptr},
        {"KORLIXStatusCompare", 25, nullptr},
        {"KORLIXCDUIndexCompare", 26, nullptr},
        {"KORLIXFrTime", 27, nullptr},
        {"KORLIXWQMSignalManipFcnCall", 28, nullptr},
        {"KORLIXWQMBuild", 29, nullptr},
        {"KORLIXWQMCleanup", 30, nullptr},
        {"KORLIXWQMDescription", 31, nullptr},
        {"KORLIXNMWQM", 32, nullptr},
        {"KORLIXNMRequestComm", 33, nullptr},
        {"korlixsignalread", 255, nullptr},
        {"KORLIXSignalRead ", 255, nullptr},
        {"", 255, nullptr},
        {"KORLIX", 255, nullptr},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(korlix::maskTypeIndex(row.text), row.index) << row.text;
        std::unique_ptr<BaseFcn> made = korlix::makeBlockForMaskType(row.text);
        std::unique_ptr<BaseFcn> direct = row.factory != nullptr ? row.factory() : nullptr;
        // A class that is not available yet answers null from its factory as well.
        ASSERT_EQ(made == nullptr, direct == nullptr) << row.text;
        if (made != nullptr) {
            EXPECT_EQ(typeid(*made), typeid(*direct)) << row.text;
            EXPECT_EQ(made->execSysCode(), korlix::kExecNone) << row.text;
        }
    }
}

TEST(ModuleSampleTimes, BothForms) {
    struct Row {
        const char* label;
        bool inherited;
        std::optional<double> parameter;  // nullopt: only one S-function parameter
        uint32_t flagsBefore;
        double period, offset;
        uint32_t flagsAfter;
    };
    const Row rows[] = {
        {"parameter -1", false, -1.0, 0x1001, -1.0, 1.0, 0x801},
        {"parameter 0.01", false, 0.01, 0x1001, 0.01, 0.0, 0x1001},
        {"parameter 0", false, 0.0, 0x800, 0.0, 0.0, 0x800},
        {"parameter missing reads as 0", false, std::nullopt, 0x1000, 0.0, 0.0, 0x1000},
        {"inherited", true, 0.01, 0x1001, -1.0, 0.0, 0x801},
        {"inherited with -1", true, -1.0, 0x0, -1.0, 0.0, 0x800},
    };
    for (const Row& row : rows) {
        quonix::ArrayPtr ts(zvCreateDoubleScalar(row.parameter.value_or(0)));
        const zvArray* params[2] = {nullptr, ts.get()};
        HostBlock S{};
        S.sfcnParams = params;
        S.numSFcnParams = row.parameter ? 2 : 1;
        S.sizes[HB_SIZE_FLAGS] = static_cast<int32_t>(row.flagsBefore);
        row.inherited ? korlix::sampleTimeInherited(&S) : korlix::sampleTimeFromParameter(&S);
        EXPECT_EQ(S.sampleTime, row.period) << row.label;
        EXPECT_EQ(S.sampleOffset, row.offset) << row.label;
        EXPECT_EQ(static_cast<uint32_t>(S.sizes[HB_SIZE_FLAGS]), row.flagsAfter) << row.label;
    }
}

TEST(ModuleRegistry, EachObjectIsDestroyedExactlyOnce) {
    int destroyed[4] = {};
    BaseFcn* two = registry::insert(2.0, std::make_unique<Counted>(destroyed[0]));
    registry::insert(3.5, std::make_unique<Counted>(destroyed[1]));
    registry::insert(-1.0, std::make_unique<Counted>(destroyed[2]));
    EXPECT_EQ(registry::handles(), (std::vector<double>{-1.0, 2.0, 3.5}));

    // Inserting under a known handle keeps the entry there and discards the newcomer.
    EXPECT_EQ(registry::insert(2.0, std::make_unique<Counted>(destroyed[3])), two);
    EXPECT_EQ(registry::insert(2.0, nullptr), two);
    EXPECT_EQ(registry::find(2.0), two);
    EXPECT_EQ(registry::find(2.5), nullptr);
    EXPECT_EQ(destroyed[3], 1);

    registry::remove(2.0);
    registry::remove(2.0);
    registry::remove(99.0);
    EXPECT_EQ(registry::find(2.0), nullptr);
    EXPECT_EQ(registry::size(), 2u);

    registry::destroyAll();
    EXPECT_EQ(registry::size(), 0u);
    for (int count : destroyed) {
        EXPECT_EQ(count, 1);
    }
}

}  // namespace
