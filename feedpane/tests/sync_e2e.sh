#!/usr/bin/env bash
# The news path end to end: the real sync server reads the demo catalogue,
# every sample feed and a feed of long articles with pictures; tidelark-sync
# writes what it sends into a fresh device folder; then the Windows test
# program reads every channel of that volume through Feedpane.dll, and
# Tidelark.exe, walked from outside, opens the first channel and an article.
#   sync_e2e.sh SOURCE_DIR NATIVE_BIN WINDOWS_BUILD TEST_PROGRAM
# NATIVE_BIN holds tidelark-server and tidelark-sync (the native build).
set -u
root=$1 native=$2 windows=$3 program=$4
shared=$root/../shared/data
for p in "$native/tidelark-server" "$native/tidelark-sync"; do
  if [[ ! -x $p ]]; then
    echo "sync_e2e: $p is missing: build the native preset first (tools/test builds both)" >&2
    exit 1
  fi
done
if [[ ! -d $shared/feeds || ! -d $shared/images ]]; then
  echo "sync_e2e: the shared sample data is missing at $shared" >&2
  exit 1
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/tidelark-e2e.XXXXXX")
server_pid=
cleanup() {
  if [[ -n $server_pid ]] && kill -0 "$server_pid" 2>/dev/null; then
    kill -TERM "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null
  fi
  if [[ -n ${TIDELARK_E2E_KEEP:-} ]]; then
    echo "sync_e2e: kept $work" >&2
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT INT TERM
mkdir -p "$work/data" "$work/device"
images=$(cd "$shared/images" && pwd)
sed "s|@IMAGES@|$images|g" "$root/feedpane/tests/e2e/reading-room.xml.in" >"$work/reading-room.xml"

# The catalogue: the demo channels, the reading room and every sample feed, all subscribed.
{
  echo "[channel 6325]"; echo "name = Tidelark News"; echo "url = $root/server/demo/feeds/tidelark-news.xml"; echo "subscribe = yes"
  echo "[channel 12444]"; echo "name = Tidelark Forum"; echo "url = $root/server/demo/feeds/tidelark-forum.atom"; echo "subscribe = yes"
  echo "[channel 30001]"; echo "name = Reading Room"; echo "url = $work/reading-room.xml"; echo "subscribe = yes"
  id=30100
  for f in "$shared"/feeds/*; do
    id=$((id + 1))
    echo "[channel $id]"; echo "name = $(basename "${f%.*}")"; echo "url = $(cd "$(dirname "$f")" && pwd)/$(basename "$f")"; echo "subscribe = yes"
  done
  echo "[alerts]"; echo "url = $root/server/demo/feeds/alerts.xml"
} >"$work/catalogue.ini"

"$native/tidelark-server" --listen 127.0.0.1 --port 0 --port-file "$work/port" --data "$work/data" \
  --catalogue "$work/catalogue.ini" --fetch-interval 0 --allow-file-addresses yes 2>"$work/server.log" &
server_pid=$!
for ((i = 0; i < 300; i++)); do
  [[ -s $work/port ]] && break
  if ! kill -0 "$server_pid" 2>/dev/null; then break; fi
  sleep 0.1
done
if [[ ! -s $work/port ]]; then
  echo "sync_e2e: the server did not start" >&2
  cat "$work/server.log" >&2
  exit 1
fi
port=$(cat "$work/port")
# The server fetches its feeds in the background: sync once they are in.
for ((i = 0; i < 1200; i++)); do
  grep -q "feeds: first round done" "$work/server.log" && break
  sleep 0.1
done
if ! grep -q "feeds: first round done" "$work/server.log"; then
  echo "sync_e2e: the server did not fetch its feeds in time" >&2
  cat "$work/server.log" >&2
  exit 1
fi
# The first sync brings the channel list, the second the channels' articles.
for round in 1 2; do
  if ! "$native/tidelark-sync" --device "$work/device" --server "127.0.0.1:$port" >"$work/sync$round.log" 2>&1; then
    echo "sync_e2e: sync $round failed" >&2
    cat "$work/sync$round.log" "$work/server.log" >&2
    exit 1
  fi
done
grep -E "^result|objects" "$work/sync2.log" | tail -n 4

TIDELARK_E2E_VOLUME="Z:$work/device/Reader.vol" \
  "$root/tools/wine-run" --prefix "$windows/wineprefix" --path "$windows/bin" "$program" || exit 1

# The program itself on the same device folder, in each screen shape: from
# the start through the channel list into the first channel's articles and
# one article.
for f in Tidelark.exe Feedpane.dll TidelarkEN.lnp TidelarkDE.lnp imgdecmp.dll aygshell.dll; do
  cp -f "$windows/bin/$f" "$work/device/" || exit 1
done
winpath() { echo "Z:${1//\//\\}"; }
for shape in portrait square landscape; do
  shots=$windows/test-output/feedpane-e2e-program/$shape
  rm -rf "$shots"
  TIDELARK_SCREEN=$shape "$root/tools/wine-run" --prefix "$windows/wineprefix" --path "$windows/bin" \
    "$windows/bin/tidelark-walk.exe" "$(winpath "$work/device/Tidelark.exe")" "$(winpath "$shots")" >/dev/null \
    || { echo "sync_e2e: the walk of Tidelark.exe failed ($shape)" >&2; exit 1; }
done
echo "sync_e2e: Tidelark.exe read the first channel and an article in every screen shape"
