#!/usr/bin/env bash
# Rebuilds the program's icons from the Tango icon theme (Debian package
# tango-icon-theme, public domain). Plain copies keep their Tango names; the few
# icons Tango lacks (sorting, sub folder, import, the drawing tools) are composed
# or drawn here with ImageMagick. Run by hand after changing the list; the
# results are committed so the build needs neither the theme nor ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
T=/usr/share/icons/Tango
copy() { # name category tango-name
  for s in 16 22 32; do
    mkdir -p "$s"
    cp "$T/${s}x${s}/$2/$3.png" "$s/$1.png"
  done
}
overlay() { # name base-category base-name over-category over-name
  for s in 16 22 32; do
    o=$(( s * 2 / 3 ))
    convert "$T/${s}x${s}/$2/$3.png" \( "$T/32x32/$4/$5.png" -resize ${o}x${o} \) \
      -gravity southeast -composite "PNG32:$s/$1.png"
  done
}
draw() { # name draw-args...
  local name=$1; shift
  for s in 16 22 32; do
    convert -size 64x64 xc:none -stroke '#204a87' -strokewidth 4 -fill '#729fcf' "$@" \
      -resize ${s}x${s} "PNG32:$s/$name.png"
  done
}
copy folder-new actions folder-new
overlay folder-sub places folder places folder
overlay media-import mimetypes image-x-generic actions list-add
overlay clearbook-new mimetypes x-office-presentation actions list-add
copy slide-new actions document-new
copy acquire devices camera-photo
copy capture-video devices camera-video
overlay capture-image devices camera-video mimetypes image-x-generic
copy save actions document-save
copy folder-open status folder-open
copy folder places folder
copy delete actions edit-delete
copy properties actions document-properties
copy search actions system-search
overlay sort-folders places folder actions go-down
overlay sort-media mimetypes image-x-generic actions go-down
copy slide-show mimetypes x-office-presentation
copy explorer apps system-file-manager
copy preferences categories preferences-system
copy display devices video-display
copy authoring categories applications-graphics
copy exit actions system-log-out
copy video mimetypes video-x-generic
copy audio mimetypes audio-x-generic
copy text mimetypes text-x-generic
copy document mimetypes x-office-document
copy image mimetypes image-x-generic
copy font mimetypes font-x-generic
copy play actions media-playback-start
copy help apps help-browser
copy web apps internet-web-browser
copy wallpaper apps preferences-desktop-wallpaper
copy about status dialog-information
copy cascade actions window-new
copy keywords mimetypes text-x-generic-template
# Drawing tools and the selection arrow, in Tango's blues.
draw release -fill white -stroke black -strokewidth 3 -draw 'polygon 18,6 18,54 30,42 40,60 48,56 38,38 54,38'
draw button -fill '#d3d7cf' -stroke '#555753' -draw 'roundrectangle 6,18 58,46 8,8' \
  -stroke none -fill '#2e3436' -draw 'rectangle 20,30 44,34'
draw rectangle -draw 'rectangle 8,14 56,50'
draw ellipse -draw 'ellipse 32,32 26,18 0,360'
draw roundrect -draw 'roundrectangle 8,14 56,50 12,12'
draw line -fill none -draw 'line 8,56 56,8'
draw polyline -fill none -draw 'polyline 6,52 20,12 36,44 58,10'
draw memo -fill white -stroke '#555753' -draw 'rectangle 12,6 52,58' \
  -stroke '#888a85' -strokewidth 3 -draw 'line 20,20 44,20' -draw 'line 20,30 44,30' -draw 'line 20,40 38,40'
cp /usr/share/doc/tango-icon-theme/copyright COPYING.Tango
# The program's own icon (window and desktop entry).
mkdir -p app
cp "$T/scalable/mimetypes/x-office-presentation.svg" app/vellumark.svg
convert -background none -density 400 app/vellumark.svg -resize 128x128 PNG32:app/vellumark-128.png
convert app/vellumark-128.png -resize 48x48 PNG32:app/vellumark-48.png
# The built-in frame background: a quiet teal tile.
convert -size 96x96 xc:'#135c61' -fill '#15626a' -draw 'polygon 0,0 48,0 0,48' -draw 'polygon 48,96 96,48 96,96' \
  -fill '#17676d' -draw 'polygon 48,0 96,0 96,48 48,96 0,96 0,48' -fill '#135c61' -draw 'polygon 48,12 84,48 48,84 12,48' \
  PNG24:../wallpaper.png
