# Sourced by the end-to-end scripts that use the real program as a shop would: a scratch
# folder with a home, a private runtime folder and a shop folder of its own, a virtual
# display (display.sh), and everything stopped and removed when the script ends.
#
# Provides: $work, $work/shop, require_tools, fail (shows the program's log in
# $work/app.log), find_window, log_in, start_logged_in, click_toolbar_button, ended,
# close_main_window, and what display.sh provides.

work="$(mktemp -d)"
source "$(dirname "${BASH_SOURCE[0]}")/display.sh"
cleanup() {
  stop_started
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ -f "$work/app.log" ] && sed 's/^/  app: /' "$work/app.log"
  exit 1
}

require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup installs it)"; exit 1; }
  done
}

# The id of the first visible window with a title matching $2, waiting up to $1
# seconds. Polled rather than --sync: a window that closes while xdotool walks the
# tree (the login window) makes one search fail with BadWindow.
find_window() {
  local seconds="$1" title="$2" found=""
  for ((tries = seconds * 5; tries > 0; tries--)); do
    found="$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n1 || true)"
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.2
  done
  return 1
}

# Logs in at the login window $1 as the super administrator, the only user of a new
# ledger and chosen already: Enter moves on to the password box, Enter there confirms.
log_in() {
  xdotool windowactivate --sync "$1"
  sleep 0.5
  xdotool key --clearmodifiers Return
  xdotool type --delay 60 947
  xdotool key --clearmodifiers Return
}

# Starts the program ($bin/quillmora) in the current folder and logs in as the super
# administrator at the first login of the day, answering the reminder of the initial
# password. Sets $app (the program's process) and $main (its main window).
start_logged_in() {
  "$bin/quillmora" >"$work/app.log" 2>&1 &
  app=$!
  pids+=($app)
  local login
  login="$(find_window 30 '^用户登录$')" || fail "the login window did not appear"
  log_in "$login"
  main="$(find_window 30 '^Quillmora V3')" || fail "the main window did not appear"
  pass_password_reminder
}

# Clicks button $1 (counted from 0) of the main window's toolbar, which takes no keyboard
# focus. Its buttons are 55 wide from x 497, 17 pixels into the lower panel, and the lower
# panel starts where the grid ends: at the window's outer height less 185.
click_toolbar_button() {
  local extents top bottom grid_height
  eval "$(xdotool getwindowgeometry --shell "$main")"
  extents="$(xprop -id "$main" _NET_FRAME_EXTENTS | sed 's/.*= //')"
  IFS=', ' read -r _ _ top bottom <<<"$extents"
  grid_height=$((HEIGHT + top + bottom - 185))
  xdotool windowactivate --sync "$main"
  xdotool mousemove --window "$main" $((497 + $1 * 55 + 27)) $((grid_height + 17 + 26)) click 1
}

# Whether the process $1 has ended.
ended() { ! kill -0 "$1" 2>/dev/null; }

# Closes the main window $1 of the program in process $2 with Alt+F4, as an operator
# does, and fails unless the program then ends with status 0.
close_main_window() {
  local window="$1" pid="$2" status=0
  xdotool windowactivate --sync "$window"
  sleep 0.3
  xdotool key --clearmodifiers alt+F4
  wait_for 20 ended "$pid" || fail "the application is still running after Alt+F4"
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "the application ended with status $status"
}

export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/shop"
chmod 700 "$XDG_RUNTIME_DIR"
