#!/usr/bin/env bash
# Installs what the build, the demo and the tests need (only what is missing) and builds
# the program in build/. Safe to run again: the second run is an incremental build.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

packages=(cmake g++ make pkg-config
          qt6-base-dev libqt6sql6-psql libpq-dev qt6-translations-l10n libxlsxwriter-dev zlib1g-dev
          postgresql-15 postgresql-client-15
          fonts-dejavu-core xvfb xauth xdotool imagemagick poppler-utils python3-openpyxl locales
          xdg-utils
          libreoffice-calc-nogui
          desktop-file-utils groff-base hicolor-icon-theme)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  [ "$(id -u)" = 0 ] || { echo "setup: missing packages (${missing[*]}); run as root to install them" >&2; exit 1; }
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# Russian server messages for the demo database.
if [ "$(id -u)" = 0 ] && ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen 2>/dev/null || true
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ru_RU.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null 2>&1 || true
fi

cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build" -j"$(nproc)" 2>&1 | grep -v '^\[' || true
test "${PIPESTATUS[0]}" = 0
