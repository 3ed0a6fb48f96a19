#!/usr/bin/env bash
# Builds the Debian package of one commit twice, in two different folders, with SOURCE_DATE_EPOCH set
# from that commit, and checks that the two .deb files are byte for byte the same. The second build
# also runs under another umask, time zone and locale, as the reproducible-builds tools vary them.
# Usage: scripts/check-reproducible.sh [amd64|armhf|arm64] [COMMIT]   (default: this machine's, HEAD)
# Env: KEEP=1 keeps the two build folders (their path is printed).
# Each build is configured as the test command configures that package's build (Release for the
# native package, RelWithDebInfo with cmake/arm32-toolchain.cmake for armhf, Release with
# cmake/arm64-toolchain.cmake for arm64), without the tests, which the package does not contain. Takes
# two full builds: about 5 minutes on 2 idle cores.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
arch="${1:-$(dpkg --print-architecture)}"
commit="$(git rev-parse --verify "${2:-HEAD}^{commit}")"
case "$arch" in
  "$(dpkg --print-architecture)") options=(-DCMAKE_BUILD_TYPE=Release) ;;
  armhf) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/arm32-toolchain.cmake) ;;
  arm64) options=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/arm64-toolchain.cmake) ;;
  *) echo "check-reproducible: no build for $arch" >&2; exit 2 ;;
esac
SOURCE_DATE_EPOCH="$(git log -1 --format=%ct "$commit")"
export SOURCE_DATE_EPOCH

work="$(mktemp -d /tmp/hw-reproducible-XXXXXX)"
if [ "${KEEP:-0}" = 1 ]; then echo "check-reproducible: builds kept in $work"; else trap 'rm -rf "$work"' EXIT; fi

# build FOLDER: the commit's files unpacked into FOLDER, configured and packaged inside it.
build() {
  mkdir -p "$1"
  git archive "$commit" | tar -x -C "$1"
  (cd "$1" && cmake -S . -B build -G Ninja -DHW_BUILD_TESTS=OFF "${options[@]}" >/dev/null &&
    cmake --build build -j2 --target package >/dev/null)
  ls "$1"/build/hashwarden_*_"$arch".deb
}
first="$(umask 022; TZ=UTC LC_ALL=C build "$work/a")"
second="$(umask 002; TZ=Pacific/Kiritimati LC_ALL=C.UTF-8 build "$work/another/folder/b")"

if cmp -s "$first" "$second"; then
  echo "reproducible: $(basename "$first") of ${commit:0:12}, sha256 $(sha256sum <"$first" | cut -c1-64)"
  exit 0
fi
echo "NOT reproducible: $(basename "$first") of ${commit:0:12} differs between the two builds" >&2
# Where they differ: the member listings (modes, owners, times) and the unpacked files' checksums.
for side in first second; do
  deb="${!side}"
  mkdir -p "$work/$side"
  dpkg-deb -c "$deb" >"$work/$side.list"
  dpkg-deb -x "$deb" "$work/$side"
  dpkg-deb -e "$deb" "$work/$side/DEBIAN"
  (cd "$work/$side" && find . -type f -print0 | sort -z | xargs -0 sha256sum) >"$work/$side.sums"
done
diff "$work/first.list" "$work/second.list" >&2 || true
diff "$work/first.sums" "$work/second.sums" >&2 || true
exit 1
