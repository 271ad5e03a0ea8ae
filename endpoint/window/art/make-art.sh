#!/usr/bin/env bash
# Draws the EndPoint window's artwork into this folder. The PNGs are committed; run this
# again only after changing it (needs the real ImageMagick and the DejaVu fonts).
set -euo pipefail
cd "$(dirname "$0")"
IM=/usr/bin/convert
BOLD=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
REGULAR=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

GREEN='#9AB14B'
GREEN_DARK='#7E9436'
GREEN_LIGHT='#B3C777'
PAPER='#F4F6EE'
FRAME='#C9D3A8'
LABEL='#5F6F2C'

# Program icon: a station sending, on a dark green tile; also at the sizes the desktop
# icon theme wants. The two waves are rings masked to the upper right quarter.
"$IM" -size 256x256 xc:none \
    -fill '#5F7F1F' -draw 'roundrectangle 4,4 251,251 40,40' \
    -fill white -draw 'circle 84,172 84,200' \
    \( -size 256x256 xc:white \
       \( -size 256x256 xc:black -fill white -draw 'circle 84,172 228,172' \
          -fill black -draw 'circle 84,172 204,172' \
          -fill white -draw 'circle 84,172 174,172' \
          -fill black -draw 'circle 84,172 150,172' \
          -draw 'rectangle 0,0 71,255' -draw 'rectangle 0,173 255,255' \) \
       -alpha off -compose CopyOpacity -composite \) \
    -compose Over -composite \
    -strip icon.png
mkdir -p icons
for size in 16 24 32 48 64 128 256; do
    "$IM" icon.png -filter Lanczos -resize "${size}x${size}" -strip "icons/quarn-endpoint-$size.png"
done

# Background, 302 x 176: title band (the drag area, 31 pixels), a white content box
# (7,58)-(295,142) with the row labels, a thin frame around the window.
"$IM" -size 302x176 "xc:$PAPER" \
    -fill "$GREEN" -draw 'rectangle 0,0 301,30' \
    -fill "$GREEN_DARK" -draw 'rectangle 0,31 301,31' \
    icons/quarn-endpoint-16.png -geometry +8+7 -composite \
    -font "$BOLD" -pointsize 11 -fill white -draw "text 29,20 'Tolvex Quarn EndPoint'" \
    -font "$REGULAR" -pointsize 10 -fill "$LABEL" -draw "text 12,47 'Throughput measurement agent'" \
    -fill white -stroke "$FRAME" -draw 'rectangle 7,58 295,142' -stroke none \
    -fill "$GREEN" -draw 'rectangle 8,59 10,141' \
    -font "$REGULAR" -pointsize 9 -fill "$LABEL" \
    -draw "text 17,74 'Name'" -draw "text 17,95 'Address'" -draw "text 17,116 'Status'" \
    -fill "$FRAME" -draw 'rectangle 65,62 65,138' \
    -fill none -stroke "$GREEN_DARK" -draw 'rectangle 0,0 301,175' \
    -strip background.png

# Close and minimise strips, 24 x 12: normal on the left, hover on the right, drawn on the
# title band's green.
glyph_close="line 3,3 8,8 line 8,3 3,8"
glyph_min="line 3,8 8,8"
strip() {  # name glyph
    "$IM" -size 24x12 "xc:$GREEN" \
        -fill "$GREEN_LIGHT" -draw 'roundrectangle 12,0 23,11 2,2' \
        -stroke white -strokewidth 1.6 -fill none \
        -draw "$2" -draw "translate 12,0 $2" \
        -strip "$1"
}
strip close.png "$glyph_close"
strip minimise.png "$glyph_min"
