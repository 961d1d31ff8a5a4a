#!/bin/sh
# Re-render every compiled-in image from its SVG source under svg/.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick (for the .jpg and .ico).
# Usage: sh resources/render.sh    (from anywhere)
set -eu

cd "$(dirname "$0")"

RSVG=${RSVG:-rsvg-convert}
if [ -z "${CONVERT:-}" ]; then
    if [ -x /usr/bin/convert ]; then CONVERT=/usr/bin/convert
    elif command -v magick >/dev/null 2>&1; then CONVERT=magick
    else CONVERT=convert
    fi
fi

# png SVG OUT W H : render an SVG to a PNG with alpha at W x H pixels
png() {
    mkdir -p "$(dirname "$2")"
    "$RSVG" -w "$3" -h "$4" -f png -o "$2" "$1"
    # keep an alpha channel even where the picture is fully opaque
    "$CONVERT" "$2" -strip -define png:exclude-chunks=date,time PNG32:"$2"
    echo "  $2"
}

# --- the sixteen DIP switch SVGs come from one template -------------------
tpl=svg/divby/switch.svg.in
for n in 1 2 3 4 5 6 7 8; do
    sed -e "s/@NUM@/$n/g" -e "s/@STATE@/on/g" \
        -e "s/@LEVER_Y@/8/g" -e "s/@GRIP_Y@/18/g" "$tpl" > "svg/divby/${n}on.svg"
    sed -e "s/@NUM@/$n/g" -e "s/@STATE@/off/g" \
        -e "s/@LEVER_Y@/38/g" -e "s/@GRIP_Y@/48/g" "$tpl" > "svg/divby/${n}off.svg"
done

echo "Rendering into $(pwd):"

# --- :/dxu_gui/ -------------------------------------------------------------
mkdir -p dxu_gui/images
for name in stop run usb ethernet settings exit device2; do
    png "svg/dxu_gui/images/$name.svg" "dxu_gui/images/$name.png" 48 48
done
for name in 1408480561_popup_3D 1408480823_Units 1408480670_draw_clone \
            1407285491_plus 1407285514_minus 1408498221_script; do
    png "svg/dxu_gui/$name.svg" "dxu_gui/$name.png" 48 48
done

# logo: JPG, 64 x 64, no alpha
tmp=$(mktemp /tmp/dxu-logo.XXXXXX.png)
"$RSVG" -w 64 -h 64 -f png -o "$tmp" "svg/dxu_gui/Halvorn blue logo cropped.svg"
"$CONVERT" "$tmp" -background '#1f6fd1' -alpha remove -alpha off -strip \
    -sampling-factor 1x1 -quality 95 "dxu_gui/Halvorn blue logo cropped.jpg"
rm -f "$tmp"
echo "  dxu_gui/Halvorn blue logo cropped.jpg"

# --- :/newPrefix/ -----------------------------------------------------------
mkdir -p newPrefix
png svg/newPrefix/Network-Remote-Control-icon.svg newPrefix/Network-Remote-Control-icon.png 48 48
png svg/newPrefix/Actions-dialog-ok-apply-icon.svg newPrefix/Actions-dialog-ok-apply-icon.png 48 48

# --- :/divby/ ---------------------------------------------------------------
mkdir -p divby
tmp=$(mktemp /tmp/dxu-device.XXXXXX.png)
"$RSVG" -w 32 -h 32 -f png -o "$tmp" svg/divby/device.svg
"$CONVERT" "$tmp" -strip divby/device.ico
rm -f "$tmp"
echo "  divby/device.ico"

for n in 1 2 3 4 5 6 7 8; do
    png "svg/divby/${n}on.svg"  "divby/${n}on.png"  24 81
    png "svg/divby/${n}off.svg" "divby/${n}off.png" 24 81
done
png svg/divby/end.svg divby/end.png 24 81

echo "Done."
