#!/usr/bin/env bash
# Installs what is missing, builds and starts the program (arguments go to it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh >/dev/null
exec build/kivhelp "$@"
