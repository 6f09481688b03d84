#!/usr/bin/env bash
# Installs the built program into ~/.local without root, stripped of its
# debug information, and lists in ~/.local/share/velmora-files.txt what it
# put there: the files, and the folders that it had to make. --remove deletes
# those files, then those folders where they are left empty.
#   home-install.sh [BUILD_DIR]    BUILD_DIR: build/default unless given
#   home-install.sh --remove
set -euo pipefail
export LC_ALL=C # one order for sort, comm and the removal
prefix=$HOME/.local
list=$prefix/share/velmora-files.txt
# A folder is listed with a trailing slash.
folders() { [ -d "$prefix" ] && find "$prefix" -type d -printf '%p/\n' | sort; }

if [ "${1:-}" = --remove ]; then
  [ -s "$list" ] || { echo "home-install.sh: $list lists nothing to remove" >&2; exit 1; }
  # Only what lies in ~/.local, whatever else the list may hold.
  grep "^$prefix/.*[^/]\$" "$list" | xargs -rd '\n' rm -f --
  made=$(grep -E "^$prefix(/.*)?/\$" "$list" | sort -r || true)
  rm -f "$list"
  # Deepest first, so that a folder emptied of its folders goes too.
  while IFS= read -r folder; do
    [ -z "$folder" ] || rmdir --ignore-fail-on-non-empty -- "$folder" 2>/dev/null || true
  done <<<"$made"
  echo "home-install.sh: removed Velmora from $prefix"
  exit 0
fi

build=${1:-build/default}
[ -f "$build/install_manifest.txt" ] || [ -f "$build/CMakeCache.txt" ] \
  || { echo "home-install.sh: $build holds no build; build it first (see the README)" >&2; exit 1; }
before=$(folders || true)
# Folders that an earlier install made are still its own.
[ -s "$list" ] && before=$(comm -23 <(echo "$before") <(grep '/$' "$list" | sort))
cmake --install "$build" --prefix "$prefix" --strip
{
  # The build folder's manifest is written anew by every install, cpack's too.
  cat "$build/install_manifest.txt"
  echo
  comm -13 <(echo "$before") <(folders)
} | grep . | sort -u >"$list.new"
mv "$list.new" "$list"
echo "home-install.sh: installed into $prefix; ./scripts/home-install.sh --remove removes it again"
