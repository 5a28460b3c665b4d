#!/usr/bin/env python3
"""Generates a synthetic iTunes library for benchmarking bunkai.

Writes, under --out:

- "iTunes Music Library.xml": an export laid out line for line like the ones iTunes for
  Windows writes (header entries, the tracks dictionary, a master playlist), with names
  that mix ASCII and Japanese text, commas, ampersands and blanks;
- "iTunes Media/Music/<artist>/<album>/<file>": only the music files that a run of bunkai
  opens, that is, for every album, the file of the first track in export order that has a
  file name. Each holds a container header (an MP4 "covr" atom or an ID3 APIC frame) with
  a small PNG or JFIF JPEG cover within its first kilobyte, then random bytes;
- "manifest.json": the counts a correct run produces, for bench/run.sh to compare with;
- "scanned.list": the paths of the music files a run reads, one a line.

bunkai turns a track's path into code page 932 before opening it on some platforms and
keeps it UTF-8 on others, so by default every music file whose path holds non-ASCII text
exists under both spellings (the second one a hard link, so it costs no disk space).
"""

import argparse
import functools
import json
import os
import random
import struct
import sys
import time
import urllib.parse
import zlib

EXPORT_NAME = "iTunes Music Library.xml"
MEDIA_FOLDER = "iTunes Media"
COMPILATIONS = "Compilations"

EN_WORDS = (
    "Blue Night Summer Rain City Light Heart Fire Dream Star Road River Shadow Morning Glass "
    "Silver Paper Moon Ocean Garden Echo Velvet Winter Electric Golden Wild Quiet Broken "
    "Little Northern Hollow Neon Crystal Midnight Thunder Honey Violet Desert Harbor Signal"
).split()
EN_FIRST = "Anna Ben Chloe David Emma Frank Grace Henry Iris Jack Kate Leo Maya Noah Olivia Paul".split()
EN_LAST = "Adams Baker Carter Dixon Evans Foster Gray Hughes Irving Jones King Lewis Moore Nash".split()
JP_WORDS = (
    "夏 夜明け さくら 東京 ふたり 青空 風 ひかり 涙 恋 雨上がり 月 海 約束 サヨナラ ドライブ "
    "メロディー キラキラ 星空 花火 君 僕ら 未来 旅人 雪 春 奇跡 はじまり ありがとう ラジオ "
    "交差点 坂道 線香花火 放課後 ひまわり 蜃気楼 透明 記憶 カーテン 帰り道"
).split()
JP_SURNAMES = "佐藤 鈴木 高橋 田中 渡辺 伊藤 山本 中村 小林 加藤 吉田 山田 松本 井上 木村 清水".split()
JP_GIVEN = "花子 健太 美咲 翔 さくら ゆい 大輔 あゆみ 拓也 真由美 蓮 陽菜 悠人 葵 結衣".split()
KATAKANA = "ア イ ウ エ オ カ キ ク ケ コ サ シ ス セ ソ タ チ ツ テ ト ナ ニ ヌ ネ ノ ハ ヒ フ ヘ ホ マ ミ ム メ モ ラ リ ル レ ロ ワ".split()
GENRES = ["J-Pop", "ロック", "アニメ", "Rock", "Jazz", "Classical", "Electronic", "R&B/Soul",
          "サウンドトラック", "歌謡曲", "Hip-Hop/Rap", "Alternative"]

# Characters that iTunes replaces by "_" when it names a file or folder after a tag.
UNSAFE_IN_NAMES = str.maketrans({c: "_" for c in '\\/:*?"<>|'})
# ASCII characters that iTunes leaves unescaped in a Location URL. "+" is absent on purpose:
# bunkai decodes it as a blank, so a name holding one would not name the real file.
URL_SAFE = "/:'()!,&=@$;*~-_."


def xml_text(text):
    return text.replace("&", "&#38;").replace("<", "&#60;").replace(">", "&#62;")


@functools.lru_cache(maxsize=65536)
def url_component(name):
    return xml_text(urllib.parse.quote(name, safe=URL_SAFE))


def file_url(path):
    """The Location iTunes writes for an absolute POSIX path, escaped for the XML string."""
    return "file://localhost" + "/".join(url_component(c) for c in path.split("/"))


def path_name(text):
    """The name iTunes gives a file or folder made from a tag."""
    name = text.translate(UNSAFE_IN_NAMES)
    if name.startswith("."):
        name = "_" + name[1:]
    if name.endswith("."):
        name = name[:-1] + "_"
    return name


class Names:
    """Makes artist, album and track names, half ASCII, half Japanese."""

    def __init__(self, rng):
        self.rng = rng

    def _w(self):
        return self.rng.choice(EN_WORDS)

    def _j(self):
        return self.rng.choice(JP_WORDS)

    def _katakana(self, low, high):
        return "".join(self.rng.choice(KATAKANA) for _ in range(self.rng.randint(low, high)))

    def artist(self):
        r = self.rng
        return r.choice((
            lambda: "The %s %ss" % (self._w(), self._w()),
            lambda: "%s %s" % (r.choice(EN_FIRST), r.choice(EN_LAST)),
            lambda: "%s & The %ss" % (r.choice(EN_FIRST), self._w()),
            lambda: "%s, %s & %s" % (self._w(), self._w(), self._w()),
            lambda: "%s %s" % (r.choice(JP_SURNAMES), r.choice(JP_GIVEN)),
            lambda: r.choice(JP_SURNAMES) + r.choice(JP_GIVEN),
            lambda: self._katakana(3, 6) + "ズ",
            lambda: "%s feat. %s" % (self._katakana(2, 5), r.choice(JP_GIVEN)),
        ))()

    def album(self):
        r = self.rng
        return r.choice((
            lambda: "%s %s" % (self._w(), self._w()),
            lambda: "%s Vol. %d" % (self._w(), r.randint(1, 9)),
            lambda: "Best of %s, %s" % (self._w(), self._w()),
            lambda: "%s & %s" % (self._w(), self._w()),
            lambda: "%sの%s" % (self._j(), self._j()),
            lambda: "%s (Deluxe Edition)" % self._j(),
            lambda: "%s、%s" % (self._j(), self._j()),
            lambda: self._katakana(2, 5) + " " + self._j(),
        ))()

    def track(self):
        r = self.rng
        return r.choice((
            lambda: "%s %s" % (self._w(), self._w()),
            lambda: "Do You %s?" % self._w(),
            lambda: "%s: %s Mix" % (self._w(), self._w()),
            lambda: "%s, %s & %s" % (self._w(), self._w(), self._w()),
            lambda: self._j(),
            lambda: "%sに%s" % (self._j(), self._j()),
            lambda: "%s (%s Remix)" % (self._j(), self._w()),
            lambda: "%s, %s" % (self._j(), self._j()),
        ))()


def unique(make, taken):
    """A name from `make` whose file-system name differs from all in `taken`, ignoring case
    (as Windows does, and as bunkai's list keys do)."""
    for _ in range(5):
        name = make()
        if path_name(name).casefold() not in taken:
            break
    base, number = name, 2
    while path_name(name).casefold() in taken:
        name = "%s %d" % (base, number)
        number += 1
    taken.add(path_name(name).casefold())
    return name


def png_cover(index):
    """A 16x16 RGB PNG in two colours that depend on the album number."""
    rng = random.Random(index)
    a = bytes(rng.randrange(256) for _ in range(3))
    b = bytes(rng.randrange(256) for _ in range(3))
    rows = b"".join(b"\0" + b"".join(a if x > y else b for x in range(16)) for y in range(16))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

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
    bits = value if value > 0 else value + 63
    scan = bytes([bits << 1])

    def segment(marker, data):
        return b"\xff" + marker + struct.pack(">H", len(data) + 2) + data

    return (b"\xff\xd8"
            + segment(b"\xe0", b"JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00")
            + segment(b"\xdb", b"\x00" + bytes([quant]) * 64)
            + segment(b"\xc0", b"\x08\x00\x08\x00\x08\x01\x01\x11\x00")
            + segment(b"\xc4", b"\x00" + b"\x01" + b"\x00" * 15 + b"\x06")
            + segment(b"\xc4", b"\x10" + b"\x01" + b"\x00" * 15 + b"\x00")
            + segment(b"\xda", b"\x01\x01\x00\x00\x3f\x00")
            + scan + b"\xff\xd9")


def box(kind, payload):
    return struct.pack(">I", 8 + len(payload)) + kind + payload


def m4a_header(title, cover, cover_type):
    """ftyp and moov boxes of an iTunes AAC file, with the title and the cover atoms."""
    ftyp = box(b"ftyp", b"M4A \0\0\0\0M4A mp42isom\0\0\0\0")
    items = box(b"\xa9nam", box(b"data", struct.pack(">II", 1, 0) + title.encode("utf-8")))
    if cover:
        items += box(b"covr", box(b"data", struct.pack(">II", 14 if cover_type == "png" else 13, 0) + cover))
    hdlr = box(b"hdlr", b"\0" * 8 + b"mdirappl" + b"\0" * 9)
    meta = box(b"meta", b"\0\0\0\0" + hdlr + box(b"ilst", items))
    return ftyp + box(b"moov", box(b"udta", meta))


def mp3_header(title, cover, cover_type):
    """An ID3v2.3 tag with the title and an attached front cover."""
    def frame(kind, data):
        return kind + struct.pack(">I", len(data)) + b"\0\0" + data

    frames = frame(b"TIT2", b"\x01" + title.encode("utf-16"))
    if cover:
        mime = b"image/png" if cover_type == "png" else b"image/jpeg"
        frames += frame(b"APIC", b"\x00" + mime + b"\x00\x03\x00" + cover)
    frames += b"\0" * 64
    size = len(frames)
    syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x03\x00\x00" + syncsafe + frames


def random_block(rng, size):
    """Random bytes with no PNG signature in them, so a cover is only ever found in the tag."""
    block = bytearray(rng.randbytes(size))
    position = block.find(b"\x89PNG")
    while position >= 0:
        block[position] = 0x88
        position = block.find(b"\x89PNG", position)
    return bytes(block)


class Album:
    __slots__ = ("index", "artist_folder", "folder", "name", "album_artist", "compilation",
                 "genre", "year", "disc_count", "tracks", "music_file", "kind")


class Track:
    __slots__ = ("album", "name", "artist", "composer", "disc", "number", "count", "file",
                 "error", "time", "added")


def plan(args, rng):
    """Artists, albums and tracks in import order."""
    names = Names(rng)
    artist_folders = {COMPILATIONS.casefold()}
    compilation_folders = set()
    albums, tracks = [], []
    artist, artist_albums_left, album_folders = None, 0, set()
    added = time.mktime((2008, 4, 1, 9, 0, 0, 0, 0, 0))
    while len(tracks) < args.tracks:
        album = Album()
        album.index = len(albums)
        album.compilation = rng.random() < args.compilation_share
        if album.compilation:
            album.artist_folder = COMPILATIONS
            album.name = unique(names.album, compilation_folders)
            album.album_artist = "Various Artists" if rng.random() < 0.8 else None
        else:
            if artist_albums_left == 0:
                artist = unique(names.artist, artist_folders)
                artist_albums_left = rng.randint(1, 2 * args.albums_per_artist - 1)
                album_folders = set()
            artist_albums_left -= 1
            album.artist_folder = path_name(artist)
            album.name = unique(names.album, album_folders)
            album.album_artist = artist if rng.random() < 0.6 else None
        album.folder = path_name(album.name)
        album.genre = rng.choice(GENRES)
        album.year = rng.randint(1970, 2021)
        album.kind = "m4a" if rng.random() < 0.8 else "mp3"
        album.music_file = None
        size = rng.randint(max(1, args.tracks_per_album // 2), args.tracks_per_album * 3 // 2)
        size = min(size, args.tracks - len(tracks))
        album.disc_count = 2 if size >= 8 and rng.random() < 0.1 else 1
        per_disc = (size + album.disc_count - 1) // album.disc_count
        album.tracks = []
        added += rng.randint(60, 86400 * 3)
        for i in range(size):
            track = Track()
            track.album = album
            track.name = names.track()
            track.artist = names.artist() if album.compilation else artist
            track.composer = names.artist() if rng.random() < 0.4 else None
            track.disc, track.number = divmod(i, per_disc)
            track.disc += 1
            track.number += 1
            track.count = min(per_disc, size - (track.disc - 1) * per_disc)
            prefix = ("%d-%02d " % (track.disc, track.number) if album.disc_count > 1
                      else "%02d " % track.number)
            track.file = prefix + path_name(track.name) + "." + album.kind
            track.error = None
            track.time = rng.randint(90000, 420000)
            track.added = added + i
            album.tracks.append(track)
            tracks.append(track)
        albums.append(album)

    errors = round(args.error_share * len(tracks))
    for n, track in enumerate(rng.sample(tracks, errors)):
        track.error = "cloud" if n % 2 == 0 else "outside"
    return albums, tracks


def shuffled(tracks, share, rng):
    """Import order with `share` of the tracks moved to random places."""
    moved = set(rng.sample(range(len(tracks)), round(share * len(tracks))))
    place = [rng.uniform(0, len(tracks)) if i in moved else i for i in range(len(tracks))]
    return [tracks[i] for i in sorted(range(len(tracks)), key=place.__getitem__)]


def iso(seconds):
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(seconds))


def hex_id(rng):
    return "%016X" % rng.getrandbits(64)


def track_entry(track, track_id, args, music_root, outside_root, rng):
    album = track.album
    e = ["\t\t<key>%d</key>\n\t\t<dict>\n" % track_id,
         "\t\t\t<key>Track ID</key><integer>%d</integer>\n" % track_id,
         "\t\t\t<key>Name</key><string>%s</string>\n" % xml_text(track.name),
         "\t\t\t<key>Artist</key><string>%s</string>\n" % xml_text(track.artist)]
    if album.album_artist is not None:
        e.append("\t\t\t<key>Album Artist</key><string>%s</string>\n" % xml_text(album.album_artist))
    if track.composer:
        e.append("\t\t\t<key>Composer</key><string>%s</string>\n" % xml_text(track.composer))
    bit_rate = 256 if album.kind == "m4a" else 320
    kind = "AAC オーディオファイル" if album.kind == "m4a" else "MPEG オーディオファイル"
    e.append("\t\t\t<key>Album</key><string>%s</string>\n"
             "\t\t\t<key>Genre</key><string>%s</string>\n"
             "\t\t\t<key>Kind</key><string>%s</string>\n"
             "\t\t\t<key>Size</key><integer>%d</integer>\n"
             "\t\t\t<key>Total Time</key><integer>%d</integer>\n"
             % (xml_text(album.name), xml_text(album.genre), kind,
                track.time * bit_rate // 8, track.time))
    if album.disc_count > 1:
        e.append("\t\t\t<key>Disc Number</key><integer>%d</integer>\n"
                 "\t\t\t<key>Disc Count</key><integer>%d</integer>\n" % (track.disc, album.disc_count))
    e.append("\t\t\t<key>Track Number</key><integer>%d</integer>\n"
             "\t\t\t<key>Track Count</key><integer>%d</integer>\n"
             "\t\t\t<key>Year</key><integer>%d</integer>\n"
             "\t\t\t<key>Date Modified</key><date>%s</date>\n"
             "\t\t\t<key>Date Added</key><date>%s</date>\n"
             "\t\t\t<key>Bit Rate</key><integer>%d</integer>\n"
             "\t\t\t<key>Sample Rate</key><integer>44100</integer>\n"
             % (track.number, track.count, album.year, iso(track.added - 86400),
                iso(track.added), bit_rate))
    if rng.random() < 0.5:
        played = track.added + rng.randint(3600, 86400 * 400)
        e.append("\t\t\t<key>Play Count</key><integer>%d</integer>\n"
                 "\t\t\t<key>Play Date</key><integer>%d</integer>\n"
                 "\t\t\t<key>Play Date UTC</key><date>%s</date>\n"
                 % (rng.randint(1, 60), int(played) + 2082844800, iso(played)))
    if album.compilation:
        e.append("\t\t\t<key>Compilation</key><true/>\n")
    if args.cover != "none":
        e.append("\t\t\t<key>Artwork Count</key><integer>1</integer>\n")
    e.append("\t\t\t<key>Sort Name</key><string>%s</string>\n" % xml_text(track.name))
    e.append("\t\t\t<key>Persistent ID</key><string>%s</string>\n" % hex_id(rng))
    if track.error == "cloud":
        e.append("\t\t\t<key>Track Type</key><string>Remote</string>\n"
                 "\t\t\t<key>Apple Music</key><true/>\n")
    else:
        if track.error == "outside":
            path = "%s/%s - %s" % (outside_root, path_name(track.artist), track.file)
        else:
            path = "/".join((music_root, album.artist_folder, album.folder, track.file))
        e.append("\t\t\t<key>Track Type</key><string>File</string>\n"
                 "\t\t\t<key>Location</key><string>%s</string>\n"
                 "\t\t\t<key>File Folder Count</key><integer>5</integer>\n"
                 "\t\t\t<key>Library Folder Count</key><integer>1</integer>\n" % file_url(path))
    e.append("\t\t</dict>\n")
    return "".join(e)


def write_export(path, order, args, out, rng):
    music_root = os.path.join(out, MEDIA_FOLDER, "Music")
    outside_root = os.path.join(out, "Downloads")
    first_id = 2000
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<!DOCTYPE plist PUBLIC "-//Apple Computer//DTD PLIST 1.0//EN" '
                '"http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
                '<plist version="1.0">\n<dict>\n'
                "\t<key>Major Version</key><integer>1</integer>\n"
                "\t<key>Minor Version</key><integer>1</integer>\n"
                "\t<key>Date</key><date>2021-05-31T12:00:00Z</date>\n"
                "\t<key>Application Version</key><string>12.11.3.17</string>\n"
                "\t<key>Features</key><integer>5</integer>\n"
                "\t<key>Show Content Ratings</key><true/>\n"
                "\t<key>Music Folder</key><string>%s/</string>\n"
                "\t<key>Library Persistent ID</key><string>%s</string>\n"
                "\t<key>Tracks</key>\n\t<dict>\n"
                % (file_url(os.path.join(out, MEDIA_FOLDER)), hex_id(rng)))
        chunk = []
        for n, track in enumerate(order):
            chunk.append(track_entry(track, first_id + 2 * n, args, music_root, outside_root, rng))
            if len(chunk) == 2000:
                f.write("".join(chunk))
                chunk = []
        f.write("".join(chunk))
        f.write("\t</dict>\n\t<key>Playlists</key>\n\t<array>\n\t\t<dict>\n"
                "\t\t\t<key>Master</key><true/>\n"
                "\t\t\t<key>Playlist ID</key><integer>%d</integer>\n"
                "\t\t\t<key>Playlist Persistent ID</key><string>%s</string>\n"
                "\t\t\t<key>All Items</key><true/>\n"
                "\t\t\t<key>Visible</key><false/>\n"
                "\t\t\t<key>Name</key><string>ライブラリ</string>\n"
                "\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n"
                % (first_id + 2 * len(order), hex_id(rng)))
        item = "\t\t\t\t<dict>\n\t\t\t\t\t<key>Track ID</key><integer>%d</integer>\n\t\t\t\t</dict>\n"
        for start in range(0, len(order), 5000):
            f.write("".join(item % (first_id + 2 * n)
                            for n in range(start, min(start + 5000, len(order)))))
        f.write("\t\t\t</array>\n\t\t</dict>\n\t</array>\n</dict>\n</plist>\n")


def spellings(components, encoding):
    """The on-disk byte spellings of a path below the music folder."""
    utf8 = [c.encode("utf-8") for c in components]
    cp932 = [c.encode("cp932") for c in components]
    if encoding == "utf-8":
        return [utf8]
    if encoding == "cp932" or utf8 == cp932:
        return [cp932]
    return [utf8, cp932]


def write_music_files(albums, args, out, rng):
    """Writes the music file of every album's first track; returns the list of their paths."""
    body = random_block(rng, max(args.music_size, 1))
    music_root = os.path.join(out, MEDIA_FOLDER, "Music").encode()
    made_folders = set()
    written = []
    for album in albums:
        track = album.music_file
        if track is None:
            continue
        cover = None
        if not has_cover(album, args):
            pass
        elif args.cover == "png":
            cover = png_cover(album.index)
        elif args.cover == "jpeg":
            cover = jpeg_cover(album.index)
        make_header = m4a_header if album.kind == "m4a" else mp3_header
        header = make_header(track.name, cover, args.cover)
        size = max(args.music_size, len(header) + 64)
        if size - len(header) > len(body):
            body = random_block(rng, size - len(header))
        tail = memoryview(body)[:size - len(header)]
        first = None
        for parts in spellings((album.artist_folder, album.folder, track.file), args.path_encoding):
            folder = os.path.join(music_root, parts[0], parts[1])
            if folder not in made_folders:
                os.makedirs(folder, exist_ok=True)
                made_folders.add(folder)
            path = os.path.join(folder, parts[2])
            if first is None:
                fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
                try:
                    os.writev(fd, [header, tail])
                finally:
                    os.close(fd)
                first = path
                written.append((path, size))
            else:
                if os.path.lexists(path):
                    os.unlink(path)
                os.link(first, path)
    return written


def has_cover(album, args):
    """Whether the album's music file holds a cover: a share of the albums, chosen by album."""
    return args.cover != "none" and random.Random(album.index).random() < args.cover_share


def expected_counts(albums, tracks, args):
    """What a correct run of bunkai makes from this library."""
    artist_folders = set()
    with_albums = set()
    album_folders = 0
    for album in albums:
        if album.music_file is not None:
            album_folders += 1
            artist_folders.add(album.artist_folder)
            with_albums.add(album.artist_folder)
    # Every compilation track, even one without a file name, has the compilations folder made.
    if any(t.album.compilation for t in tracks):
        artist_folders.add(COMPILATIONS)
    return {
        "artist_folders": len(artist_folders),
        "album_folders": album_folders,
        "list_files": (1 if artist_folders else 0) + len(with_albums) + album_folders,
        "pictures": sum(1 for a in albums if a.music_file is not None and has_cover(a, args)),
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
    if args.tracks < 1 or args.tracks_per_album < 1 or args.albums_per_artist < 1:
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
        f.write(b"".join(path + b"\n" for path, _ in written))

    artists = {a.artist_folder for a in albums if not a.compilation}
    manifest = {
        "export": export,
        "export_bytes": os.path.getsize(export),
        "scanned_list": scanned,
        "tracks": len(tracks),
        "albums": len(albums),
        "compilation_albums": sum(1 for a in albums if a.compilation),
        "artists": len(artists),
        "error_tracks": sum(1 for t in tracks if t.error),
        "music_files": len(written),
        "music_bytes": sum(size for _, size in written),
        "cover": args.cover,
        "expected": expected_counts(albums, tracks, args),
    }
    with open(os.path.join(out, "manifest.json"), "w", encoding="utf-8") as f:
        json.dump(manifest, f, ensure_ascii=False, indent=1)
    print("tracks %d, albums %d, artists %d, export %d bytes, music files %d, music %d bytes"
          % (manifest["tracks"], manifest["albums"], manifest["artists"],
             manifest["export_bytes"], manifest["music_files"], manifest["music_bytes"]))


if __name__ == "__main__":
    main()
