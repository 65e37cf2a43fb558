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
# different lengths: one snapshot, copied, so that both read the same
# version whatever happens to the tree meanwhile.
copies=("$work/a" "$work/a-second-copy-somewhere-else")
first=${copies[0]} second=${copies[1]}
mkdir -p "$first"
(cd "$source_root" && git ls-files -z --cached --others --exclude-standard |
   xargs -0 cp --parents -t "$first") || cp -r "$source_root/." "$first"
if [ -d "$source_root/.git" ]; then cp -r "$source_root/.git" "$first/.git"; fi
cp -a "$first" "$second"
for copy in "${copies[@]}"; do
  KESTRAVO_BUILD_DIR="$copy/out" KESTRAVO_BUILD64_DIR="$copy/out64" KESTRAVO_DIST_DIR="$copy/dist" \
    "$copy/scripts/package" >/dev/null
done

status=0
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
