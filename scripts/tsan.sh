#!/usr/bin/env bash
# The reader and document tests under ThreadSanitizer: the nodeset reader reads elements on a
# thread of its own while libxml2 parses the rest of the file, and the value types they share
# between threads. Builds only the tests of the OPC UA library, into build-tsan/, and runs them;
# CI runs this as a short job of its own (scripts/test.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-tsan"
"$root/scripts/install-deps.sh"

flags="-fsanitize=thread -fno-omit-frame-pointer -g"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAVOX_BUILD_UI=OFF -DTAVOX_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >&2
tests=(uatypes_tests uaxml_tests uanodes_tests uareader_tests)
cmake --build "$build" -j "$(nproc)" --target "${tests[@]}" >&2

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
# ThreadSanitizer needs the classic memory layout, which address space randomisation with many
# bits breaks on newer kernels; running without randomisation gives it back.
prefix=()
if command -v setarch >/dev/null 2>&1 && setarch "$(uname -m)" -R true 2>/dev/null; then
    prefix=(setarch "$(uname -m)" -R)
fi
for test in "${tests[@]}"; do
    "${prefix[@]}" "$build/tests/$test" --gtest_brief=1
done
