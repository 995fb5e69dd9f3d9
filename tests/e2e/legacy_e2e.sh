#!/usr/bin/env bash
# A shop that copies the program next to the Windows version's data.mdb and starts
# it: the question is answered Yes, 小王 logs in with his old password typed in lower
# case, the main window shows the old ledger (photographed), and the program is
# closed. The second start asks nothing and goes straight to the login.
#
# usage: legacy_e2e.sh <folder of the executables> <folder for screenshots> <old data.mdb>
set -euo pipefail

bin="$(cd "$1" && pwd)"
mkdir -p "$2"
artifacts="$(cd "$2" && pwd)"
old="$(cd "$(dirname "$3")" && pwd)/$(basename "$3")"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
require_tools sqlcipher openbox xdotool xprop import pgrep

start_display with-wm

# Killed during the conversion (kill -9 once the new ledger is being written): the old
# file stays as it was, no data.mdb is half made, and the conversion does not go on
# behind the program's back.
many="$(dirname "$old")/legacy-many.mdb"
mkdir -p "$work/killed"
cd "$work/killed"
cp "$many" data.mdb
chmod u+w data.mdb
"$bin/quillmora" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)
question="$(find_window 30 '^Quillmora$')" || fail "no question at the start"
xdotool windowactivate --sync "$question"
xdotool key --clearmodifiers Return
wait_for 30 test -e data.mdb.converting || fail "the conversion did not start"
kill -9 "$app"
wait "$app" 2>/dev/null || true
worker_gone() { ! pgrep -f -- "--convert-legacy-data data.mdb $app\$" >/dev/null; }
wait_for 10 worker_gone || fail "the conversion went on after the program was killed"
sleep 1
cmp -s "$many" data.mdb || fail "data.mdb changed by the killed conversion"
[ ! -e data.mdb.old ] || cmp -s "$many" data.mdb.old || fail "data.mdb.old is not the original"
echo "killed during the conversion: data.mdb untouched ($(ls | tr '\n' ' '))"

cd "$work/shop"
cp "$old" data.mdb
chmod u+w data.mdb

"$bin/quillmora" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)

question="$(find_window 30 '^Quillmora$')" || fail "no question at the start"
sleep 0.5
import -window root "$artifacts/legacy-e2e-question.png" || fail "could not take the screenshot"
cmp -s "$old" data.mdb || fail "data.mdb changed before the answer"
xdotool windowactivate --sync "$question"
sleep 0.3
xdotool key --clearmodifiers Return  # Yes is the default button

login="$(find_window 60 '^用户登录$')" || fail "no login window after the conversion"
cmp -s "$old" data.mdb.old || fail "data.mdb.old is not the original file"
[ "$(ls -A | sort | tr '\n' ' ')" = "data.mdb data.mdb.old " ] || fail "files after the conversion: $(ls -A)"

# 小王 is chosen from the login's list by keyboard, never typed: xdotool types a Chinese
# character by remapping a key for it, which a busy machine garbles. The list holds the
# names in their byte order; Up from wherever it stands reaches the first one, which the
# converted ledger says is 小王.
first_user="$(sqlcipher -batch data.mdb "PRAGMA key='kv3mrt.qzx'; PRAGMA cipher_page_size=4096;
  select username from userdb group by username order by username limit 1;" | grep -v '^ok$')"
[ "$first_user" = 小王 ] || fail "the login's list starts with '$first_user', not 小王"
xdotool windowactivate --sync "$login"
sleep 0.5
xdotool key --clearmodifiers Up Up Up
sleep 0.2
xdotool key --clearmodifiers Return
xdotool type --delay 60 abc123
xdotool key --clearmodifiers Return

sessions() { "$bin/quillmora-admin" sessions; }
logged_in() { sessions | grep -q "^7	小王	"; }
# The login hashes the password (64 MB of memory work): slow on a busy machine.
wait_for 60 logged_in || {
  import -window root "$artifacts/legacy-e2e-no-session.png" || true
  fail "no session row for 小王 after the login: $(sessions | tail -n 2)"
}

main="$(find_window 30 '^Quillmora V3')" || fail "the main window did not appear"
xdotool windowsize "$main" 1200 700
sleep 1.5
import -window "$main" "$artifacts/legacy-e2e-main.png" || fail "could not take the screenshot"

close_main_window "$main" "$app"

# The second start: no question, the login window at once.
"$bin/quillmora" >"$work/app2.log" 2>&1 &
app=$!
pids+=($app)
login="$(find_window 30 '^用户登录$')" || fail "no login window at the second start"
if xdotool search --onlyvisible --name '^Quillmora$' >/dev/null 2>&1; then
  fail "the second start asked again"
fi
xdotool windowactivate --sync "$login"
xdotool key --clearmodifiers Escape alt+F4
wait_for 20 ended "$app" || { kill "$app"; fail "the abandoned login did not end the program"; }

echo "converted, 小王 logged in (session 7); screenshots $artifacts/legacy-e2e-question.png, $artifacts/legacy-e2e-main.png"
echo "1 passed, 0 failed"
