#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan) in build-fuzz/ and runs
# each for SECONDS (default 60) with its dictionary and seed corpora from the repository.
# New inputs go to build-fuzz/corpus/, findings to build-fuzz/findings/. Exits non-zero when
# any target finds a crash, a leak, undefined behaviour or a timeout.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build="$root/build-fuzz"

# target, dictionary, seed folders (relative to the repository)
table=(
    "NodesetLoadFuzz    fuzz/NodesetReaderFuzz.dict tests/data/nodesets"
    "NodesetReaderFuzz  fuzz/NodesetReaderFuzz.dict tests/data/nodesets"
    "UaXmlDocumentFuzz  fuzz/NodesetReaderFuzz.dict tests/data/nodesets"
    "UaTextFormsFuzzer  fuzz/UaTextForms.dict       tests/data/uatypes/textforms"
    "RegFileFuzz        fuzz/RegFile.dict           fuzz/corpus/RegFile"
    "RegValueTextFuzz   fuzz/RegValueText.dict      fuzz/corpus/RegValueText"
    "ProfileTextFuzz    fuzz/ProfileText.dict       fuzz/corpus/ProfileText"
    "SettingsBlockFuzz  fuzz/SettingsBlock.dict     fuzz/corpus/SettingsBlock"
    "OdbcConnectionStringFuzz fuzz/OdbcConnectionString.dict fuzz/corpus/OdbcConnectionString"
)

wanted=("$@")
selected() {
    [ ${#wanted[@]} -eq 0 ] && return 0
    local w
    for w in "${wanted[@]}"; do [ "$w" = "$1" ] && return 0; done
    return 1
}

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# Warnings stay warnings here: clang warns of what gcc accepts in the system headers (sd-bus).
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVOX_FUZZ=ON \
    -DTAVOX_WERROR=OFF -DTAVOX_BUILD_UI=OFF -DTAVOX_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
# Only the selected targets are built when targets are named.
if [ ${#wanted[@]} -eq 0 ]; then
    cmake --build "$build" -j "$(nproc)" --target fuzzers >&2
else
    cmake --build "$build" -j "$(nproc)" --target "${wanted[@]}" >&2
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=0
for row in "${table[@]}"; do
    read -r target dict seeds <<<"$row"
    selected "$target" || continue
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    mkdir -p "$corpus" "$findings"
    log="$build/$target.log"
    echo "== $target: ${seconds}s" >&2
    if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
        -dict="$root/$dict" -artifact_prefix="$findings/" "$corpus" "$root/$seeds" >"$log" 2>&1; then
        result="clean"
    else
        result="FINDING (see $log and $findings/)"
        failed=1
    fi
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    echo "$target: $runs executions, $result"
done
exit $failed
