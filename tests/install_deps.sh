#!/usr/bin/env bash
# Installs what building and testing quib needs, when it is missing (Debian packages).
set -euo pipefail
need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/gmp.h ] || [ -f /usr/include/x86_64-linux-gnu/gmp.h ] || need+=(libgmp-dev)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
command -v vim >/dev/null || need+=(vim)
if [ "${1:-}" = --fuzz ]; then
  command -v clang++ >/dev/null || need+=(clang)
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
fi
[ ${#need[@]} -eq 0 ] && exit 0
echo "installing: ${need[*]}"
sudo=
[ "$(id -u)" = 0 ] || sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}"
