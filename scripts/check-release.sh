#!/usr/bin/env bash
# Runs the README's test command on a fresh, minimal Debian root:
#
#   bash scripts/check-release.sh RELEASE      # trixie or 13, bookworm or 12
#
# Makes the root with debootstrap from the Debian archive, clones this
# repository's committed HEAD into it, runs `bash scripts/test.sh` there as
# root (so the packages are installed exactly as on a new machine), and
# removes the root again, also when the check fails or is interrupted.
# Needs root. CLIPORA_DEBIAN_MIRROR picks another archive; CLIPORA_FUZZ_SECONDS
# is handed on to the test command.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
release=${1:?usage: check-release.sh RELEASE (trixie, bookworm, 13 or 12)}
case $release in
  13) release=trixie ;;
  12) release=bookworm ;;
esac
mirror=${CLIPORA_DEBIAN_MIRROR:-http://deb.debian.org/debian}
[[ $(id -u) -eq 0 ]] || { echo "check-release: needs root (debootstrap, chroot, mount)" >&2; exit 2; }
command -v debootstrap >/dev/null || bash "$root/scripts/setup.sh"

started=$SECONDS
phase() { printf '== check-release %s: %s (%d s so far) ==\n' "$release" "$1" $((SECONDS - started)); }

target=$(mktemp -d "/var/tmp/clipora-$release.XXXXXX")
chmod 755 "$target"  # it becomes the root folder: every user must reach into it
mounts=()
cleanup() {
  local status=$?
  # Unmount innermost first; the root is removed only when nothing of the
  # host is mounted inside it any more, and rm never crosses a file system.
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount -R "${mounts[i]}" 2>/dev/null || umount -R -l "${mounts[i]}" 2>/dev/null || true
  done
  if findmnt -rn -o TARGET | grep -q "^$target/"; then
    echo "check-release: $target still has mounts; left in place" >&2
  else
    rm -rf --one-file-system "$target"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

phase "debootstrap into $target"
debootstrap --variant=minbase "$release" "$target" "$mirror" >"$target.debootstrap.log" 2>&1 || {
  tail -20 "$target.debootstrap.log" >&2; rm -f "$target.debootstrap.log"; exit 1; }
rm -f "$target.debootstrap.log"
cp /etc/resolv.conf "$target/etc/resolv.conf"

mount -t proc proc "$target/proc"; mounts+=("$target/proc")
mount --rbind /sys "$target/sys"; mount --make-rslave "$target/sys"; mounts+=("$target/sys")
mount --rbind /dev "$target/dev"; mount --make-rslave "$target/dev"; mounts+=("$target/dev")

phase "clone"
git clone --quiet "$root" "$target/src"

phase "bash scripts/test.sh"
chroot "$target" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  HOME=/root LANG=C.UTF-8 CI="${CI:-}" ${CLIPORA_FUZZ_SECONDS:+CLIPORA_FUZZ_SECONDS=$CLIPORA_FUZZ_SECONDS} \
  bash -c 'cd /src && bash scripts/test.sh'

phase "passed"
