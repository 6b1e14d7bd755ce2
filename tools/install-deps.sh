#!/usr/bin/env bash
# Installs the cross toolchain, Wine, Xvfb and fonts. Idempotent: checks first, installs only what is missing.
set -euo pipefail

PKGS=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 fonts-wine xvfb xauth x11-utils x11-apps
      netpbm xdotool locales fonts-ipafont-gothic googletest cmake make clang-format)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

missing=()
for p in "${PKGS[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine takes the ANSI code page from the locale: ja_JP.UTF-8 gives CP932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
fi
