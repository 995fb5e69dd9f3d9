#!/usr/bin/env bash
# Starts the real application under Xvfb in folders whose data.mdb is missing, empty,
# no database, a database without the ledger's tables, or keyed with another password.
# Each start must show the error box (and no main window), write the engine's message
# to standard error, exit with status 1 once the box is closed, and leave the file
# byte for byte as it was. A screenshot of each box lands in the artifacts folder.
set -euo pipefail
bin="${QUILLMORA_BIN_DIR:?}"
artifacts="${QUILLMORA_ARTIFACTS:-$bin/../test-artifacts}"
mkdir -p "$artifacts"
work="$(mktemp -d)"
source "$(dirname "${BASH_SOURCE[0]}")/display.sh"
trap 'stop_started; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"
start_display

fail() { echo "FAIL: $*"; exit 1; }

run_case() {
  local name="$1" expected="$2" asks_key="${3:-}"
  local dir="$work/$name"
  local before=""
  [ -f "$dir/data.mdb" ] && before="$(sha256sum < "$dir/data.mdb")"
  (cd "$dir" && exec "$bin/quillmora" 2>"$dir/stderr") &
  local pid=$!
  # A file that opens with no key known here may have a key of the shop's own: the
  # program asks for it first; cancelled, the error box follows.
  if [ -n "$asks_key" ]; then
    local question=""
    for _ in $(seq 1 150); do
      question="$(xdotool search --onlyvisible --name '^Quillmora - 账本密钥$' 2>/dev/null | head -n1 || true)"
      [ -n "$question" ] && break
      sleep 0.2
    done
    [ -n "$question" ] || { kill "$pid" 2>/dev/null; fail "$name: the shop's key was not asked for"; }
    xdotool windowfocus --sync "$question" >/dev/null 2>&1 || true
    sleep 0.3
    xdotool key Escape
  fi
  local box=""
  for _ in $(seq 1 150); do
    box="$(xdotool search --onlyvisible --name '^Quillmora$' 2>/dev/null | head -n1 || true)"
    [ -n "$box" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  if [ -z "$box" ]; then
    local early=running
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid"
    else
      local early_status=0
      wait "$pid" || early_status=$?
      early="ended with status $early_status"
    fi
    fail "$name: no error box appeared (application $early; stderr: $(cat "$dir/stderr"); xvfb: $(cat "$work/xvfb.log"))"
  fi
  if xdotool search --onlyvisible --name 'V3.5.1' >/dev/null 2>&1; then
    kill "$pid"; fail "$name: the main window was shown"
  fi
  grep -qF "$expected" "$dir/stderr" || { kill "$pid"; fail "$name: stderr lacks '$expected': $(cat "$dir/stderr")"; }
  grep -qF "$dir/data.mdb" "$dir/stderr" || { kill "$pid"; fail "$name: stderr lacks the full path: $(cat "$dir/stderr")"; }
  sleep 0.5
  import -window root "$artifacts/startup-failure-$name.png"
  xdotool windowfocus --sync "$box" >/dev/null 2>&1 || true
  xdotool key Return
  local status=0
  for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && { kill "$pid"; fail "$name: still running after the box was closed"; }
  wait "$pid" || status=$?
  [ "$status" -eq 1 ] || fail "$name: exit status $status instead of 1"
  local after=""
  [ -f "$dir/data.mdb" ] && after="$(sha256sum < "$dir/data.mdb")"
  [ "$before" = "$after" ] || fail "$name: data.mdb changed"
  echo "ok: $name (exit $status, message '$expected')"
}

mkdir -p "$work/missing" "$work/empty" "$work/garbage" "$work/notables" "$work/otherkey"
: > "$work/empty/data.mdb"
for _ in $(seq 1 300); do echo "这不是数据库，是一份记事"; done > "$work/garbage/data.mdb"
# Keyed with the application's own key, but holding none of its tables.
: > "$work/notables/data.mdb"
"$bin/../tests/otherterminal" "$work/notables/data.mdb" "create table notes (x text)" >/dev/null
printf "PRAGMA key = 'another password';\ncreate table data (a text);\n" | sqlcipher "$work/otherkey/data.mdb" >/dev/null

run_case missing "unable to open database file"
run_case empty "no such table: data"
run_case garbage "not a database"
run_case notables "no such table: data"
run_case otherkey "not a database" asks-key
echo "5 passed, 0 failed"
