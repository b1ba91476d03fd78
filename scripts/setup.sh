#!/usr/bin/env bash
# Installs what building, running and testing Orvalis needs on Debian 12, idempotently,
# with apt-get only. Run as root (or through sudo).
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# clang with libclang-rt-14-dev for the fuzz targets: libFuzzer and the sanitizer runtimes live in
# that package, which clang only recommends.
for p in mingw-w64 wine wine64 wine32:i386 xvfb xdotool imagemagick googletest libbenchmark-dev cmake ninja-build \
         g++ clang libclang-rt-14-dev locales x11-utils fp-utils nsis zip unzip p7zip-full openssl python3; do
  have "$p" || need+=("$p")
done

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need+=(wine32:i386)
fi

if [ "${#need[@]}" -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  $SUDO apt-get update -q
  # On machines that run 64-bit user code only, a trigger of an i386 package cannot run its
  # 32-bit helper; the packages are installed all the same, so carry on and check below.
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${need[@]}" \
    || $SUDO dpkg --configure -a || true
fi

for cmd in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix wine Xvfb xdotool import \
           cmake ninja g++ clang++ chmcmd makensis zip unzip 7z; do
  command -v "$cmd" >/dev/null || { echo "setup: $cmd is missing after the install" >&2; exit 1; }
done
test -f "$(clang++ -print-file-name="libclang_rt.fuzzer-$(uname -m).a")" ||
  { echo "setup: libFuzzer (libclang-rt-14-dev) is missing after the install" >&2; exit 1; }
test -f /usr/src/googletest/CMakeLists.txt || { echo "setup: googletest sources missing" >&2; exit 1; }

# The German locale: Wine takes its user locale from LANG/LC_ALL.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "setup: generating de_DE.UTF-8"
  $SUDO sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
