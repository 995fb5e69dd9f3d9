# Sourced by the end-to-end scripts: a virtual display of our own on whatever number
# is free (no race with other runs), optionally with a window manager, and helpers to
# wait and to stop everything started here when the script ends.
#
# Needs: $work (a scratch folder). Provides: start_display [with-wm], wait_for, pids.

pids=()
stop_started() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
}

# Polls a command for up to $1 seconds.
wait_for() {
  local seconds="$1"; shift
  local tries=$((seconds * 10))
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

start_display() {
  command -v Xvfb >/dev/null || { echo "FAIL: Xvfb is not installed (scripts/setup installs it)"; exit 1; }
  # Xvfb picks a free number itself, but it gives up instead of moving on when a lock
  # file of a display names a process id that a busy machine has handed out again:
  # start it afresh a few times before calling the run failed.
  # -noreset: by default the server resets when its last client leaves, and a program
  # whose connection is half set up at that moment is dropped ("could not connect to
  # display") — the next program of a script starts exactly then.
  local attempt xvfb
  for attempt in 1 2 3 4 5; do
    : >"$work/display"
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    exec 3>&-
    wait_for 20 sh -c "test -s '$work/display' || ! kill -0 $xvfb 2>/dev/null"
    if [ -s "$work/display" ] && kill -0 "$xvfb" 2>/dev/null; then
      pids+=("$xvfb")
      break
    fi
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    echo "Xvfb did not start (attempt $attempt): $(tail -n 3 "$work/xvfb.log")" >&2
    sleep "0.$((RANDOM % 9 + 1))"
  done
  [ -s "$work/display" ] || { echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }
  export DISPLAY=":$(head -n1 "$work/display")"
  export QT_QPA_PLATFORM=xcb
  if [ "${1:-}" = with-wm ]; then
    openbox >"$work/openbox.log" 2>&1 &
    pids+=($!)
    wait_for 20 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' \
      || { echo "FAIL: openbox did not start"; exit 1; }
  fi
}

# The first login of a day with the initial password (947) is followed by a reminder
# to change it; this answers it with "以后再说", its preselected button, and ends the
# run when no reminder comes.
pass_password_reminder() {
  local box=""
  for ((tries = 100; tries > 0; tries--)); do
    box="$(xdotool search --onlyvisible --name '^Quillmora$' 2>/dev/null | head -n1 || true)"
    [ -n "$box" ] && break
    sleep 0.2
  done
  [ -n "$box" ] || { echo "FAIL: no reminder of the initial password after the first login of the day"; exit 1; }
  xdotool windowactivate --sync "$box"
  sleep 0.3
  xdotool key --clearmodifiers Return
  reminder_gone() { ! xdotool search --onlyvisible --name '^Quillmora$' >/dev/null 2>&1; }
  wait_for 10 reminder_gone || { echo "FAIL: the reminder of the initial password did not close"; exit 1; }
}
