#!/usr/bin/env bash
# Installs the build into a prefix, moves the prefix elsewhere so nothing of
# the build tree can be found, and runs each program from there; then does
# the same from the unpacked Debian package.
#   tests/install_smoke.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
fixtures=$(cd "$(dirname "$0")/fixtures" && pwd)
work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server"; rm -rf "$work"' EXIT
fail() { echo "install_smoke: $*" >&2; exit 1; }
# In a sanitizer build, the leaks of the font libraries are not ours.
export LSAN_OPTIONS="suppressions=$(dirname "$fixtures")/sanitizers/lsan.supp"

# The exchange: the recorded 24-hour tickers on 127.0.0.1.
mkdir -p "$work/exchange/api/v3/ticker"
cp "$fixtures/tickers/ticker-24hr-full.json" "$work/exchange/api/v3/ticker/24hr"
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/exchange" > "$work/port" 2>/dev/null &
server=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
export QUORVEL_API_BASE_URL="http://127.0.0.1:$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/port")"

smoke() {  # smoke ROOT: the programs under ROOT/bin, the module under ROOT/lib
  local root=$1 home
  home=$(mktemp -d -p "$work")
  export QUORVEL_HOME=$home
  for program in QuorvelWidgetsExtension QuorvelNotificationsExtension quorvel-host; do
    "$root/bin/$program" --help | grep -q "$program" || fail "$root: $program --help"
  done
  "$root/bin/quorvel-host" holdings add BTCUSDT 0.25 >/dev/null
  LD_DEBUG=files "$root/bin/QuorvelWidgetsExtension" timeline --kind QuorvelSmallWidget \
    --json "$home/entry.json" --png "$home/small.png" >/dev/null 2> "$home/loader"
  grep -q '"todayBalance":10928.5075' "$home/entry.json" || fail "$root: timeline: $(cat "$home/entry.json")"
  [ "$(head -c 8 "$home/small.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "$root: no PNG"
  grep -q "file=$root/lib/quorvel/libquorvel_render.so" "$home/loader" ||
    fail "$root: the renderer module was not loaded from $root/lib/quorvel"
  ! grep -q "file=.*lib\(ssl\|crypto\|cpp-httplib\)" "$home/loader" || fail "$root: http loaded TLS"
  for module in tls serve; do
    [ -f "$root/lib/quorvel/libquorvel_$module.so" ] || fail "$root: no $module module"
  done
  "$root/bin/QuorvelNotificationsExtension" --payload "$fixtures/payloads/ordinary.json" |
    grep -q '"title":"BTC is up"' || fail "$root: notification"
  [ -f "$root/share/man/man1/quorvel-host.1.gz" ] || fail "$root: no manual page"
  [ -f "$root/lib/systemd/user/quorvel-widgets.service" ] || fail "$root: no user unit"
  grep -q "^ExecStart=$2/bin/QuorvelWidgetsExtension serve$" \
    "$root/lib/systemd/user/quorvel-widgets.service" || fail "$root: the unit names another program"
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
cp -a "$work/prefix" "$work/moved" && rm -rf "$work/prefix"
smoke "$work/moved" "$work/prefix"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null 2>&1 || fail "cpack failed"
dpkg-deb -x "$work"/deb/quorvel_*.deb "$work/unpacked"
smoke "$work/unpacked/usr" /usr
echo "install_smoke: the installed tree and the package both run"
