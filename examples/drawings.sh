#!/usr/bin/env bash
# Writes the demo's archive of sample drawings: COUNT small DXF files in one LHA
# archive, the same bytes for the same count. make_demo.sh ships a few; the demo
# on a display makes a large one, so that the run lasts long enough to show its
# progress. Needs awk and lha (jlha-utils).
# Given a FOLDER instead (a pack source's folder), writes the files there, and
# needs no lha.
# Usage: drawings.sh COUNT ARCHIVE | drawings.sh COUNT FOLDER/
set -euo pipefail
export LC_ALL=C TZ=UTC

count=$1
archive=$(realpath -m "$2")
stamp='2001-02-03 04:05:06'
folder=
[ -d "$2" ] && folder=$archive
[ -n "$folder" ] || command -v lha >/dev/null || { echo "drawings.sh: needs lha (apt-get install jlha-utils)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One awk for all files: a process per file would take minutes for thousands.
awk -v count="$count" -v folder="$work" 'BEGIN {
  for (i = 1; i <= count; i++) {
    file = sprintf("%s/ZU%05d.DXF", folder, i)
    printf "0\r\nSECTION\r\n2\r\nENTITIES\r\n" > file
    for (j = 0; j < 120; j++)
      printf "0\r\nLINE\r\n8\r\n%d\r\n10\r\n%.3f\r\n20\r\n%.3f\r\n", j % 7, (i * j) % 997 / 3, (i + j * 13) % 991 / 7 > file
    printf "0\r\nENDSEC\r\n0\r\nEOF\r\n" > file
    close(file)
  }
}'
if [ -n "$folder" ]; then
  rm -f "$folder"/ZU*.DXF
  touch -d "$stamp" "$work"/ZU*.DXF
  mv "$work"/ZU*.DXF "$folder"/
  exit 0
fi
rm -f "$archive"
(cd "$work" && touch -d "$stamp" ZU*.DXF && LC_ALL=C.UTF-8 lha cqo52y "$archive" ZU*.DXF >/dev/null)
touch -d "$stamp" "$archive"
