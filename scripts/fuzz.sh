#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for a bounded time
# (FUZZ_SECONDS, 30 by default) on its seed corpus, after replaying every input that once
# made it fail (fuzz/regressions/<target>/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-30}"

"$root/scripts/install-deps.sh" clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVTK290_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
mapfile -t targets < <(cd "$root/fuzz" && ls fuzz_*.cpp | sed "s/\.cpp$//")
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for target in "${targets[@]}"; do
    name="${target#fuzz_}"
    regressions="$root/fuzz/regressions/$name"
    if compgen -G "$regressions/*" >/dev/null; then
        "$build/fuzz/$target" "$regressions"/*
    fi
    work="$(mktemp -d)"
    mkdir "$work/corpus" "$work/artifacts"
    cp "$root/fuzz/corpus/$name"/* "$work/corpus/"
    echo "== $target: ${seconds} s"
    if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 \
        -max_len=4096 -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus" \
        >"$work/log" 2>&1; then
        grep -E '^stat::' "$work/log" || true
    else
        # The whole report, without libFuzzer's progress lines.
        grep -v -E '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse|INITED|RELOAD)' "$work/log" || true
        # A failing input is kept as a regression case, to be committed with its fix.
        if compgen -G "$work/artifacts/*" >/dev/null; then
            mkdir -p "$regressions"
            mv "$work/artifacts"/* "$regressions/"
            echo "Kept in ${regressions#"$root"/}: $(cd "$regressions" && ls | tr '\n' ' ')"
        fi
        failed+=("$target")
    fi
    rm -rf "$work"
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzing failed: ${failed[*]}"
    exit 1
fi
