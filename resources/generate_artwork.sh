#!/bin/sh
# Rebuilds resources/quarn/ from tools/artwork_generator.cpp; the output is committed.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O1 -fPIC -o "$work/artwork_generator" "$here/tools/artwork_generator.cpp" \
    $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/artwork_generator" "$here/quarn" "$work/frames"
# Busy animation: 80 ms a frame, background disposal, endless loop.
/usr/bin/convert -delay 8 -dispose Background -loop 0 "$work"/frames/busy_*.png \
    "$here/quarn/busy.gif"
# Program icon files with several sizes.
/usr/bin/convert "$here"/quarn/console_icon_16.png "$here"/quarn/console_icon_32.png \
    "$here"/quarn/console_icon_48.png "$here"/quarn/console_icon_256.png "$here/quarn/console.ico"
/usr/bin/convert "$here"/quarn/endpoint_icon_16.png "$here"/quarn/endpoint_icon_32.png \
    "$here"/quarn/endpoint_icon_48.png "$here"/quarn/endpoint_icon_256.png "$here/quarn/endpoint.ico"
# The resource list.
{
    echo '<!DOCTYPE RCC><RCC version="1.0">'
    echo '<qresource prefix="/">'
    for f in $(cd "$here" && ls quarn | LC_ALL=C sort); do
        echo "    <file>quarn/$f</file>"
    done
    echo '</qresource>'
    echo '</RCC>'
} >"$here/quarn.qrc"
