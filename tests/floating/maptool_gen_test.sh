#!/usr/bin/env bash
# Usage: maptool_gen_test.sh MAPTOOL
set -u
tool=$1
dir=$(mktemp -d maptool_gen.XXXXXX)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
"$tool" gen 1 "$dir/a.vxl" >/dev/null || fail "gen a"
"$tool" gen 1 "$dir/b.vxl" >/dev/null || fail "gen b"
cmp -s "$dir/a.vxl" "$dir/b.vxl" || fail "same seed, different maps"
[ "$(stat -c %s "$dir/a.vxl")" = 2111384 ] || fail "size of the seed-1 map"
"$tool" gen 2 "$dir/c.vxl" >/dev/null || fail "gen c"
cmp -s "$dir/a.vxl" "$dir/c.vxl" && fail "seeds 1 and 2 gave one map"
"$tool" check "$dir/a.vxl" > "$dir/out.txt" || fail "check"
grep -q '^valid$' "$dir/out.txt" || fail "verdict"
"$tool" floating "$dir/a.vxl" > "$dir/out.txt" || fail "floating on gen"
grep -q '^floating groups: 0, blocks: 0$' "$dir/out.txt" || fail "generated map has floating groups"
# Flat ground at z 40 with column (0, 0) replaced by a loose block at z 10
# above its ground.
"$tool" flat "$dir/flat.vxl" 40 >/dev/null || fail "flat"
{ printf '\002\012\012\000\177\177\177\177\000\050\050\013\177\177\177\177'; tail -c +9 "$dir/flat.vxl"; } > "$dir/loose.vxl"
"$tool" floating "$dir/loose.vxl" > "$dir/out.txt" || fail "floating on loose"
grep -q '^group 1: seed 0,0,10 box x 0..1 y 0..1 z 10..10 spans 1 blocks 1$' "$dir/out.txt" || fail "group line"
grep -q '^floating groups: 1, blocks: 1$' "$dir/out.txt" || fail "total"
# Bad arguments and files.
"$tool" gen x "$dir/x.vxl" 2>/dev/null; [ $? = 2 ] || fail "non-numeric seed"
"$tool" gen 1 2>/dev/null; [ $? = 2 ] || fail "missing OUT"
"$tool" floating "$dir/none.vxl" >/dev/null 2>&1; [ $? = 1 ] || fail "missing file"
head -c 5000 "$dir/a.vxl" > "$dir/cut.vxl"
"$tool" floating "$dir/cut.vxl" >/dev/null 2>&1; [ $? = 1 ] || fail "truncated file"
echo ok
