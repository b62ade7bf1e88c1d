#!/usr/bin/env bash
# Rebuilds the factory topic word dictionary (worddict.idx, worddict.dat) from topics/*.txt.
# Usage: data/dict1/rebuild.sh [build dir]   (default build/release)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build/release}
cmake --build "$build" --target worddict_build >/dev/null
"$build/bin/worddict_build" "$here/topics" "$here/worddict.idx" "$here/worddict.dat"
