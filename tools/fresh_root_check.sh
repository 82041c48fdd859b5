#!/usr/bin/env bash
# Fresh-machine check: builds a minimal Debian 12 root with mmdebstrap (variant minbase, the
# package sources this machine is configured with, plus make and git), clones a branch of
# this repository into it and runs .ci/run there, as CI would on a new machine. Run it for
# every change to the Makefile's package list. Not part of CI.
#
#   sudo tools/fresh_root_check.sh [BRANCH]      # default: main; log in fresh-root-BRANCH.log
#
# Needs root (mmdebstrap's root mode, chroot and mounts), the mmdebstrap package and the apt
# sources reachable. The root lives in a temporary folder and is removed afterwards; set
# KEEP_ROOT=1 to keep it for a look. The exit code is that of .ci/run.
set -euo pipefail

branch=${1:-main}
repository=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
log="$PWD/fresh-root-${branch//\//-}.log"

if [ "$(id -u)" != 0 ]; then echo "needs root"; exit 2; fi
command -v mmdebstrap >/dev/null || { echo "needs mmdebstrap: apt-get install mmdebstrap"; exit 2; }

# The host's configured sources, each file pasted into the root's sources list.
sources=()
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [ -s "$file" ] && sources+=("$file")
done
[ ${#sources[@]} -gt 0 ] || { echo "no apt sources configured"; exit 2; }

root=$(mktemp -d /var/tmp/textdemo-fresh-root.XXXXXX)
mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" || true; done
  if [ "${KEEP_ROOT:-0}" = 1 ]; then echo "root kept in $root"; else rm -rf --one-file-system "$root"; fi
}
trap cleanup EXIT

echo "building the root in $root (log: $log)"
mmdebstrap --variant=minbase --include=make,git bookworm "$root" "${sources[@]}" >"$log" 2>&1
git clone --quiet --branch "$branch" "$repository" "$root/root/textdemo"

# What the tests need of a running system: processes, devices, terminals, name lookups.
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount -t sysfs sysfs "$root/sys" && mounted+=("$root/sys")
mount --bind /dev "$root/dev" && mounted+=("$root/dev")
mount --bind /dev/pts "$root/dev/pts" && mounted+=("$root/dev/pts")
cp /etc/resolv.conf "$root/etc/resolv.conf"

echo "running .ci/run in the root"
status=0
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 CI=true \
  bash -c 'cd /root/textdemo && bash .ci/run </dev/null' >>"$log" 2>&1 || status=$?
tail -n 15 "$log"
echo ".ci/run in the fresh root: exit code $status"
exit "$status"
