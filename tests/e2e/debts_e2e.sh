#!/usr/bin/env bash
# The customer debts window in the real application on a virtual display: a ledger
# with three customers who owe, the login typed in, "欠 款" clicked on the toolbar, the
# list searched by mobile, "结 清" confirmed from the keyboard, the ledger read back by a
# second terminal, the list searched again and a customer double-clicked into the
# ledger grid. Screenshots of each step are left for a person to look at.
#
# usage: debts_e2e.sh <folder of the executables> <folder for the screenshots> <otherterminal>
set -euo pipefail

bin="$(cd "$1" && pwd)"
mkdir -p "$2"
artifacts="$(cd "$2" && pwd)"
other="$(cd "$(dirname "$3")" && pwd)/$(basename "$3")"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
require_tools openbox xdotool xprop import

cd "$work/shop"
"$bin/quillmora-admin" init >/dev/null
store="$work/shop/data.mdb"
# Another terminal writes the sales: goods, amount owed, customer, mobile, date.
sale() {
  "$other" "$store" "insert into data (a,b,c,d,\"1\",\"2\",\"3\",\"6\",\"4\",\"5\",e,f,h,z,day1,o)
                     values ('服装',?,'','',10,20,1,20,10,?,?,?,'件','',?,'1')" "$@" >/dev/null
}
sale 衬衫 50 张三 13800000001 2014-03-01
sale 裤子 10 " 张三 " 13800000001 2014-03-05
sale 外套 80.5 李四 "" 2014-02-01
sale 帽子 3 "" "" 2014-01-09
sale 袜子 0 王五 "" 2014-01-09
owing() { "$other" "$store" "update data set z=z where \"5\"<>0 and trim(e)=?" "$1"; }

start_display with-wm
start_logged_in
sleep 1

# "欠 款" is the toolbar's seventh button.
click_toolbar_button 6
debts="$(find_window 30 '^客户欠款$')" \
  || fail "the customer debts window did not appear after a click on 欠 款"
sleep 1
import -window root "$artifacts/debts-e2e-list.png" || fail "could not take the screenshot"

# The search box has the focus: a part of the mobile narrows the list to 张三.
xdotool windowactivate --sync "$debts"
sleep 0.3
xdotool type --delay 80 1380
sleep 0.5
import -window root "$artifacts/debts-e2e-search.png" || true

# Tab to the list, Tab to "结 清", Space; the question's default is Cancel, so Escape
# first: nothing may change.
xdotool key --clearmodifiers Tab Tab space
question="$(find_window 20 '^Quillmora$')" || fail "no confirmation was asked"
sleep 0.5
import -window root "$artifacts/debts-e2e-confirm.png" || true
xdotool key --clearmodifiers Escape
closed() { ! xdotool search --onlyvisible --name '^Quillmora$' >/dev/null 2>&1; }
wait_for 10 closed || fail "the confirmation stayed open after Escape"
[ "$(owing 张三)" = 2 ] || fail "Cancel changed 张三's sales: $(owing 张三) still owing"

# Again, and this time OK (Tab from the default button to the other one).
xdotool windowactivate --sync "$debts"
xdotool key --clearmodifiers space
question="$(find_window 20 '^Quillmora$')" || fail "no confirmation the second time"
sleep 0.3
xdotool key --clearmodifiers Tab space
# The success box has the same caption: wait for the question to go first.
question_gone() { ! xdotool search --onlyvisible --name '^Quillmora$' 2>/dev/null | grep -qx "$question"; }
wait_for 10 question_gone || fail "the confirmation stayed open after OK"
find_window 20 '^Quillmora$' >/dev/null || fail "no success box"
sleep 0.5
import -window root "$artifacts/debts-e2e-settled.png" || true
xdotool key --clearmodifiers Return
wait_for 10 closed || fail "the success box stayed open"
[ "$(owing 张三)" = 0 ] || fail "张三 still owes on $(owing 张三) sales after 结 清"
[ "$(owing 李四)" = 1 ] || fail "李四's sale was touched"

# Back to the search box, empty it: the two customers left. A double click on the
# first one lists that customer's sales in the main window's grid.
xdotool windowactivate --sync "$debts"
xdotool key --clearmodifiers shift+Tab shift+Tab ctrl+a BackSpace
sleep 0.5
import -window root "$artifacts/debts-e2e-after.png" || true
xdotool mousemove --window "$debts" 80 72 click --repeat 2 --delay 80 1
sleep 1
import -window root "$artifacts/debts-e2e-ledger.png" || true

close_main_window "$main" "$app"
echo "screenshots: $artifacts/debts-e2e-*.png"
echo "1 passed, 0 failed"
