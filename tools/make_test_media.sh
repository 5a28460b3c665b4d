#!/bin/sh
# Makes the small real music files in tests/data/media that the tests read: a second of
# silence in each container, tagged with a 16x16 cover the way tagging programs store it.
#   with-jfif.mp3   ID3v2 APIC frame holding cover-jfif.jpg
#   with-png.m4a    "covr" atom holding cover.png
#   with-jfif.flac  PICTURE block holding cover-jfif.jpg
#   with-exif.mp3   ID3v2 APIC frame holding cover-exif.jpg, a JPEG without a JFIF header
# Needs ffmpeg and Python 3 with mutagen (Debian: ffmpeg, python3-mutagen). The outputs are
# kept in the repository; run this again only to change them.
set -eu

cd "$(dirname "$0")/../tests/data/media"
PYTHON=${PYTHON:-/usr/bin/python3}

# Makes the file $1 from the inputs and options that follow, bit-exact, so that the files
# stay identical from run to run (no encoder version tags).
media() {
    output=$1
    shift
    ffmpeg -hide_banner -loglevel error -y "$@" -fflags +bitexact -flags +bitexact "$output"
}

media cover.png -f lavfi -i testsrc=size=16x16:rate=1 -frames:v 1
media cover-jfif.jpg -f lavfi -i testsrc=size=16x16:rate=1 -frames:v 1 -pix_fmt yuvj420p
for codec in mp3:libmp3lame m4a:aac flac:flac; do
    media "silence.${codec%%:*}" -f lavfi -i anullsrc=channel_layout=mono:sample_rate=8000 -t 1 \
        -map_metadata -1 -c:a "${codec#*:}" -b:a 8k
done

"$PYTHON" - <<'EOF'
import shutil
import struct

from mutagen.flac import FLAC, Picture
from mutagen.id3 import APIC, ID3
from mutagen.mp4 import MP4, MP4Cover

jfif = open("cover-jfif.jpg", "rb").read()
png = open("cover.png", "rb").read()

# The Exif cover is the JFIF cover with its APP0 segment swapped for a minimal APP1 Exif
# segment (an empty big-endian TIFF directory), as cameras write them.
assert jfif[:4] == b"\xff\xd8\xff\xe0" and jfif[6:11] == b"JFIF\x00"
app0_end = 4 + struct.unpack(">H", jfif[4:6])[0]
exif_body = b"Exif\x00\x00" + b"MM\x00\x2a\x00\x00\x00\x08" + b"\x00\x00" + b"\x00\x00\x00\x00"
exif = b"\xff\xd8\xff\xe1" + struct.pack(">H", 2 + len(exif_body)) + exif_body + jfif[app0_end:]
assert b"JFIF" not in exif
open("cover-exif.jpg", "wb").write(exif)

for target, picture in ("with-jfif.mp3", jfif), ("with-exif.mp3", exif):
    shutil.copyfile("silence.mp3", target)
    tags = ID3()
    tags.add(APIC(encoding=3, mime="image/jpeg", type=3, desc="", data=picture))
    tags.save(target, v2_version=3, padding=lambda info: 0)

shutil.copyfile("silence.m4a", "with-png.m4a")
m4a = MP4("with-png.m4a")
m4a["covr"] = [MP4Cover(png, imageformat=MP4Cover.FORMAT_PNG)]
m4a.save(padding=lambda info: 0)

shutil.copyfile("silence.flac", "with-jfif.flac")
flac = FLAC("with-jfif.flac")
picture = Picture()
picture.type = 3
picture.mime = "image/jpeg"
picture.width = picture.height = 16
picture.depth = 24
picture.data = jfif
flac.add_picture(picture)
flac.save(padding=lambda info: 0)
EOF

rm silence.mp3 silence.m4a silence.flac
