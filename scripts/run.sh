#!/usr/bin/env bash
# The main job: builds Quillfence, creates (or completes) the default machine root under
# build/machine-root with filtering on, and then
#   scripts/run.sh PROGRAM [ARGS...]   runs the program under the filter;
#   scripts/run.sh                     shows a short demonstration on loopback: a local web
#                                      server with a clean page and a page with disallowed
#                                      words, each fetched with curl through the filter, and the
#                                      access log lines the fetches left.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh >&2
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j"${QF_JOBS:-2}" --target quillfence-machine quillfence quillfence-run vtlsp >/dev/null
bin=$PWD/build/release/bin
root=${QUILLFENCE_ROOT:-$PWD/build/machine-root}
"$bin/quillfence-machine" init --root "$root" >/dev/null
if ! "$bin/quillfence" status --root "$root" | grep -qx 'filtering: on'; then
  "$bin/quillfence" enable --root "$root" >/dev/null
fi

if [ $# -gt 0 ]; then
  exec "$bin/quillfence-run" --root "$root" -- "$@"
fi

site=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$site"
}
trap cleanup EXIT
printf '<html><body><h1>Homework help</h1><p>Fractions, decimals and percentages.</p></body></html>\n' \
  >"$site/clean.html"
printf '<html><body><h1>Videos</h1><p>Free porn videos, updated daily.</p></body></html>\n' \
  >"$site/words.html"

# The server picks a free port and says which.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$site" >"$site/server.log" 2>&1 &
server=$!
port=""
for _ in $(seq 50); do
  port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$site/server.log" | head -n 1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "the demonstration's web server did not start" >&2; exit 1; }

logged=$("$bin/quillfence" log --root "$root" | wc -l)
echo "Machine root: $root (filtering on; factory settings: the Pornography topic is selected)"
for page in clean.html words.html; do
  url="http://127.0.0.1:$port/$page"
  echo
  echo "== curl $url"
  if "$bin/quillfence-run" --root "$root" -- curl -sS --max-time 10 "$url"; then
    echo "(curl: page received)"
  else
    echo "(curl failed with exit code $?: the filter refused the page)"
  fi
done
echo
echo "== access log lines of these fetches"
"$bin/quillfence" log --root "$root" | tail -n +"$((logged + 1))"
