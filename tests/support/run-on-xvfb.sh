#!/bin/sh
# Runs a test program on a virtual X screen: run-on-xvfb.sh WIDTHxHEIGHT program [arguments].
# The X server picks a free display itself, so runs in parallel never collide. Exits 77 (the
# test is skipped) only when no X server is installed.
size=$1
shift
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "Xvfb is not installed: window placement on a real X server is not tested"
    exit 77
fi
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$dir/display" 2>"$dir/log" &
server=$!
waited=0
while [ ! -s "$dir/display" ] && [ $waited -lt 200 ] && kill -0 $server 2>/dev/null; do
    sleep 0.05
    waited=$((waited + 1))
done
if [ ! -s "$dir/display" ]; then
    echo "Xvfb did not start:"
    cat "$dir/log"
    kill $server 2>/dev/null
    rm -rf "$dir"
    exit 1
fi
DISPLAY=":$(cat "$dir/display")" QT_QPA_PLATFORM=xcb "$@"
status=$?
kill $server 2>/dev/null
wait $server 2>/dev/null
rm -rf "$dir"
exit $status
