#!/bin/bash
# The Windows quillon-cli.exe under Wine over the generated library of 3,000
# figure files of about 60 KB (as index_bench makes it): the plain search
# beside the second search through a saved index (nothing changed), each the
# median of five whole runs of the program, Wine's start included.
#
# usage: bench/index_wine.sh [LINUX_BUILD [WINDOWS_BUILD]]   (defaults: build, build-win)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
buildwin=${2:-build-win}
cli="$buildwin/cli/quillon-cli.exe"
export WINEPREFIX="$PWD/$buildwin/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d "$PWD/$buildwin/index-wine.XXXXXX")
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

"$build/bench/index_bench" --large 3000 --make-library "$work/library"
library=$(winepath -w "$work/library")
index=$(winepath -w "$work/index.sqlite3")

# Milliseconds one run of the program takes.
run_ms() {
  local start
  start=$(date +%s%N)
  wine "$cli" "$@" >/dev/null
  echo $((($(date +%s%N) - start) / 1000000))
}
median() { printf '%s\n' "$@" | sort -n | sed -n 3p; }

wine "$cli" --version >/dev/null
startup=() plain=() second=()
for _ in 1 2 3 4 5; do startup+=("$(run_ms --version)"); done
for _ in 1 2 3 4 5; do plain+=("$(run_ms -r "$library")"); done
run_ms --index-file "$index" -r "$library" >/dev/null # the first search fills the index
for _ in 1 2 3 4 5; do second+=("$(run_ms --index-file "$index" -r "$library")"); done
p=$(median "${plain[@]}") s=$(median "${second[@]}")
echo "quillon-cli.exe under Wine, 3000 figure files of about 60 KB (median of 5 runs)"
echo "  the program's start (--version)        $(median "${startup[@]}") ms"
echo "  plain search                           $p ms"
echo "  second search through the saved index  $s ms  ($((100 * s / p)) % of plain; target <= 30 %)"
