#!/usr/bin/env bash
# Builds the Debian package pelmo_<version>_<arch>.deb from a Release build and
# checks that it holds the program, the manual page, the README, the demo and the
# dependencies. With --verify it then installs the package into a throw-away
# Debian 12 root made from Debian's archive and runs the installed program there.
set -euo pipefail
cd "$(dirname "$0")/.."

verify=0
case "${1:-}" in
  "") ;;
  --verify) verify=1 ;;
  *) echo "usage: scripts/package.sh [--verify]" >&2; exit 64 ;;
esac

# cpack finds the libraries' packages with dpkg-shlibdeps (dpkg-dev) and file.
extra=(dpkg-dev file)
[ "$verify" = 1 ] && extra+=(mmdebstrap)
bash scripts/install-deps.sh "${extra[@]}"

build=${PELMO_PACKAGE_BUILD:-build-release}
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMO_BUILD_TESTS=OFF \
  -DPELMO_WERROR="$werror" -DCMAKE_INSTALL_PREFIX=/usr "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" >"$build/build.log" 2>&1 || { cat "$build/build.log" >&2; exit 1; }
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }

version=$(sed -n 's/^project(Pelmo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$(realpath "$build/pelmo_${version}_$(dpkg --print-architecture).deb")
echo "built $deb"

# What the package must hold: a line missing from its listing or its Depends fails.
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
depends=$(dpkg-deb --field "$deb" Depends)
problems=0
for path in ./usr/bin/pelmo ./usr/share/man/man1/pelmo.1.gz ./usr/share/doc/pelmo/README.md \
            ./usr/share/doc/pelmo/examples/package/info.txt ./usr/share/doc/pelmo/examples/machine/system.reg \
            ./usr/share/doc/pelmo/examples/machine/dosdevices/a:; do
  grep -qxF "$path" <<<"$contents" || { echo "pelmo.deb lacks $path" >&2; problems=1; }
done
for package in fonts-ipafont-gothic qt6-qpa-plugins libqt6widgets6 libarchive13 liblhasa0 libc6; do
  grep -qE "(^|, )$package( |,|$)" <<<"$depends" || { echo "pelmo.deb does not depend on $package" >&2; problems=1; }
done
[ "$problems" = 0 ] || exit 1
echo "it holds pelmo, its manual page, the README and the demo; Depends: $depends"

[ "$verify" = 1 ] || exit 0

# A fresh Debian 12 with only the package and what it depends on, then as a user
# would: --version, the check of the installed demo, and the demo's unattended run
# started in a copy of its package folder, which an installed pelmo reads.
root=$(mktemp -d "${TMPDIR:-/tmp}/pelmo-root-XXXXXX")
cleanup() {
  umount "$root/proc" 2>/dev/null || true
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT
start=$SECONDS
echo "== Installing $deb into a fresh Debian 12 root ($root)"
mmdebstrap --quiet --variant=apt --customize-hook="copy-in '$deb' /tmp" \
  --customize-hook="chroot \"\$1\" apt-get install --yes --quiet=2 '/tmp/$(basename "$deb")'" \
  bookworm "$root" >"$root.log" 2>&1 || { tail -20 "$root.log" >&2; exit 1; }
rm -f "$root.log"
mount -t proc proc "$root/proc"
inside() {
  echo "\$ $*"
  chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 /bin/sh -c "$*"
}
inside pelmo --version
inside pelmo check --package /usr/share/doc/pelmo/examples/package
inside cp -a /usr/share/doc/pelmo/examples /tmp/demo
inside 'cd /tmp/demo/package && pelmo --unattended --machine /tmp/demo/machine'
inside test -f /tmp/demo/machine/drive_c/KORIMU/PELMOBAK/PELMO.LOG
echo "verified in $((SECONDS - start)) s"
