#!/usr/bin/env bash
# Writes a 24-bit bitmap file of one grey level: write-bmp.sh PATH WIDTH HEIGHT
set -euo pipefail
path=$1 width=$2 height=$3
stride=$(( (width * 3 + 3) / 4 * 4 ))
image=$(( stride * height ))
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
{
  printf 'BM'; printf "$(le32 $((54 + image)))"; printf '\0\0\0\0'; printf "$(le32 54)"
  printf "$(le32 40)$(le32 "$width")$(le32 "$height")"; printf '\x01\0\x18\0'
  printf "$(le32 0)$(le32 "$image")$(le32 2835)$(le32 2835)$(le32 0)$(le32 0)"
  head -c "$image" /dev/zero | tr '\0' '\200'
} >"$path"
