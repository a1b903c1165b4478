// Conversion benchmarks over the hardware-ID corpus: time and heap
// allocations per ID for build_compact_id, for compact_ids_match against
// every device's compact ID, and for the two together as the device search
// runs them per device.
#include "allocation_counter.h"
#include "corpus_samples.h"

#include "idconv/id_conv.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using sample = std::vector<std::string_view>;

// Items processed, time per ID ("time_per_id", seconds) and heap allocations
// per ID ("allocs_per_id") of a benchmark that handles `per_iteration` IDs
// in each iteration.
void report_per_id(benchmark::State& state, std::size_t per_iteration, std::size_t allocations) {
    const double ids = static_cast<double>(state.iterations()) * static_cast<double>(per_iteration);
    state.SetItemsProcessed(static_cast<std::int64_t>(ids));
    state.counters["time_per_id"] =
        benchmark::Counter(static_cast<double>(per_iteration),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["allocs_per_id"] = static_cast<double>(allocations) / ids;
}

void build_compact_ids(benchmark::State& state, const sample& ids) {
    const std::size_t before = bench::allocation_count();
    for (auto _ : state) {
        for (std::string_view id : ids) {
            const idconv::compact_id compact = idconv::build_compact_id(id);
            benchmark::DoNotOptimize(compact);
        }
    }
    report_per_id(state, ids.size(), bench::allocation_count() - before);
}

// The wanted ID against the compact ID of every corpus device that has one.
void match_compact_ids(benchmark::State& state, const std::string& wanted,
                       const std::vector<std::string>& candidates) {
    const std::size_t before = bench::allocation_count();
    for (auto _ : state) {
        std::size_t matched = 0;
        for (const std::string& candidate : candidates) {
            matched += idconv::compact_ids_match(wanted, candidate) ? 1U : 0U;
        }
        benchmark::DoNotOptimize(matched);
    }
    report_per_id(state, candidates.size(), bench::allocation_count() - before);
}

// What the device search does per device: build, and match when not empty.
void search_step(benchmark::State& state, const std::string& wanted, const sample& ids) {
    const std::size_t before = bench::allocation_count();
    for (auto _ : state) {
        std::size_t matched = 0;
        for (std::string_view id : ids) {
            const idconv::compact_id compact = idconv::build_compact_id(id);
            if (!compact.empty()) {
                matched += idconv::compact_ids_match(wanted, compact) ? 1U : 0U;
            }
        }
        benchmark::DoNotOptimize(matched);
    }
    report_per_id(state, ids.size(), bench::allocation_count() - before);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    if (bench::corpus_ids().empty()) {
        std::fprintf(stderr, "bench_idconv: no hardware-ID corpus at %s\n", QV_HARDWARE_ID_CORPUS);
        return 1;
    }

    // Registered benchmarks keep references to these until the end of main.
    std::map<std::string_view, sample> samples;
    for (std::string_view name : bench::corpus_sample_names()) {
        samples[name] = bench::corpus_sample(name);
    }
    const sample& corpus = samples.at("corpus");
    const std::string median_id(samples.at("median").front());
    const std::string wanted(idconv::build_compact_id(median_id));
    std::vector<std::string> candidates;
    for (std::string_view id : corpus) {
        const idconv::compact_id compact = idconv::build_compact_id(id);
        if (!compact.empty()) {
            candidates.emplace_back(compact);
        }
    }

    benchmark::AddCustomContext("corpus_ids", std::to_string(corpus.size()));
    benchmark::AddCustomContext("median_id", median_id);
    benchmark::AddCustomContext("wanted_compact_id", wanted);

    for (std::string_view name : bench::corpus_sample_names()) {
        benchmark::RegisterBenchmark(("build_compact_id/" + std::string(name)).c_str(), build_compact_ids,
                                     std::cref(samples.at(name)));
    }
    benchmark::RegisterBenchmark("compact_ids_match/corpus", match_compact_ids, std::cref(wanted),
                                 std::cref(candidates));
    benchmark::RegisterBenchmark("search_step/corpus", search_step, std::cref(wanted), std::cref(corpus));

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
