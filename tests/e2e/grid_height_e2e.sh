#!/usr/bin/env bash
# The grid's height follows the main window's outer height (frame included) minus
# 185 pixels: checked on the real application under a window manager that draws a
# frame, at the first showing, maximised (by a double click on the title bar, as an
# operator does) and restored. Widgets are made native windows so that xwininfo can
# measure the grid; screenshots of each state land in the artifacts folder.
#
# usage: grid_height_e2e.sh <folder of the executables> <folder for the screenshots>
set -euo pipefail

bin="$(cd "$1" && pwd)"
mkdir -p "$2"
artifacts="$(cd "$2" && pwd)"
for tool in openbox xdotool xprop xwininfo import; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup installs it)"; exit 1; }
done

work="$(mktemp -d)"
source "$(dirname "${BASH_SOURCE[0]}")/display.sh"
trap 'stop_started; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  [ -f "$work/app.log" ] && sed 's/^/  app: /' "$work/app.log"
  exit 1
}

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/shop"
chmod 700 "$XDG_RUNTIME_DIR"
start_display with-wm
cd "$work/shop"
"$bin/quillmora-admin" init >/dev/null

QT_USE_NATIVE_WINDOWS=1 "$bin/quillmora" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)

login="$(timeout 30 xdotool search --sync --onlyvisible --name '^用户登录$' | head -n1)" || fail "the login window did not appear"
main="$(xdotool search --onlyvisible --name '^Quillmora V3' | head -n1)"
[ -n "$main" ] || fail "no main window"
xdotool windowactivate --sync "$login"
sleep 0.5
xdotool key --clearmodifiers Return
xdotool type --delay 60 947
xdotool key --clearmodifiers Return
gone() { ! xdotool search --onlyvisible --name '^用户登录$' >/dev/null 2>&1; }
wait_for 20 gone || fail "the login window is still open"
pass_password_reminder

client_value() { xwininfo -id "$main" | awk -v key="$1" '$0 ~ key {print $NF; exit}'; }
# The frame's four sides as the window manager reports them: left, right, top, bottom.
frame() { xprop -id "$main" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ' '; }
outer_height() {
  local extents top bottom
  extents="$(frame)"
  IFS=, read -r _ _ top bottom <<<"$extents"
  echo $(( $(client_value 'Height:') + top + bottom ))
}
# The grid is the central area's child at its top left with the window's full width.
grid_height() {
  local central
  central="$(xwininfo -children -id "$main" | awk -v w="$(client_value 'Width:')" '$0 ~ " "w"x[0-9]+\\+0\\+0 " {print $1; exit}')"
  [ -n "$central" ] || return 1
  xwininfo -children -id "$central" | awk -v w="$(client_value 'Width:')" '$0 ~ " "w"x[0-9]+\\+0\\+0 " {print $(NF-1); exit}' \
    | sed -E 's/^([0-9]+)x([0-9]+).*/\2/'
}
rule_holds() { [ "$(grid_height)" = "$(( $(outer_height) - 185 ))" ]; }
check() {
  local state="$1"
  import -window root "$artifacts/grid-height-$state.png" || true
  wait_for 5 rule_holds \
    || fail "$state: grid $(grid_height) high, outer height $(outer_height) (frame $(frame)), expected $(( $(outer_height) - 185 ))"
  echo "ok: $state: outer height $(outer_height) (frame $(frame)), grid $(grid_height)"
}
maximized() { xprop -id "$main" _NET_WM_STATE | grep -q _NET_WM_STATE_MAXIMIZED_VERT; }
title_double_click() {
  local x y
  x="$(client_value 'Absolute upper-left X:')"
  y="$(client_value 'Absolute upper-left Y:')"
  xdotool mousemove $((x + 300)) $((y - 8)) click --repeat 2 --delay 80 1
}

[ -n "$(frame)" ] || fail "the window manager reports no frame"
check first-showing
first_outer="$(outer_height)"; first_grid="$(grid_height)"

title_double_click
wait_for 10 maximized || fail "the window was not maximised"
check maximised
[ $(( $(grid_height) - first_grid )) -eq $(( $(outer_height) - first_outer )) ] \
  || fail "maximising grew the grid by $(( $(grid_height) - first_grid )) and the window by $(( $(outer_height) - first_outer ))"

title_double_click
not_maximized() { ! maximized; }
wait_for 10 not_maximized || fail "the window was not restored"
check restored
[ "$(grid_height)" = "$first_grid" ] || fail "restored grid $(grid_height) high instead of $first_grid"

xdotool windowactivate --sync "$main"
xdotool key --clearmodifiers alt+F4
app_gone() { ! kill -0 "$app" 2>/dev/null; }
wait_for 20 app_gone || fail "the application is still running after Alt+F4"
echo "1 passed, 0 failed"
