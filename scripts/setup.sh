#!/usr/bin/env bash
# Installs, with apt-get, what this machine lacks: by default what building and running the program
# needs (scripts/run.sh); with --tests also what the tests and the benchmarks need (scripts/test.sh).
# Usage: scripts/setup.sh [--tests]
set -euo pipefail
case "${1:-}" in
  "") with_tests=0 ;;
  --tests) with_tests=1 ;;
  *) echo "usage: scripts/setup.sh [--tests]" >&2; exit 2 ;;
esac

# Building and running the program.
program_packages=(
  g++ cmake ninja-build pkg-config                      # tool chain
  libgtk-3-dev libx11-dev libpng-dev libarchive-dev     # the program's libraries
)
# The tests and the benchmarks, on top of the above.
test_packages=(
  libgtest-dev googletest libssl-dev                    # tests; libcrypto is the tests' independent oracle
  xvfb xauth dbus-daemon dbus-x11 at-spi2-core python3 python3-pyatspi xdotool xclip imagemagick fonts-dejavu-core fonts-liberation2
  openbox x11-utils                                     # a window manager and xprop: the window's fit with a title bar
  openssl rhash                                         # reference tools for the tests and the benchmark
  locales                                               # a comma-decimal locale for the numbers-locale test
  clang libclang-rt-14-dev                              # libFuzzer, scripts/fuzz.sh; the clang ARM builds (scripts/test-arm32-clang.sh, test-arm64.sh)
  g++-arm-linux-gnueabihf qemu-user-static libarchive-dev:armhf libssl-dev:armhf libgtest-dev:armhf  # 32-bit ARM build, scripts/test-arm32.sh
  libgtk-3-dev:armhf libpng-dev:armhf libx11-dev:armhf   # the whole program for 32-bit ARM
  zlib1g-dev:armhf                                      # zlib's crc32(), the reference of scripts/bench-arm32.sh
  g++-aarch64-linux-gnu libarchive-dev:arm64 libssl-dev:arm64 libgtest-dev:arm64  # 64-bit ARM build, scripts/test-arm64.sh
  libgtk-3-dev:arm64 libpng-dev:arm64 libx11-dev:arm64   # the whole program for 64-bit ARM
  llvm                                                  # llvm-mc, llvm-mca: the cycle model of scripts/bench-arm32.sh
  dpkg-dev fakeroot file lintian desktop-file-utils appstream  # the Debian package and its checks
  devscripts                                            # hardening-check, in the package's checks
)

packages=("${program_packages[@]}")
[ "$with_tests" -eq 0 ] || packages+=("${test_packages[@]}")
sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  # The ARM libraries install beside this machine's own (multiarch).
  for arch in armhf arm64; do
    if printf '%s\n' "${missing[@]}" | grep -q ":$arch\$" && ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
      $sudo dpkg --add-architecture "$arch"
    fi
  done
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi

# The numbers-locale test needs a locale whose decimal separator is a comma.
if [ "$with_tests" -eq 1 ] && ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "de_DE.UTF-8 could not be made; its test is skipped"
fi
