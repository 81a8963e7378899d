// Micro-benchmarks of the host protocol and the module's per-block work. Build with the "bench" preset and
// run build/bench/bin/korlix_bench; see docs/performance.md.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "dialogs.hpp"
#include "framework/BaseFcn.hpp"
#include "quonix/host.hpp"
#include "services/Params.hpp"

extern "C" void zupFunction(int nLeft, zvArray* left[], int nRight, const zvArray* right[]);

namespace {

quonix::BlockSpec specFor(const korlix_bench::Dialog& dialog) {
    quonix::BlockSpec blockSpec;
    blockSpec.name = dialog.maskType;
    blockSpec.maskType = dialog.maskType;
    std::vector<quonix::ParamField> fields;
    for (const auto& [name, text] : dialog.fields) {
        fields.push_back({name, text});
    }
    blockSpec.parameters = std::move(fields);
    blockSpec.sampleTime = 0.01;
    return blockSpec;
}

// One query of the stale-handle sweep, exactly as the module makes it: put the handle, evaluate, read the
// result, clean up.
double hostQuery(double handle) {
    zvArray* h = zvCreateDoubleScalar(handle);
    zupPutVariable("global", "KorLix_BlockHandle", h);
    zvDestroyArray(h);
    zupEvalString("global KorLix_BlockHandle;KorLix_IsHandle=ishandle(KorLix_BlockHandle);");
    zvArray* result = zupGetVariable("caller", "KorLix_IsHandle");
    const double answer = zvGetScalar(result);
    zvDestroyArray(result);
    zupEvalString("clear global KorLix_BlockHandle;clear KorLix_IsHandle;");
    return answer;
}

void BM_WorkspaceQueryRoundTrip(benchmark::State& state) {
    quonix::Model model("bench");
    quonix::BlockSpec blockSpec;
    blockSpec.name = "b";
    const double handle = model.addBlock(blockSpec).handle;
    for (auto _ : state) {
        benchmark::DoNotOptimize(hostQuery(handle));
    }
}
BENCHMARK(BM_WorkspaceQueryRoundTrip);

// The same query over every block of a model in turn, as one sweep asks it: the cost of a query once the
// model no longer sits in the fastest caches.
void BM_WorkspaceQuerySweep(benchmark::State& state) {
    quonix::Model model("bench");
    std::vector<double> handles;
    for (int i = 0; i < state.range(0); ++i) {
        quonix::BlockSpec blockSpec;
        blockSpec.name = "b" + std::to_string(i);
        handles.push_back(model.addBlock(blockSpec).handle);
    }
    for (auto _ : state) {
        for (double handle : handles) {
            benchmark::DoNotOptimize(hostQuery(handle));
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WorkspaceQuerySweep)->Arg(1000)->Arg(5000);

// The floor under one query: the same work written plainly, with nothing a general host needs. The handle
// goes into a fresh array stored under a name, an already parsed command reads it and stores its answer
// under another name, the answer is copied out, and both names are erased.
struct FloorQuery {
    struct Array {
        double value;
    };
    struct Command {  // "KorLix_IsHandle=ishandle(KorLix_BlockHandle)", parsed once
        std::string argument = "KorLix_BlockHandle";
        std::string result = "KorLix_IsHandle";
    };
    std::unordered_map<std::string, std::unique_ptr<Array>> global, caller;
    std::unordered_set<double> handles;
    Command command;

    double run(double handle) {
        global["KorLix_BlockHandle"] = std::make_unique<Array>(Array{handle});
        const double argument = global.find(command.argument)->second->value;
        caller[command.result] = std::make_unique<Array>(Array{handles.count(argument) > 0 ? 1.0 : 0.0});
        const double answer = caller.find(command.result)->second->value;
        global.erase("KorLix_BlockHandle");
        caller.erase(command.result);
        return answer;
    }
};

// The host's query round trip and the floor measured side by side in alternating batches, so that both see
// the same machine; the counters give the median time of each and their ratio.
void BM_QueryRoundTripAgainstFloor(benchmark::State& state) {
    quonix::Model model("bench");
    quonix::BlockSpec blockSpec;
    blockSpec.name = "b";
    const double handle = model.addBlock(blockSpec).handle;
    FloorQuery floor;
    floor.handles.insert(handle);
    constexpr int kBatch = 1000;
    std::vector<double> hostNs, floorNs;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        for (int i = 0; i < kBatch; ++i) {
            benchmark::DoNotOptimize(hostQuery(handle));
        }
        const auto t1 = Clock::now();
        for (int i = 0; i < kBatch; ++i) {
            benchmark::DoNotOptimize(floor.run(handle));
        }
        const auto t2 = Clock::now();
        hostNs.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count() / kBatch);
        floorNs.push_back(std::chrono::duration<double, std::nano>(t2 - t1).count() / kBatch);
    }
    const auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    const double host = median(hostNs), bare = median(floorNs);
    state.counters["host_ns"] = host;
    state.counters["floor_ns"] = bare;
    state.counters["ratio"] = host / bare;
}
BENCHMARK(BM_QueryRoundTripAgainstFloor)->Iterations(200);

class Idle final : public korlix::BaseFcn {
  public:
    void initializeSizes(HostBlock*) override {}
    void initializeSampleTimes(HostBlock*) override {}
    void initializeForHost(HostBlock*) override {}
    void start(HostBlock*) override {}
    void outputs(HostBlock*, int32_t) override {}
    void update(HostBlock*, int32_t) override {}
    void terminate(HostBlock*) override {}
    void writeQRXRecord(HostBlock*) override {}
};

void BM_RegistryLookup(benchmark::State& state) {
    const auto n = static_cast<int>(state.range(0));
    for (int i = 1; i <= n; ++i) {
        korlix::registry::insert(i + 0.0001, std::make_unique<Idle>());
    }
    double key = 1.0001;
    for (auto _ : state) {
        benchmark::DoNotOptimize(korlix::registry::find(key));
        key = key + 1.0 > n ? 1.0001 : key + 1.0;
    }
    korlix::registry::destroyAll();
}
BENCHMARK(BM_RegistryLookup)->Arg(100)->Arg(5000);

// One stale-handle sweep of the module over a registry of N live blocks: N query round trips.
void BM_StaleHandleSweep(benchmark::State& state) {
    quonix::Model model("bench");
    for (int i = 0; i < state.range(0); ++i) {
        quonix::BlockSpec blockSpec;
        blockSpec.name = "b" + std::to_string(i);
        korlix::registry::insert(model.addBlock(blockSpec).handle, std::make_unique<Idle>());
    }
    for (auto _ : state) {
        korlix::removeStaleBlocks();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    korlix::registry::destroyAll();
}
BENCHMARK(BM_StaleHandleSweep)->Arg(1000)->Arg(5000);

void BM_MaskTypeLookup(benchmark::State& state) {
    const std::string text = "FlexRayUnpackPDU";
    for (auto _ : state) {
        benchmark::DoNotOptimize(korlix::maskTypeIndex(text));
    }
}
BENCHMARK(BM_MaskTypeLookup);

// Registration call (sweep of a one-block registry, execution-system query, initializeSizes) per class.
void BM_InitializeSizes(benchmark::State& state) {
    const auto all = korlix_bench::dialogs();
    const auto& dialog = all[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(dialog.maskType);
    quonix::Model model("bench");
    quonix::BlockSpec& blockSpec = model.addBlock(specFor(dialog));
    for (auto _ : state) {
        quonix::BlockInstance inst(blockSpec, quonix::HostSettings{});
        inst.registration(&zupFunction);
        if (inst.hasError()) {
            state.SkipWithError(inst.error()->c_str());
            break;
        }
    }
    korlix::registry::destroyAll();
}
BENCHMARK(BM_InitializeSizes)->DenseRange(0, 13);

void BM_WriteQRXRecord(benchmark::State& state) {
    const auto all = korlix_bench::dialogs();
    const auto& dialog = all[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(dialog.maskType);
    quonix::Model model("bench");
    quonix::BlockSpec& blockSpec = model.addBlock(specFor(dialog));
    quonix::BlockInstance inst(blockSpec, quonix::HostSettings{});
    inst.registration(&zupFunction);
    inst.callback(&zupFunction, HB_CALL_INITIALIZE_SAMPLE_TIMES);
    for (auto _ : state) {
        inst.callback(&zupFunction, HB_CALL_QRX);
        if (inst.hasError()) {
            state.SkipWithError(inst.error()->c_str());
            break;
        }
    }
    korlix::registry::destroyAll();
}
BENCHMARK(BM_WriteQRXRecord)->DenseRange(0, 13);

void BM_StringToUint32Vector(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < state.range(0); ++i) {
        text += std::to_string(i * 7) + ' ';
    }
    for (auto _ : state) {
        std::vector<uint32_t> values;
        std::string error;
        korlix::stringToUint32Vector(text, values, error);
        benchmark::DoNotOptimize(values.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StringToUint32Vector)->Arg(100)->Arg(10000);

void BM_ParseDataTypeList(benchmark::State& state) {
    const char* names[] = {"uint8", "A_INT16", "boolean", "uint32", "int8"};
    std::string text;
    for (int i = 0; i < state.range(0); ++i) {
        text += names[i % 5];
        text += ' ';
    }
    for (auto _ : state) {
        std::vector<int32_t> ids;
        std::string error;
        korlix::parseDataTypeList(text, ids, error);
        benchmark::DoNotOptimize(ids.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseDataTypeList)->Arg(100)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
