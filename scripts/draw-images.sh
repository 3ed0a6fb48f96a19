#!/usr/bin/env bash
# Draws the program's fifteen embedded PNG images into resources/ with ImageMagick (8-bit RGBA, no time stamps).
set -euo pipefail
out="$(cd "$(dirname "$0")/.." && pwd)/resources"
font="DejaVu-Sans-Bold"
# Deterministic files: no time chunks, no comments, always 8 bits per channel with alpha.
save=(-strip -define png:exclude-chunks=date,time,tIME -define png:color-type=6 -define png:bit-depth=8)

# 0 LogoImage: two "#" signs on a crimson square.
convert -size 128x128 xc:'#DC143C' -fill '#7A0A20' -draw 'rectangle 0,120 127,127' \
  -font "$font" -fill white -pointsize 64 -gravity center -annotate +0-2 '##' \
  "${save[@]}" "PNG32:$out/logo.png"

# 1 WebIcon: a globe with meridians and a parallel.
convert -size 16x16 xc:none -fill '#2E7BD6' -stroke '#134A8E' -strokewidth 1 -draw 'circle 7.5,7.5 7.5,1' \
  -fill none -stroke '#D8ECFF' -draw 'ellipse 7.5,7.5 3,6.5 0,360' -draw 'line 1,7.5 14,7.5' \
  -draw 'line 7.5,1 7.5,14' "${save[@]}" "PNG32:$out/web.png"

# 3 InfoIcon: white "i" on a blue disc.
convert -size 64x64 xc:none -fill '#1E66C8' -stroke '#0E3F86' -strokewidth 2 -draw 'circle 31.5,31.5 31.5,3' \
  -stroke none -fill white -draw 'circle 31.5,16 31.5,11.5' -draw 'roundrectangle 27,24 36,51 2,2' \
  "${save[@]}" "PNG32:$out/info.png"

# 4 QuestionIcon: white question mark on a teal disc.
convert -size 64x64 xc:none -fill '#1C8C7A' -stroke '#0E5A4E' -strokewidth 2 -draw 'circle 31.5,31.5 31.5,3' \
  -stroke none -font "$font" -fill white -pointsize 42 -gravity center -annotate +0+1 '?' \
  "${save[@]}" "PNG32:$out/question.png"

# 5 WarningIcon: black exclamation mark on a yellow triangle.
convert -size 64x64 xc:none -fill '#F5C211' -stroke '#7A5C00' -strokewidth 2 -draw 'polygon 32,4 61,58 3,58' \
  -stroke none -fill black -draw 'roundrectangle 29,20 35,43 2,2' -draw 'circle 32,50 32,46.5' \
  "${save[@]}" "PNG32:$out/warning.png"

# 6 OpenIcon: an open yellow folder holding a white document.
convert -size 16x16 xc:none -fill '#C99A2E' -stroke '#7A5A12' -strokewidth 1 -draw 'polygon 0.5,3.5 5.5,3.5 6.5,5 14.5,5 14.5,13.5 0.5,13.5' \
  -fill white -stroke '#808080' -draw 'rectangle 4.5,1.5 11.5,10.5' -stroke '#A0A0A0' -draw 'line 6,4 10,4' -draw 'line 6,6 10,6' \
  -fill '#F2C94C' -stroke '#7A5A12' -draw 'polygon 0.5,13.5 2.5,7.5 15.5,7.5 13.5,13.5' \
  "${save[@]}" "PNG32:$out/open.png"

# 7 AboutIcon: information "i" on a small blue disc.
convert -size 16x16 xc:none -fill '#1E66C8' -draw 'circle 7.5,7.5 7.5,0.5' \
  -fill white -draw 'rectangle 7,3 8,4' -draw 'rectangle 7,6 8,12' \
  "${save[@]}" "PNG32:$out/about.png"

# 8 HelpIcon: a red and white life buoy.
convert -size 16x16 xc:none -fill none -stroke white -strokewidth 4 -draw 'circle 7.5,7.5 7.5,2' \
  -stroke '#D62828' -draw 'arc 2,2 13,13 20,70' -draw 'arc 2,2 13,13 110,160' -draw 'arc 2,2 13,13 200,250' -draw 'arc 2,2 13,13 290,340' \
  -stroke '#606060' -strokewidth 1 -draw 'circle 7.5,7.5 7.5,0.5' -draw 'circle 7.5,7.5 7.5,4.5' \
  "${save[@]}" "PNG32:$out/help.png"

# 9 QuitIcon: a brown door with a red arrow pointing out of it.
convert -size 16x16 xc:none -fill '#8B5A2B' -stroke '#4A2E12' -strokewidth 1 -draw 'rectangle 1.5,1.5 8.5,14.5' \
  -stroke none -fill '#F2C94C' -draw 'rectangle 6,8 7,9' \
  -fill '#E01B24' -draw 'rectangle 8,7 12,9' -draw 'polygon 11,4 15,8 11,12' \
  "${save[@]}" "PNG32:$out/quit.png"

# 10 MatchMark: a white tick on a dark green disc; 11 MismatchMark: a white cross on a dark red disc.
# The shapes tell the verdict without colour; both discs stand out on light and dark themes alike.
convert -size 16x16 xc:none -fill '#1A7F37' -stroke '#0F5323' -strokewidth 1 -draw 'circle 7.5,7.5 7.5,0.5' \
  -fill none -stroke white -strokewidth 2 -draw 'polyline 3.5,8 6.5,11 12,4.5' \
  "${save[@]}" "PNG32:$out/match.png"
convert -size 16x16 xc:none -fill '#B42318' -stroke '#7A150E' -strokewidth 1 -draw 'circle 7.5,7.5 7.5,0.5' \
  -fill none -stroke white -strokewidth 2 -draw 'line 4.5,4.5 10.5,10.5' -draw 'line 10.5,4.5 4.5,10.5' \
  "${save[@]}" "PNG32:$out/mismatch.png"

# 12 FormMark: a white "!" on a dark orange disc: the expected text holds this result, in another form
# than the bare checksum (a checksum-list line, capitals, spaces around it), and the row says how.
convert -size 16x16 xc:none -fill '#B35900' -stroke '#6E3700' -strokewidth 1 -draw 'circle 7.5,7.5 7.5,0.5' \
  -stroke none -fill white -draw 'roundrectangle 6.5,3 8.5,9 1,1' -draw 'circle 7.5,11.5 7.5,10.3' \
  "${save[@]}" "PNG32:$out/form.png"

# 13 ErrorIcon: a white cross on a red disc, the message dialog's sign for an error.
convert -size 64x64 xc:none -fill '#C01C28' -stroke '#7A0E16' -strokewidth 2 -draw 'circle 31.5,31.5 31.5,3' \
  -fill none -stroke white -strokewidth 7 -draw 'line 21,21 42,42' -draw 'line 42,21 21,42' \
  "${save[@]}" "PNG32:$out/error.png"

# 14 OtherFileMark: a white page with a folded corner on a dark red disc: the row was compared with the
# checksum another file's list line gives, so the cross would blame the file itself.
convert -size 16x16 xc:none -fill '#9C1F4A' -stroke '#5E1029' -strokewidth 1 -draw 'circle 7.5,7.5 7.5,0.5' \
  -stroke none -fill white -draw 'polygon 4.5,3 8.5,3 11,5.5 11,12.5 4.5,12.5' \
  -fill '#9C1F4A' -draw 'polygon 8.5,3 8.5,5.5 11,5.5' -draw 'rectangle 6,7.5 9.5,8' -draw 'rectangle 6,9.5 9.5,10' \
  "${save[@]}" "PNG32:$out/other-file.png"

# 15 UseChecksumIcon: a white funnel on a blue disc, at the end of the expected-checksum field: keeps
# only the checksum of the text around it.
convert -size 16x16 xc:none -fill '#1E66C8' -stroke '#0E3F86' -strokewidth 1 -draw 'circle 7.5,7.5 7.5,0.5' \
  -stroke none -fill white -draw 'polygon 3,4 12,4 8.5,8 8.5,12 6.5,13 6.5,8' \
  "${save[@]}" "PNG32:$out/use-checksum.png"

echo "Drew fifteen images into $out"

# The application icon for the desktop's icon theme, at every size the package ships: the same
# drawing as packaging/hashwarden.svg (whose 128-unit square it follows stroke for stroke), drawn
# eight times larger and scaled down, so each size is smooth.
icons="$(dirname "$out")/packaging/icons"
hash_strokes() {  # the "#" sign centred at $1,$2 (in 128-unit coordinates)
  local x=$1 y=$2
  echo "line $((x-6)),$((y-22)) $((x-10)),$((y+22)) line $((x+10)),$((y-22)) $((x+6)),$((y+22))" \
       "line $((x-20)),$((y-8)) $((x+21)),$((y-8)) line $((x-21)),$((y+8)) $((x+20)),$((y+8))"
}
master="$(mktemp --suffix=.png)"
trap 'rm -f "$master"' EXIT
convert -size 128x128 xc:'#DC143C' -fill '#7A0A20' -draw 'rectangle 0,120 128,128' -scale 1024x1024 \
  -stroke white -strokewidth 56 -draw "scale 8,8 stroke-width 7 $(hash_strokes 38 62) $(hash_strokes 90 62)" \
  "PNG32:$master"
for size in 16 24 32 48 64 128 256; do
  mkdir -p "$icons/${size}x${size}"
  convert "$master" -filter Lanczos -resize "${size}x${size}" "${save[@]}" "PNG32:$icons/${size}x${size}/hashwarden.png"
done
echo "Drew the application icon into $icons"
