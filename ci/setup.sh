#!/usr/bin/env bash
# Installs what the native build needs and is missing (Debian packages).
set -euo pipefail

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v make >/dev/null || need+=(make)
command -v clang++ >/dev/null || need+=(clang)
command -v clang-format >/dev/null || need+=(clang-format)
command -v clang-tidy >/dev/null || need+=(clang-tidy)
# The tests link the model library with lld as well (GNU ld and gold come with binutils).
command -v ld.lld >/dev/null || need+=(lld)
# Clang's sanitizer runtimes and libFuzzer (one package holds both).
compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.asan-x86_64.a" >/dev/null &&
  compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null || need+=(libclang-rt-dev)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/gmock/gmock.h ] || need+=(libgmock-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
[ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
[ -f /usr/include/CLI/CLI.hpp ] || need+=(libcli11-dev)

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing ${need[*]} and not root; install them first" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
