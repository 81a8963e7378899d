// Micro-benchmarks of the host protocol and the module's per-block work. Build with the "bench" preset and
// run build/bench/bin/korlix_bench; see docs/performance.md.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
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
void BM_WorkspaceQueryRoundTrip(benchmark::State& state) {
    quonix::Model model("bench");
    quonix::BlockSpec blockSpec;
    blockSpec.name = "b";
    const double handle = model.addBlock(blockSpec).handle;
    for (auto _ : state) {
        zvArray* h = zvCreateDoubleScalar(handle);
        zupPutVariable("global", "KorLix_BlockHandle", h);
        zvDestroyArray(h);
        zupEvalString("global KorLix_BlockHandle;KorLix_IsHandle=ishandle(KorLix_BlockHandle);");
        zvArray* result = zupGetVariable("caller", "KorLix_IsHandle");
        benchmark::DoNotOptimize(zvGetScalar(result));
        zvDestroyArray(result);
        zupEvalString("clear global KorLix_BlockHandle;clear KorLix_IsHandle;");
    }
}
BENCHMARK(BM_WorkspaceQueryRoundTrip);

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
