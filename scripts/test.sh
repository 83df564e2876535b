#!/usr/bin/env bash
# Sets everything up, builds and runs the whole test suite; then builds the tests
# again with the address and undefined-behaviour sanitizers and runs them too.
# The first run happens inside a throw-away PostgreSQL cluster (pg_virtualenv),
# so that the server's tests run on both of its stores.
#   scripts/test.sh           both runs
#   scripts/test.sh --quick   the plain run only
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
jobs=$(nproc)

echo "== build and test"
"$root/scripts/build.sh" "$root/build" -DWYC_GUI=ON -DWYC_TESTS=ON -DWYC_WERROR=ON
with_postgres=()
if command -v pg_virtualenv >/dev/null; then with_postgres=(pg_virtualenv); fi
(cd "$root/build" && QT_QPA_PLATFORM=offscreen "${with_postgres[@]}" \
  ctest --output-on-failure -j "$jobs" --timeout 300)

if [ "${1:-}" != "--quick" ]; then
  echo "== sanitizer build (address + undefined) and test"
  "$root/scripts/build.sh" "$root/build-asan" -DWYC_GUI=OFF -DWYC_BENCH=OFF -DWYC_SANITIZE=ON \
    -DCMAKE_BUILD_TYPE=Debug
  (cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs" --timeout 600)
fi
