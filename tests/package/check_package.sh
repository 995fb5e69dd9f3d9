#!/usr/bin/env bash
# Builds the Debian package with scripts/package and checks it as the archive's tools
# would: lintian, the control fields (library dependencies found by dpkg-shlibdeps),
# the file list, the desktop entry, the icons, the manual pages and stripped programs.
#
# usage: check_package.sh <source folder> <package build folder>
set -euo pipefail

root="$(cd "$1" && pwd)"
export QUILLMORA_PACKAGE_BUILD_DIR="$(realpath -m "$2")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

started=$SECONDS
# The Release build runs beside other tests, some of them timed windows on a display:
# it yields the processor to them.
nice -n 10 "$root/scripts/package" >"$work/package.log" 2>&1 || { tail -n 40 "$work/package.log"; echo "FAIL: scripts/package"; exit 1; }
deb="$(tail -n 1 "$work/package.log")"
echo "scripts/package took $((SECONDS - started)) s: $deb"

version="$(sed -n 's/^project(Quillmora VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
arch="$(dpkg --print-architecture)"
[ "$(basename "$deb")" = "quillmora_${version}_${arch}.deb" ] || fail "package file named $(basename "$deb")"

# lintian: no error and no warning (its informational notes are printed, not failed).
lintian --tag-display-limit 0 --display-info "$deb" 2>&1 | grep -v '^running with root privileges' >"$work/lintian.txt" || true
sed 's/^/  lintian: /' "$work/lintian.txt"
if grep -q '^[EW]:' "$work/lintian.txt"; then fail "lintian reports errors or warnings"; fi

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = quillmora ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
depends="$(field Depends)"
echo "Depends: $depends"
# Found in the programs' libraries by dpkg-shlibdeps, each with a version.
for library in libqt6widgets6 libqt6charts6 libqt6printsupport6 libsqlcipher0 libsodium23 libcurl4 libc6; do
  [[ "$depends" == *"$library (>= "* ]] || fail "Depends lacks $library"
done
for loaded in qt6-qpa-plugins fonts-noto-cjk; do
  [[ "$depends" == *"$loaded"* ]] || fail "Depends lacks $loaded"
done

# The file list: exactly these files, everything root's, nothing outside /usr.
dpkg-deb --contents "$deb" >"$work/contents.txt"
[ "$(awk '{ print $2 }' "$work/contents.txt" | sort -u)" = root/root ] || fail "files not owned by root: $(awk '$2 != "root/root"' "$work/contents.txt")"
awk '$1 !~ /^d/ { print $6 }' "$work/contents.txt" | sort >"$work/files.txt"
expected=(
  ./usr/bin/quillmora ./usr/bin/quillmora-admin ./usr/lib/quillmora/Replacer
  ./usr/share/applications/quillmora.desktop
  ./usr/share/doc/quillmora/changelog.gz ./usr/share/doc/quillmora/copyright
  ./usr/share/man/man1/quillmora-admin.1.gz ./usr/share/man/man1/quillmora.1.gz
)
for size in 16 22 24 32 48 64 128; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/quillmora.png")
done
printf '%s\n' "${expected[@]}" | sort >"$work/expected.txt"
diff -u "$work/expected.txt" "$work/files.txt" >"$work/files.diff" || fail "file list differs: $(cat "$work/files.diff")"
grep -v ' \./usr/' "$work/contents.txt" | grep -v ' \./$' && fail "entries outside /usr"

dpkg-deb --extract "$deb" "$work/root"
cd "$work/root"

desktop-file-validate usr/share/applications/quillmora.desktop || fail "desktop entry is not valid"
[ "$(sed -n 's/^Exec=//p' usr/share/applications/quillmora.desktop)" = "quillmora --data-folder" ] \
  || fail "the menu entry does not start the program in the data folder"
[ "$(sed -n 's/^Icon=//p' usr/share/applications/quillmora.desktop)" = quillmora ] || fail "Icon is not the theme name"
for size in 16 22 24 32 48 64 128; do
  icon="usr/share/icons/hicolor/${size}x${size}/apps/quillmora.png"
  [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] || fail "$icon is $(identify -format '%wx%h' "$icon")"
done

for page in quillmora quillmora-admin; do
  warnings="$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l usr/share/man/man1/$page.1.gz 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "man page $page: $warnings"
done
# Every command the tool offers is described in its manual page.
usage="$(usr/bin/quillmora-admin 2>&1 || true)"
commands="$(sed -n 's/^.*quillmora-admin \(\[[^]]*\] \)\?\([a-z-]\+\).*/\2/p' <<<"$usage")"
[ "$(wc -w <<<"$commands")" -ge 3 ] || fail "no commands found in the tool's usage text: $usage"
manual="$(zcat usr/share/man/man1/quillmora-admin.1.gz)"
for command in $commands; do
  grep -q "^\.BI\? \"\?$command\b" <<<"$manual" || fail "the manual page of quillmora-admin does not describe '$command'"
done
for option in $(grep -o -- '--[a-z-]\+' <<<"$usage" | sort -u); do
  grep -q "^\.BI\? .*${option//-/\\\\-}\b" <<<"$manual" || fail "the manual page of quillmora-admin does not describe '$option'"
done

for program in usr/bin/quillmora usr/bin/quillmora-admin usr/lib/quillmora/Replacer; do
  file -b "$program" | grep -q ', stripped' || fail "$program is not stripped: $(file -b "$program")"
done
grep -q 'usr/share/common-licenses/GPL-3' usr/share/doc/quillmora/copyright || fail "copyright does not name the licence"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package checked: $deb"
