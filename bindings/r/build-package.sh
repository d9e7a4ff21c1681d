#!/usr/bin/env bash
# Builds the R package's source tarball from this checkout:
#   bindings/r/build-package.sh [OUTPUT-FOLDER]
# The package folder is copied into a staging folder together with the
# engine's sources (src/<room> for every room below the command line), so the
# tarball compiles the checkout's own engine and nothing is kept twice in the
# repository. Prints the tarball's path (noiseclust_<version>.tar.gz).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
checkout=$(cd "$here/../.." && pwd)
out=$(mkdir -p "${1:-.}" && cd "${1:-.}" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

cp -R "$here/noiseclust" "$stage/noiseclust"
mkdir -p "$stage/noiseclust/src/engine"
for room in random data resample cluster consensus output run; do
    mkdir -p "$stage/noiseclust/src/engine/$room"
    cp "$checkout/src/$room/"*.h "$checkout/src/$room/"*.cpp "$stage/noiseclust/src/engine/$room/"
done
(cd "$out" && R CMD build --no-manual "$stage/noiseclust" >&2)
version=$(sed -n 's/^Version: *//p' "$here/noiseclust/DESCRIPTION")
echo "$out/noiseclust_$version.tar.gz"
