#!/usr/bin/env bash
# Checks a helper built to be shipped on macOS: both architectures (arm64 and x86_64), each built
# for macOS 13.0 or later, and only the system's own libraries and frameworks loaded at run time
# (utf8proc and simdjson linked in). Prints what it looked at; exits non-zero on any miss.
#
#   scripts/macos-check-universal.sh path/to/larkspin-helper
set -euo pipefail

binary=${1:?usage: scripts/macos-check-universal.sh BINARY}
architectures=(arm64 x86_64)
deployment_target=13.0
# What the backend links by name; anything else must still be a system library.
frameworks=(AppKit ApplicationServices Carbon CoreFoundation CoreGraphics CoreServices Foundation)
failed=0

fail() {
  echo "macos-check-universal: $*" >&2
  failed=1
}

lipo -info "$binary"
present=" $(lipo -archs "$binary") "
for arch in "${architectures[@]}"; do
  if [[ "$present" != *" $arch "* ]]; then
    fail "no $arch in $binary"
    continue
  fi
  vtool -arch "$arch" -show-build "$binary"
  minimum=$(otool -arch "$arch" -l "$binary" | awk '$1 == "minos" { print $2 }' | sort -u)
  if [[ "$minimum" != "$deployment_target" ]]; then
    fail "$arch: minos '${minimum//$'\n'/ }', expected $deployment_target"
  fi
  # The first line names the file; each further line is one library it loads.
  otool -arch "$arch" -L "$binary"
  libraries=$(otool -arch "$arch" -L "$binary" | tail -n +2 | awk '{ print $1 }')
  while IFS= read -r library; do
    case "$library" in
      /System/Library/Frameworks/* | /usr/lib/*) ;;
      *) fail "$arch loads $library, which is not part of macOS" ;;
    esac
  done <<<"$libraries"
  for framework in "${frameworks[@]}"; do
    if ! grep -q "^/System/Library/Frameworks/$framework.framework/" <<<"$libraries"; then
      fail "$arch does not link $framework"
    fi
  done
done
if ((failed)); then
  exit 1
fi
echo "macos-check-universal: $binary holds ${architectures[*]}, each for macOS $deployment_target, and loads only system libraries"
