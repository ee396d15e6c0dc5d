#!/usr/bin/env bash
# File: bench/loops_mca.sh
#
# llvm-mca's estimate of each row loop of the sharpening engine on named
# processors, without running them: bench/loops_mca.cpp (the steady state
# of each loop, built from the shipped loops' own steps and block shapes)
# compiled to assembly per instruction set and build (64-bit native with
# g++, 32-bit as in the DLL with mingw-w64), then llvm-mca on each marked
# region. Prints the block reciprocal throughput (the ports alone), the
# simulated cycles per iteration (with the chains from one iteration to the
# next) and both per tap-lane (one tap on one value; per value for the
# sharpening step).
#
#   bench/loops_mca.sh [MCA]      (default: llvm-mca-14, else llvm-mca)
set -eu
cd "$(dirname "$0")/.."
mca=${1:-$(command -v llvm-mca-14 || command -v llvm-mca)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
flags="-std=c++17 -O3 -ffp-contract=off -I. -Iinclude"

# build isa compiler extra-flags triple cpus...
configs=(
  "x64 avx512 g++ - x86_64-linux-gnu icelake-server skylake-avx512"
  "x64 avx2 g++ - x86_64-linux-gnu znver3 skylake"
  "x64 sse2 g++ - x86_64-linux-gnu znver3"
  "dll avx512 i686-w64-mingw32-g++-posix -msse2,-mfpmath=sse i686-pc-windows-gnu icelake-server skylake-avx512"
  "dll avx2 i686-w64-mingw32-g++-posix -msse2,-mfpmath=sse i686-pc-windows-gnu znver3 skylake"
  "dll sse2 i686-w64-mingw32-g++-posix -msse2,-mfpmath=sse i686-pc-windows-gnu znver3"
)
printf '%-4s %-7s %-16s %-30s %7s %7s %9s %9s\n' build isa cpu region block cycles "block/tl" "cycles/tl"
for config in "${configs[@]}"; do
  read -r build isa cxx extra triple cpus <<<"$config"
  command -v "$cxx" >/dev/null || continue
  extra=${extra//,/ }
  [ "$extra" = "-" ] && extra=
  define=MCA_$(echo "$isa" | tr a-z A-Z)
  # mingw's assembly marks inline assembly with lines llvm-mca does not read.
  # shellcheck disable=SC2086
  "$cxx" $flags $extra -D"$define" -S bench/loops_mca.cpp -o - | grep -v '^/\(NO_\)\?APP' >"$work/$build-$isa.s"
  for cpu in $cpus; do
    "$mca" -mtriple="$triple" -mcpu="$cpu" "$work/$build-$isa.s" 2>/dev/null |
      awk -v build="$build" -v isa="$isa" -v cpu="$cpu" '
        /Code Region - / { name = $NF }
        /^Iterations:/ { iterations = $2 }
        /^Total Cycles:/ { cycles = $3 / iterations }
        /Block RThroughput:/ {
          lanes = name; sub(/.*_/, "", lanes); region = name; sub(/_[0-9]+$/, "", region)
          printf "%-4s %-7s %-16s %-30s %7.1f %7.1f %9.3f %9.3f\n", build, isa, cpu, region " (" lanes ")", $3,
                 cycles, $3 / lanes, cycles / lanes
        }'
  done
done
