#!/usr/bin/env bash
# scripts/check's reports, on a small repository of its own: which include
# guards and which files it names, and its exit status. SOURCE_DIR is the
# checkout whose scripts/check is tried.
set -uo pipefail
: "${SOURCE_DIR:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

repo=$work/repo
mkdir -p "$repo/scripts" "$repo/lib/deep" "$repo/include/chromaline"
cp "$SOURCE_DIR/scripts/check" "$SOURCE_DIR/.clang-format" "$repo/"
mv "$repo/check" "$repo/scripts/check"
guarded() {  # path guard [define]: a header with that guard
  printf '#ifndef %s\n#define %s\n\nint f();\n\n#endif  // %s\n' "$2" "${3:-$2}" "$2" >"$repo/$1"
}
# path | guard written | guard defined | reported?
cases=(
  "lib/deep/gamma.h|CHROMALINE_LIB_DEEP_GAMMA_H_||no"
  "lib/deep/old.h|CHROMALINE_LIB_OLD_H_||yes"
  "lib/two_words.h|CHROMALINE_LIB_TWO_WORDS_H_||no"
  "lib/dash-name.h|CHROMALINE_LIB_DASH_NAME_H_||no"
  "lib/rows_avx2.h|CHROMALINE_LIB_ROWS_AVX2_H_||no"
  "include/chromaline/api.h|CHROMALINE_API_H_||no"
  "include/chromaline/abi.h|CHROMALINE_INCLUDE_CHROMALINE_ABI_H_||yes"
  "lib/mismatch.h|CHROMALINE_LIB_MISMATCH_H_|CHROMALINE_LIB_MISMATCH_H|yes"
  "lib/prefix.h|LIB_PREFIX_H_||yes"
)
for row in "${cases[@]}"; do
  IFS='|' read -r path guard define _ <<<"$row"
  guarded "$path" "$guard" "$define"
done
printf '#pragma once\nint g();\n' >"$repo/lib/pragma.h"
# A macro defined before the guard is not the guard's #define.
printf '#define LIB_EARLY_VERSION 2\n#ifndef CHROMALINE_LIB_EARLY_H_\n#define CHROMALINE_LIB_EARLY_H_\n#endif\n' \
  >"$repo/lib/early.h"
printf 'int Formatted(int a) { return a + 1; }\n' >"$repo/lib/formatted.cpp"
printf 'int  Messy( int a ){return a+1;}\n' >"$repo/lib/messy.cpp"
git -C "$repo" init -q && git -C "$repo" add -A && git -C "$repo" -c user.name=t -c user.email=t@t commit -qm t
# A header not yet added to git counts too.
guarded lib/untracked.h WRONG_H_

out=$(cd "$repo" && bash scripts/check --style-only 2>&1)
status=$?
expect() {  # description, then whether the output has the pattern (yes/no), pattern
  local found=no
  grep -q -- "$3" <<<"$out" && found=yes
  if [ "$found" != "$2" ]; then
    echo "FAIL: $1 (expected '$3' in the output: $2)"
    failures=$((failures + 1))
  fi
}
for row in "${cases[@]}"; do
  IFS='|' read -r path guard _ reported <<<"$row"
  expect "guard of $path" "$reported" "^$path:"
done
expect "a header with #pragma once and no guard" yes "^lib/pragma.h: no include guard"
expect "a header with a macro before its guard" no "^lib/early.h:"
expect "a header git does not know yet" yes "^lib/untracked.h: guard WRONG_H_, want CHROMALINE_LIB_UNTRACKED_H_"
expect "the count of guards" yes "^6 header(s) with a guard"
expect "an unformatted file" yes "^lib/messy.cpp: "
expect "a formatted file" no "formatted.cpp"
expect "the count of unformatted files" yes "^1 file(s) clang-format would change"
expect "nothing built with --style-only" no "== build"
[ "$status" -eq 2 ] || { echo "FAIL: exit status $status with style reports, expected 2"; failures=$((failures + 1)); }

# Everything clean: exit status 0.
rm "$repo/lib/deep/old.h" "$repo/include/chromaline/abi.h" "$repo/lib/mismatch.h" "$repo/lib/prefix.h" \
  "$repo/lib/pragma.h" "$repo/lib/untracked.h" "$repo/lib/messy.cpp"
out=$(cd "$repo" && bash scripts/check --style-only 2>&1)
status=$?
expect "no guard reported when all name their path" yes "^0 header(s) with a guard"
expect "no file reported when all are formatted" yes "every file formatted"
[ "$status" -eq 0 ] || { echo "FAIL: exit status $status when clean, expected 0"; echo "$out"; failures=$((failures + 1)); }

# One kind of report alone still says so in the exit status.
printf 'int  Messy( int a ){return a+1;}\n' >"$repo/lib/messy.cpp"
out=$(cd "$repo" && bash scripts/check --style-only 2>&1)
status=$?
[ "$status" -eq 2 ] || { echo "FAIL: exit status $status with an unformatted file alone, expected 2"; failures=$((failures + 1)); }
rm "$repo/lib/messy.cpp"
guarded lib/alone.h CHROMALINE_ALONE_H_
out=$(cd "$repo" && bash scripts/check --style-only 2>&1)
status=$?
[ "$status" -eq 2 ] || { echo "FAIL: exit status $status with a guard alone, expected 2"; failures=$((failures + 1)); }

# A build that fails (here: nothing to configure) wins over the style
# reports, which still come.
out=$(cd "$repo" && bash scripts/check 2>&1)
status=$?
[ "$status" -eq 1 ] || { echo "FAIL: exit status $status when the build fails, expected 1"; failures=$((failures + 1)); }
expect "the failed build named" yes "^FAILED: the build or the tests"
expect "the tests not run after a failed build" yes "^not run: the build failed"
expect "the style reported after a failed build" yes "^lib/alone.h: guard"

if [ "$failures" -ne 0 ]; then
  echo "$out"
  exit 1
fi
echo "scripts/check: guards, formatting and exit status as expected"
