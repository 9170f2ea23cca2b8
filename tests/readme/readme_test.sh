#!/usr/bin/env bash
# Types the README's commands as a newcomer would and checks what they do.
# Every command run as "shown" must stand in README.md word for word, so the
# text and the programs cannot drift apart. Paths the README gives as
# build/release/ are this configuration's build folder.
# Usage: readme_test.sh SOURCE_DIR BUILD_DIR
set -u
src=$1
build=$2
readme=$src/README.md
work=$(mktemp -d /tmp/readme_test.XXXXXX)
run_pid=
xvfb_pid=
stop() {
  if [ -n "$1" ] && kill -0 "$1" 2>/dev/null; then
    kill "$1" 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$1" 2>/dev/null
  fi
}
cleanup() {
  stop "$run_pid"
  stop "$xvfb_pid" # a client still running on it ends with its display
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() { echo "FAIL: $*"; exit 1; }
export BKM_IP_SERVICE_HOST=off

# shown CMD: the README shows CMD as typed.
shown() { grep -qF -- "$1" "$readme" || fail "the README does not show: $1"; }
# try STATUS CMD: runs CMD in the current folder, output in $work/out; its
# status must be STATUS.
try() {
  local want=$1 cmd=$2 rc
  bash -c "${cmd//build\/release\//$build/}" > "$work/out" 2>&1
  rc=$?
  [ "$rc" = "$want" ] || { cat "$work/out"; fail "\"$cmd\" exited $rc, not $want"; }
}
# typed STATUS CMD: a command the README shows, run as typed.
typed() { shown "$2"; try "$1" "$2"; }
says() { grep -qF -- "$1" "$work/out" || { cat "$work/out"; fail "no \"$1\" in the output"; }; }
# wait_for SECONDS CMD: polls CMD until it holds; false at the time limit.
wait_for() {
  local end=$((SECONDS + $1))
  while ! eval "$2"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

cd "$work" || exit 1

# ---- maptool: each verb, z counted down from 0 at the top.
typed 0 "build/release/tools/maptool/maptool flat flat.vxl 30"
typed 0 "build/release/tools/maptool/maptool check --strict flat.vxl"
# Ground at z 30 fills z 30..63 of every one of the 512 x 512 columns.
says "solid voxels: $((512 * 512 * (64 - 30)))"
says "ground z: 30..30"
typed 0 "build/release/tools/maptool/maptool gen 7 gen7.vxl"
typed 0 "build/release/tools/maptool/maptool floating gen7.vxl"
typed 0 "build/release/tools/maptool/maptool hills hills.vxl 3"
typed 0 "build/release/tools/maptool/maptool pillars pillars.vxl 3 100"
typed 0 "build/release/tools/maptool/maptool random random.vxl 3 500"
for m in gen7 hills pillars random; do
  try 0 "build/release/tools/maptool/maptool check $m.vxl"
  says "valid"
done
# What each verb does not take is refused by name, and nothing is written.
typed 2 "build/release/tools/maptool/maptool flat x.vxl abc"
says 'GROUND must be a whole number from 0 to 63, not "abc"'
while IFS='|' read -r cmd what; do
  try 2 "build/release/tools/maptool/maptool $cmd"
  says "$what"
done <<'EOF'
flat x.vxl 64|GROUND must be a whole number from 0 to 63, not "64"
flat x.vxl -1|GROUND must be a whole number from 0 to 63, not "-1"
hills x.vxl abc|SEED must be a whole number
hills x.vxl 4294967296|SEED must be a whole number
pillars x.vxl 1 -5|COUNT must be a whole number from 0 to
pillars x.vxl 1 5x|COUNT must be a whole number from 0 to
random x.vxl 1 2e3|EDITS must be a whole number from 0 to
random x.vxl q 10|SEED must be a whole number
gen abc x.vxl|SEED must be a whole number
flat x.vxl 30 40|usage: maptool
check|usage: maptool
floating a.vxl b.vxl|usage: maptool
EOF
[ ! -e x.vxl ] || fail "a refused maptool command wrote x.vxl"

# ---- assetsheet: one part, and a part that does not exist.
typed 0 "build/release/tools/assetgen/assetsheet build/release/dist models.png models"
# The PNG's header holds its width and height (big-endian), both non-zero.
read -r w h < <(od -An -tu1 -j16 -N8 models.png | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
[ "${w:-0}" -gt 0 ] && [ "${h:-0}" -gt 0 ] || fail "models.png is ${w}x${h}"
try 2 "build/release/tools/assetgen/assetsheet build/release/dist bogus.png bogus"
says '"bogus" is not a part'
[ ! -e bogus.png ] || fail "assetsheet wrote a picture for a part that does not exist"

# ---- bench_renderer's loop (without --speed) and a view it does not have.
if [ -x "$build/bench/renderer/bench_renderer" ]; then
  shown "build/release/bench/renderer/bench_renderer --loop level0,ref0,down30 800x600 50"
  try 0 "build/release/bench/renderer/bench_renderer --loop level0,ref0,down30 320x240 2"
  for v in level0 ref0 down30; do says "$v 320x240:"; done
  try 2 "build/release/bench/renderer/bench_renderer --loop level0,level8 320x240 2"
  says '"level8" is not a view'
  grep -q "level0 320x240" "$work/out" && fail "bench_renderer drew before refusing a view"
fi

# ---- The one number the client takes for an address: bytes reversed.
typed 0 'IFS=. read -r a b c d <<< 192.168.1.20; echo $(( d << 24 | c << 16 | b << 8 | a ))'
[ "$(cat out)" = $((20 * 16777216 + 1 * 65536 + 168 * 256 + 192)) ] || fail "address number $(cat out)"
try 0 'IFS=. read -r a b c d <<< 127.0.0.1; echo $(( d << 24 | c << 16 | b << 8 | a ))'
[ "$(cat out)" = 16777343 ] || fail "127.0.0.1 is $(cat out), not the README's 16777343"

# ---- scripts/run.sh in a copy of the tree whose build is already done: the
# build step only records what it was asked to build.
tree=$work/tree
mkdir -p "$tree/scripts" "$tree/build/release"
cp "$src/scripts/run.sh" "$tree/scripts/"
printf '#!/bin/sh\n' > "$tree/scripts/deps.sh"
printf '#!/bin/sh\necho "$@" >> "%s"\n' "$work/built" > "$tree/scripts/build.sh"
chmod +x "$tree/scripts/"*.sh
mkdir "$tree/build/release/dist"
for f in "$build"/dist/*; do
  case "${f##*/}" in vxl | logs) ;; *) cp -r "$f" "$tree/build/release/dist/" ;; esac
done
cd "$tree" || exit 1

# A free UDP port for the server.
port=
for _ in $(seq 1 50); do
  p=$((20000 + RANDOM % 30000))
  if ! ss -Hlun "sport = :$p" 2>/dev/null | grep -q .; then port=$p; break; fi
done
[ -n "$port" ] || fail "no free port"
shown "cp game/server/server_config.example.ini my.ini"
cp "$src/game/server/server_config.example.ini" my.ini
sed -i "s/^\(\s*port\s*=\).*/\1 $port/" my.ini
grep -q "^port = $port\$" my.ini || fail "the example settings have no port line"
sed "s/^\(\s*port\s*=\).*/\1 abc/" my.ini > bad.ini

# A settings file that is not there: a message naming it, nothing built.
typed 1 "scripts/run.sh nosuch.ini"
says "run.sh: the settings file nosuch.ini does not exist or cannot be read."
[ ! -e "$work/built" ] || fail "run.sh built before checking its settings file"

# A relative settings file, no display: the server alone on that file's port,
# after building only what the game needs; "quit" on its console stops it.
shown "scripts/run.sh my.ini"
mkfifo "$work/console"
env -u DISPLAY -u WAYLAND_DISPLAY scripts/run.sh my.ini < "$work/console" > "$work/run.out" 2>&1 &
run_pid=$!
exec 3> "$work/console"
wait_for 120 "grep -q 'The server is running' '$work/run.out' || ! kill -0 $run_pid 2>/dev/null" ||
  { cat "$work/run.out"; fail "the server did not start within 120 s"; }
grep -q "Server started on port $port\." "$work/run.out" || { cat "$work/run.out"; fail "not on port $port"; }
grep -q "no display" "$work/run.out" || fail "run.sh did not say it starts the server alone"
[ "$(cat "$work/built")" = "release server client client_assets" ] || fail "run.sh built: $(cat "$work/built")"
echo quit >&3
exec 3>&-
wait_for 60 "! kill -0 $run_pid 2>/dev/null" || fail "the server did not quit"
wait "$run_pid"
rc=$?
run_pid=
[ "$rc" = 0 ] || { cat "$work/run.out"; fail "run.sh exited $rc after quit"; }

# With a display: the client starts once the server listens and joins it; a
# missing sound device is one line of the client's own, not the audio
# libraries' screenful.
if command -v Xvfb >/dev/null; then
  display=
  for n in $(seq $((300 + $$ % 50)) 399); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp > /dev/null 2>&1 &
    xvfb_pid=$!
    if wait_for 10 "[ -e /tmp/.X11-unix/X$n ] || ! kill -0 $xvfb_pid 2>/dev/null" && kill -0 "$xvfb_pid" 2>/dev/null; then
      display=:$n
      break
    fi
    stop "$xvfb_pid"
    xvfb_pid=
  done
  [ -n "$display" ] || fail "no free display for Xvfb"
  rm -f "$work/console"
  mkfifo "$work/console" "$work/output"
  # The output pipe stays open until the server and the client have both ended.
  DISPLAY=$display BKM_MESSAGEBOX=log BKM_PLATFORM_LOG=$work/platform.log scripts/run.sh my.ini \
    < "$work/console" > "$work/output" 2>&1 &
  run_pid=$!
  cat "$work/output" > "$work/run.out" &
  pipe_pid=$!
  exec 3> "$work/console"
  wait_for 120 "grep -q 'connected from 127.0.0.1' '$work/run.out' || ! kill -0 $pipe_pid 2>/dev/null" ||
    { cat "$work/run.out"; fail "no client joined within 120 s"; }
  # Without a sound device (as on a test machine) the client logs "sound off"
  # once it has tried to open one; with a device there is nothing to see.
  wait_for 30 "grep -q 'sound off' '$work/platform.log' 2>/dev/null" &&
    { wait_for 10 "grep -q 'No sound device: sound is off.' '$work/run.out'" || fail "no line of the client's own"; }
  echo quit >&3
  exec 3>&-
  # A server that quits does not say goodbye: the client would notice only
  # when the connection times out, so its display ends it here.
  wait_for 60 "grep -q 'Tick statistics' '$work/run.out'" || { cat "$work/run.out"; fail "the server did not quit"; }
  stop "$xvfb_pid"
  xvfb_pid=
  wait_for 60 "! kill -0 $pipe_pid 2>/dev/null" || { cat "$work/run.out"; fail "the client did not end"; }
  wait "$run_pid"
  run_pid=
  cp "$work/run.out" "$work/out"
  says "run.sh: starting the server, then the client against 127.0.0.1:$port."
  if grep -E "^(ALSA lib|AL lib)" "$work/out"; then fail "the audio libraries' own lines were printed"; fi
fi

# A port the server refuses, with a display named: the server's status
# (255), and the loop that would start the client ends with the server, so
# the output closes at once and nothing comes later.
shown "scripts/run.sh bad.ini"
start=$SECONDS
DISPLAY=:bkm-none timeout 60 bash -c 'scripts/run.sh bad.ini 2>&1 | cat > "$0"; exit ${PIPESTATUS[0]}' "$work/out"
rc=$?
[ "$rc" = 255 ] || { cat "$work/out"; fail "run.sh with a bad port exited $rc, not 255"; }
[ $((SECONDS - start)) -lt 30 ] || fail "run.sh's client loop outlived the server by $((SECONDS - start)) s"
says 'server:port = "abc" is not a port'
grep -q "not listening" "$work/out" && fail "the client loop went on polling"
echo ok
