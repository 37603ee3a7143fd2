#!/usr/bin/env bash
# Installs what building and testing Quillory needs, from Debian's packages.
# Does nothing when everything is there already. Run as root on Debian 12.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config clang-format
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
    # the office server: Qt's PostgreSQL driver, libpq's own headers (the
    # connection's address and password), and the private server the tests
    # start
    libqt6sql6-psql libpq-dev postgresql-15
    libicu-dev
    fonts-liberation2 fonts-dejavu-core
    # the user manual (guide.pdf) and reading printed reports back in tests
    ruby-asciidoctor-pdf poppler-utils
    # the window's font, and the keyboard library Qt's configure looks for
    fonts-crosextra-carlito libxkbcommon-dev
    # a display without a screen, for running the program headless and for
    # the test of a lost display
    xvfb xauth
    # the fuzz targets (clang with libFuzzer) and readable sanitizer reports
    clang libclang-rt-14-dev llvm-14
    # printing: PDF composed with cairo (glyphs from FreeType, shaping by
    # HarfBuzz), submitted through libcups; a font with Chinese, Japanese and
    # Korean characters for names in those scripts (DejaVu has Arabic and
    # Hebrew); and the scheduler with its tools for the tests' private cupsd
    libcairo2-dev libfreetype-dev libharfbuzz-dev libcups2-dev fonts-wqy-microhei
    cups-daemon cups-client
    # the Debian package: its icons drawn from the SVG, its checks, and a
    # fresh Debian root to install it into
    librsvg2-bin lintian desktop-file-utils appstream mmdebstrap
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
