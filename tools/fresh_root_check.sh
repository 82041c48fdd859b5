#!/usr/bin/env bash
# Fresh-machine check: builds a minimal Debian 12 root with mmdebstrap (variant minbase, the
# package sources this machine is configured with, plus make and git), clones a branch of
# this repository into it and runs make targets there one after another, as a person on a
# new machine would, each installing its own package set. Run it for every change to the
# Makefile's package sets. Not part of CI.
#
#   sudo tools/fresh_root_check.sh [BRANCH [TARGET...]]   # default: main; run package bench fuzz ci
#
# TARGET is a make target, or `ci` for .ci/run (make test with warnings as errors, as CI
# runs it). `run` plays the show in a pseudo-terminal of 80 x 50 and passes once its first
# frame is out (the alternate screen and a frame's bytes), then ends it. `fuzz` runs
# FUZZ_SECONDS (default 10) per target. Each step's time and the packages it installed go
# to the log (fresh-root-BRANCH.log); the exit code is that of the first failing step.
#
# Needs root (mmdebstrap's root mode, chroot and mounts), the mmdebstrap package and the apt
# sources reachable. The root lives in a temporary folder and is removed afterwards; set
# KEEP_ROOT=1 to keep it for a look.
set -euo pipefail

branch=${1:-main}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(run package bench fuzz ci)
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

in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 CI=true \
    TERM=xterm-256color "$@"
}
package_count() { in_root dpkg-query -W -f='${Status}\n' | grep -c "ok installed"; }

# make run in a pseudo-terminal (script(1), from bsdutils): passes once the show entered the
# alternate screen and wrote a frame's bytes after it; then script is ended (by its PID),
# which hangs the terminal up and ends the show.
run_until_first_frame() {
  local typescript=$root/root/run.typescript
  in_root script -qfec "stty rows 50 cols 80; cd /root/textdemo && make run" /root/run.typescript \
    </dev/null >/dev/null 2>&1 &
  local session=$! status=1 screen
  while kill -0 "$session" 2>/dev/null; do
    screen=$(grep -abo $'\e\\[?1049h' "$typescript" 2>/dev/null | head -n 1 | cut -d: -f1)
    if [ -n "$screen" ] && [ $(($(stat -c %s "$typescript") - screen)) -gt 20000 ]; then
      status=0
      break
    fi
    sleep 2
  done
  kill -TERM "$session" 2>/dev/null || true
  wait "$session" || true
  sed -n '/^installing:/p' "$typescript" >>"$log"
  [ $status = 0 ] && echo "make run: first frame out" >>"$log" || tail -c 2000 "$typescript" >>"$log"
  return $status
}

status=0
for target in "${targets[@]}"; do
  before=$(package_count)
  start=$(date +%s)
  echo "== $target" >>"$log"
  case $target in
    run) run_until_first_frame || status=$? ;;
    ci) in_root bash -c 'cd /root/textdemo && bash .ci/run </dev/null' >>"$log" 2>&1 || status=$? ;;
    fuzz) in_root bash -c "cd /root/textdemo && make fuzz FUZZ_SECONDS=${FUZZ_SECONDS:-10} </dev/null" >>"$log" 2>&1 ||
            status=$? ;;
    *) in_root bash -c "cd /root/textdemo && make $target </dev/null" >>"$log" 2>&1 || status=$? ;;
  esac
  line="$target: $(($(date +%s) - start)) s, packages $before -> $(package_count), exit code $status"
  echo "$line" | tee -a "$log"
  [ $status = 0 ] || break
done
tail -n 15 "$log"
exit "$status"
