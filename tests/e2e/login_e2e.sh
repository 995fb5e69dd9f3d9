#!/usr/bin/env bash
# Logs in to the real application on a virtual display as an operator would: a fresh
# data.mdb, the login window typed into with xdotool, the session row read back from
# the database, the main window photographed and closed with Alt+F4, the logout time
# checked. Then the desktop launcher it wrote is started the way a desktop does.
#
# usage: login_e2e.sh <folder of the executables> <folder for the screenshot>
set -euo pipefail

bin="$(cd "$1" && pwd)"
mkdir -p "$2"
artifacts="$(cd "$2" && pwd)"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
require_tools openbox xdotool xprop import gio

start_display with-wm

cd "$work/shop"
"$bin/quillmora-admin" init >/dev/null

sessions() { "$bin/quillmora-admin" sessions; }

"$bin/quillmora" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)

login="$(timeout 30 xdotool search --sync --onlyvisible --name '^用户登录$' | head -n1)" || fail "the login window did not appear"
[ -z "$(sessions)" ] || fail "a session row exists before anyone logged in: $(sessions)"

log_in "$login"

one_session() { [ "$(sessions | wc -l)" -ge 1 ]; }
wait_for 20 one_session || fail "no session row after the login"
IFS=$'\t' read -r id user btime jtime < <(sessions)
[ "$(sessions | wc -l)" -eq 1 ] || fail "more than one session row: $(sessions)"
[ "$user" = "超级管理员" ] || fail "session row names '$user'"
[[ "$btime" =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}( [0-9]{2}:[0-9]{2}:[0-9]{2})?$ ]] || fail "login time '$btime'"
[ -z "${jtime:-}" ] || fail "logout time '$jtime' written while the session is open"

main="$(timeout 30 xdotool search --sync --onlyvisible --name '^Quillmora V3' | head -n1)" || fail "the main window did not appear"
xdotool search --onlyvisible --name '^用户登录$' >/dev/null && fail "the login window is still open"
pass_password_reminder
[ -f "$HOME/Desktop/Quillmora.desktop" ] || fail "no desktop shortcut in $HOME/Desktop"

sleep 1
import -window "$main" "$artifacts/login-e2e-main.png" || fail "could not take the screenshot"

close_main_window "$main" "$app"

IFS=$'\t' read -r id2 user2 btime2 jtime2 < <(sessions)
[ "$(sessions | wc -l)" -eq 1 ] || fail "closing changed the number of session rows: $(sessions)"
[ "$id2" = "$id" ] && [ "$user2" = "$user" ] && [ "$btime2" = "$btime" ] || fail "closing changed the session row: $(sessions)"
[[ "${jtime2:-}" =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}( [0-9]{2}:[0-9]{2}:[0-9]{2})?$ ]] || fail "logout time '${jtime2:-}'"
[[ ! "$jtime2" < "$btime2" ]] || fail "logout $jtime2 before login $btime2"

# The launcher the login window wrote starts the program where this run's data.mdb
# is, as a desktop does on a double click, from wherever the desktop itself runs.
launcher="$HOME/Desktop/Quillmora.desktop"
grep -qxF "Path=$work/shop" "$launcher" || fail "the launcher does not start in $work/shop: $(cat "$launcher")"
(cd / && gio launch "$launcher") >"$work/launch.log" 2>&1 || fail "gio could not start the launcher: $(cat "$work/launch.log")"
login2="$(timeout 30 xdotool search --sync --onlyvisible --name '^用户登录$' | head -n1)" \
  || fail "the launcher did not bring up the login window (error box: $(xdotool search --onlyvisible --name '^Quillmora$' 2>/dev/null || true))"
launched="$(xdotool getwindowpid "$login2")"
[ "$(readlink "/proc/$launched/cwd")" = "$work/shop" ] || fail "the launched program runs in $(readlink "/proc/$launched/cwd")"
pids+=("$launched")
import -window root "$artifacts/login-e2e-launcher.png" || true
xdotool windowactivate --sync "$login2"
sleep 0.3
xdotool key --clearmodifiers alt+F4
wait_for 20 ended "$launched" || fail "the launched program is still running after its login window was closed"

echo "session $id: $user logged in at $btime, out at $jtime2; screenshot $artifacts/login-e2e-main.png"
echo "1 passed, 0 failed"
