#!/usr/bin/env bash
# Runs one test with a home and XDG folders of its own, removed afterwards:
# fontconfig, Mesa, openbox, Orca, dconf and the AT-SPI bus all write to the
# home they are given, and a test run must leave the user's as it found it.
#   isolated.sh COMMAND…
set -uo pipefail
scratch=$(mktemp -d "${TMPDIR:-/tmp}/velmora-test.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
export HOME=$scratch/home
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache \
  XDG_DATA_HOME=$HOME/.local/share XDG_STATE_HOME=$HOME/.local/state \
  XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR" || exit 1
"$@"
