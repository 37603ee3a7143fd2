#!/usr/bin/env bash
# Sets up a CUPS print queue "PDF" that prints into PDF files, and makes it
# the default printer, so that the reports can be printed and read back on a
# machine without a real printer. The files land in ~/PDF of the user who
# prints. Run as root on Debian 12.
set -euo pipefail

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends \
    cups printer-driver-cups-pdf poppler-utils

# Start the scheduler when it is not running (a machine without systemd
# included).
if ! lpstat -r >/dev/null 2>&1; then
    $SUDO service cups start >/dev/null 2>&1 || $SUDO cupsd
    for _ in $(seq 50); do lpstat -r >/dev/null 2>&1 && break; sleep 0.2; done
fi

# pdftocairo turns the program's PDF into the queue's PostScript with the text
# intact; the default renderer loses the characters' meaning, so that the
# printed file cannot be searched or read back.
$SUDO lpadmin -p PDF -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
    -o pdftops-renderer-default=pdftocairo 2>/dev/null
$SUDO lpadmin -d PDF
lpstat -p PDF -d
