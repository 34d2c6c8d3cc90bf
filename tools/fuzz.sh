#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for
# SECONDS (default 30) on a copy of its seed corpus, which stays as it is.
#
#   tools/fuzz.sh [SECONDS]
#
# Exits non-zero when a fuzzer finds a crash, a sanitizer report or a broken
# invariant; the input that did it is kept in build-fuzz/artifacts/. Exits 0
# with a note when clang or its fuzzer runtime is missing.
set -euo pipefail

seconds=${1:-30}
[[ $seconds =~ ^[0-9]+$ && $seconds -gt 0 ]] || { echo "usage: $0 [SECONDS]" >&2; exit 2; }

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$source_dir/build-fuzz
readonly fuzz_flags=-fsanitize=fuzzer,address,undefined

skip() {
    echo "fuzz: $* - fuzzing skipped"
    exit 0
}

command -v clang >/dev/null && command -v clang++ >/dev/null || skip "clang is not installed"
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe/probe.cpp"
clang++ $fuzz_flags "$probe/probe.cpp" -o "$probe/probe" 2>/dev/null ||
    skip "clang++ cannot link $fuzz_flags (the fuzzer runtime is missing)"

CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPLENVO_FUZZ=ON -DPLENVO_TESTS=OFF >"$probe/configure.log" 2>&1 ||
    { cat "$probe/configure.log" >&2; exit 1; }
cmake --build "$build_dir" -j2 --target plenvo-fuzz-replies plenvo-fuzz-settings plenvo-fuzz-control

mkdir -p "$build_dir/artifacts"
status=0
for name in replies settings control; do
    corpus=$probe/$name
    cp -r "$source_dir/fuzz/corpus/$name" "$corpus"
    echo "fuzz: $name for $seconds s"
    if ! "$build_dir/bin/plenvo-fuzz-$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build_dir/artifacts/$name-" "$corpus" >"$build_dir/$name.log" 2>&1; then
        tail -n 40 "$build_dir/$name.log" >&2
        echo "fuzz: FAIL: plenvo-fuzz-$name, input kept in $build_dir/artifacts/" >&2
        status=1
        continue
    fi
    grep -E '^stat::number_of_executed_units|^Done ' "$build_dir/$name.log" || true
done
exit $status
