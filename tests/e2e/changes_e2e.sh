#!/usr/bin/env bash
# The note of other terminals' changes in the real application on a virtual display:
# the program is logged in and shows the ledger; a second till (a process of its own,
# through the same data module) adds a sale; the status bar must tell within 3 seconds,
# without reloading the grid; a click on the note reads the ledger again and the note
# goes. Run on the embedded file, or with "server" on a database server the script
# starts. Screenshots are left for a person to look at.
#
# usage: changes_e2e.sh <folder of the executables> <folder for the screenshots> <tillprobe> [server]
set -euo pipefail

bin="$(cd "$1" && pwd)"
mkdir -p "$2"
artifacts="$(cd "$2" && pwd)"
till="$(cd "$(dirname "$3")" && pwd)/$(basename "$3")"
engine="${4:-file}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/session.sh"
require_tools openbox xdotool import convert compare

cd "$work/shop"
if [ "$engine" = server ]; then
  testserver="$here/../support/testserver.sh"
  # From a folder the server's account may enter.
  (cd / && "$testserver" start "$work/pg" >/dev/null)
  stop_server() { (cd / && "$testserver" stop "$work/pg" >/dev/null 2>&1) || true; cleanup; }
  trap stop_server EXIT
  printf '[database]\nurl=%s\n' "$(cat "$work/pg/url")" > database.conf
fi
"$bin/quillmora-admin" init >/dev/null

start_display with-wm
start_logged_in
sleep 2

# The status bar's right part, where the note stands in place of the last panel.
eval "$(xdotool getwindowgeometry --shell "$main")"
status_bar() {
  import -window "$main" "$work/window.png" 2>/dev/null || return 1
  convert "$work/window.png" -crop "$((WIDTH - 480))x17+480+$((HEIGHT - 18))" +repage "$1"
}
differs() { # pixels that differ between two crops, above a few of anti-aliasing
  local count
  count="$(compare -metric AE "$1" "$2" null: 2>&1 || true)"
  [ "${count%%.*}" -gt 50 ] 2>/dev/null
}
status_bar "$work/before.png" || fail "could not take the screenshot"
import -window root "$artifacts/changes-e2e-$engine-before.png" || true

"$till" add 1 二号台 >"$work/till.log" 2>&1 || fail "the second till failed: $(cat "$work/till.log")"
grep -q "added 1 failed 0" "$work/till.log" || fail "the second till did not add its sale: $(cat "$work/till.log")"
added="$(date +%s.%N)"
noted=""
for ((tries = 0; tries < 30; tries++)); do
  status_bar "$work/now.png" && differs "$work/before.png" "$work/now.png" && { noted="$(date +%s.%N)"; break; }
  sleep 0.1
done
[ -n "$noted" ] || fail "no note in the status bar within 3 s of the other till's sale"
sleep 0.3
import -window root "$artifacts/changes-e2e-$engine-note.png" || true
echo "note after $(python3 -c "print(round($noted - $added, 2))") s"

# A click on the note reads the ledger again: the note goes, the last panel comes back.
# (It stands right of the red "初始密码" of the administrator's initial password.)
xdotool mousemove --window "$main" 650 $((HEIGHT - 9)) click 1
gone() { status_bar "$work/now.png" && ! differs "$work/before.png" "$work/now.png"; }
wait_for 10 gone || fail "the note stayed after a click on it"
import -window root "$artifacts/changes-e2e-$engine-refreshed.png" || true

close_main_window "$main" "$app"
echo "e2e_changes ($engine): passed"
