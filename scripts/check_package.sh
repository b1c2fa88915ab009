#!/usr/bin/env bash
# Builds the Debian package into build/ and looks at it as an installer would: unpacked into a
# scratch root, the program answers --version and --help without a display and with the
# system's libraries alone, everything it declares to depend on is a package of this system,
# its desktop entry and icons are in place and valid, and its manual page renders without a
# warning. Exits non-zero with the reason on the first fault.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "check_package: $*" >&2; exit 1; }

rm -f "$top"/build/tabel_*.deb
cmake --build "$top/build" -j2 --target package >/dev/null
debs=("$top"/build/tabel_*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "no single tabel_*.deb in build/"
deb=${debs[0]}

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

# Every package named in Depends and Recommends is known here (the build machine has them all).
for field in Depends Recommends; do
  for name in $(dpkg-deb -f "$deb" "$field" | tr ',' '\n' | sed 's/(.*)//; s/[[:space:]]//g'); do
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'ok installed' || fail "$field: $name is not an installed package"
  done
done

bin=$root/usr/bin/tabel
[ -x "$bin" ] || fail "no /usr/bin/tabel in the package"
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin" "$@"; }
version=$(run --version) || fail "--version ended with $?"
[[ $version =~ ^tabel\ [0-9]+\.[0-9]+\.[0-9]+\ \(build\ [0-9]{8}\.[0-9]+\)$ ]] || fail "--version printed '$version'"
help=$(run --help 2>&1 >/dev/null) || fail "--help ended with $?"
for text in "--report NAME" "--export NAME" "tabel --version"; do
  grep -qF -- "$text" <<<"$help" || fail "--help does not mention '$text'"
done

copyright=$root/usr/share/doc/tabel/copyright
[ -s "$copyright" ] || fail "no /usr/share/doc/tabel/copyright"
head -1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  || fail "the copyright file is not in the machine-readable format"
grep -qF -- "tabel [DATABASE SERVER]" <<<"$help" || fail "--help does not show the windowed start"

desktop=$root/usr/share/applications/tabel.desktop
[ -f "$desktop" ] || fail "no desktop entry"
said=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $said"
[ -z "$said" ] || fail "desktop-file-validate: $said"
for size in 16 24 32 48 64 128 256; do
  [ -s "$root/usr/share/icons/hicolor/${size}x${size}/apps/tabel.png" ] || fail "no ${size}x${size} icon"
done
[ -s "$root/usr/share/icons/hicolor/scalable/apps/tabel.svg" ] || fail "no scalable icon"

# The migrations the program carries are there to read, word for word.
for file in "$top"/db/migrations/*.sql; do
  cmp -s "$file" "$root/usr/share/tabel/migrations/$(basename "$file")" || fail "the package lacks $(basename "$file") as built"
done
grep -qF -- "--upgrade-database" <<<"$help" || fail "--help does not mention '--upgrade-database'"

page=$root/usr/share/man/man1/tabel.1.gz
[ -s "$page" ] || fail "no manual page"
warnings=$(zcat "$page" | groff -k -man -Tutf8 -ww -z 2>&1) || fail "groff: $warnings"
[ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"

echo "check_package: $(basename "$deb") ($version) is sound"
