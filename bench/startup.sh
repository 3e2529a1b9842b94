#!/usr/bin/env bash
# The program's start against bare baselines, as median wall times over
# interleaved rounds (the machine is shared: interleaving keeps load changes
# from favouring one side):
#   help    `rotundel --help`
#   render  `rotundel render` of the starter document at 320 x 240, against
#           bare_png (an EGL context, a cleared framebuffer, a PNG)
#   window  the window's first frame (window_start), against bare_glwindow
#           (a Qt OpenGL window of the same size and format), under one Xvfb
# Usage: bench/startup.sh BUILD_DIR [BUILD_DIR...] [-n ROUNDS]
# With several build folders (e.g. before and after a change) each round
# runs every one of them in turn.
set -euo pipefail
rounds=15
builds=()
while [ $# -gt 0 ]; do
  case $1 in
    -n) rounds=$2; shift 2 ;;
    *) builds+=("$(cd "$1" && pwd)"); shift ;;
  esac
done
[ ${#builds[@]} -gt 0 ] || { echo "usage: $0 BUILD_DIR [BUILD_DIR...] [-n ROUNDS]" >&2; exit 2; }
src=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

now() { echo "${EPOCHREALTIME/./}"; }  # microseconds
# A whole command: "wall_us cpu_us" (CPU of all its threads from a second
# run under perf, where it is installed; a busy machine stretches the wall
# time, not the CPU time).
timed() {
  local t0 t1 cpu=0
  t0=$(now)
  "$@" >/dev/null 2>&1 || echo "failed: $*" >&2
  t1=$(now)
  if command -v perf >/dev/null; then
    cpu=$(perf stat -x, -e task-clock -- "$@" 2>&1 >/dev/null | awk -F, '/task-clock/ {printf "%d", $1 * 1000}')
  fi
  echo "$((t1 - t0)) ${cpu:-0}"
}
# Launch to first frame: the program prints the wall clock (ns) and its CPU
# time (us) then.
first_frame() {
  local t0 out
  t0=$(now)
  out=$(DISPLAY=$display "$@" 2>/dev/null | tail -n1)
  echo "$((${out% *} / 1000 - t0)) ${out#* }"
}

declare -A wall cpu
add() {
  local w c
  read -r w c <<<"$2"
  wall[$1]+="$w "
  cpu[$1]+="$c "
}
for ((r = 0; r < rounds; r++)); do
  for b in "${builds[@]}"; do
    exe=$b/src/cli/rotundel
    add "$b help" "$(DISPLAY= timed "$exe" --help)"
    add "$b render" "$(DISPLAY= timed "$exe" render "$src/examples/starter.one" -o "$work/r.png" --width 320 --height 240)"
    add "$b bare_png" "$(DISPLAY= timed "$b/bench/startup/bare_png" "$work/b.png" 320 240)"
    add "$b window" "$(first_frame "$b/bench/startup/window_start")"
    add "$b bare_window" "$(first_frame "$b/bench/startup/bare_glwindow")"
  done
done
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
row() {
  local -n m=$1
  local b=$2 h r p w g
  h=$(median <<<"${m[$b help]}")
  r=$(median <<<"${m[$b render]}")
  p=$(median <<<"${m[$b bare_png]}")
  w=$(median <<<"${m[$b window]}")
  g=$(median <<<"${m[$b bare_window]}")
  awk -v b="$b" -v k="$1" -v h="$h" -v r="$r" -v p="$p" -v w="$w" -v g="$g" 'BEGIN {
    printf "%-5s %-34s %8.1f %9.1f %9.2fx %9.1f %8.1f %9.2fx\n", k, b, h/1000, r/1000, r/p, w/1000, g/1000, w/g }'
}
echo "medians of $rounds rounds, ms (wall: launch to exit or first frame; cpu: all threads)"
printf '%-5s %-34s %8s %9s %10s %9s %8s %10s\n' "" build help render /bare_png window bare /bare_win
for b in "${builds[@]}"; do row wall "$b"; row cpu "$b"; done
