#!/usr/bin/env python3
"""Generates a synthetic iTunes library for benchmarking bunkai.

Writes, under --out:
- "iTunes Music Library.xml", laid out line for line like the exports of iTunes for Windows,
  with names that mix ASCII and Japanese text, commas, ampersands and blanks;
- "iTunes Media/Music/<artist>/<album>/<file>": only the music files that bunkai opens, one
  an album (the first track in export order that has a file name), each a container header
  (MP4 "covr" atom or ID3 APIC frame) with a small PNG or JPEG cover in its first kilobyte,
  then random bytes;
- "manifest.json": the counts a correct run produces, for bench/run.sh to compare with;
- "scanned.list": the paths of the music files a run reads, one a line.

bunkai turns a track's path into code page 932 before opening it on some platforms and keeps
it UTF-8 on others, so by default a music file whose path holds non-ASCII text exists under
both spellings (the second a hard link, costing no disk space).
"""

import argparse
import functools
import json
import os
import random
import re
import struct
import sys
import time
import urllib.parse
import zlib
from types import SimpleNamespace

EXPORT_NAME = "iTunes Music Library.xml"
MEDIA_FOLDER = "iTunes Media"
COMPILATIONS = "Compilations"

# Word lists for the {key} fields of the name templates below.
WORDS = {
    "w": "Blue Night Summer Rain City Light Heart Fire Dream Star Road River Shadow Morning "
         "Glass Silver Paper Moon Ocean Garden Echo Velvet Winter Electric Golden Wild Quiet "
         "Broken Little Northern Hollow Neon Crystal Midnight Thunder Honey Violet Desert "
         "Harbor Signal",
    "first": "Anna Ben Chloe David Emma Frank Grace Henry Iris Jack Kate Leo Maya Noah Olivia Paul",
    "last": "Adams Baker Carter Dixon Evans Foster Gray Hughes Irving Jones King Lewis Moore Nash",
    "j": "夏 夜明け さくら 東京 ふたり 青空 風 ひかり 涙 恋 雨上がり 月 海 約束 サヨナラ ドライブ "
         "メロディー キラキラ 星空 花火 君 僕ら 未来 旅人 雪 春 奇跡 はじまり ありがとう ラジオ "
         "交差点 坂道 線香花火 放課後 ひまわり 蜃気楼 透明 記憶 カーテン 帰り道",
    "sur": "佐藤 鈴木 高橋 田中 渡辺 伊藤 山本 中村 小林 加藤 吉田 山田 松本 井上 木村 清水",
    "given": "花子 健太 美咲 翔 さくら ゆい 大輔 あゆみ 拓也 真由美 蓮 陽菜 悠人 葵 結衣",
}
WORDS = {key: words.split() for key, words in WORDS.items()}
KATAKANA = "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモラリルレロワ"
# {kXY} is X to Y random katakana, {n} a digit from 1 to 9.
ARTISTS = ("The {w} {w}s", "{first} {last}", "{first} & The {w}s", "{w}, {w} & {w}",
           "{sur} {given}", "{sur}{given}", "{k36}ズ", "{k25} feat. {given}")
ALBUMS = ("{w} {w}", "{w} Vol. {n}", "Best of {w}, {w}", "{w} & {w}", "{j}の{j}",
          "{j} (Deluxe Edition)", "{j}、{j}", "{k25} {j}")
TRACKS = ("{w} {w}", "Do You {w}?", "{w}: {w} Mix", "{w}, {w} & {w}", "{j}", "{j}に{j}",
          "{j} ({w} Remix)", "{j}, {j}")
GENRES = ["J-Pop", "ロック", "アニメ", "Rock", "Jazz", "Classical", "Electronic", "R&B/Soul",
          "サウンドトラック", "歌謡曲", "Hip-Hop/Rap", "Alternative"]

# Characters that iTunes replaces by "_" when it names a file or folder after a tag.
UNSAFE_IN_NAMES = str.maketrans({c: "_" for c in '\\/:*?"<>|'})
# ASCII characters that iTunes leaves unescaped in a Location URL. "+" is absent on purpose:
# bunkai decodes it as a blank, so a name holding one would not name the real file.
URL_SAFE = "/:'()!,&=@$;*~-_."


def make_name(rng, templates):
    def field(match):
        key = match.group(1)
        if key == "n":
            return str(rng.randint(1, 9))
        if key[0] == "k":
            count = rng.randint(int(key[1]), int(key[2]))
            return "".join(rng.choice(KATAKANA) for _ in range(count))
        return rng.choice(WORDS[key])

    return re.sub(r"\{(\w+)\}", field, rng.choice(templates))


def path_name(text):
    """The name iTunes gives a file or folder made from a tag."""
    name = text.translate(UNSAFE_IN_NAMES)
    if name.startswith("."):
        name = "_" + name[1:]
    if name.endswith("."):
        name = name[:-1] + "_"
    return name


def unique(rng, templates, taken):
    """A name whose file-system name differs from all in `taken`, ignoring case (as Windows
    does, and as bunkai's list keys do)."""
    def key(name):
        return path_name(name).casefold()

    for _ in range(5):
        name = base = make_name(rng, templates)
        if key(name) not in taken:
            break
    number = 2
    while key(name) in taken:
        name = "%s %d" % (base, number)
        number += 1
    taken.add(key(name))
    return name


def png_cover(index):
    """A 16x16 RGB PNG in two colours that depend on the album number."""
    rng = random.Random(index)
    a, b = (bytes(rng.randrange(256) for _ in range(3)) for _ in range(2))
    rows = b"".join(b"\0" + b"".join(a if x > y else b for x in range(16)) for y in range(16))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + zlib.crc32(kind + data).to_bytes(4, "big")

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 16, 16, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def jpeg_cover(index):
    """An 8x8 grey baseline JFIF JPEG whose shade depends on the album number.

    The one block has a DC coefficient of category 6 and no AC coefficient; with one-symbol
    Huffman tables its scan is a single byte: the DC code "0", six value bits, the EOB "0".
    """
    rng = random.Random(index)
    quant = rng.randint(2, 16)
    value = rng.choice((rng.randint(32, 63), -rng.randint(32, 63)))

    def segment(marker, data):
        return b"\xff" + marker + struct.pack(">H", len(data) + 2) + data

    return (b"\xff\xd8" + segment(b"\xe0", b"JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00")
            + segment(b"\xdb", b"\x00" + bytes([quant]) * 64)
            + segment(b"\xc0", b"\x08\x00\x08\x00\x08\x01\x01\x11\x00")
            + segment(b"\xc4", b"\x00\x01" + b"\x00" * 15 + b"\x06")
            + segment(b"\xc4", b"\x10\x01" + b"\x00" * 15 + b"\x00")
            + segment(b"\xda", b"\x01\x01\x00\x00\x3f\x00")
            + bytes([(value if value > 0 else value + 63) << 1]) + b"\xff\xd9")


def box(kind, payload):
    return struct.pack(">I", 8 + len(payload)) + kind + payload


def m4a_header(title, cover, cover_type):
    """ftyp and moov boxes of an iTunes AAC file, with the title and the cover atoms."""
    items = box(b"\xa9nam", box(b"data", struct.pack(">II", 1, 0) + title.encode("utf-8")))
    if cover:
        data_type = 14 if cover_type == "png" else 13
        items += box(b"covr", box(b"data", struct.pack(">II", data_type, 0) + cover))
    hdlr = box(b"hdlr", b"\0" * 8 + b"mdirappl" + b"\0" * 9)
    meta = box(b"meta", b"\0\0\0\0" + hdlr + box(b"ilst", items))
    return box(b"ftyp", b"M4A \0\0\0\0M4A mp42isom\0\0\0\0") + box(b"moov", box(b"udta", meta))


def mp3_header(title, cover, cover_type):
    """An ID3v2.3 tag with the title and an attached front cover."""
    def frame(kind, data):
        return kind + struct.pack(">I", len(data)) + b"\0\0" + data

    frames = frame(b"TIT2", b"\x01" + title.encode("utf-16"))
    if cover:
        frames += frame(b"APIC", b"\0image/" + cover_type.encode() + b"\0\x03\0" + cover)
    frames += b"\0" * 64
    syncsafe = bytes((len(frames) >> shift) & 0x7F for shift in (21, 14, 7, 0))
    return b"ID3\x03\x00\x00" + syncsafe + frames


def random_block(rng, size):
    """Random bytes with no PNG signature in them, so a cover is only ever found in the tag."""
    return rng.randbytes(size).replace(b"\x89PNG", b"\x88PNG")


def plan(args, rng):
    """Artists, albums and tracks in import order."""
    artist_folders, compilation_folders = {COMPILATIONS.casefold()}, set()
    albums, tracks = [], []
    artist_albums_left = 0
    added = time.mktime((2008, 4, 1, 9, 0, 0, 0, 0, 0))
    while len(tracks) < args.tracks:
        compilation = rng.random() < args.compilation_share
        if compilation:
            artist_folder, name = COMPILATIONS, unique(rng, ALBUMS, compilation_folders)
            album_artist = "Various Artists" if rng.random() < 0.8 else None
        else:
            if artist_albums_left == 0:
                artist = unique(rng, ARTISTS, artist_folders)
                artist_albums_left = rng.randint(1, 2 * args.albums_per_artist - 1)
                album_folders = set()
            artist_albums_left -= 1
            artist_folder, name = path_name(artist), unique(rng, ALBUMS, album_folders)
            album_artist = artist if rng.random() < 0.6 else None
        album = SimpleNamespace(
            index=len(albums), compilation=compilation, name=name, folder=path_name(name),
            album_artist=album_artist, artist_folder=artist_folder, genre=rng.choice(GENRES),
            year=rng.randint(1970, 2021), kind="m4a" if rng.random() < 0.8 else "mp3",
            music_file=None)
        size = rng.randint(max(1, args.tracks_per_album // 2), args.tracks_per_album * 3 // 2)
        size = min(size, args.tracks - len(tracks))
        album.disc_count = 2 if size >= 8 and rng.random() < 0.1 else 1
        per_disc = -(-size // album.disc_count)
        added += rng.randint(60, 86400 * 3)
        for i in range(size):
            disc, number = i // per_disc + 1, i % per_disc + 1
            track = SimpleNamespace(
                album=album, name=make_name(rng, TRACKS),
                artist=make_name(rng, ARTISTS) if compilation else artist,
                composer=make_name(rng, ARTISTS) if rng.random() < 0.4 else None,
                disc=disc, number=number, count=min(per_disc, size - (disc - 1) * per_disc),
                error=None, time=rng.randint(90000, 420000), added=added + i)
            prefix = "%d-%02d " % (disc, number) if album.disc_count > 1 else "%02d " % number
            track.file = prefix + path_name(track.name) + "." + album.kind
            tracks.append(track)
        albums.append(album)

    errors = rng.sample(tracks, round(args.error_share * len(tracks)))
    for n, track in enumerate(errors):
        track.error = "cloud" if n % 2 == 0 else "outside"
    return albums, tracks


def shuffled(tracks, share, rng):
    """Import order with `share` of the tracks moved to random places."""
    moved = set(rng.sample(range(len(tracks)), round(share * len(tracks))))
    place = [rng.uniform(0, len(tracks)) if i in moved else i for i in range(len(tracks))]
    return [tracks[i] for i in sorted(range(len(tracks)), key=place.__getitem__)]


class Date(str):
    """A plist date value."""


def iso(seconds):
    return Date(time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(seconds)))


def entries(depth, pairs):
    """Plist key and value lines, the value's element chosen by its Python type."""
    line = "\t" * depth + "<key>%s</key>%s\n"
    return "".join([line % (key, ELEMENTS[type(value)](value)) for key, value in pairs])


ELEMENTS = {
    bool: {True: "<true/>", False: "<false/>"}.__getitem__,
    int: "<integer>%d</integer>".__mod__,
    Date: "<date>%s</date>".__mod__,
    str: lambda text: "<string>%s</string>" % xml_text(text),
}


def xml_text(text):
    return text.replace("&", "&#38;").replace("<", "&#60;").replace(">", "&#62;")


@functools.lru_cache(maxsize=65536)
def url_component(name):
    return urllib.parse.quote(name, safe=URL_SAFE)


def file_url(path):
    """The Location iTunes writes for an absolute POSIX path."""
    return "file://localhost" + "/".join(url_component(c) for c in path.split("/"))


def hex_id(rng):
    return "%016X" % rng.getrandbits(64)


def track_entry(track, track_id, args, out, rng):
    album = track.album
    m4a = album.kind == "m4a"
    bit_rate = 256 if m4a else 320
    pairs = [("Track ID", track_id), ("Name", track.name), ("Artist", track.artist)]
    if album.album_artist is not None:
        pairs.append(("Album Artist", album.album_artist))
    if track.composer:
        pairs.append(("Composer", track.composer))
    pairs += [("Album", album.name), ("Genre", album.genre),
              ("Kind", "AAC オーディオファイル" if m4a else "MPEG オーディオファイル"),
              ("Size", track.time * bit_rate // 8), ("Total Time", track.time)]
    if album.disc_count > 1:
        pairs += [("Disc Number", track.disc), ("Disc Count", album.disc_count)]
    pairs += [("Track Number", track.number), ("Track Count", track.count), ("Year", album.year),
              ("Date Modified", iso(track.added - 86400)), ("Date Added", iso(track.added)),
              ("Bit Rate", bit_rate), ("Sample Rate", 44100)]
    if rng.random() < 0.5:
        played = track.added + rng.randint(3600, 86400 * 400)
        pairs += [("Play Count", rng.randint(1, 60)), ("Play Date", int(played) + 2082844800),
                  ("Play Date UTC", iso(played))]
    if album.compilation:
        pairs.append(("Compilation", True))
    if args.cover != "none":
        pairs.append(("Artwork Count", 1))
    pairs += [("Sort Name", track.name), ("Persistent ID", hex_id(rng))]
    if track.error == "cloud":
        pairs += [("Track Type", "Remote"), ("Apple Music", True)]
    else:
        if track.error == "outside":
            path = "%s/Downloads/%s - %s" % (out, path_name(track.artist), track.file)
        else:
            path = "/".join((out, MEDIA_FOLDER, "Music", album.artist_folder, album.folder,
                             track.file))
        pairs += [("Track Type", "File"), ("Location", file_url(path)),
                  ("File Folder Count", 5), ("Library Folder Count", 1)]
    return "\t\t<key>%d</key>\n\t\t<dict>\n%s\t\t</dict>\n" % (track_id, entries(3, pairs))


def write_export(path, order, args, out, rng):
    first_id = 2000
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<!DOCTYPE plist PUBLIC "-//Apple Computer//DTD PLIST 1.0//EN" '
                '"http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
                '<plist version="1.0">\n<dict>\n')
        f.write(entries(1, [
            ("Major Version", 1), ("Minor Version", 1), ("Date", Date("2021-05-31T12:00:00Z")),
            ("Application Version", "12.11.3.17"), ("Features", 5), ("Show Content Ratings", True),
            ("Music Folder", file_url(os.path.join(out, MEDIA_FOLDER)) + "/"),
            ("Library Persistent ID", hex_id(rng))]))
        f.write("\t<key>Tracks</key>\n\t<dict>\n")
        f.writelines(track_entry(track, first_id + 2 * n, args, out, rng)
                     for n, track in enumerate(order))
        f.write("\t</dict>\n\t<key>Playlists</key>\n\t<array>\n\t\t<dict>\n")
        f.write(entries(3, [
            ("Master", True), ("Playlist ID", first_id + 2 * len(order)),
            ("Playlist Persistent ID", hex_id(rng)), ("All Items", True), ("Visible", False),
            ("Name", "ライブラリ")]))
        f.write("\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n")
        f.writelines("\t\t\t\t<dict>\n\t\t\t\t\t<key>Track ID</key><integer>%d</integer>\n"
                     "\t\t\t\t</dict>\n" % (first_id + 2 * n) for n in range(len(order)))
        f.write("\t\t\t</array>\n\t\t</dict>\n\t</array>\n</dict>\n</plist>\n")


def has_cover(album, args):
    """Whether the album's music file holds a cover: a share of the albums, chosen by album."""
    return args.cover != "none" and random.Random(album.index).random() < args.cover_share


def write_music_files(albums, args, out, rng):
    """Writes the music file of every album's first track; returns their paths and sizes."""
    body = random_block(rng, max(args.music_size, 1))
    music_root = os.path.join(out, MEDIA_FOLDER, "Music").encode()
    encodings = ("utf-8", "cp932") if args.path_encoding == "both" else (args.path_encoding,)
    written = []
    for album in (a for a in albums if a.music_file):
        track = album.music_file
        cover = None
        if has_cover(album, args):
            cover = (png_cover if args.cover == "png" else jpeg_cover)(album.index)
        header = (m4a_header if album.kind == "m4a" else mp3_header)(track.name, cover, args.cover)
        size = max(args.music_size, len(header) + 64)
        if size - len(header) > len(body):
            body = random_block(rng, size - len(header))
        names = (album.artist_folder, album.folder, track.file)
        # A path spelt the same in both encodings is one file.
        first, *others = dict.fromkeys(
            os.path.join(music_root, *(name.encode(e) for name in names)) for e in encodings)
        for path in (first, *others):
            os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(first, "wb") as f:
            f.write(header)
            f.write(body[:size - len(header)])
        written.append((first, size))
        for path in others:
            if os.path.lexists(path):
                os.unlink(path)
            os.link(first, path)
    return written


def expected_counts(albums, tracks, args):
    """What a correct run of bunkai makes from this library."""
    placed = [a for a in albums if a.music_file]
    with_albums = {a.artist_folder for a in placed}
    # Every compilation track, even one without a file name, has the compilations folder made.
    artist_folders = with_albums | ({COMPILATIONS} if any(a.compilation for a in albums) else set())
    return {
        "artist_folders": len(artist_folders),
        "album_folders": len(placed),
        "list_files": (1 if artist_folders else 0) + len(with_albums) + len(placed),
        "pictures": sum(1 for a in placed if has_cover(a, args)),
        "errlist_rows": sum(1 for t in tracks if t.error),
    }


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--tracks", type=int, default=20000, help="number of tracks (default 20000)")
    p.add_argument("--tracks-per-album", type=int, default=12,
                   help="mean tracks per album; each album has between half and 1.5 times as many")
    p.add_argument("--albums-per-artist", type=int, default=4,
                   help="mean albums per artist; each artist has 1 to twice as many less one")
    p.add_argument("--compilation-share", type=float, default=0.05,
                   help="share of albums that are compilations (default 0.05)")
    p.add_argument("--error-share", type=float, default=0.02,
                   help="share of tracks without a file name: half cloud tracks without a "
                        "Location, half files outside the media folder (default 0.02)")
    p.add_argument("--music-size", type=int, default=262144,
                   help="bytes per music file (default 262144)")
    p.add_argument("--cover", choices=("png", "jpeg", "none"), default="png",
                   help="picture embedded in the music files (default png)")
    p.add_argument("--cover-share", type=float, default=1.0,
                   help="share of albums whose music file holds the cover (default 1)")
    p.add_argument("--shuffle", type=float, default=0.1,
                   help="share of tracks moved out of album order to random places: 0 keeps "
                        "album order, 1 is fully random (default 0.1)")
    p.add_argument("--path-encoding", choices=("both", "utf-8", "cp932"), default="both",
                   help="spelling of non-ASCII music file paths on disk (default both)")
    p.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    p.add_argument("--out", required=True, help="folder to create the library in")
    args = p.parse_args(argv)
    if min(args.tracks, args.tracks_per_album, args.albums_per_artist) < 1:
        p.error("--tracks, --tracks-per-album and --albums-per-artist must be at least 1")
    for name in ("compilation_share", "error_share", "shuffle", "cover_share"):
        if not 0 <= getattr(args, name) <= 1:
            p.error("--%s must be between 0 and 1" % name.replace("_", "-"))
    if args.music_size < 0:
        p.error("--music-size must not be negative")
    return args


def main(argv=None):
    args = parse_args(argv)
    out = os.path.abspath(args.out)
    if "Media/Music/" in out + "/":
        sys.exit("--out must not lie inside a media folder: its path would confuse bunkai")
    os.makedirs(out, exist_ok=True)
    rng = random.Random(args.seed)

    albums, tracks = plan(args, rng)
    order = shuffled(tracks, args.shuffle, rng)
    for track in order:
        if track.error is None and track.album.music_file is None:
            track.album.music_file = track

    export = os.path.join(out, EXPORT_NAME)
    write_export(export, order, args, out, rng)
    written = write_music_files(albums, args, out, rng)
    scanned = os.path.join(out, "scanned.list")
    with open(scanned, "wb") as f:
        f.writelines(path + b"\n" for path, _ in written)

    manifest = {
        "export": export,
        "export_bytes": os.path.getsize(export),
        "scanned_list": scanned,
        "tracks": len(tracks),
        "albums": len(albums),
        "compilation_albums": sum(1 for a in albums if a.compilation),
        "artists": len({a.artist_folder for a in albums if not a.compilation}),
        "error_tracks": sum(1 for t in tracks if t.error),
        "music_files": len(written),
        "music_bytes": sum(size for _, size in written),
        "cover": args.cover,
        "expected": expected_counts(albums, tracks, args),
    }
    with open(os.path.join(out, "manifest.json"), "w", encoding="utf-8") as f:
        json.dump(manifest, f, ensure_ascii=False, indent=1)
    print("tracks %(tracks)d, albums %(albums)d, artists %(artists)d, export %(export_bytes)d "
          "bytes, music files %(music_files)d, music %(music_bytes)d bytes" % manifest)


if __name__ == "__main__":
    main()
