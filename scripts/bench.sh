#!/usr/bin/env bash
# Installs what the benchmarks compare against, builds, and runs every
# benchmark in bench/ (or only those named: scripts/bench.sh engine rtf).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh fpc-source pasdoc halibut
scripts/build.sh >/dev/null
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} # some benchmarks make a QApplication
names=("$@")
[ ${#names[@]} -gt 0 ] || names=($(ls bench/bench_*.cpp | sed 's#bench/bench_##; s#\.cpp##'))
for n in "${names[@]}"; do
  echo "== bench_$n"
  build/bench/bench_"$n"
done
