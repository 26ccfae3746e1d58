#!/usr/bin/env bash
# Builds kavelon and runs every test: a plain debug build, a build with
# AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz targets over
# their corpora, built with clang (which must be installed).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}

# The Debian packages the builds need, installed when missing.
./scripts/setup.sh

run_suite() {  # build-dir, extra cmake arguments...
    local dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" > /dev/null
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure --no-tests=error
}

echo "=== plain build"
run_suite build/test
echo "=== sanitizer build"
ASAN_OPTIONS=detect_leaks=0 run_suite build/asan -DKAVELON_SANITIZE=ON
if [ -d fuzz ]; then
    echo "=== fuzz targets over their corpora"
    CC=clang CXX=clang++ run_suite build/fuzz -DKAVELON_FUZZ=ON -DKAVELON_TESTS=OFF
fi
echo "=== all tests passed"
