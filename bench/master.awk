# The two master-file rules of Pelmo's conversions in one awk pass, as a user
# would script them: run with LC_ALL=C (byte positions) and gawk -i inplace.
#   size: a record "400400" + "000107"/"000111" that is not 185 bytes and is
#         longer than 66 loses its 67th byte;
#   type: byte 14 'A' or 'B' becomes 'Z'.
# Lines end in CRLF on output whatever they ended in.
BEGIN { RS = "\n"; ORS = "\r\n" }
{
    sub(/\r$/, "")
    if (substr($0, 1, 6) == "400400" && (substr($0, 7, 6) == "000107" || substr($0, 7, 6) == "000111") &&
        length($0) != 185 && length($0) > 66)
        $0 = substr($0, 1, 66) substr($0, 68)
    c = substr($0, 14, 1)
    if (c == "A" || c == "B")
        $0 = substr($0, 1, 13) "Z" substr($0, 15)
    print
}
