#!/usr/bin/env bash
# Builds and tests the committed HEAD in a fresh, minimal Debian, as a
# newcomer would: a --variant=minbase root made by debootstrap from the Debian
# archive that this machine's apt sources name (or --mirror URL), with only
# git and ca-certificates added, then, as root in that root,
# the README's commands in turn:
#   launch    ./scripts/deps.sh && cmake --preset default && cmake --build --preset default
#             (the program is built, not started)
#   package   ./scripts/deps.sh --package, the README's .deb command, the
#             .deb installed and removed again; the home-folder install and
#             its removal, which must leave no file or folder behind
#   test      ./scripts/deps.sh --test && cmake --workflow --preset test,
#             in an empty home that it must leave empty
# and prints, at the end, the packages and MiB that each deps.sh run
# installed, the time of each phase and ctest's summary.
#
#   in-debian.sh [--keep DIR] [--mirror URL] RELEASE   RELEASE: bookworm or trixie
#
#   --keep DIR  the root lives in DIR and stays there afterwards. If DIR
#               already holds a root of RELEASE from an earlier --keep, it is
#               used again, with a fresh clone and without debootstrap (deps.sh
#               then finds its packages there and installs nothing).
#               Without --keep the root is made under /var/tmp and removed.
#
# Needs root; installs debootstrap here if it is missing. Everything runs in
# its own mount and PID namespace: the root's mounts (proc, sys, dev, dev/pts,
# a tmpfs on dev/shm and on tmp) are seen by nobody else, and no process of
# the root outlives the run. The tests run without network, so that their X
# servers and D-Bus buses, whose sockets are abstract, meet none of this
# machine's. The whole log goes to /var/tmp/velmora-in-debian-RELEASE.log.
set -euo pipefail

usage() { echo "usage: in-debian.sh [--keep DIR] [--mirror URL] bookworm|trixie" >&2; exit 2; }

# The Debian archive that this machine's apt sources name: the first enabled
# "deb" entry with the main component for this machine's own release (or a
# suite such as stable), from the deb822 .sources files or the one-line
# sources.list. Security, updates and other vendors' entries do not count.
apt_mirror() {
  local codename
  codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  {
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -r "$f" ] || continue
      awk 'BEGIN { RS = ""; FS = "\n" } {
        types = uris = suites = comps = ""; enabled = "yes"
        for (i = 1; i <= NF; i++) {
          line = $i; sub(/#.*/, "", line)
          if (match(line, /^[A-Za-z-]+:/)) {
            key = tolower(substr(line, 1, RLENGTH - 1)); value = substr(line, RLENGTH + 1)
            if (key == "types") types = value; else if (key == "uris") uris = value
            else if (key == "suites") suites = value; else if (key == "components") comps = value
            else if (key == "enabled") enabled = value
          }
        }
        if (enabled ~ /no/ || (" " types " ") !~ / deb /) next
        n = split(uris, u, " "); m = split(suites, s, " ")
        for (j = 1; j <= n; j++) for (k = 1; k <= m; k++) print u[j], s[k], comps
      }' "$f"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -r "$f" ] || continue
      # deb [options] URI SUITE COMPONENT…
      sed -E -n 's/^[[:space:]]*deb[[:space:]]+(\[[^]]*\][[:space:]]+)?//p' "$f"
    done
  } | awk -v release="$codename" '
    { comps = " " $0 " " }
    ($2 == release || $2 ~ /^(oldstable|stable|testing|unstable|sid)$/) && comps ~ / main / { print $1; exit }'
}

# --- inside the namespaces --------------------------------------------------
if [ "${1:-}" = --inner ]; then
  root=$2 release=$3 log=$4 summary=$5 commit=$6 repo=$7 keep=$8 mirror=$9
  mounts=()
  unmount_all() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
      umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" || true
    done
    mounts=()
  }
  trap unmount_all EXIT
  mount_at() { # mount_at TARGET mount-arguments…
    local target=$root$1; shift
    mount "$@" "$target"
    mounts+=("$target")
  }

  say() { echo "in-debian: $*" | tee -a "$log"; }
  phases=() failed=0
  # phase NAME COMMAND…: runs, times and logs it; a failure is recorded and
  # the later phases still run.
  phase() {
    local name=$1 start status; shift
    say "== $name: $*"
    start=$(date +%s)
    set +e
    "$@" 2>&1 | tee -a "$log"
    status=${PIPESTATUS[0]}
    set -e
    local took=$(($(date +%s) - start))
    phases+=("$(printf '%-12s %3dm%02ds  %s' "$name" $((took / 60)) $((took % 60)) \
      "$([ "$status" -eq 0 ] && echo ok || echo "FAILED (exit $status)")")")
    [ "$status" -eq 0 ] || failed=1
    return "$status"
  }
  # The clean environment of a root login in the new system.
  in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      bash -c "cd /root/velmora && $1"
  }
  installed() { chroot "$root" dpkg-query -W -f='${db:Status-Abbrev} ${Package}:${Architecture} ${Installed-Size}\n' \
    | awk '$1 == "ii" { print $2, $3 }' | sort; }
  sizes=()
  # deps_run NAME ARGS: a deps.sh run, with what it added to the system.
  deps_run() {
    local name=$1 before after count kib status=0; shift
    before=$(installed)
    phase "$name" in_root "./scripts/deps.sh $*" || status=$?
    after=$(installed)
    count=$(comm -13 <(echo "$before") <(echo "$after") | grep -c . || true)
    kib=$(comm -13 <(echo "$before") <(echo "$after") | awk '{ s += $2 } END { print s + 0 }')
    sizes+=("$(printf '%-20s %4d packages  %5d MiB' "deps.sh${*:+ $*}" "$count" $(((kib + 512) / 1024)))")
    return "$status"
  }

  if [ ! -e "$root/etc/debian_version" ]; then
    phase debootstrap debootstrap --variant=minbase --include=git,ca-certificates \
      "$release" "$root" "$mirror" || exit 1
    # As in any chroot: packages install their services, nobody starts them.
    printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
    chmod +x "$root/usr/sbin/policy-rc.d"
  fi
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  base_list=$(installed)
  base=$(wc -l <<<"$base_list")

  mount_at /proc -t proc proc
  mount_at /sys -t sysfs sysfs
  mount_at /dev --bind /dev
  mount_at /dev/pts --bind /dev/pts
  mount_at /dev/shm -t tmpfs -o mode=1777 tmpfs
  mount_at /tmp -t tmpfs -o mode=1777 tmpfs

  rm -rf "$root/root/velmora"
  phase clone git clone --quiet --no-hardlinks "$repo" "$root/root/velmora" || exit 1
  git -C "$root/root/velmora" checkout --quiet --detach "$commit"

  deps_run launch-deps || true
  phase launch-build in_root "cmake --preset default && cmake --build --preset default" || true
  deps_run package-deps --package || true
  phase package in_root '
    set -e
    (cd build/default && cpack -G DEB)
    apt-get install -y -qq ./build/default/velmora_*.deb
    test -x /usr/games/velmora
    apt-get remove -y -qq velmora
    ! test -e /usr/games/velmora
    before=$(find ~/.local 2>/dev/null | sort)
    ./scripts/home-install.sh
    file ~/.local/bin/velmora | grep ", stripped"
    ./scripts/home-install.sh --remove
    left=$(comm -13 <(echo "$before") <(find ~/.local 2>/dev/null | sort))
    [ -z "$left" ] || { echo "the home uninstall left: $left"; exit 1; }
    echo "package: the .deb installs and removes; the home install is stripped and uninstalls without a trace"' || true
  deps_run test-deps --test || true
  # Without network: abstract sockets of X and D-Bus stay apart from this machine's.
  # In an empty home, which the run must leave empty.
  rm -rf "$root/root/test-home" && mkdir "$root/root/test-home"
  phase test unshare --net --ipc chroot "$root" /usr/bin/env -i HOME=/root/test-home LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/velmora && cmake --workflow --preset test" || true
  phase test-home bash -c "left=\$(find '$root/root/test-home' -mindepth 1); [ -z \"\$left\" ] || { echo \"the test run left in its home: \$left\"; exit 1; }; echo 'the test run left its home empty'" || true
  # What the README says removes the tools again; a kept root keeps them.
  if [ "$keep" = 0 ]; then
    phase remove in_root "yes | ./scripts/deps.sh --remove" || true
    left=$(comm -13 <(echo "$base_list") <(installed) | cut -d' ' -f1 | cut -d: -f1)
    sizes+=("$(printf '%-20s %4d packages left, of %d before the first deps.sh; kept: %s' "deps.sh --remove" \
      "$(installed | wc -l)" "$base" "$(echo $left)")")
  fi

  {
    echo "in-debian: $release, $(cat "$root/etc/debian_version"), commit $(git -C "$root/root/velmora" rev-parse --short HEAD)"
    echo "installed by each deps.sh run (on a minbase root of $base packages):"
    printf '  %s\n' "${sizes[@]}"
    echo "phases:"
    printf '  %s\n' "${phases[@]}"
    echo "ctest:"
    sed -n '/tests passed, /,$p' "$log" | grep -E 'tests passed|Total Test time|FAILED|\(Failed|\(Timeout|\(Subprocess|\(SEGFAULT' \
      | sed 's/^/  /' || true
  } >"$summary"
  exit "$failed"
fi

# --- on this machine --------------------------------------------------------
# (One function, read whole before it runs: editing this file during a run
# cannot change what the run does next.)
main() {
  keep=""
  while [ $# -gt 0 ]; do
    case $1 in
      --keep) [ $# -ge 2 ] || usage; keep=$(realpath -m "$2"); shift 2 ;;
      --mirror) [ $# -ge 2 ] || usage; mirror=$2; shift 2 ;;
      bookworm | trixie) release=$1; shift ;;
      *) usage ;;
    esac
  done
  [ -n "${release:-}" ] || usage
  : "${mirror:=$(apt_mirror)}"
  [ -n "$mirror" ] || {
    echo "in-debian.sh: this machine's apt sources name no Debian archive; name one with --mirror URL" >&2
    exit 1
  }
  [ "$(id -u)" -eq 0 ] || { echo "in-debian.sh: needs root (debootstrap, chroot, mounts)" >&2; exit 1; }

  repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
  commit=$(git -C "$repo" rev-parse HEAD)

  if ! command -v debootstrap >/dev/null; then
    # Another apt may hold the lock for a while.
    for _ in $(seq 60); do
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap && break
      sleep 10
    done
    command -v debootstrap >/dev/null || { echo "in-debian.sh: cannot install debootstrap" >&2; exit 1; }
  fi

  if [ -n "$keep" ]; then
    root=$keep
    mkdir -p "$root"
    if [ -e "$root/etc/os-release" ] && ! grep -qx "VERSION_CODENAME=$release" "$root/etc/os-release"; then
      echo "in-debian.sh: $root holds another release: $(grep VERSION_CODENAME "$root/etc/os-release")" >&2
      exit 1
    fi
  else
    root=$(mktemp -d "/var/tmp/velmora-$release.XXXXXX")
  fi
  log=/var/tmp/velmora-in-debian-$release.log
  summary=$(mktemp)
  : >"$log"

  mounted_below() { awk -v r="$root" '$5 == r || index($5, r "/") == 1 { print $5 }' /proc/self/mountinfo; }
  cleanup() {
    local m
    # The mounts live in a namespace that ended with the run; should any be
    # here all the same, they go first, innermost first, so that removing the
    # root cannot reach through one of them.
    for m in $(mounted_below | sort -r); do umount "$m" 2>/dev/null || umount -l "$m" || true; done
    if [ -z "$keep" ]; then
      if [ -n "$(mounted_below)" ]; then
        echo "in-debian.sh: still mounted below $root, not removed: $(mounted_below | tr '\n' ' ')" >&2
      else
        rm -rf --one-file-system "$root"
      fi
    fi
    [ -s "$summary" ] && cat "$summary"
    rm -f "$summary"
    echo "in-debian: log in $log${keep:+; root kept in $keep}"
  }
  trap cleanup EXIT

  status=0
  unshare --mount --propagation private --pid --fork --kill-child \
    bash "$0" --inner "$root" "$release" "$log" "$summary" "$commit" "$repo" "$([ -n "$keep" ] && echo 1 || echo 0)" "$mirror" \
    || status=$?
  exit "$status"
}
main "$@"; exit
