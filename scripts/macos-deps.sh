#!/usr/bin/env bash
# Builds the two libraries the shipped macOS helper links statically, utf8proc and simdjson, from
# their released sources at the versions pinned below, as universal archives (arm64 and x86_64)
# for macOS 13.0, and installs them with their headers as PREFIX/include and PREFIX/lib/lib*.a.
# Homebrew's archives cannot serve: they hold one architecture and are built for the machine's
# own macOS. Each source archive is checked against its SHA-256 before anything is built from it.
#
#   scripts/macos-deps.sh PREFIX      build and install
#   scripts/macos-deps.sh --versions  print the pinned versions ("utf8proc 2.11.3", ...)
#
# LARKSPIN_DEPS_SOURCES=DIR keeps the downloaded archives in DIR and takes those already there
# (still checked). Elsewhere than on macOS the same sources are built for the machine's own
# compiler, with no architectures and no deployment target: that is how the script is tried
# without a Mac.
set -euo pipefail

# The versions Linux CI builds and tests with (Debian 12's libutf8proc-dev and libsimdjson-dev,
# whose source archives are these very files), so that every CI run tests the library code the
# shipped helper carries; utf8proc 2.8.0 implements Unicode 15.0.0, the version of Debian's
# unicode-data the text tests read there. Move them with those packages, or once the tests pass
# on newer releases (the macOS workflow's tests run on Homebrew's, usually newer).
utf8proc_version=2.8.0
utf8proc_sha256=a0a60a79fe6f6d54e7d411facbfcc867a6e198608f2cd992490e46f04b1bcecc
simdjson_version=3.0.1
simdjson_sha256=156b1bc5eb0561b2bd166b46d191fd3d95a3e709cc63761477d3b7aec2b6e9ed

architectures=(arm64 x86_64)
deployment_target=13.0

if [[ "${1:-}" == --versions ]]; then
  echo "utf8proc $utf8proc_version"
  echo "simdjson $simdjson_version"
  exit 0
fi
if [[ $# -ne 1 || -z "$1" ]]; then
  echo "usage: scripts/macos-deps.sh PREFIX | --versions" >&2
  exit 2
fi
mkdir -p "$1"
prefix=$(cd "$1" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/larkspin-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
sources=${LARKSPIN_DEPS_SOURCES:-$work}
mkdir -p "$sources"

sha256() {
  if command -v sha256sum >/dev/null; then
    sha256sum "$1" | cut -d ' ' -f 1
  else
    shasum -a 256 "$1" | cut -d ' ' -f 1
  fi
}

# Downloads (unless already there) and checks one release archive, then unpacks it into $work.
fetch() {
  local name=$1 version=$2 checksum=$3 url=$4
  local file="$sources/$name-$version.tar.gz"
  if [[ ! -f "$file" ]]; then
    curl -fsSL --retry 3 -o "$file.part" "$url"
    mv "$file.part" "$file"
  fi
  local got
  got=$(sha256 "$file")
  if [[ "$got" != "$checksum" ]]; then
    echo "macos-deps: $file has SHA-256 $got, expected $checksum" >&2
    exit 1
  fi
  tar -xzf "$file" -C "$work"
}

if [[ "$(uname -s)" == Darwin ]]; then
  target_flags=("-mmacosx-version-min=$deployment_target")
  for arch in "${architectures[@]}"; do
    target_flags+=(-arch "$arch")
  done
else
  target_flags=()
fi
cc=${CC:-cc}
cxx=${CXX:-c++}

# One object to one archive; Apple's libtool takes the universal object that ar cannot.
archive() {
  local output=$1 object=$2
  rm -f "$output"
  if [[ "$(uname -s)" == Darwin ]]; then
    xcrun libtool -static -o "$output" "$object"
  else
    ar rcs "$output" "$object"
  fi
}

fetch utf8proc "$utf8proc_version" "$utf8proc_sha256" \
  "https://github.com/JuliaStrings/utf8proc/archive/refs/tags/v$utf8proc_version.tar.gz"
fetch simdjson "$simdjson_version" "$simdjson_sha256" \
  "https://github.com/simdjson/simdjson/archive/refs/tags/v$simdjson_version.tar.gz"

# utf8proc is one C file (it includes its data tables); UTF8PROC_STATIC is what its own build
# defines for an archive.
utf8proc_dir="$work/utf8proc-$utf8proc_version"
"$cc" "${target_flags[@]}" -O2 -DNDEBUG -DUTF8PROC_STATIC -std=c99 \
  -c "$utf8proc_dir/utf8proc.c" -o "$work/utf8proc.o"
archive "$work/libutf8proc.a" "$work/utf8proc.o"

# simdjson's release carries its single-file form; built with NDEBUG and optimisation, so its
# development checks are off, as in every unit of the helper that uses it.
simdjson_dir="$work/simdjson-$simdjson_version/singleheader"
"$cxx" "${target_flags[@]}" -O3 -DNDEBUG -std=c++17 \
  -c "$simdjson_dir/simdjson.cpp" -I "$simdjson_dir" -o "$work/simdjson.o"
archive "$work/libsimdjson.a" "$work/simdjson.o"

mkdir -p "$prefix/include" "$prefix/lib"
cp "$utf8proc_dir/utf8proc.h" "$simdjson_dir/simdjson.h" "$prefix/include/"
cp "$work/libutf8proc.a" "$work/libsimdjson.a" "$prefix/lib/"

# On a Mac, each archive must hold both architectures, each built for the deployment target.
if [[ "$(uname -s)" == Darwin ]]; then
  for library in "$prefix/lib/libutf8proc.a" "$prefix/lib/libsimdjson.a"; do
    for arch in "${architectures[@]}"; do
      minimum=$(otool -arch "$arch" -l "$library" | awk '$1 == "minos" { print $2 }' | sort -u)
      if [[ "$minimum" != "$deployment_target" ]]; then
        echo "macos-deps: $library ($arch): minos '${minimum//$'\n'/ }', expected $deployment_target" >&2
        exit 1
      fi
    done
    lipo -info "$library"
  done
fi
echo "macos-deps: utf8proc $utf8proc_version and simdjson $simdjson_version in $prefix"
