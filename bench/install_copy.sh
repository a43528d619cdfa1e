#!/usr/bin/env bash
# What a user would script instead of `pelmo --unattended`: the same extractions
# (bsdtar) and copies (cp), entry by entry, from a plan of lines
# "x ARCHIVE SUBFOLDER" or "c FILE SUBFOLDER" (SUBFOLDER "." for the target itself).
#   install_copy.sh PLAN PACKAGE_DIR TARGET_DIR
set -euo pipefail
plan=$1 package=$2 target=$3
while read -r kind file sub; do
  dest=$target/$sub
  mkdir -p "$dest"
  case $kind in
    x) bsdtar -xf "$package/$file" -C "$dest" ;;
    c) cp "$package/$file" "$dest/" ;;
  esac
done < "$plan"
