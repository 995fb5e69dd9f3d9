#!/usr/bin/env bash
# Backups and a restore with the real programs on a virtual display: a login makes
# the day's backup and closing makes another; after more sales, the program started
# with --restore-backup (what "恢复数据" restarts it with) puts the backup in place
# before it opens the ledger, says so, and runs on the restored ledger; the replaced
# ledger is kept as a backup of its own.
#
# usage: restore_e2e.sh <folder of the executables> <folder for the screenshots>
set -euo pipefail

bin="$(cd "$1" && pwd)"
mkdir -p "$2"
artifacts="$(cd "$2" && pwd)"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
require_tools openbox xdotool import

start_display with-wm

cd "$work/shop"
"$bin/quillmora-admin" init >/dev/null
"$bin/quillmora-admin" demo 5 >/dev/null

backups() { "$bin/quillmora-admin" backups | tail -n +2; }

"$bin/quillmora" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)
login="$(timeout 30 xdotool search --sync --onlyvisible --name '^用户登录$' | head -n1)" || fail "the login window did not appear"
log_in "$login"
main="$(timeout 30 xdotool search --sync --onlyvisible --name '^Quillmora V3' | head -n1)" || fail "the main window did not appear"
one_backup() { [ "$(backups | wc -l)" -eq 1 ]; }
wait_for 20 one_backup || fail "no backup after the first login of the day: $(backups)"
first="$(backups | cut -f4)"
backups | grep -q $'\t5 sales\t' || fail "the login's backup does not hold the 5 sales: $(backups)"

sleep 1.1
xdotool windowactivate --sync "$main"
sleep 0.3
xdotool key --clearmodifiers alt+F4
gone() { ! kill -0 "$app" 2>/dev/null; }
wait_for 30 gone || fail "the application is still running after Alt+F4"
wait "$app" || fail "the application ended with status $?"
# The day's newest backup stays: the one made at closing.
[ "$(backups | wc -l)" -eq 1 ] || fail "the keeping rule left $(backups | wc -l) backups of one day: $(backups)"
taken="$(backups | cut -f4)"
[ "$taken" != "$first" ] || fail "closing made no backup: $(backups)"

"$bin/quillmora-admin" demo 3 >/dev/null

"$bin/quillmora" --restore-backup "$taken" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)
box="$(timeout 60 xdotool search --sync --onlyvisible --name '^Quillmora$' | head -n1)" || fail "no report of the restore appeared"
sleep 0.5
import -window root "$artifacts/restore-e2e-report.png" || true
xdotool windowactivate --sync "$box"
sleep 0.3
xdotool key --clearmodifiers Return
login="$(timeout 30 xdotool search --sync --onlyvisible --name '^用户登录$' | head -n1)" || fail "the program did not go on to the login after the restore"
xdotool windowactivate --sync "$login"
sleep 0.3
xdotool key --clearmodifiers alt+F4
wait_for 30 gone || fail "the application is still running after its login window was closed"

kept="$(backups | grep -- '-before-restore.mdb$')" || fail "the replaced ledger was not kept: $(backups)"
grep -q $'\t8 sales\t' <<<"$kept" || fail "the kept ledger does not hold the 8 sales: $kept"
"$bin/quillmora-admin" backup >/dev/null
now="$(backups | grep -v -- '-before-restore' | head -n1)"
grep -q $'\t5 sales\t' <<<"$now" || fail "the restored ledger does not hold the 5 sales of its backup: $now"

echo "restored $taken; kept: $kept"
echo "1 passed, 0 failed"
