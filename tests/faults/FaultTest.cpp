// Every host call a block's life makes, failing in turn and raising in turn. A life is what the host does
// with a model: two model updates, a simulation (start, outputs, terminate) and code generation. Each life
// must end without a crash, without a host array or host memory left, without a workspace variable left
// behind once the module has let go of the life's blocks, and without a silent loss: every block ends with
// the record and ports of the fault-free life, or with an error of its own. The dialogs are the realistic
// ones of tests/data/dialogs.json.
//
// The quick run (every build) lives each class alone, and one pair of twins for the stale-handle sweep that
// runs over a neighbour. KORLIX_FAULT_NEIGHBOURS=1 (scripts/faults.sh) lives every class beside its twin and
// beside a block whose every query fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "HostFixture.hpp"
#include "ModelFile.hpp"
#include "Session.hpp"

namespace {

using korlix_host::ModelDescription;
using nlohmann::ordered_json;

struct LifeResult {
    std::vector<ordered_json> blocks;  // per block: error, inputs, outputs, record
    std::size_t calls = 0;             // host calls counted
    std::string faulted;               // the call that was made to fail, empty when none was
    std::vector<std::string> leftVariables;
    std::size_t leakedArrays = 0;
    std::size_t leakedMemory = 0;
};

// Ends a life: a model update in a model that no longer has the life's blocks, whose one block the module
// refuses (no mask type). Its stale-handle sweep destroys every object the module still holds, so that the
// next life starts from an empty registry without the cost of loading the module again.
void sweepModule(zupFunctionType entry) {
    ModelDescription empty;
    quonix::BlockSpec sweeper;
    sweeper.name = "sweeper";
    sweeper.handle = 1.0e6;
    sweeper.maskType = std::nullopt;
    empty.blocks.push_back(sweeper);
    korlix_host::Session(empty, entry).initialize();
}

LifeResult live(const ModelDescription& model, zupFunctionType entry, std::size_t faultAt,
                quonix::FaultMode mode) {
    LifeResult result;
    quonix::clearWorkspaces();
    const std::size_t arraysBefore = quonix::liveArrayCount();
    {
        korlix_host::Session session(model, entry);
        quonix::injectFault(faultAt, mode);
        session.initialize();
        session.initialize();
        session.simulate(2);
        session.generate();
        result.calls = quonix::faultableCallCount();
        result.faulted = quonix::injectedFaultCall();
        quonix::injectFault(0, quonix::FaultMode::Fail);
        for (std::size_t i = 0; i < session.blockCount(); ++i) {
            const ordered_json report = session.blockReport(i, true);
            result.blocks.push_back({{"error", report["error"]},
                                     {"inputs", report["inputs"]},
                                     {"outputs", report["outputs"]},
                                     {"record", report["record"]}});
        }
    }
    for (const char* space : {"global", "caller"}) {
        for (const std::string& name : quonix::workspaceVariables(space)) {
            result.leftVariables.push_back(std::string(space) + " " + name);
        }
    }
    sweepModule(entry);
    result.leakedArrays = quonix::liveArrayCount() - arraysBefore;
    result.leakedMemory = quonix::releaseHostMemory();
    quonix::clearWorkspaces();
    return result;
}

// One model per class: the class's block, alone or with neighbours.
enum class Neighbours { None, Twin, FailingQueries };

ModelDescription lifeModel(const quonix::BlockSpec& block, Neighbours neighbours) {
    ModelDescription model;
    model.name = "faults";
    model.blocks.push_back(block);
    if (neighbours != Neighbours::None) {
        quonix::BlockSpec other = neighbours == Neighbours::Twin ? block : quonix::BlockSpec{};
        other.name = block.name + " (neighbour)";
        other.handle = block.handle + 1000.0;
        if (neighbours == Neighbours::FailingQueries) {
            other.maskType = std::nullopt;
            other.executionSystem = std::nullopt;
        }
        model.blocks.push_back(other);
    }
    return model;
}

struct Counts {
    std::size_t lives = 0, faults = 0, blockErrors = 0, losses = 0, leaks = 0, leftovers = 0;
};

// Lives `model` with each of its host calls failing, then raising, in turn; checks each against the
// fault-free life.
void liveEveryFault(const ModelDescription& model, Counts& counts) {
    std::string error;
    const auto module = quonix::Module::load(korlix_test::modulePath(), error);
    ASSERT_NE(module, nullptr) << error;
    const zupFunctionType entry = module->entry();
    const LifeResult clean = live(model, entry, 0, quonix::FaultMode::Fail);
    ASSERT_TRUE(clean.leftVariables.empty() && clean.leakedArrays == 0 && clean.leakedMemory == 0);
    for (quonix::FaultMode mode : {quonix::FaultMode::Fail, quonix::FaultMode::Raise}) {
        const char* modeName = mode == quonix::FaultMode::Fail ? "failing" : "raising";
        for (std::size_t k = 1; k <= clean.calls; ++k) {
            const LifeResult life = live(model, entry, k, mode);
            ++counts.lives;
            counts.faults += life.faulted.empty() ? 0U : 1U;
            const std::string where = model.blocks.front().name + ", call " + std::to_string(k) + " (" +
                                      life.faulted + ") " + modeName;
            if (life.leakedArrays != 0 || life.leakedMemory != 0) {
                ++counts.leaks;
                ADD_FAILURE() << where << ": " << life.leakedArrays << " arrays and " << life.leakedMemory
                              << " memory blocks left";
            }
            if (!life.leftVariables.empty()) {
                ++counts.leftovers;
                ADD_FAILURE() << where << ": left in the workspace: " << life.leftVariables.front();
            }
            for (std::size_t b = 0; b < life.blocks.size(); ++b) {
                const ordered_json& got = life.blocks[b];
                if (!got["error"].is_null()) {
                    counts.blockErrors += clean.blocks[b]["error"].is_null() ? 1U : 0U;
                    continue;
                }
                if (got != clean.blocks[b]) {
                    ++counts.losses;
                    ADD_FAILURE() << where << ": block " << model.blocks[b].name
                                  << " ended without an error but unlike the fault-free life:\n"
                                  << got.dump() << "\nexpected\n"
                                  << clean.blocks[b].dump();
                }
            }
            if (::testing::Test::HasFailure() && counts.losses + counts.leaks + counts.leftovers > 5) {
                return;  // enough to go on
            }
        }
    }
}

// One block of each class with its realistic dialog.
ModelDescription everyClass() {
    ModelDescription model;
    model.name = "every_class";
    for (const auto& [maskType, fields] : korlix_test::dialogFile().items()) {
        quonix::BlockSpec block;
        block.name = maskType;
        block.handle = static_cast<double>(model.blocks.size()) + 1.0001;
        block.maskType = maskType;
        block.parameters = korlix_test::toFields(korlix_test::realisticDialog(maskType));
        block.sampleTime = 0.001;
        block.executionSystem = quonix::ExecSysAnswer{"", "korlix_rt", "host"};
        model.blocks.push_back(std::move(block));
    }
    return model;
}

TEST(HostFaults, EveryCallOfEveryLifeFailsAndRaisesInTurnWithoutLoss) {
    const ModelDescription classes = everyClass();
    const bool neighbours = std::getenv("KORLIX_FAULT_NEIGHBOURS") != nullptr;
    std::vector<ModelDescription> models;
    std::vector<std::string> seen;
    for (const quonix::BlockSpec& block : classes.blocks) {
        if (std::find(seen.begin(), seen.end(), *block.maskType) != seen.end()) {
            continue;
        }
        seen.push_back(*block.maskType);
        models.push_back(lifeModel(block, Neighbours::None));
        if (neighbours) {
            models.push_back(lifeModel(block, Neighbours::Twin));
            models.push_back(lifeModel(block, Neighbours::FailingQueries));
        }
    }
    if (!neighbours) {
        models.push_back(lifeModel(classes.blocks.front(), Neighbours::Twin));
    }
    Counts counts;
    for (const ModelDescription& model : models) {
        liveEveryFault(model, counts);
        if (HasFailure()) {
            break;
        }
    }
    std::cout << "fault lives: " << counts.lives << " over " << models.size() << " models (" << seen.size()
              << " classes), faults injected " << counts.faults << ", ending in a block error "
              << counts.blockErrors << ", losses " << counts.losses << ", leaks " << counts.leaks
              << ", variables left " << counts.leftovers << "\n";
    EXPECT_EQ(counts.faults, counts.lives);
    EXPECT_GT(counts.blockErrors, 0U);
}

}  // namespace
