#!/bin/bash
# Installs what building, testing, fuzzing and demonstrating Plenwise need on Debian 12, and nothing that
# is already there. Runs apt-get as root, or through sudo for a normal user.
set -euo pipefail

readonly PACKAGES=(
    build-essential cmake pkg-config clang-format
    qt6-base-dev qt6-qpa-plugins libcups2-dev zlib1g-dev
    googletest libgtest-dev libgmock-dev
    cups-daemon cups-client
    fonts-ipafont-gothic gettext qt6-translations-l10n
    snmp
    poppler-utils
    qt6-svg-dev scdoc desktop-file-utils appstream man-db libxml2-utils
    clang libclang-rt-14-dev
    xvfb xauth dbus-daemon at-spi2-core python3-pyatspi
    prometheus prometheus-node-exporter systemd python3
)

missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "deps.sh: installing ${missing[*]}" >&2
as_root=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "deps.sh: run as root to install ${missing[*]}" >&2; exit 1; }
    as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
