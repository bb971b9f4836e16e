#!/usr/bin/env bash
# Long fuzz runs of the station's input readers: builds the libFuzzer targets with clang (installing
# it when missing) and runs every target for a bounded time, two at a time, starting from the corpus
# kept in fuzz/corpus/<target>/. New inputs stay in build-fuzz/runs/; --merge adds the ones that reach
# new code to the kept corpus. Exits non-zero when any target finds a fault; the failing input is
# named in its log.
#
#   bash fuzz/run.sh [seconds per target, default 600] [--merge] [target...]
#   targets: sentence request settings number peer
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"

seconds=600
merge=0
targets=()
for arg in "$@"; do
    case "$arg" in
        --merge) merge=1 ;;
        ''|*[!0-9]*) targets+=("$arg") ;;
        *) seconds=$arg ;;
    esac
done
[ ${#targets[@]} -gt 0 ] || targets=(sentence request settings number peer)

packages=(clang libclang-rt-dev cmake ninja-build qt6-base-dev)
source "$here/tools/packages.sh"
install_missing "${packages[@]}"

build=build-fuzz
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2

runs="$here/$build/runs/$(date +%Y%m%d-%H%M%S)"
# The settings target writes files on every input: keep them in memory where possible.
[ -d /dev/shm ] && export TMPDIR=/dev/shm
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

run_target() {
    local target=$1 dir="$runs/$1"
    mkdir -p "$dir/corpus" "$dir/artifacts"
    "$here/$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$dir/artifacts/" "$dir/corpus" "$here/fuzz/corpus/$target" >"$dir/log" 2>&1
}

echo "== Fuzzing ${targets[*]} for ${seconds} s each, two at a time (logs in $runs)"
declare -A pids
running=0
for target in "${targets[@]}"; do
    if [ "$running" -ge 2 ]; then
        wait -n || true
        running=$((running - 1))
    fi
    run_target "$target" &
    pids[$target]=$!
    running=$((running + 1))
done

failed=0
for target in "${targets[@]}"; do
    if wait "${pids[$target]}"; then
        echo "$target: $(grep -E '^Done [0-9]+ runs' "$runs/$target/log" | tail -1)," \
             "corpus $(grep -E '^#[0-9]+' "$runs/$target/log" | tail -1 | grep -oE 'corp: [0-9]+/[0-9a-zA-Z]+')"
    else
        failed=1
        echo "$target: FINDING"
        grep -E 'property failed|ERROR:|SUMMARY:' "$runs/$target/log" | head -5 | sed 's/^/    /'
        ls "$runs/$target/artifacts" | sed "s|^|    input: $runs/$target/artifacts/|"
    fi
done

if [ "$merge" -eq 1 ] && [ "$failed" -eq 0 ]; then
    for target in "${targets[@]}"; do
        "$here/$build/fuzz_$target" -merge=1 -use_counters=0 "$here/fuzz/corpus/$target" "$runs/$target/corpus" >/dev/null 2>&1
        echo "$target: kept corpus now $(ls "$here/fuzz/corpus/$target" | wc -l) files"
    done
fi
exit "$failed"
