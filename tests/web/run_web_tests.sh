#!/usr/bin/env bash
# The page against the command line: for every example, headless Chromium
# opens build-web/rotundel.html#selftest=NAME and the hashes it reports of
# its CSV, its info --json and the .one it saves must equal sha256sum of
# what the native program writes for the same file; the example cut in half
# must be refused with the program's sentence, the open document staying as
# it was. Prints the deep chain's path pass in the page beside the native
# one-thread benchmark (a figure, not a check).
# Usage: tests/web/run_web_tests.sh [NAME...]   (default: every example)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
page=${ROTUNDEL_WEB_PAGE:-$root/build-web/rotundel.html}
native=${ROTUNDEL_NATIVE:-$root/build/src/cli/rotundel}
bench=$root/build/bench/rotundel_bench
for f in "$page" "$native"; do
  [ -f "$f" ] || { echo "missing $f: run scripts/build and scripts/web first"; exit 1; }
done
browser=$(command -v chromium || true)
[ -n "$browser" ] || { echo "chromium is not installed (scripts/deps --web)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ $# -gt 0 ]; then
  names=("$@")
else
  names=()
  for f in "$root"/examples/*.one; do names+=("$(basename "$f" .one)"); done
fi

# The page's report: the JSON in <body data-selftest>, once its work is
# done (the virtual time budget lets the page's timers and worker finish;
# a page that never reports gives an empty line).
selftest() {
  local name=$1 profile
  profile=$(mktemp -d -p "$work")
  # Root may not use the browser's sandbox.
  timeout 300 "$browser" --headless=new --no-sandbox --disable-gpu-sandbox \
    --use-angle=swiftshader --enable-unsafe-swiftshader --user-data-dir="$profile" \
    --enable-logging=stderr \
    --virtual-time-budget=600000 --dump-dom "file://$page#selftest=$name" 2>"$work/$name.log" |
    python3 -c '
import html, re, sys
m = re.search(r"data-selftest=\"([^\"]*)\"", sys.stdin.read())
print(html.unescape(m.group(1)) if m else "")'
}

field() {
  python3 -c 'import json, sys
d = json.loads(sys.argv[1]) if sys.argv[1] else {}
v = d.get(sys.argv[2], "")
print(str(v).lower() if isinstance(v, bool) else v)' "$1" "$2"
}

# What the program says of a file it cannot read, without its prefix
# ("rotundel: cannot read FILE: ").
cutSentence() {
  local said
  said=$("$native" info "$1" 2>&1 >/dev/null || true)
  echo "${said#*"$1": }"
}

passed=0
failed=0
deepMs=""
for name in "${names[@]}"; do
  file=$root/examples/$name.one
  "$native" export "$file" -o "$work/$name.csv" 2>/dev/null
  nativeCsv=$(sha256sum <"$work/$name.csv" | cut -d' ' -f1)
  nativeInfo=$("$native" info --json "$file" | sha256sum | cut -d' ' -f1)
  "$native" export "$file" -o "$work/$name-saved.one" 2>/dev/null
  nativeOne=$(sha256sum <"$work/$name-saved.one" | cut -d' ' -f1)
  # The example cut in half: the page must say what the program says.
  head -c $(($(stat -c %s "$file") / 2)) "$file" >"$work/$name-cut.one"
  nativeDamaged=$(cutSentence "$work/$name-cut.one")
  report=$(selftest "$name")
  ok=$(field "$report" ok)
  csv=$(field "$report" csvSha256)
  info=$(field "$report" infoSha256)
  one=$(field "$report" oneSha256)
  ms=$(field "$report" pathPassMs)
  [ "$name" = deep-chain ] && deepMs=$ms
  # What the page's script threw or logged as an error.
  consoleErrors=$(grep -E 'CONSOLE.*(Uncaught|Error)' "$work/$name.log" || true)
  damaged=$(field "$report" damaged)
  kept=$(field "$report" keptDocument)
  if [ "$ok" = true ] && [ "$csv" = "$nativeCsv" ] && [ "$info" = "$nativeInfo" ] &&
    [ "$one" = "$nativeOne" ] && [ "$damaged" = "$nativeDamaged" ] && [ "$kept" = true ] &&
    [ -z "$consoleErrors" ]; then
    echo "PASS $name: CSV, info --json and saved .one equal the native ones (path pass ${ms} ms)"
    passed=$((passed + 1))
  else
    echo "FAIL $name: page ok=$ok error=$(field "$report" error)"
    [ "$csv" = "$nativeCsv" ] || echo "  CSV      page $csv native $nativeCsv"
    [ "$info" = "$nativeInfo" ] || echo "  info     page $info native $nativeInfo"
    [ "$one" = "$nativeOne" ] || echo "  .one     page $one native $nativeOne"
    [ "$damaged" = "$nativeDamaged" ] || echo "  cut file page \"$damaged\" native \"$nativeDamaged\""
    [ "$kept" = true ] || echo "  the document did not stay after the cut file"
    [ -z "$consoleErrors" ] || echo "  console: ${consoleErrors:0:300}"
    [ -n "$report" ] || tail -n 5 "$work/$name.log"
    failed=$((failed + 1))
  fi
done

# The page as a person uses it: #example=NAME opens the example in the
# page's worker, and the read-out it shows is what `rotundel info` prints.
for name in flower deep-chain; do
  [ -f "$root/examples/$name.one" ] || continue
  "$native" info "$root/examples/$name.one" >"$work/$name.info"
  shown=$(python3 "$root/tests/web/browser.py" --timeout 120 "file://$page#example=$name" \
    "document.getElementById('status').textContent === '$name.one' &&
     JSON.stringify({engine: document.body.dataset.engine,
                     info: document.getElementById('info').textContent})" 2>&1 || true)
  if python3 -c 'import json, sys
shown = json.loads(json.loads(sys.argv[1]))
sys.exit(shown["engine"] != "worker" or shown["info"] != open(sys.argv[2]).read())' \
    "$shown" "$work/$name.info" 2>/dev/null; then
    echo "PASS $name opened in the page: its worker's read-out is the native info"
    passed=$((passed + 1))
  else
    echo "FAIL $name opened in the page: ${shown:0:300}"
    failed=$((failed + 1))
  fi
done

# A file chosen in the picker and one dropped on the page: a damaged one
# is refused with the program's sentence, a sound one shows its read-out.
cut=$work/damaged.one
head -c 300 "$root/examples/flower.one" >"$cut"
said="Cannot open damaged.one: $(cutSentence "$cut")"
shown=$(python3 "$root/tests/web/browser.py" --timeout 60 --pick '#file' "$cut" "file://$page" \
  "document.getElementById('status').className === 'error' &&
   document.getElementById('status').textContent" 2>&1 || true)
if [ "$shown" = "$(python3 -c 'import json, sys; print(json.dumps(sys.argv[1]))' "$said")" ]; then
  echo "PASS a damaged file chosen in the picker: \"$said\""
  passed=$((passed + 1))
else
  echo "FAIL a damaged file chosen in the picker: page $shown, program \"$said\""
  failed=$((failed + 1))
fi
cp "$root/examples/tilted-chain.one" "$work/dropped.one"
"$native" info "$work/dropped.one" >"$work/dropped.info"
shown=$(python3 "$root/tests/web/browser.py" --timeout 60 --drop "$work/dropped.one" \
  "file://$page" "document.getElementById('status').textContent === 'dropped.one' &&
                  document.getElementById('info').textContent" 2>&1 || true)
if python3 -c 'import json, sys
sys.exit(json.loads(sys.argv[1]) != open(sys.argv[2]).read())' "$shown" "$work/dropped.info" \
  2>/dev/null; then
  echo "PASS a file dropped on the page shows the native read-out"
  passed=$((passed + 1))
else
  echo "FAIL a file dropped on the page: ${shown:0:300}"
  failed=$((failed + 1))
fi

if [ -n "$deepMs" ] && [ -x "$bench" ]; then
  # The fastest of several runs, as the page reports the fastest of its.
  nativeMs=$("$bench" --benchmark_filter='PathPass/deep_chain_example/one_core' \
    --benchmark_format=json --benchmark_repetitions=10 2>/dev/null |
    python3 -c 'import json, sys
runs = json.load(sys.stdin)["benchmarks"]
print(min(b["real_time"] for b in runs if b.get("run_type") == "iteration"))')
  python3 -c 'import sys
w, n = float(sys.argv[1]), float(sys.argv[2])
print(f"deep-chain path pass, one thread: page {w:.1f} ms, native {n:.1f} ms, ratio {w / n:.2f}")' \
    "$deepMs" "$nativeMs"
fi
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
