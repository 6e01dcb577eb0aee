#!/usr/bin/env bash
# Installs from Debian packages what is missing: for building quib (no option), for its test
# suite too (--tests), or for the suite and its fuzzing smoke run (--fuzz). Runs as root or
# through sudo, and updates the package index at most once.
set -euo pipefail
mode=${1:-}
case $mode in
  "" | --tests | --fuzz) ;;
  *) echo "usage: $0 [--tests | --fuzz]" >&2; exit 2 ;;
esac

say() { echo "install_deps: $*"; }
fail() { echo "install_deps: $*" >&2; exit 1; }
have_header() { [ -f "/usr/include/$1" ] || [ -f "/usr/include/x86_64-linux-gnu/$1" ]; }

as_root=()
index_updated=no
# Root runs apt-get itself, anyone else through sudo.
choose_admin() {
  [ "$(id -u)" = 0 ] && return
  command -v sudo >/dev/null || fail "not root and no sudo: run this as root, or have these installed: $*"
  as_root=(sudo)
}
# Everything that changes the system goes through here, so that a failure is said.
as_admin() { "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive "$@" || fail "failed: $*"; }
update_index_once() {
  [ "$index_updated" = yes ] && return
  command -v apt-get >/dev/null || fail "no apt-get: install by hand what is named above"
  say "updating the package index"
  as_admin apt-get update -qq
  index_updated=yes
}
install_packages() {
  choose_admin "$@"
  update_index_once
  say "installing: $*"
  as_admin apt-get install -y -qq "$@"
}

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v make >/dev/null || need+=(make)  # only a recommendation of cmake
command -v g++ >/dev/null || need+=(g++)
have_header gmp.h || need+=(libgmp-dev)
if [ -n "$mode" ]; then
  have_header gtest/gtest.h || need+=(libgtest-dev)
  command -v python3 >/dev/null || need+=(python3)  # the scripts generate their large inputs
  [ -x /usr/bin/time ] || need+=(time)              # peak memory in the deep-list script
  command -v man >/dev/null || need+=(man-db)       # the install script renders the manual page
  command -v groff >/dev/null || need+=(groff-base)
  command -v vim >/dev/null || need+=(vim)          # the syntax files are checked in vim
fi
if [ "$mode" = --fuzz ]; then
  command -v clang++ >/dev/null || need+=(clang)
fi
if [ ${#need[@]} -gt 0 ]; then
  say "missing: ${need[*]}"
  install_packages "${need[@]}"
fi

# libFuzzer comes with the compiler runtime of the same major version as the installed clang.
if [ "$mode" = --fuzz ]; then
  major=$(clang++ -dumpversion | cut -d. -f1)
  clang_lib=/usr/lib/llvm-$major/lib/clang
  if ! compgen -G "$clang_lib/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null &&
     ! compgen -G "$clang_lib/*/lib/x86_64*/libclang_rt.fuzzer.a" >/dev/null; then
    say "clang $major has no fuzzing runtime"
    runtime=libclang-rt-$major-dev
    choose_admin "$runtime"
    update_index_once
    apt-cache show "$runtime" >/dev/null 2>&1 || runtime=libclang-common-$major-dev  # older releases
    install_packages "$runtime"
  fi
fi
[ ${#need[@]} -gt 0 ] || [ "$index_updated" = yes ] || say "nothing to install"
