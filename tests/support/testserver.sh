#!/usr/bin/env bash
# The database server of a test run.
#   testserver.sh start STATE   initdb in a fresh temporary folder, start the server
#                               listening only on a Unix socket in that folder (no TCP
#                               port), create the database quillmora_test, and write
#                               its address to STATE/url
#   testserver.sh start STATE durable
#                               the same with the server's default durability (the
#                               benchmark's), where tests skip the flushes to disk
#   testserver.sh stop STATE    stop that server and remove its folder and STATE
#   testserver.sh restart STATE restart that server (its sessions end, as in a restart
#                               at night); waits until it accepts connections again
#   testserver.sh halt STATE    stop that server, keeping its folder (an outage)
#   testserver.sh resume STATE  start it again after halt
# The server refuses to run as root: as root it runs as the postgres account, which
# is given the folder.
set -euo pipefail
action="${1:?start or stop}"
state="${2:?state folder}"

bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)"
[ -x "$bindir/initdb" ] || { echo "testserver: no PostgreSQL server found (scripts/setup installs it)" >&2; exit 1; }

as_server() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

case "$action" in
start)
  if [ -f "$state/folder" ]; then
    "$0" stop "$state" || true
  fi
  mkdir -p "$state"
  folder="$(mktemp -d /tmp/quillmora-pg.XXXXXX)"
  [ "$(id -u)" -eq 0 ] && chown postgres:postgres "$folder"
  echo "$folder" > "$state/folder"
  # The server's own collation is Chinese stroke order: the ledger's pinyin order
  # and byte order must come from the application and the columns, never from it.
  as_server "$bindir/initdb" -D "$folder/data" -U quillmora -A trust -E UTF8 --locale=C.UTF-8 \
    --locale-provider=icu --icu-locale=zh-u-co-stroke --no-sync >"$folder/initdb.log" 2>&1 \
    || { cat "$folder/initdb.log" >&2; exit 1; }
  settings="-c listen_addresses='' -c unix_socket_directories='$folder' -c max_connections=300"
  [ "${3:-}" = durable ] || settings="$settings -c fsync=off -c synchronous_commit=off -c full_page_writes=off"
  echo "$settings" > "$state/settings"
  as_server "$bindir/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 -o "$settings" \
    start >/dev/null || { cat "$folder/server.log" >&2; exit 1; }
  as_server "$bindir/createdb" -h "$folder" -U quillmora quillmora_test
  echo "postgresql:///quillmora_test?host=$folder&user=quillmora" > "$state/url"
  echo "testserver: started in $folder"
  ;;
stop)
  [ -f "$state/folder" ] || exit 0
  folder="$(cat "$state/folder")"
  if [ -d "$folder/data" ]; then
    as_server "$bindir/pg_ctl" -D "$folder/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  case "$folder" in /tmp/quillmora-pg.*) rm -rf "$folder" ;; esac
  rm -rf "$state"
  echo "testserver: stopped"
  ;;
restart|halt|resume)
  folder="$(cat "$state/folder")"
  case "$action" in
  restart) as_server "$bindir/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 -m fast restart >/dev/null ;;
  halt) as_server "$bindir/pg_ctl" -D "$folder/data" -w -t 60 -m fast stop >/dev/null ;;
  resume) as_server "$bindir/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 -o "$(cat "$state/settings")" \
            start >/dev/null ;;
  esac || { tail -n 20 "$folder/server.log" >&2; exit 1; }
  ;;
*)
  echo "usage: testserver.sh start|stop|restart|halt|resume STATE" >&2
  exit 2
  ;;
esac
