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

# Line tables are enough for the reports; Ninja where the tree is new; a
# unity build, as in ./test.sh.
generator=()
if [[ ! -f $build_dir/CMakeCache.txt ]] && command -v ninja >/dev/null; then
    generator=(-G Ninja)
fi
CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG" \
    -DPLENVO_FUZZ=ON -DPLENVO_TESTS=OFF -DCMAKE_UNITY_BUILD=ON >"$probe/configure.log" 2>&1 ||
    { cat "$probe/configure.log" >&2; exit 1; }
fuzzers=(replies settings control)
cmake --build "$build_dir" -j"$(nproc)" --target "${fuzzers[@]/#/plenvo-fuzz-}"

# Each fuzzer is one process on one core: as many run at once as there are
# cores, so each still has a core to itself for its SECONDS.
fuzz() {
    local name=$1 corpus=$probe/$1 status=0
    cp -r "$source_dir/fuzz/corpus/$name" "$corpus"
    "$build_dir/bin/plenvo-fuzz-$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build_dir/artifacts/$name-" "$corpus" >"$build_dir/$name.log" 2>&1 || status=$?
    echo $status >"$probe/$name.status"
}
mkdir -p "$build_dir/artifacts"
for name in "${fuzzers[@]}"; do
    while (($(jobs -rp | wc -l) >= $(nproc))); do
        wait -n || true
    done
    echo "fuzz: $name for $seconds s"
    fuzz "$name" &
done
wait

status=0
for name in "${fuzzers[@]}"; do
    if [[ $(cat "$probe/$name.status") != 0 ]]; then
        tail -n 40 "$build_dir/$name.log" >&2
        echo "fuzz: FAIL: plenvo-fuzz-$name, input kept in $build_dir/artifacts/" >&2
        status=1
        continue
    fi
    echo "fuzz: $name"
    grep -E '^stat::number_of_executed_units|^Done ' "$build_dir/$name.log" || true
done
exit $status
