// The cost of one login with the salted digest: kLoginDigestIterations rounds should take about
// 100 ms, so that every guess of a password costs an attacker as much.
//   build/bench/LoginDigestBench
#include "users/LoginDigest.h"

#include <benchmark/benchmark.h>

namespace {

void loginCheck(benchmark::State& state)
{
    const auto rounds = static_cast<std::uint32_t>(state.range(0));
    const std::string digest = makeSaltedLoginDigest(u"a long enough password", rounds);
    for (auto _ : state)
        benchmark::DoNotOptimize(loginDigestMatches(digest, u"a long enough password"));
    state.SetLabel(std::to_string(rounds) + " rounds");
}

BENCHMARK(loginCheck)->Arg(kLoginDigestIterations)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
