#!/usr/bin/env bash
# Installs what is needed (only what is missing) and builds in build/, showing the build's
# progress. Safe to run again: the second run is an incremental build.
#   scripts/setup.sh          everything: the program, the tests, the benchmarks and their tools
#   scripts/setup.sh --run    only what the program and the demo database need, the program built
#                             first (the tests and benchmarks are built by the first test run)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
only_run=
case "${1:-}" in
  --run) only_run=1 ;;
  "") ;;
  *) echo "usage: scripts/setup.sh [--run]" >&2; exit 2 ;;
esac

# The build, the program and the demo database (the charts' CMake files need the OpenGL module's,
# which Debian's qt6-charts-dev does not pull in).
packages=(cmake g++ make pkg-config git
          qt6-base-dev qt6-charts-dev libqt6opengl6-dev libqt6sql6-psql libpq-dev qt6-translations-l10n libxlsxwriter-dev zlib1g-dev
          postgresql-15 postgresql-client-15
          fonts-dejavu-core locales xdg-utils)
# The tests, the benchmarks and the package's check.
[ -n "$only_run" ] || packages+=(xvfb xauth xdotool imagemagick poppler-utils python3-openpyxl
                                 libreoffice-calc-nogui
                                 desktop-file-utils groff-base hicolor-icon-theme)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  [ "$(id -u)" = 0 ] || { echo "setup: missing packages (${missing[*]}); run as root to install them" >&2; exit 1; }
  echo "setup: installing ${#missing[@]} Debian packages: ${missing[*]}"
  echo "setup: (the first time this downloads a few hundred megabytes; apt says how far it is)"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# Russian server messages for the demo database.
if [ "$(id -u)" = 0 ] && ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen 2>/dev/null || true
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ru_RU.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null 2>&1 || true
fi

cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# The program first, so that it can start before the tests and benchmarks are built; make's
# "[ 42%]" lines say how far each build is (the first one takes a quarter of an hour or more on
# two cores, several times as long on a busy machine; later ones take seconds).
build() {
  local what=$1; shift
  echo "setup: building $what"
  cmake --build "$top/build" -j"$(nproc)" "$@" 2>&1 | { grep -v -e '] Built target' -e 'Scanning dependencies' || true; }
}
build "the program" --target tabel
[ -n "$only_run" ] || build "the tests and the benchmarks"
