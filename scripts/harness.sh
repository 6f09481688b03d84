# Sourced by the scripts that drive the real program: its path and window
# title, a scratch directory, and reporters that name the calling script.
#   harness TAG PATH/TO/velmora
harness() {
  tag=$1
  program=$(realpath "$2")
  title="Velmora - Stand-Alone-Version"
  work=$(mktemp -d)
  pids=()
}
# A failed run keeps its scratch directory (logs, Orca's among them) and names it.
fail() {
  echo "$tag: FAIL: $*" >&2
  failed=1
  exit 1
}
check() { echo "$tag: ok: $*"; }
# 77 is what CTest's SKIP_RETURN_CODE is set to.
skip() { echo "$tag: SKIPPED: $*"; exit 77; }
