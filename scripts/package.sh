#!/usr/bin/env bash
# Builds a package players unzip and run.
#   ./scripts/package.sh windows   ->  dist/redavave-<version>-windows-x64.zip
# The Windows game is cross-built with mingw-w64 against SDL2 and FFmpeg built
# by scripts/windows-deps.sh; its resources tree comes from the native build's
# generator.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
target="${1:-}"
if [ "$target" != "windows" ]; then
  echo "usage: $0 windows" >&2
  exit 2
fi
jobs="$(nproc 2>/dev/null || echo 2)"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

bash scripts/install-deps.sh
deps="$(bash scripts/windows-deps.sh | tail -n 1)"

echo "== The resources tree (native generator) in build/"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build build --target resources -j "$jobs"

echo "== The Windows game in build-windows-release/"
cmake -S . -B build-windows-release -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DREDAVAVE_WINDOWS_DEPS="$deps" -DREDAVAVE_NATIVE_RESOURCES="$root/build/run/resources" \
  -DREDAVAVE_TESTS=OFF -DREDAVAVE_BENCH=OFF >/dev/null
cmake --build build-windows-release --target redavave resources -j "$jobs"

version="$(sed -n 's/^project(Redavave VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
name="redavave-${version}-windows-x64"
stage="$root/dist/$name"
rm -rf "$stage" "$root/dist/$name.zip"
mkdir -p "$stage"
run_dir="build-windows-release/run"
x86_64-w64-mingw32-strip -o "$stage/redavave.exe" "$run_dir/redavave.exe"
for dll in "$deps"/bin/*.dll; do
  x86_64-w64-mingw32-strip --strip-unneeded -o "$stage/$(basename "$dll")" "$dll"
done
cp -r "$run_dir/resources" "$stage/resources"
rm -f "$stage/resources/log.txt"

# Every DLL the game and its DLLs import must be shipped or be part of Windows.
shipped="$(cd "$stage" && ls -1 ./*.dll | sed 's|^\./||' | tr 'A-Z' 'a-z')"
for module in "$stage"/redavave.exe "$stage"/*.dll; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$module" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    if grep -qx "$dll" <<<"$shipped"; then
      continue
    fi
    case "$dll" in
      lib*|*gcc*|*stdc++*|*pthread*)
        echo "package.sh: $(basename "$module") needs $dll, which is not in the package" >&2
        exit 1
        ;;
    esac
  done
done

sed "s/@VERSION@/$version/" packaging/windows/README.txt | sed 's/$/\r/' >"$stage/README.txt"
(cd "$root/dist" && zip -qr "$name.zip" "$name")
echo "Wrote dist/$name.zip ($(du -h "$root/dist/$name.zip" | cut -f1))"
