#!/usr/bin/env bash
# Usage: maptool_test.sh MAPTOOL
set -u
tool=$1
dir=$(mktemp -d maptool_test.XXXXXX)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
"$tool" flat "$dir/flat.vxl" 30 >/dev/null || fail "flat"
"$tool" pillars "$dir/pillars.vxl" 2 300 >/dev/null || fail "pillars"
"$tool" random "$dir/random.vxl" 4 3000 >/dev/null || fail "random"
for m in flat pillars random; do
  "$tool" check --strict "$dir/$m.vxl" > "$dir/out.txt" || fail "check $m"
  grep -q '^columns: 262144$' "$dir/out.txt" || fail "statistics of $m"
  grep -q '^valid$' "$dir/out.txt" || fail "verdict of $m"
done
[ "$(stat -c %s "$dir/flat.vxl")" = 2097152 ] || fail "flat size"
# Truncated, padded and missing files are refused with exit code 1.
head -c 1000000 "$dir/random.vxl" > "$dir/cut.vxl"
"$tool" check "$dir/cut.vxl" >/dev/null; [ $? = 1 ] || fail "truncated accepted"
{ cat "$dir/flat.vxl"; printf 'abcd'; } > "$dir/pad.vxl"
"$tool" check "$dir/pad.vxl" >/dev/null; [ $? = 1 ] || fail "padded accepted"
# A file past the image limit is refused and named with its own size.
head -c 20000000 /dev/zero > "$dir/big.vxl"
"$tool" check "$dir/big.vxl" > "$dir/out.txt"; [ $? = 1 ] || fail "oversized accepted"
grep -q "^file: $dir/big.vxl, 20000000 bytes$" "$dir/out.txt" || fail "size of the oversized file: $(head -1 "$dir/out.txt")"
"$tool" check "$dir/none.vxl" 2>/dev/null; [ $? = 1 ] || fail "missing file accepted"
# Refused by its size or kind before any read: a 4 GiB file (sparse, so it
# costs no disk), a device that never ends, a folder, a pipe without writer.
truncate -s 4G "$dir/huge.vxl"
timeout 5 "$tool" check "$dir/huge.vxl" > "$dir/out.txt"; [ $? = 1 ] || fail "4 GiB file not refused at once"
grep -q "^file: $dir/huge.vxl, 4294967296 bytes$" "$dir/out.txt" || fail "size of the 4 GiB file"
mkfifo "$dir/pipe.vxl"
for f in /dev/zero "$dir" "$dir/pipe.vxl"; do
  timeout 5 "$tool" check "$f" 2> "$dir/err.txt" >/dev/null; [ $? = 1 ] || fail "$f not refused at once"
  grep -q "not a regular file" "$dir/err.txt" || fail "reason for $f: $(cat "$dir/err.txt")"
done
"$tool" bogus 2>/dev/null; [ $? = 2 ] || fail "usage"
echo ok
