#!/bin/sh
# Installs the build into a temporary prefix and starts the installed client:
# it must find its library, themes and translations there, and a second start
# must hand over to it and end with 0.
set -eu
build="$1"
tmp="$(mktemp -d)"
client_pid=""
cleanup() {
  [ -n "$client_pid" ] && kill "$client_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
p="$tmp/prefix"
for f in bin/orvane-upload-client lib/liborvuploader.so.1 \
         share/orvane-upload-client/themes/MainWindow.qss \
         share/orvane-upload-client/translations/zh_CN.qm \
         share/applications/orvane-upload-client.desktop \
         share/icons/hicolor/scalable/apps/orvane-upload-client.svg; do
  [ -e "$p/$f" ] || fail "not installed: $f"
done
grep -q '^Exec=orvane-upload-client %F$' "$p/share/applications/orvane-upload-client.desktop" || fail ".desktop Exec"
grep -q '^MimeType=.*video/mp4;' "$p/share/applications/orvane-upload-client.desktop" || fail ".desktop MimeType"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$p/share/applications/orvane-upload-client.desktop" || fail "desktop-file-validate"
fi

export XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/run"
mkdir -m 700 "$tmp/run"
# Run from elsewhere: nothing may come from the build folder or the working folder.
cd "$tmp"
"$p/bin/orvane-upload-client" >"$tmp/out.txt" 2>&1 &
client_pid=$!
log=""
i=0
while [ $i -lt 600 ]; do
  log="$(ls "$tmp"/data/orvane-upload-client/log/*_client.log 2>/dev/null | head -n 1 || true)"
  [ -n "$log" ] && grep -q "App Run" "$log" && break
  kill -0 "$client_pid" 2>/dev/null || { cat "$tmp/out.txt" >&2; fail "the installed client ended early"; }
  sleep 0.1
  i=$((i + 1))
done
[ -n "$log" ] && grep -q "App Run" "$log" || fail "the installed client did not come up"
if grep -E "load qss file failed|load translator file failed: .*(zh_CN|qt_zh_CN)\.qm" "$log"; then
  fail "themes or translations not found in the installed layout"
fi
"$p/bin/orvane-upload-client" || fail "second start did not hand over (exit $?)"
grep -q "arguments from a second start" "$log" || fail "the running client did not get the second start"
kill -0 "$client_pid" 2>/dev/null || fail "the first client ended"
echo "installed client ran from $p"
