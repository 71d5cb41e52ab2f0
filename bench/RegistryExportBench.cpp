// `reg export` of a deep chain of keys and of a wide tree: the time grows with the size of what
// is exported (N is the size of the exported file; the complexity fit is O(N)), because each key
// is opened below its parent instead of being looked up by its whole path among all keys. In a
// chain, the file itself grows with the square of the depth: every key names its whole path.
//   build/bench/RegistryExportBench
#include "platform/Registry.h"
#include "platform/SettingsStore.h"
#include "testing/AdminOnStores.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Kind = platform::RegistryKey::Change::Kind;

/// The benchmark's own folder, removed with its stores at the end.
struct BenchFolder {
    BenchFolder()
        : path(std::filesystem::temp_directory_path() / ("tavox-export-bench-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(path);
    }
    ~BenchFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path path;
};

/// A store of its own, named for the shape and size of its tree.
std::filesystem::path storeFor(const std::string& shape, std::int64_t keys)
{
    static const BenchFolder folder;
    return folder.path / (shape + "-" + std::to_string(keys) + ".db");
}

void exportTree(benchmark::State& state, const std::filesystem::path& store, const std::string& key)
{
    const platform::SettingsStores stores { platform::SettingsStore(store, platform::RegHive::LocalMachine),
        platform::SettingsStore(store.string() + ".user", platform::RegHive::CurrentUser) };
    const auto file = store.string() + ".reg";
    const std::vector<std::string> args = { "reg", "export", key, file, "/y" };
    for (auto _ : state) {
        std::ostringstream out, err;
        if (runAdminOnStores(args, { out, err }, stores) != admin::kExitSuccess)
            state.SkipWithError(err.str().c_str());
    }
    std::error_code ec;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(file, ec));
    state.SetComplexityN(size);
    state.counters["keys"] = static_cast<double>(state.range(0));
    state.counters["bytes"] = static_cast<double>(size);
    std::filesystem::remove(file, ec);
}

void deepChain(benchmark::State& state)
{
    const auto store = storeFor("deep", state.range(0));
    std::string path = "SOFTWARE\\Deep";
    for (std::int64_t level = 2; level < state.range(0); ++level)
        path += "\\Level";
    if (!std::filesystem::exists(store))
        (void)platform::RegistryKey::writeAll(
            store, { { Kind::Set, path, "V", platform::kRegDword, { 1, 0, 0, 0 } } }, platform::RegHive::LocalMachine);
    exportTree(state, store, "HKLM\\SOFTWARE\\Deep");
}

void wideTree(benchmark::State& state)
{
    const auto store = storeFor("wide", state.range(0));
    if (!std::filesystem::exists(store)) {
        std::vector<platform::RegistryKey::Change> changes;
        for (std::int64_t i = 0; i < state.range(0); ++i) {
            const std::string key = "SOFTWARE\\Wide\\Group" + std::to_string(i % 16) + "\\Key" + std::to_string(i);
            changes.push_back({ Kind::Set, key, "A", platform::kRegDword, { 1, 0, 0, 0 } });
            changes.push_back({ Kind::Set, key, "B", platform::kRegBinary, { 1, 2, 3 } });
        }
        (void)platform::RegistryKey::writeAll(store, changes, platform::RegHive::LocalMachine);
    }
    exportTree(state, store, "HKLM\\SOFTWARE\\Wide");
}

BENCHMARK(deepChain)->RangeMultiplier(2)->Range(64, 512)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);
BENCHMARK(wideTree)->Arg(1000)->Arg(4000)->Arg(16000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
