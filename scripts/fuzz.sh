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
for target in "${targets[@]}"; do
    name="${target#fuzz_}"
    regressions="$root/fuzz/regressions/$name"
    if compgen -G "$regressions/*" >/dev/null; then
        "$build/fuzz/$target" "$regressions"/*
    fi
    work="$(mktemp -d)"
    cp "$root/fuzz/corpus/$name"/* "$work/"
    echo "== $target: ${seconds} s"
    # A failing input is kept as a regression case, to be committed with its fix.
    mkdir -p "$regressions"
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=4096 \
        -artifact_prefix="$regressions/" -print_final_stats=1 "$work" 2>&1 | tail -n 4
    rm -rf "$work"
done
