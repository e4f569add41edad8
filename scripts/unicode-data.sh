#!/usr/bin/env bash
# Puts the Unicode Consortium's data files that the text tests read into the folder a configured
# build compiled into them (LARKSPIN_UNICODE_DATA), of the Unicode version that the utf8proc this
# build links implements: PropList.txt, auxiliary/GraphemeBreakTest.txt and
# NormalizationTest.txt.bz2 (compressed, as Debian's unicode-data package installs it). That
# version is asked of the library itself, by a small program linked with it.
#
#   scripts/unicode-data.sh [BUILD_DIR]    (default: build; configure it first)
#
# A folder that already holds the files of that version is left alone; files of another version
# are an error and stay as they are. LARKSPIN_UNICODE_MIRROR replaces https://www.unicode.org/Public
# (any URL curl reads, file:// too).
set -euo pipefail

build=${1:-build}
cache="$build/CMakeCache.txt"
if [[ ! -f "$cache" ]]; then
  echo "unicode-data: no $cache: configure the build first" >&2
  exit 2
fi
cached() {
  sed -n "s/^$1:[A-Z]*=//p" "$cache" | head -n 1
}
data=$(cached LARKSPIN_UNICODE_DATA)
include=$(cached UTF8PROC_INCLUDE_DIR)
library=$(cached LARKSPIN_UTF8PROC_LINKED)
if [[ -z "$data" || -z "$include" || -z "$library" ]]; then
  echo "unicode-data: $cache names no Unicode data folder or no utf8proc (tests off?)" >&2
  exit 2
fi
mirror=${LARKSPIN_UNICODE_MIRROR:-https://www.unicode.org/Public}

work=$(mktemp -d "${TMPDIR:-/tmp}/larkspin-unicode.XXXXXX")
trap 'rm -rf "$work"' EXIT
here=$(cd "$(dirname "$0")" && pwd)
"${CC:-cc}" -I "$include" "$here/unicode-version.c" "$library" -o "$work/unicode-version"
version=$("$work/unicode-version")
if [[ ! "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  echo "unicode-data: $library reports Unicode version '$version'" >&2
  exit 1
fi
echo "unicode-data: $library implements Unicode $version"

# Each file: where it lives under the version's folder, where the tests read it, and the name its
# first line gives it ("# PropList-17.0.0.txt").
files=(
  "ucd/PropList.txt PropList.txt PropList"
  "ucd/auxiliary/GraphemeBreakTest.txt auxiliary/GraphemeBreakTest.txt GraphemeBreakTest"
  "ucd/NormalizationTest.txt NormalizationTest.txt.bz2 NormalizationTest"
)

first_line() {
  if [[ "$1" == *.bz2 ]]; then
    bzip2 -dc "$1" | awk 'NR == 1 { print }'
  else
    awk 'NR == 1 { print }' "$1"
  fi
}

missing=0
for entry in "${files[@]}"; do
  read -r remote target name <<<"$entry"
  if [[ ! -f "$data/$target" ]]; then
    missing=1
    continue
  fi
  line=$(first_line "$data/$target")
  if [[ "$line" != "# $name-$version.txt" ]]; then
    echo "unicode-data: $data/$target is '$line', not Unicode $version; left as it is" >&2
    exit 1
  fi
done
if ((missing == 0)); then
  echo "unicode-data: $data already holds the files of Unicode $version"
  exit 0
fi
if [[ "$data" == /usr/share/unicode ]]; then
  echo "unicode-data: $data is the unicode-data package's: install it, or configure with" \
    "-DLARKSPIN_UNICODE_DATA=DIR" >&2
  exit 1
fi

for entry in "${files[@]}"; do
  read -r remote target name <<<"$entry"
  plain="$work/$(basename "$remote")"
  curl -fsSL --retry 3 -o "$plain" "$mirror/$version/$remote"
  line=$(first_line "$plain")
  if [[ "$line" != "# $name-$version.txt" ]]; then
    echo "unicode-data: $mirror/$version/$remote begins '$line'" >&2
    exit 1
  fi
  mkdir -p "$(dirname "$data/$target")"
  if [[ "$target" == *.bz2 ]]; then
    bzip2 -c "$plain" >"$data/$target.part"
  else
    cp "$plain" "$data/$target.part"
  fi
  mv "$data/$target.part" "$data/$target"
done
echo "unicode-data: the files of Unicode $version are in $data"
