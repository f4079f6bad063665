#!/usr/bin/env bash
# Makes a Debian machine ready to build and test OrvixDownloader. Safe to run again:
# every step checks first and does only what is missing.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
third_party="$root/third_party"
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"

packages=(
  mingw-w64 wine wine32:i386 wine64 xvfb x11-apps
  libz-mingw-w64-dev nlohmann-json3-dev libstb-dev
  osslsigncode locales fonts-liberation fonts-wqy-microhei
  cmake ninja-build g++ clang googletest python3 openssl zlib1g-dev libpugixml-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo_cmd dpkg --add-architecture i386
  need_update=1
fi

# pugixml has no mingw build: its source comes from Debian's source package.
pugixml_src="$third_party/pugixml"
if [ ! -f "$pugixml_src/src/pugixml.cpp" ]; then
  if ! grep -rqs '^Types: deb-src' /etc/apt/sources.list.d/ 2>/dev/null; then
    src_list=/etc/apt/sources.list.d/orvix-deb-src.sources
    base=$(ls /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1 || true)
    if [ -n "$base" ]; then
      sed 's/^Types: deb$/Types: deb-src/' "$base" | $sudo_cmd tee "$src_list" >/dev/null
    else
      grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' | $sudo_cmd tee /etc/apt/sources.list.d/orvix-deb-src.list >/dev/null
    fi
    need_update=1
  fi
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  $sudo_cmd apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ ! -f "$pugixml_src/src/pugixml.cpp" ]; then
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get source --download-only pugixml >/dev/null 2>&1)
  tarball=$(ls "$tmp"/pugixml_*.orig.tar.gz | head -n1)
  mkdir -p "$pugixml_src"
  tar -xzf "$tarball" -C "$pugixml_src" --strip-components=1
  rm -rf "$tmp"
  echo "setup: pugixml source in $pugixml_src"
fi

# Locales that the language tests run under.
wanted_locales=(en_US.UTF-8 zh_CN.UTF-8 pt_BR.UTF-8 zh_TW.UTF-8 ja_JP.UTF-8 ru_RU.UTF-8)
regen=0
for l in "${wanted_locales[@]}"; do
  norm=$(echo "$l" | sed 's/UTF-8/utf8/')
  if ! locale -a 2>/dev/null | grep -qx "$norm"; then
    $sudo_cmd sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | $sudo_cmd tee -a /etc/locale.gen >/dev/null
    regen=1
  fi
done
[ $regen -eq 0 ] || $sudo_cmd locale-gen >/dev/null

echo "setup: ready"
