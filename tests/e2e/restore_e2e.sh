#!/usr/bin/env bash
# A restore as an operator makes it, with the real program on a virtual display: the
# first login of the day makes a backup; more sales follow; "恢复数据" in the "设 置"
# menu, the administrator's password, the backup chosen from the list with the
# keyboard, the question confirmed. The program closes (making a backup of its own,
# whose keeping pass must leave the chosen one alone), starts again, restores the
# backup before it opens the ledger, says so, and runs on the restored ledger; the
# replaced ledger is kept as a backup of its own, and the chosen backup is still there.
#
# usage: restore_e2e.sh <folder of the executables> <folder for the screenshots>
set -euo pipefail

bin="$(cd "$1" && pwd)"
mkdir -p "$2"
artifacts="$(cd "$2" && pwd)"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
require_tools openbox xdotool xprop import

start_display with-wm

cd "$work/shop"
"$bin/quillmora-admin" init >/dev/null
"$bin/quillmora-admin" demo 5 >/dev/null

backups() { "$bin/quillmora-admin" backups | tail -n +2; }
shot() { import -window root "$artifacts/restore-e2e-$1.png" || fail "could not take the screenshot $1"; }

start_logged_in
one_backup() { [ "$(backups | wc -l)" -eq 1 ]; }
wait_for 20 one_backup || fail "no backup after the first login of the day: $(backups)"
chosen="$(backups | cut -f4)"
backups | grep -q $'\t5 sales\t' || fail "the login's backup does not hold the 5 sales: $(backups)"

# Sales of the day after the backup: what the restore takes back.
"$bin/quillmora-admin" demo 3 >/dev/null
sleep 1.1

# "设 置" is the toolbar's fifth button; "恢复数据" is the eighth entry of its menu.
click_toolbar_button 4
sleep 0.8
shot menu
xdotool key --clearmodifiers Down Down Down Down Down Down Down Down Return
window="$(find_window 30 '^恢复数据—\(管理员专用\)$')" || fail "the restore window did not open from the menu"
sleep 0.5
xdotool windowactivate --sync "$window"
sleep 0.3
xdotool type --delay 80 947
xdotool key --clearmodifiers Return
welcome="$(find_window 20 '^Quillmora$')" || fail "the password was not answered"
xdotool windowactivate --sync "$welcome"
sleep 0.3
xdotool key --clearmodifiers Return
welcome_gone() { ! xdotool search --onlyvisible --name '^Quillmora$' >/dev/null 2>&1; }
wait_for 10 welcome_gone || fail "the password's answer did not close"
xdotool windowactivate --sync "$window"
sleep 0.3
# The list has the focus with the newest (and only) backup chosen; Down keeps it; Tab
# moves on to "恢复", which space presses.
xdotool key --clearmodifiers Down
sleep 0.3
shot list
xdotool key --clearmodifiers Tab space
question="$(find_window 20 '^警告！$')" || fail "no question before the restore"
sleep 0.3
shot question
# Cancel is the default: Tab moves to OK, space presses it.
xdotool windowactivate --sync "$question"
xdotool key --clearmodifiers Tab space

# The program ends; a new one restores and reports.
wait_for 30 ended "$app" || fail "the program did not end for the restore"
wait "$app" || fail "the program ended with status $? for the restore"
report="$(find_window 60 '^Quillmora$')" || fail "no report of the restore appeared"
sleep 0.5
shot report
restarted="$(xdotool getwindowpid "$report")"
pids+=($restarted)
xdotool windowactivate --sync "$report"
sleep 0.3
xdotool key --clearmodifiers Return
login="$(find_window 30 '^用户登录$')" || fail "the program did not go on to the login after the restore"
xdotool windowactivate --sync "$login"
sleep 0.3
xdotool key --clearmodifiers alt+F4
wait_for 30 ended "$restarted" || fail "the restarted program is still running after its login window was closed"
grep -q '数据恢复失败' "$work/app.log" && fail "the restore failed"

# The chosen backup is still there, beside the one made as the program closed (8
# sales) and the replaced ledger kept before the restore (8 sales).
backups | grep -q $'\t5 sales\t'"$chosen\$" || fail "the chosen backup $chosen is gone: $(backups)"
kept="$(backups | grep -- '-before-restore.mdb$')" || fail "the replaced ledger was not kept: $(backups)"
grep -q $'\t8 sales\t' <<<"$kept" || fail "the kept ledger does not hold the 8 sales: $kept"
backups | grep -v -- '-before-restore' | grep -q $'\t8 sales\t' || fail "no backup was made as the program closed: $(backups)"
"$bin/quillmora-admin" backup >/dev/null
now="$(backups | grep -v -- '-before-restore' | head -n1)"
grep -q $'\t5 sales\t' <<<"$now" || fail "the restored ledger does not hold the 5 sales of its backup: $now"

# The shop's own key: set with the program closed; on another machine (an account
# that does not know it) the program asks for it once and goes on to the login.
printf 'our-shop-key-2024\n' >"$work/key.txt"
"$bin/quillmora-admin" set-key --key-file "$work/key.txt" >"$work/set-key.log" 2>&1 || fail "set-key failed: $(cat "$work/set-key.log")"
export XDG_CONFIG_HOME="$work/another-machine"
"$bin/quillmora" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)
question="$(find_window 30 '^Quillmora - 账本密钥$')" || fail "the program did not ask for the shop's key"
sleep 0.5
shot key-question
xdotool windowactivate --sync "$question"
sleep 0.3
xdotool type --delay 60 our-shop-key-2024
xdotool key --clearmodifiers Return
login="$(find_window 30 '^用户登录$')" || fail "the program did not go on to the login with the shop's key"
xdotool windowactivate --sync "$login"
sleep 0.3
xdotool key --clearmodifiers alt+F4
wait_for 30 ended "$app" || fail "the program is still running after its login window was closed"
grep -qx 'our-shop-key-2024' "$XDG_CONFIG_HOME/quillmora/ledger-key" || fail "the key typed was not kept"

echo "restored $chosen from the menu; kept: $kept"
echo "1 passed, 0 failed"
