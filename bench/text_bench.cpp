// Throughput of the text cores over generated listings: the clean-up with
// time shift, and rule rewrites over 1 MB and 10 MB texts (equal MB/s at both
// sizes means the rewrite grows linearly).

#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "bench/text_listing.h"
#include "common/codec.h"
#include "output/clean_and_shift.h"
#include "textproc/pattern_engine.h"

namespace {

const std::string& listing(size_t megabytes) {
    static std::map<size_t, std::string> cache;
    auto it = cache.find(megabytes);
    if (it == cache.end())
        it = cache.emplace(megabytes, mirvaly::bench::ListingGenerator(7).make(megabytes << 20))
                 .first;
    return it->second;
}

void BM_CleanAndShiftText(benchmark::State& state) {
    const std::string& text = listing(10);
    const unsigned char clean = static_cast<unsigned char>(state.range(0));
    size_t outSize = 0;
    for (auto _ : state) {
        std::string out = mirvaly::CleanAndShiftText(text, 3, clean, '.');
        outSize = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["out_MB"] = static_cast<double>(outSize) / (1 << 20);
}
BENCHMARK(BM_CleanAndShiftText)->ArgName("clean")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

struct Rule {
    const char* name;
    std::string pattern, replacement;
};

const Rule& rule(int index) {
    static const Rule rules[] = {
        {"times", "^#^#:^#^#", "^1^2.^3^4"},
        {"word", mirvaly::cp("Новости"), mirvaly::cp("НОВОСТИ")},
        {"film_line", mirvaly::cp("Х/ф ^~^p"), mirvaly::cp("Фильм ^1^p")},
        {"capitals", "^S^S", "^1"},
    };
    return rules[index];
}

void BM_ReplaceByPattern(benchmark::State& state) {
    const Rule& r = rule(static_cast<int>(state.range(0)));
    const std::string& text = listing(static_cast<size_t>(state.range(1)));
    const mirvaly::PatternRule compiled(r.pattern, r.replacement);
    std::string out;  // its storage is reused from one run to the next
    for (auto _ : state) {
        compiled.rewrite(text, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel(r.name);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReplaceByPattern)
    ->ArgNames({"rule", "MB"})
    ->ArgsProduct({{0, 1, 2, 3}, {1, 10}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
