#!/usr/bin/env bash
# Builds the project for 32-bit Windows with the MinGW-w64 cross compiler and
# runs the whole test suite under wine.
#
#   ci/windows.sh [build-dir]      (default: build-win in the source tree)
#
# Installs what is missing (cross compiler, wine with its 32-bit part,
# GoogleTest's sources), cross-builds GoogleTest from Debian's sources into the
# build tree, configures with cmake/toolchain-i686-w64-mingw32.cmake, builds and
# runs ctest; each test program is one CTest entry that runs under wine. The
# build is optimised as the native one is, without debug information, which
# takes most of the cross build's time and is not read under wine.
#
#   JOBS=n                         build jobs (default: every processor)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build-win}
mkdir -p "$build"
build=$(cd "$build" && pwd)
jobs=${JOBS:-$(nproc)}
triplet=i686-w64-mingw32
toolchain=$root/cmake/toolchain-$triplet.cmake

stamp() { printf '%s\n' "windows: $*"; }
elapsed() { printf '%ds' $((SECONDS - $1)); }

# --- install ---------------------------------------------------------------
t_install=$SECONDS
missing=()
command -v $triplet-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686-posix)
command -v $triplet-windres >/dev/null || missing+=(binutils-mingw-w64-i686)
command -v wine >/dev/null || missing+=(wine)
# wine runs 32-bit programs only with its 32-bit half.
dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'ok installed' || missing+=(wine32:i386)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
if [ ${#missing[@]} -gt 0 ]; then
  stamp "installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "windows: missing ${missing[*]} and not root; install them first" >&2
    exit 1
  fi
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >"$build/apt-install.log" 2>&1 ||
    { tail -n 30 "$build/apt-install.log" >&2; exit 1; }
fi
stamp "install $(elapsed $t_install)"

export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=
export WINEPREFIX=$build/wineprefix
unset DISPLAY WAYLAND_DISPLAY

# --- GoogleTest, cross-built once per build tree -----------------------------
t_build=$SECONDS
gtest_prefix=$build/_gtest/install
if [ ! -f "$gtest_prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
  stamp "building GoogleTest from /usr/src/googletest"
  mkdir -p "$build/_gtest"
  cmake -S /usr/src/googletest -B "$build/_gtest/build" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$gtest_prefix" -DBUILD_SHARED_LIBS=OFF \
    -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON >"$build/_gtest/configure.log" 2>&1 ||
    { tail -n 30 "$build/_gtest/configure.log" >&2; exit 1; }
  cmake --build "$build/_gtest/build" -j"$jobs" >"$build/_gtest/build.log" 2>&1 ||
    { tail -n 30 "$build/_gtest/build.log" >&2; exit 1; }
  cmake --install "$build/_gtest/build" >/dev/null
fi

# --- the project --------------------------------------------------------------
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DMORVANE_WERROR=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" \
  -DGTest_DIR="$gtest_prefix/lib/cmake/GTest" \
  -DGMock_DIR="$gtest_prefix/lib/cmake/GMock" >"$build/configure.log" 2>&1 ||
  { tail -n 40 "$build/configure.log" >&2; exit 1; }
cmake --build "$build" -j"$jobs" >"$build/build.log" 2>&1 ||
  { grep -E -A5 'error|Error' "$build/build.log" | head -n 80 >&2; echo "windows: build failed, see $build/build.log" >&2; exit 1; }
stamp "build $(elapsed $t_build)"

# --- tests under wine ---------------------------------------------------------
t_test=$SECONDS
# A fresh prefix is made once before the tests, not by several of them at once.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1 || true
  wineserver --wait || true
fi
status=0
ctest --test-dir "$build" --output-on-failure -j"$jobs" || status=$?
wineserver --kill >/dev/null 2>&1 || true
stamp "test $(elapsed $t_test)"
exit $status
