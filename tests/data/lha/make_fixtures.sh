#!/bin/sh
# Makes the compressed LHA fixtures with jlha-utils (Debian package jlha-utils).
# Run from anywhere; writes the .lzh files beside this script. The members are
# made in a temporary folder: the tests build the same contents themselves.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
members=$(mktemp -d)
trap 'rm -rf "$members"' EXIT
export TZ=UTC

mkdir -p "$members/sub"

# readme.txt: CRLF text that compresses well.
i=0
while [ $i -lt 60 ]; do
    printf 'line %04d of the upgrade notes\r\n' $i
    i=$((i + 1))
done >"$members/readme.txt"

# DATA.BIN: 4096 bytes, four permutations of all 256 byte values (NUL, CR, LF
# and Ctrl-Z included), repeated four times so that every method compresses it.
for round in 1 2 3 4; do
    for multiplier in 1 37 101 255; do
        b=0
        while [ $b -lt 256 ]; do
            printf "\\$(printf %03o $(((b * multiplier + round) % 256)))"
            b=$((b + 1))
        done
    done
done >"$members/DATA.BIN"

# EMPTY.DAT: no bytes at all.
: >"$members/EMPTY.DAT"

# sub/note.txt: a member stored under a folder name, to be flattened.
printf 'stored in a subfolder\r\n' >"$members/sub/note.txt"

touch -d '2001-02-03 04:05:06' "$members/readme.txt" "$members/DATA.BIN" "$members/EMPTY.DAT" "$members/sub/note.txt"

# jlha's option letters: a digit picks the header level, o5/o6/o7 the method.
# Stored (-lh0-) archives are written by the tests' own writer instead.
cd "$members"
for level in 0 1 2; do
    for method in 5 6 7; do
        archive="$here/lh$method-h$level.lzh"
        rm -f "$archive"
        lha "c${level}o${method}" "$archive" readme.txt DATA.BIN EMPTY.DAT sub/note.txt >/dev/null
    done
done
