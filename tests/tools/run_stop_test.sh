#!/usr/bin/env bash
# scripts/run stopped with SIGTERM (and with SIGINT) stops what it started:
# the program, the simulator and the Xvfb server, and ends at once.
#   run_stop_test.sh REPO BUILD_DIR
set -uo pipefail
repo=$1
built=$2
work=$(mktemp -d)
script_pid=""
started=()

finish() {
  # Whatever is still running of this test's own processes goes now.
  for pid in "${started[@]}" $script_pid; do kill -KILL "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap finish EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# The processes below a process, by their parent links.
descendants() {
  local parent=$1 pid ppid
  for stat in /proc/[0-9]*/stat; do
    pid=${stat#/proc/}; pid=${pid%/stat}
    ppid=$(awk '{ sub(/^.*\) /, ""); print $2 }' "$stat" 2>/dev/null) || continue
    if [ "$ppid" = "$parent" ]; then
      echo "$pid"
      descendants "$pid"
    fi
  done
}

exe_of() { readlink "/proc/$1/exe" 2>/dev/null; }

for signal in TERM INT; do
  echo "--- SIG$signal"
  # Without a display, so that the script starts its own Xvfb. Job control
  # on, so that the script is started as from a terminal: a shell without it
  # starts background commands with SIGINT ignored.
  # The SIGINT run names its folders relative to where it is started.
  if [ "$signal" = INT ]; then
    built_arg=$(realpath --relative-to="$work" "$built") dir_arg=run-$signal
  else
    built_arg=$built dir_arg=$work/run-$signal
  fi
  set -m
  (cd "$work" && exec env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= VR_RUN_BUILT="$built_arg" \
    VR_RUN_DIR="$dir_arg" "$repo/scripts/run") >"$work/out-$signal" 2>&1 &
  script_pid=$!
  set +m

  # Up: the program, the simulator and Xvfb below the script.
  ok=""
  for _ in $(seq 300); do
    started=()
    for pid in $(descendants "$script_pid"); do started+=("$pid"); done
    names=""
    for pid in "${started[@]}"; do names+=" $(basename "$(exe_of "$pid")")"; done
    case "$names" in *varnetrix-reader*) case "$names" in *slm7650-sim*) case "$names" in *Xvfb*) ok=1 ;; esac ;; esac ;; esac
    [ -n "$ok" ] && break
    kill -0 "$script_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$ok" ] || { cat "$work/out-$signal" >&2; fail "the program, simulator and Xvfb did not all come up:$names"; }
  sleep 0.5  # the program's window is up and its event loop runs

  kill -"$signal" "$script_pid"
  ended=""
  for _ in $(seq 100); do
    kill -0 "$script_pid" 2>/dev/null || { ended=1; break; }
    sleep 0.1
  done
  [ -n "$ended" ] || fail "scripts/run did not end within 10 s of SIG$signal"
  wait "$script_pid"
  status=$?
  expected=$([ "$signal" = TERM ] && echo 143 || echo 130)
  [ "$status" = "$expected" ] || fail "exit status $status after SIG$signal, expected $expected"
  for pid in "${started[@]}"; do
    if kill -0 "$pid" 2>/dev/null && [ -n "$(exe_of "$pid")" ]; then
      fail "$(basename "$(exe_of "$pid")") (pid $pid) still runs after SIG$signal"
    fi
  done
  [ -f "$work/run-$signal/varnetrixreader.ini" ] || fail "no settings file in $work/run-$signal after SIG$signal"
  script_pid=""
  started=()
done
echo "scripts/run stops everything it started"
