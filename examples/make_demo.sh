#!/usr/bin/env bash
# Builds the demo: examples/package (an upgrade package) and examples/machine (a
# Wine-style machine with the installed system). The output is committed; run this
# only to change it. Needs iconv and lha (jlha-utils); every file gets a fixed time
# so that a second run writes the same bytes.
set -euo pipefail
export LC_ALL=C TZ=UTC

here=$(cd "$(dirname "$0")" && pwd)
package=$here/package
machine=$here/machine
system=$machine/drive_c/KORIMU
stamp='2001-02-03 04:05:06'

command -v lha >/dev/null || { echo "make_demo.sh: needs lha (apt-get install jlha-utils)" >&2; exit 1; }

# UTF-8 text on stdin to code page 932 on stdout.
sjis() { iconv -f UTF-8 -t CP932; }
# Text with LF line ends to CRLF.
crlf() { sed 's/$/\r/'; }

le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }

# An 8-bit .bmp (64 x 48 unless given) with a 16-colour palette: a gradient from
# the first colour to the second, crossed by a diagonal band of the third.
bmp() {
  local file=$1 from=$2 to=$3 band=$4 width=${5:-64} height=${6:-48}
  local colours=16 palette=$((16 * 4)) pixels=$((width * height))
  {
    printf 'BM'; le32 $((54 + palette + pixels)); le32 0; le32 $((54 + palette))
    le32 40; le32 $width; le32 $height; le16 1; le16 8; le32 0; le32 $pixels; le32 2835; le32 2835
    le32 $colours; le32 0
    local i c
    for ((i = 0; i < 15; i++)); do
      for c in 0 8 16; do  # blue, green, red
        local a=$(((from >> c) & 255)) b=$(((to >> c) & 255))
        printf "\\x$(printf %02x $((a + (b - a) * i / 14)))"
      done
      printf '\x00'
    done
    printf "\\x$(printf %02x $((band & 255)))\\x$(printf %02x $(((band >> 8) & 255)))"
    printf "\\x$(printf %02x $(((band >> 16) & 255)))\\x00"
    local x y row hex
    for ((y = 0; y < height; y++)); do
      row=''
      for ((x = 0; x < width; x++)); do
        if (((x - y * width / height + width) % width < width / 10)); then hex=0f; else printf -v hex %02x $((x * 15 / width)); fi
        row+="\\x$hex"
      done
      printf "$row"
    done
  } > "$file"
}

# A fixed-column master record: keys, type letter, name, then padding to `length`.
record() {
  local key1=$1 key2=$2 type=$3 name length=$5
  name=$(printf '%s' "$4" | sjis)
  local head
  head=$(printf '%-6s%-6s %s%-52s' "$key1" "$key2" "$type" "$name")
  # Byte 67, the one the size conversion removes, is a visible '#'.
  printf '%s#' "$head"
  printf "%0$((length - ${#head} - 1))d" 0 | tr 0 '.'
  printf '\r\n'
}

# Archives members with LHA level 2 headers and -lh5- compression; names go in as
# code page 932.
lzh() {
  local archive=$1 folder=$2
  shift 2
  (cd "$folder" && touch -d "$stamp" "$@" && LC_ALL=C.UTF-8 lha cqo52y "$archive" "$@" >/dev/null)
}

rm -rf "$package" "$machine"
mkdir -p "$package/DISK2" "$system" "$machine/dosdevices" "$machine/drive_c/windows"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- The package -----------------------------------------------------------------

crlf <<'EOF' | sjis > "$package/info.txt"
ｺﾘﾑ
NULL



C:\KORIMU
2
1
NULL
1
main.bmp
start.bmp
dest.bmp
confirm.bmp
ｺﾘﾑ ﾌﾟﾛ に ﾍﾟﾙﾓﾝﾄ(デジタイザ)を追加します。		ディスクは 2 枚です。		更新前にデータを保存してください。
インストール先を確認して「次へ」を押してください。
ﾍﾞｰｼｯｸ
ﾌﾟﾛ
ﾗｲﾄ
ﾜｲﾄﾞ
ﾐﾆ
1,1,start,
1,1,help,HELP\
1,0,master21.dat,MASTER\
2,0,KORIMU.EXE,
2,0,readme.txt,DOC\
2,0,DISK2\ko2menu.ini,
EOF
# No line end after the last entry: a blank last line would be one more entry.
truncate -s -2 "$package/info.txt"

# The main picture fills the screen: pelmo check warns below half of 640 x 480.
bmp "$package/main.bmp" 0x102040 0x4080ff 0xffffff 320 240
bmp "$package/start.bmp" 0x204010 0x80ff40 0xffff00
bmp "$package/dest.bmp" 0x401020 0xff4080 0xffffff
bmp "$package/confirm.bmp" 0x303030 0xe0e0e0 0xff0000

for kind in 0 1 2 3 4 5 99; do
  mkdir -p "$work/start$kind"
  printf 'MZ ｺﾘﾑ program for system kind %s\r\n' "$kind" | sjis > "$work/start$kind/KORIMU2.EXE"
  printf '[PELMONT]\r\nKIND=%s\r\nPORT=COM1\r\n' "$kind" > "$work/start$kind/PELMONT.INI"
  lzh "$package/START$kind.lzh" "$work/start$kind" KORIMU2.EXE PELMONT.INI
done
mkdir -p "$work/help"
printf '操作説明\n\nﾍﾟﾙﾓﾝﾄで図面を読み取るには、\n読取メニューを選んでください。\n' | crlf | sjis > "$work/help/操作説明.TXT"
printf 'INDEX\r\n1=操作説明.TXT\r\n' | sjis > "$work/help/HELP.IDX"
lzh "$package/HELP.lzh" "$work/help" 操作説明.TXT HELP.IDX

printf 'MASTER21 ﾍﾟﾙﾓﾝﾄ material table\r\n' | sjis > "$package/master21.dat"
printf 'MZ ｺﾘﾑ 2.1\r\n' | sjis > "$package/KORIMU.EXE"
printf 'ｺﾘﾑ ﾌﾟﾛ ﾍﾟﾙﾓﾝﾄ対応版\n\nこのファイルは読み取り専用で配布されます。\n' | crlf | sjis > "$package/readme.txt"
printf '[MENU]\n1=図面読取\n2=材料一覧\n3=印刷\n' | crlf | sjis > "$package/DISK2/ko2menu.ini"
# Shipped read-only; git does not keep the mode, so scripts/demo.sh sets it again.
chmod a-w "$package/readme.txt"

# --- The machine -------------------------------------------------------------------

ln -s ../drive_c "$machine/dosdevices/c:"
# The package is the floppy in drive A:.
ln -s ../../package "$machine/dosdevices/a:"

cat > "$machine/system.reg" <<'EOF'
WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win32

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\\xff7a\xff98\xff91] 981173106
"DisplayName"="\xff7a\xff98\xff91 \xff8c\xff9f\xff9b"
"UninstallString"="C:\\KORIMU\\UNINST.EXE -fC:\\KORIMU\\UNINST.LOG -a"

[Software\\Wine\\Drives] 981173106
"a:"="floppy"
"c:"="hd"
EOF

printf '[fonts]\n[extensions]\n[mci extensions]\n[files]\n' | crlf > "$machine/drive_c/windows/win.ini"

crlf <<'EOF' | sjis > "$system/korimu1.ini"
; ｺﾘﾑ system settings
[SYSTEM]
VERSION=2
TITLE=ｺﾘﾑ ﾌﾟﾛ
USER=設計部

[DIR]
MASTER=C:\KORIMU\MASTER\
WAV=C:\KORIMU\WAV\
EOF
printf '[MENU]\n1=図面読取\n2=材料一覧\n' | crlf | sjis > "$system/ko2menu.ini"
printf '[MENU]\n1=図面読取\n' | crlf | sjis > "$system/ko1menu.ini"
printf 'MZ formatter\r\n' > "$system/formater.exe"
printf 'MZ ｺﾘﾑ 2.0\r\n' | sjis > "$system/KORIMU.EXE"
printf 'MZ uninstaller\r\n' > "$system/UNINST.EXE"
printf 'C:\\KORIMU\\KORIMU.EXE\r\nC:\\KORIMU\\korimu1.ini\r\n' > "$system/UNINST.LOG"

mkdir -p "$system/MASTER/1" "$system/MASTER/21" "$system/WAV" "$system/音声"
# Size records (400400 with 000107 or 000111) of 186 bytes lose their 67th byte;
# those of 185 bytes stay. Type letters A and B become Z.
{
  record 400400 000107 A 'ｽﾁｰﾙ板 SS400 t3.2' 186
  record 400400 000111 B 'ｽﾃﾝﾚｽ板 SUS304 t1.5' 185
  record 400400 000112 A 'ｱﾙﾐ板 A5052 t2.0' 186
  record 100200 000107 C '丸鋼 SS400 φ12' 186
  record 300100 000001 B 'ｱﾝｸﾞﾙ 50x50x6' 120
} > "$system/MASTER/1/zai001-3.mst"
{
  record 400400 000111 A 'ﾁｬﾝﾈﾙ 100x50' 186
  record 200300 000002 D 'ﾌﾗｯﾄﾊﾞｰ 6x50' 90
} > "$system/MASTER/1/zai002-3.mst"
{
  record 400400 000107 B 'ﾃﾞｼﾞﾀｲｻﾞ用 材料 1' 186
  record 500500 000107 A 'ﾃﾞｼﾞﾀｲｻﾞ用 材料 2' 186
} > "$system/MASTER/21/zai021-3.mst"
printf 'not a master file: its name does not match zai???-3.mst\r\n' > "$system/MASTER/1/zai01-3.mst"

# Voice data: tiny WAV files (8 kHz, 8 bit, mono, silence and a click).
wav() {
  local samples=$1
  printf 'RIFF'; le32 $((36 + samples)); printf 'WAVEfmt '; le32 16; le16 1; le16 1; le32 8000; le32 8000
  le16 1; le16 8; printf 'data'; le32 "$samples"
  local i
  for ((i = 0; i < samples; i++)); do
    if ((i % 400 < 4)); then printf '\xff'; else printf '\x80'; fi
  done
}
wav 800 > "$system/WAV/VOICE00.WAV"
mkdir -p "$work/wave"
wav 1600 > "$work/wave/VOICE01.WAV"
wav 2400 > "$work/wave/VOICE02.WAV"
lzh "$system/音声/wave.lzh" "$work/wave" VOICE01.WAV VOICE02.WAV

find "$package" "$machine" -not -type l -exec touch -h -d "$stamp" {} +
echo "make_demo.sh: wrote $package and $machine"
