#!/usr/bin/env bash
# Renders the icon's PNG sizes from tabel.svg (run after changing it; the PNGs are kept in the
# repository, so the build needs no SVG renderer). gdk-pixbuf-thumbnailer
# (libgdk-pixbuf2.0-bin) draws SVG through librsvg (librsvg2-common).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  gdk-pixbuf-thumbnailer -s "$size" tabel.svg "tabel-$size.png"
done
