#!/usr/bin/env bash
# Builds simdjson's static archive from Debian's source package of the very version that
# libsimdjson-dev installed (Debian ships only the shared library), for the fully static helper,
# and installs it as PREFIX/lib/libsimdjson.a (PREFIX defaults to /usr/local). Needs root, apt and
# g++. No apt setting of the machine changes: the source lists it reads are its own copies of the
# machine's package lists, turned into source lists.
set -euo pipefail
prefix=${1:-/usr/local}
version=$(dpkg-query -W -f='${Version}' libsimdjson-dev)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/parts" "$work/lists/partial"
for file in /etc/apt/sources.list.d/*.sources; do
  if [ -e "$file" ]; then
    sed 's/^Types:.*/Types: deb-src/' "$file" >"$work/parts/$(basename "$file")"
  fi
done
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  if [ -e "$file" ]; then
    sed -n 's/^deb /deb-src /p' "$file" >"$work/parts/$(basename "$file" .list).list"
  fi
done
apt_options=(-o "Dir::Etc::SourceParts=$work/parts" -o "Dir::Etc::SourceList=/dev/null"
  -o "Dir::State::Lists=$work/lists" -o "APT::Sandbox::User=root")
apt-get "${apt_options[@]}" update -q
(cd "$work" && apt-get "${apt_options[@]}" source --download-only -q "simdjson=$version")
tar -xzf "$work"/simdjson_*.orig.tar.gz -C "$work"
source_dir=$(echo "$work"/simdjson-*/singleheader)
# The archive must hold the code of the header it is compiled against.
cmp "$source_dir/simdjson.h" /usr/include/simdjson.h
g++ -O3 -DNDEBUG -std=c++17 -c "$source_dir/simdjson.cpp" -o "$work/simdjson.o"
ar rcs "$work/libsimdjson.a" "$work/simdjson.o"
install -D -m 644 "$work/libsimdjson.a" "$prefix/lib/libsimdjson.a"
echo "simdjson-archive: $prefix/lib/libsimdjson.a from simdjson $version"
