#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build/fuzz/, apart from the g++ builds) and runs
# one target or all of them for a fixed time each:
#   bash scripts/fuzz.sh [host_loop|verify|sign|binary_text|all] [seconds, default 60]
#   QUILLET_FUZZ_LIBXML2=1 bash scripts/fuzz.sh ...   # libxml2 instrumented too
# Fails on any crash, sanitizer report, leak, timeout or memory blow-up. A reproducer is
# saved under build/fuzz/crashes/<target>/ (never into a corpus) and its path printed;
# run it again with
#   QUILLET_FUZZ_WORLD=build/fuzz/runs/<target>/world build/fuzz/bin/<target>_fuzzer <file>
# (the world directory keeps the keys and certificates of the run that found it).
# What a run finds new is kept in build/fuzz/runs/<target>/corpus and used by the next run;
# the seeds are tests/fuzz/corpus/<target>/ and what the target writes at start
# (documents and requests of this run's keys).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

all_targets=(host_loop verify sign binary_text)
which=${1:-all}
seconds=${2:-60}
if [ "$which" = all ]; then
  targets=("${all_targets[@]}")
elif [[ " ${all_targets[*]} " == *" $which "* ]]; then
  targets=("$which")
else
  echo "usage: $0 [${all_targets[*]// /|}|all] [seconds]" >&2
  exit 2
fi
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "seconds must be a number: $seconds" >&2; exit 2; }

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
if ! command -v clang++-14 >/dev/null ||
  ! ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  as_root apt-get -o DPkg::Lock::Timeout=900 update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
    --no-install-recommends clang-14 libclang-rt-14-dev >/dev/null
fi

dir=build/fuzz
# xmlsec1 instrumented too (coverage and ASan), in its own directory.
QUILLET_XMLSEC_WORK="$top/$dir/xmlsec" CC=clang-14 \
  CFLAGS="-g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address" \
  bash scripts/build-xmlsec.sh
# With QUILLET_FUZZ_LIBXML2=1, Debian's libxml2 is rebuilt the same way (about two minutes
# of CPU) and put into the runtime directory, where every module finds it first (RUNPATH
# $ORIGIN): the parser's branches then guide the document targets. Without it, the
# system's copy is used.
libxml2_work="$top/$dir/libxml2"
if [ "${QUILLET_FUZZ_LIBXML2:-0}" = 1 ]; then
  if [ ! -f "$libxml2_work/src/.libs/libxml2.so.2" ]; then
    rm -rf "$libxml2_work" && mkdir -p "$libxml2_work/fetch"
    (cd "$libxml2_work/fetch" && apt-get source --download-only libxml2 >/dev/null)
    dpkg-source --no-check -x "$(ls "$libxml2_work"/fetch/libxml2_*.dsc | head -n 1)" \
      "$libxml2_work/src" >/dev/null
    (cd "$libxml2_work/src" && autoreconf -fi >/dev/null 2>&1 &&
      ./configure CC=clang-14 CFLAGS="-g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address" \
        --disable-static --without-python --without-icu >"$libxml2_work/configure.log" 2>&1 &&
      make -j"$(nproc)" libxml2.la >"$libxml2_work/make.log" 2>&1) ||
      { tail -n 40 "$libxml2_work"/*.log; exit 1; }
  fi
  # Replaced by renaming, never rewritten in place: a target of another run may have it mapped.
  if ! cmp -s "$libxml2_work/src/.libs/libxml2.so.2" "$dir/bin/libxml2.so.2"; then
    mkdir -p "$dir/bin" && cp -L "$libxml2_work/src/.libs/libxml2.so.2" "$dir/bin/libxml2.so.2.new"
    mv -f "$dir/bin/libxml2.so.2.new" "$dir/bin/libxml2.so.2"
  fi
else
  rm -f "$dir/bin/libxml2.so.2"
fi
cmake -S . -B "$dir" -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_FUZZ=ON -DQUILLET_BUILD_TESTS=OFF \
  -DQUILLET_XMLSEC_PREFIX="$top/$dir/xmlsec/install" >/dev/null
build_targets=(QuilletProxy)
for target in "${targets[@]}"; do build_targets+=("${target}_fuzzer"); done
cmake --build "$dir" -j"$(nproc)" --target "${build_targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:detect_stack_use_after_return=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$top/tests/lsan.supp
status=0
for target in "${targets[@]}"; do
  run="$dir/runs/$target"
  crashes="$dir/crashes/$target"
  mkdir -p "$run/corpus" "$crashes"
  rm -rf "$run/generated" && mkdir -p "$run/generated"
  options=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 -print_final_stats=1
    -artifact_prefix="$crashes/")
  # The host reports fatal input errors on standard error, as it must: not the fuzzer's.
  [ "$target" = host_loop ] && options+=(-close_fd_mask=2)
  echo "== fuzz $target (${seconds}s)"
  before=$(ls "$crashes" | wc -l)
  failed=0
  if ! QUILLET_FUZZ_GENERATED="$top/$run/generated" QUILLET_FUZZ_WORLD="$top/$run/world" "$dir/bin/${target}_fuzzer" "${options[@]}" \
    "$run/corpus" "$run/generated" "tests/fuzz/corpus/$target" >"$run/log" 2>&1; then
    failed=1
  fi
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|Done [0-9]+ runs)' "$run/log" || true
  if [ "$failed" -ne 0 ] || [ "$(ls "$crashes" | wc -l)" -ne "$before" ]; then
    status=1
    tail -n 60 "$run/log"
    echo "FAILED: $target; log $top/$run/log; reproducer(s) in $top/$crashes:" >&2
    ls -t "$crashes" | head -n 5 | sed "s|^|  $top/$crashes/|" >&2
  fi
done
exit "$status"
