#!/usr/bin/env bash
# Builds the Debian package from the release preset and copies it to OUT.
#   build_package.sh SOURCE_DIR OUT
# The test build's binaries carry the sanitizers, so the package comes from build/release; one
# compile job, so that the tests running beside it keep their share of the machine.
set -euo pipefail

source_dir=$1
out=$2
cd "$source_dir"

step()
{
    local name=$1 start=$SECONDS
    shift
    "$@" >"$out.log" 2>&1 || { cat "$out.log" >&2; echo "build_package: $name failed" >&2; exit 1; }
    echo "build_package: $name took $((SECONDS - start)) s"
}

rm -f "$out"
step configure cmake --preset release
step build cmake --build --preset release --parallel 1 --target nimbrel nimbrel-devsim
rm -rf build/release/package
step cpack bash -c 'cd build/release && cpack -G DEB'
debs=(build/release/package/*.deb)
((${#debs[@]} == 1)) || { echo "build_package: expected one package, found: ${debs[*]}" >&2; exit 1; }
cp "${debs[0]}" "$out"
rm -f "$out.log"
echo "build_package: ${debs[0]} -> $out"
