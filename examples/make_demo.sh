#!/usr/bin/env bash
# Builds the demo: examples/package (an upgrade package) and examples/machine (a
# Wine-style machine with the installed system). The output is committed; run this
# only to change it. Needs iconv, lha (jlha-utils), ImageMagick and the IPA fonts;
# every file gets a fixed time so that a second run writes the same bytes.
set -euo pipefail
export LC_ALL=C TZ=UTC

here=$(cd "$(dirname "$0")" && pwd)
package=$here/package
machine=$here/machine
system=$machine/drive_c/KORIMU
stamp='2001-02-03 04:05:06'

command -v lha >/dev/null || { echo "make_demo.sh: needs lha (apt-get install jlha-utils)" >&2; exit 1; }
command -v convert >/dev/null || { echo "make_demo.sh: needs convert (apt-get install imagemagick)" >&2; exit 1; }
# The pictures' Japanese in the dialogs' font.
font=/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf
[ -f "$font" ] || { echo "make_demo.sh: needs IPAPGothic (apt-get install fonts-ipafont-gothic)" >&2; exit 1; }

# UTF-8 text on stdin to code page 932 on stdout.
sjis() { iconv -f UTF-8 -t CP932; }
# Text with LF line ends to CRLF.
crlf() { sed 's/$/\r/'; }

le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }

# An 8-bit .bmp with a 40-byte header, as the package's pictures were made: ImageMagick's
# arguments, then the file. No dithering, so the same input gives the same bytes.
picture() {
  local file=$1
  shift
  convert "$@" -dither None -colors 256 -type Palette -compress None "BMP3:$file"
}
# A dialog's picture: drawn at four times the 40 x 38 pixels of its frame (20 x 20
# dialog units in the dialogs' font), on the dialogs' own grey, then reduced, so
# that nothing is stretched and the frame shows no paler square.
icon() {
  local file=$1
  shift
  picture "$file" -size 160x160 xc:'#efefef' "$@" -gravity center -crop 160x152+0+0 +repage -resize '40x38!'
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
1,1,zumen,ZUMEN\
1,0,master21.dat,MASTER\
2,0,KORIMU.EXE,
2,0,readme.txt,DOC\
2,0,DISK2\ko2menu.ini,
EOF
# No line end after the last entry: a blank last line would be one more entry.
truncate -s -2 "$package/info.txt"

# The main picture is made for the screen, which it fills: the product, the
# upgrade, and a drawing on a grid, as the digitizer reads it.
grid=''
for x in $(seq 0 40 800); do grid+="line $x,416 $x,600 "; done
for y in $(seq 416 40 600); do grid+="line 0,$y 800,$y "; done
picture "$package/main.bmp" -size 800x600 gradient:'#fbfdff'-'#bcd3ee' \
  -stroke none -fill '#ffffff60' -draw 'circle 660,120 660,330' -fill '#2f5f9a30' -draw 'rectangle 0,410 800,414' \
  -fill none -stroke '#2f5f9a22' -strokewidth 1 -draw "$grid" \
  -stroke '#2f5f9a55' -strokewidth 2 -draw 'polyline 80,560 200,470 330,520 470,450 600,500 720,440' \
  -draw 'circle 470,450 476,450' -stroke none -font "$font" -gravity center \
  -fill '#1b3a66' -pointsize 84 -annotate +0-90 'コリム プロ' \
  -fill '#2f5f9a' -pointsize 32 -annotate +0+10 'ペルモント(デジタイザ) 対応アップデート' \
  -fill '#4a6f9c' -pointsize 20 -annotate +0+70 'Version 2.1　　ディスク 2 枚組'
# The dialogs' pictures, one sign each: the upgrade disk, the folder, done.
icon "$package/start.bmp" -fill '#24487a' -stroke '#132c50' -strokewidth 4 \
  -draw 'path "M 24,20 L 124,20 L 140,36 L 140,140 L 24,140 Z"' -stroke none \
  -fill '#c9d2dc' -draw 'rectangle 52,20 112,62' -fill '#24487a' -draw 'rectangle 92,28 104,56' \
  -fill '#ffffff' -draw 'rectangle 40,84 124,140' -fill '#7f9cc2' -draw 'rectangle 50,98 114,104' \
  -draw 'rectangle 50,114 100,120'
icon "$package/dest.bmp" -fill '#e0a526' -stroke '#9c6d0c' -strokewidth 4 \
  -draw 'path "M 16,40 L 64,40 L 76,54 L 144,54 L 144,134 L 16,134 Z"' \
  -fill '#f6c94c' -draw 'path "M 16,70 L 144,70 L 144,134 L 16,134 Z"'
icon "$package/confirm.bmp" -fill '#2e8b57' -stroke '#1d5e3a' -strokewidth 4 -draw 'circle 80,80 80,14' \
  -fill none -stroke '#ffffff' -strokewidth 16 \
  -draw 'stroke-linejoin round stroke-linecap round polyline 46,82 70,106 116,56'

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
# A few sample drawings; scripts/demo.sh makes thousands on a display.
bash "$here/drawings.sh" 3 "$package/ZUMEN.lzh"

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
