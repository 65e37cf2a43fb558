#!/usr/bin/env bash
# The same tree built twice, from two different folders, must give
# byte-identical programs, checker and bundle: no timestamps and no build
# paths in them. Builds the bundle in each folder with scripts/package and
# compares.
set -euo pipefail
source_root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two copies of the tree as it stands (committed or not), at paths of
# different lengths.
copies=("$work/a" "$work/a-second-copy-somewhere-else")
for copy in "${copies[@]}"; do
  mkdir -p "$copy"
  (cd "$source_root" && git ls-files -z --cached --others --exclude-standard |
     xargs -0 cp --parents -t "$copy" 2>/dev/null) || cp -r "$source_root/." "$copy"
  # The version of both copies must read the same, whatever the tree's state.
  [ -d "$source_root/.git" ] && cp -r "$source_root/.git" "$copy/.git"
  KESTRAVO_BUILD_DIR="$copy/out" KESTRAVO_BUILD64_DIR="$copy/out64" KESTRAVO_DIST_DIR="$copy/dist" \
    "$copy/scripts/package" >/dev/null
done

status=0
first=${copies[0]} second=${copies[1]}
for file in out/kestravo.exe out/kestravo-aslr.exe out64/kestravo64.exe out/kestravo-check.exe \
  dist/SHA256SUMS; do
  if cmp -s "$first/$file" "$second/$file"; then
    echo "same: $file"
  else
    echo "DIFFERENT: $file"
    status=1
  fi
done
zips=("$first"/dist/*.zip)
if cmp -s "${zips[0]}" "$second/dist/$(basename "${zips[0]}")"; then
  echo "same: dist/$(basename "${zips[0]}")"
else
  echo "DIFFERENT: dist/$(basename "${zips[0]}")"
  status=1
fi
exit $status
