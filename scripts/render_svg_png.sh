#!/usr/bin/env bash
# Renders an SVG picture made by kavelon-svg to a PNG with headless Chromium
# (Debian package chromium), at the picture's own size.
#   scripts/render_svg_png.sh matrix.svg matrix.png [scale]
# The scale (default 1) multiplies the picture's size in the PNG.
set -euo pipefail
svg=$1
png=$2
scale=${3:-1}
chromium=${CHROMIUM:-chromium}

# The window is the picture's size, taken from the svg element's attributes.
size=$(grep -m1 -o '<svg [^>]*' "$svg")
width=$(sed -E 's/.* width="([0-9.]+)".*/\1/' <<< "$size")
height=$(sed -E 's/.* height="([0-9.]+)".*/\1/' <<< "$size")
width=${width%.*}
height=${height%.*}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A page that shows the picture alone, without the browser's margin.
cp "$svg" "$work/picture.svg"
cat > "$work/page.html" <<HTML
<!DOCTYPE html><html><head><style>html,body{margin:0;padding:0;background:#fff}img{display:block}</style></head>
<body><img src="picture.svg" width="$width" height="$height"></body></html>
HTML

"$chromium" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --hide-scrollbars --force-device-scale-factor="$scale" \
    --window-size="$width,$height" --screenshot="$work/shot.png" "file://$work/page.html" \
    > "$work/chromium.log" 2>&1 || { cat "$work/chromium.log" >&2; exit 1; }
cp "$work/shot.png" "$png"
