#!/usr/bin/env bash
# The main job: builds Quillfence, creates (or completes) the default machine root under
# build/machine-root with filtering on, and then
#   scripts/run.sh PROGRAM [ARGS...]   runs the program under the filter;
#   scripts/run.sh                     shows a short demonstration on loopback: a local web
#                                      server with a clean page, a page with disallowed words,
#                                      a page rated above the RSACi limits and a site on the
#                                      disallow list, a local name server for their names, each
#                                      page fetched with curl through the filter, and the access
#                                      log lines each fetch left.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh >&2
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j"${QF_JOBS:-2}" --target quillfence-machine quillfence quillfence-run vtlsp >/dev/null
bin=$PWD/build/release/bin
root=${QUILLFENCE_ROOT:-$PWD/build/machine-root}
"$bin/quillfence-machine" init --root "$root" >/dev/null
"$bin/quillfence-machine" demo-policy --root "$root" >/dev/null
# Switching filtering on needs the Control Center password: on a root that has none yet, the
# demonstration's ($QF_DEMO_PASSWORD, else "demo") is set first.
password=${QF_DEMO_PASSWORD:-demo}
switch_on() { printf '%s\n' "$password" | "$bin/quillfence" enable --password-stdin --root "$root" 2>&1 >/dev/null; }
if ! "$bin/quillfence" status --root "$root" | grep -qx 'filtering: on'; then
  if ! said=$(switch_on); then
    case "$said" in
      *"no Control Center password is set yet"*)
        printf '%s\n%s\n' "$password" "$password" | "$bin/quillfence" passwd --password-stdin --root "$root" >/dev/null
        said=$(switch_on) || { echo "$said" >&2; exit 1; } ;;
      *)
        echo "$said" >&2
        echo "run.sh: give this root's Control Center password in QF_DEMO_PASSWORD" >&2
        exit 1 ;;
    esac
  fi
fi

if [ $# -gt 0 ]; then
  exec "$bin/quillfence-run" --root "$root" -- "$@"
fi

site=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  # The machine's own name server again, as init seeds it.
  local own
  own=$(sed -n 's/^[[:space:]]*nameserver[[:space:]]\+\([0-9.]*\)\([[:space:]#;].*\)\?$/\1/p' /etc/resolv.conf 2>/dev/null | head -n 1)
  [ -n "$own" ] && "$bin/quillfence-machine" set-nameserver "$own" --root "$root" >/dev/null 2>&1
  rm -rf "$site"
}
trap cleanup EXIT
printf '<html><body><h1>Homework help</h1><p>Fractions, decimals and percentages.</p></body></html>\n' \
  >"$site/clean.html"
printf '<html><body><h1>Videos</h1><p>Free porn videos, updated daily.</p></body></html>\n' \
  >"$site/words.html"
printf '%s\n' '<html><head><META http-equiv="PICS-Label" content='"'"'(PICS-1.1 "http://www.rsac.org/ratingsv01.html" l r (n 4 s 3 v 0 l 1))'"'"'></head>' \
  '<body><h1>Gallery</h1><p>Pictures from the beach.</p></body></html>' >"$site/rated.html"

# The web server picks a free port and says which; the name server says its address.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$site" >"$site/server.log" 2>&1 &
pids+=($!)
names=(www.homework.test www.videos.test www.ratings.test blocked.quillfence.test)
python3 -u scripts/demo/name_server.py "${names[@]}" >"$site/names.log" 2>&1 &
pids+=($!)
port=""
nameserver=""
for _ in $(seq 50); do
  port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$site/server.log" | head -n 1)
  nameserver=$(head -n 1 "$site/names.log")
  [ -n "$port" ] && [ -n "$nameserver" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "the demonstration's web server did not start" >&2; exit 1; }
case "$nameserver" in
  127.53.*) ;;
  *) echo "the demonstration's name server did not start: $nameserver" >&2; exit 1 ;;
esac
"$bin/quillfence-machine" set-nameserver "$nameserver" --root "$root" >/dev/null

echo "Machine root: $root"
echo "Filtering on: factory settings (the Pornography topic selected), RSACi ratings filtered (level 2"
echo "the highest allowed), blocked.quillfence.test on the disallow list."
echo "Name server for the demonstration's names: $nameserver"
fetch() {
  local what=$1 url=$2 logged
  logged=$("$bin/quillfence" log --root "$root" | wc -l)
  echo
  echo "== $what: curl $url"
  if "$bin/quillfence-run" --root "$root" -- curl -sS --max-time 10 "$url"; then
    echo "(curl: page received)"
  else
    echo "(curl failed with exit code $?)"
  fi
  echo "-- access log:"
  # The lines of what the filter did (the policy lines each new process writes left out).
  "$bin/quillfence" log --root "$root" | tail -n +"$((logged + 1))" |
    grep -E '^[0-9-]+ [0-9:]+ (FETCH|BLOCK|DENY|ALLOW|WARNING|INFORM) ' | sed 's/^/   /' || echo "   (nothing)"
}
fetch "a clean page" "http://www.homework.test:$port/clean.html"
fetch "a page with disallowed words" "http://www.videos.test:$port/words.html"
fetch "a page rated above the RSACi limits" "http://www.ratings.test:$port/rated.html"
fetch "a site on the disallow list" "http://blocked.quillfence.test:$port/clean.html"
