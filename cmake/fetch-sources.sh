#!/bin/sh
# Fetches the sources of libpng and zlib that the browser page and the Windows cross-build compile
# for their own toolchains (neither Emscripten nor Debian's mingw-w64 comes with a libpng), as
# Debian ships them: `apt-get source` downloads each source package and dpkg-source unpacks it and
# applies Debian's patches. They go to FOLDER/libpng and FOLDER/zlib, where the build looks for
# them by default (BMP2TVX_THIRD_PARTY_DIR):
#   cmake/fetch-sources.sh [FOLDER]        FOLDER: third_party in the source tree
# Needs dpkg-dev and a deb-src entry for Debian's main archive (then apt-get update); runs as any
# user. Fetching again replaces what is there.
set -eu
folder=${1:-$(cd "$(dirname "$0")/.." && pwd)/third_party}
mkdir -p "$folder"
work=$(mktemp -d "$folder/.fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT

if ! (cd "$work" && apt-get source -q libpng1.6 zlib >"$work/log" 2>&1); then
    cat "$work/log" >&2
    echo "fetch-sources.sh: apt-get source failed; it needs dpkg-dev and a deb-src line for" \
        "Debian's main archive (deb-src http://deb.debian.org/debian bookworm main), then" \
        "apt-get update." >&2
    exit 1
fi
for package in libpng:libpng1.6-* zlib:zlib-*; do
    name=${package%%:*}
    unpacked=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "${package#*:}")
    rm -rf "${folder:?}/$name"
    mv "$unpacked" "$folder/$name"
    echo "$folder/$name: $(head -n 1 "$folder/$name/debian/changelog")"
done
# Two changes to zlib's sources let its CMake build configure them out of the source tree for any
# toolchain. Debian leaves out win32/, the files for Windows' own compilers, but zlib's CMake build
# names win32/zlib1.rc, the DLL's version resource, for every toolchain but MinGW: it is only ever
# compiled into the DLL, which is never built here, so an empty one stands in. And zlib's CMake
# build writes its own zconf.h in the build folder, and moves the one in the sources
# out of the way the first time it is configured; moving it now leaves the sources as they are
# from here on, however many builds use them at once.
mkdir "$folder/zlib/win32"
: >"$folder/zlib/win32/zlib1.rc"
mv "$folder/zlib/zconf.h" "$folder/zlib/zconf.h.included"
