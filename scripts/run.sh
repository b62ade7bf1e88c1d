#!/usr/bin/env bash
# The main job: builds Quillfence, creates (or completes) the default machine root under
# build/machine-root and shows the policy the filter loads from it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j"${QF_JOBS:-2}" --target quillfence-machine
root=${QUILLFENCE_ROOT:-$PWD/build/machine-root}
build/release/bin/quillfence-machine init --root "$root"
build/release/bin/quillfence-machine policy --root "$root"
