#!/usr/bin/python3
"""Makes the sample library: "iTunes Music Library.xml" and its music files under Media/.

The export is written as iTunes 12 for Windows writes one (tab indentation, its key order,
"&" as "&#38;", paths percent-escaped UTF-8), except that every Location is relative
("file://localhost/Media/Music/..."), so the program finds the music files when it runs in
a copy of this folder. The music files are a second of silence each with tiny covers.
Needs ffmpeg and python3-mutagen; run with /usr/bin/python3. The outputs are kept in the
repository: run this only to change the sample, then regenerate the golden listing.
"""

import hashlib
import os
import shutil
import struct
import subprocess
import tempfile
import urllib.parse

from mutagen.id3 import APIC, ID3, TALB, TCON, TIT2, TPE1, TPE2, TPOS, TRCK
from mutagen.mp4 import MP4, MP4Cover

HERE = os.path.dirname(os.path.abspath(__file__))

# Covers: ffmpeg source and format. Each album has its own, so that a picture copied into
# the wrong album folder shows up in the golden listing. "exif" is a JPEG whose JFIF
# segment is replaced by an Exif one, as cameras write them.
COVERS = {
    "etudes": ("testsrc2=size=16x16", "jfif"), "morning": ("smptebars=size=16x16", "png"),
    "ferry": ("color=c=navy:size=16x16", "jfif"), "kyoto": ("color=c=green:size=16x16", "exif"),
    "dusk-front": ("color=c=purple:size=16x16", "jfif"),
    # Bigger than the JPEG, so that the tagger stores it after the JPEG.
    "dusk-back": ("testsrc2=size=40x40", "png"), "haru": ("color=c=pink:size=16x16", "jfif"),
    "natsu": ("testsrc=size=16x16", "png"), "parade": ("rgbtestsrc=size=16x16", "jfif"),
    "hits": ("color=c=orange:size=16x16", "png"),
}

# The library in the order iTunes lists the tracks; per track its name, total time, the
# covers in the order stored in its file, and what differs from its album.
ALBUMS = [
    dict(artist="88 Keys Club", album="Etudes", year=2015, genre="Classical", ext="mp3",
         added="2016-02-11T12:30:05Z", composer="Frédéric Chopin",
         tracks=[("Etude Op. 10 No. 3", 251000, ["etudes"]),
                 ("Etude Op. 25 No. 1", 162000, ["etudes"])]),
    dict(artist="Blue Harbor", album_artist="Blue Harbor", album="Morning Lines", year=2018,
         genre="Pop", ext="m4a", added="2018-06-02T09:14:40Z", composer="K. Aoyama",
         tracks=[("Sunrise", 214000, ["morning"]), ("Coffee & Rain", 198000, ["morning"]),
                 ("Yes, No, Maybe", 187000, ["morning"]),
                 ("Harbor Lights", 243000, ["morning"], dict(artist="Blue Harbor feat. Mina"))]),
    # Imported without album artists; its first track has no picture, the others have one.
    dict(artist="Blue Harbor", album="Night Ferry", year=2020, genre="Pop", ext="mp3",
         added="2020-11-20T21:03:12Z",
         tracks=[("Departure", 201000, []), ("Open Sea", 305000, ["ferry"]),
                 ("Arrival", 176000, ["ferry"])]),
    dict(artist="mono no aware", album="kyoto tapes", year=2016, genre="Ambient", ext="mp3",
         added="2017-01-08T15:45:00Z",
         tracks=[("rain on kamo river", 362000, ["kyoto"]), ("temple bell", 288000, ["kyoto"])]),
    # iTunes names the folder "Night_Day": a "/" cannot be part of a folder name.
    dict(artist="Night/Day", album_artist="Night/Day", album="Dusk & Dawn", year=2014,
         genre="Electronic", ext="mp3", added="2015-03-21T23:10:44Z",
         tracks=[(name, total, ["dusk-front", "dusk-back"])
                 for name, total in (("Dusk", 322000), ("Midnight", 401000), ("Dawn", 297000))]),
    dict(artist="さくら通り", album_artist="さくら通り", album="春の日", year=2019,
         genre="J-Pop", ext="mp3", added="2019-04-05T10:00:31Z", composer="山田 太郎",
         tracks=[("はじまりの歌", 232000, ["haru"]), ("桜並木", 268000, ["haru"]),
                 ("帰り道", 219000, ["haru"]), ("春の日", 301000, ["haru"])]),
    # "～" as typed on Windows (U+FF5E): Shift_JIS 81 60, the wave dash.
    dict(artist="さくら通り", album_artist="さくら通り", album="夏祭り～花火～", year=2020,
         genre="J-Pop", ext="m4a", added="2020-08-01T19:30:00Z", composer="山田 太郎",
         tracks=[("花火", 245000, ["natsu"]), ("夜店の灯り", 199000, ["natsu"])]),
    dict(artist="ｽﾄﾘｰﾄ ｷｯｽﾞ", album="ﾊﾟﾚｰﾄﾞ", year=1998, genre="Rock", ext="m4a",
         added="2009-12-24T18:20:00Z",
         tracks=[("ﾊﾟﾚｰﾄﾞ", 224000, ["parade"]), ("ﾐｯﾄﾞﾅｲﾄ ﾊﾞｽ", 256000, ["parade"]),
                 ("ｻﾖﾅﾗ", 208000, ["parade"])]),
    # "表" and "ソ" end in the byte 0x5C ("\") in Shift_JIS; "é" has no Shift_JIS character.
    dict(artist="表参道ソウル", album_artist="表参道ソウル", album="Café Lumière", year=2017,
         genre="R&B/ソウル", ext="m4a", added="2017-10-14T13:05:09Z",
         tracks=[("ソファの上で", 236000, []), ("表通り", 252000, [])]),
    dict(compilation=True, album_artist="Various Artists", album="夏のヒット集 2021",
         year=2021, genre="J-Pop", ext="mp3", added="2021-07-10T08:00:00Z", discs=2,
         tracks=[("Summer Breeze", 211000, ["hits"], dict(artist="Blue Harbor", disc=1)),
                 ("ひまわり", 243000, ["hits"], dict(artist="さくら通り", disc=1)),
                 ("ﾅﾂﾉｿﾗ", 198000, ["hits"], dict(artist="ｽﾄﾘｰﾄ ｷｯｽﾞ", disc=2)),
                 ("Sunset, Again", 265000, ["hits"], dict(artist="DJ Kaze", disc=2))]),
]
# A voice memo added from the desktop, between two albums: its file is outside the media
# folder. A purchase kept in the cloud: no file, no Location.
OUTSIDE_TRACK = dict(name="ボイスメモ", artist="Hanako", total=61000, ext="m4a", size=1482655,
                     added="2021-05-30T22:41:17Z",
                     location="C:/Users/Hanako/Desktop/ボイスメモ.m4a")
CLOUD_TRACK = dict(name="Opening (Live)", artist="Blue Harbor", album_artist="Blue Harbor",
                   album="Live at Minato Hall", genre="Pop", total=233000, year=2021, ext="m4a",
                   added="2021-05-01T12:00:00Z", size=7651234, cloud=True)


def ffmpeg(*arguments):
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", *arguments[:-1],
                    "-fflags", "+bitexact", "-flags", "+bitexact", arguments[-1]], check=True)


def make_cover(work, source, kind):
    name = os.path.join(work, "cover." + ("png" if kind == "png" else "jpg"))
    extra = [] if kind == "png" else ["-pix_fmt", "yuvj420p"]
    ffmpeg("-f", "lavfi", "-i", source + ":rate=1", "-frames:v", "1", *extra, name)
    data = open(name, "rb").read()
    if kind == "exif":
        body = b"Exif\x00\x00MM\x00\x2a\x00\x00\x00\x08" + b"\x00" * 6
        data = (b"\xff\xd8\xff\xe1" + struct.pack(">H", 2 + len(body)) + body
                + data[4 + struct.unpack(">H", data[4:6])[0]:])
        assert b"JFIF" not in data
    return data


def write_music_file(path, silence, track, pictures):
    shutil.copyfile(silence[track["ext"]], path)
    if track["ext"] == "mp3":
        tags = ID3()
        for frame, field in ((TIT2, "name"), (TPE1, "artist"), (TPE2, "album_artist"),
                             (TALB, "album"), (TCON, "genre")):
            if track.get(field):
                tags.add(frame(encoding=1, text=track[field]))
        tags.add(TRCK(encoding=0, text="%d/%d" % (track["number"], track["count"])))
        tags.add(TPOS(encoding=0, text="%d/%d" % (track["disc"], track["discs"])))
        for index, (kind, data) in enumerate(pictures):
            tags.add(APIC(encoding=0, mime="image/" + kind, type=3 if index == 0 else 4,
                          desc="" if index == 0 else "back", data=data))
        tags.save(path, v2_version=3, padding=lambda info: 0)
    else:
        tags = MP4(path)
        for atom, field in (("\xa9nam", "name"), ("\xa9ART", "artist"), ("aART", "album_artist"),
                            ("\xa9alb", "album"), ("\xa9gen", "genre")):
            if track.get(field):
                tags[atom] = [track[field]]
        tags["trkn"] = [(track["number"], track["count"])]
        tags["disk"] = [(track["disc"], track["discs"])]
        if pictures:
            tags["covr"] = [MP4Cover(data, imageformat=MP4Cover.FORMAT_PNG if kind == "png"
                                     else MP4Cover.FORMAT_JPEG) for kind, data in pictures]
        tags.save(padding=lambda info: 0)
    # The pictures must lie in the file in the order listed (a tagger may reorder them).
    data = open(path, "rb").read()
    offsets = [data.find(picture) for kind, picture in pictures]
    assert -1 not in offsets and offsets == sorted(offsets), path


def folder_name(text):
    # iTunes replaces the characters a folder name cannot hold.
    return "".join("_" if c in '/\\:*?"<>|' else c for c in text)


def file_url(path):
    # iTunes leaves letters, digits and "-._~!$&'()+,;=:@/" as they are.
    return "file://localhost/" + urllib.parse.quote(path, safe="/!$&'()+,;=:@~")


def xml_text(text):
    return text.replace("&", "&#38;").replace("<", "&lt;").replace(">", "&gt;")


def persistent_id(text):
    return hashlib.sha1(text.encode()).hexdigest()[:16].upper()


def library_tracks(work):
    """Every track of the library as a dict of its values, the music files made on the way."""
    covers = {name: ("png" if kind == "png" else "jpeg", make_cover(work, source, kind))
              for name, (source, kind) in COVERS.items()}
    silence = {}
    for ext, codec in (("mp3", "libmp3lame"), ("m4a", "aac")):
        silence[ext] = os.path.join(work, "silence." + ext)
        ffmpeg("-f", "lavfi", "-i", "anullsrc=channel_layout=mono:sample_rate=8000", "-t", "1",
               "-map_metadata", "-1", "-c:a", codec, "-b:a", "8k", silence[ext])
    tracks = []
    for album in ALBUMS:
        entries = [(entry + ({},))[:4] for entry in album["tracks"]]
        for name, total, picture_names, extra in entries:
            disc = extra.get("disc", 1)
            on_disc = [e[0] for e in entries if e[3].get("disc", 1) == disc]
            track = dict(album, name=name, total=total, disc=disc, discs=album.get("discs", 1),
                         artist=extra.get("artist", album.get("artist")),
                         number=on_disc.index(name) + 1, count=len(on_disc))
            prefix = "%d-%02d" % (disc, track["number"]) if track["discs"] > 1 else "%02d" % (
                track["number"])
            relative = "/".join(["Compilations" if album.get("compilation") else
                                 folder_name(album.get("album_artist") or album["artist"]),
                                 folder_name(album["album"]),
                                 "%s %s.%s" % (prefix, folder_name(name), album["ext"])])
            path = os.path.join(HERE, "Media", "Music", *relative.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            write_music_file(path, silence, track, [covers[p] for p in picture_names])
            track.update(size=os.path.getsize(path), location=file_url("Media/Music/" + relative))
            tracks.append(track)
    tracks.insert(9, dict(OUTSIDE_TRACK, location=file_url(OUTSIDE_TRACK["location"])))
    tracks.append(CLOUD_TRACK)
    return tracks


def line(key, kind, value, depth=3):
    return "\t" * depth + "<key>%s</key><%s>%s</%s>" % (key, kind, value, kind)


def track_lines(track_id, track):
    placed, cloud = "number" in track, track.get("cloud")
    lines = [line("Track ID", "integer", track_id), line("Size", "integer", track["size"]),
             line("Total Time", "integer", track["total"])]
    if placed:
        lines += [line(key, "integer", track[field]) for key, field in (
            ("Disc Number", "disc"), ("Disc Count", "discs"), ("Track Number", "number"),
            ("Track Count", "count"))]
    if "year" in track:
        lines.append(line("Year", "integer", track["year"]))
    lines += [line("Date Modified", "date", track["added"]),
              line("Date Added", "date", track["added"]),
              line("Bit Rate", "integer", {"mp3": 320, "m4a": 256}[track["ext"]]),
              line("Sample Rate", "integer", 44100)]
    if track.get("compilation"):
        lines.append("\t\t\t<key>Compilation</key><true/>")
    if placed or cloud:
        lines.append(line("Artwork Count", "integer", 1))
    lines += [line("Persistent ID", "string",
                   persistent_id(track.get("location") or track["name"] + track["album"])),
              line("Track Type", "string", "Remote" if cloud else "File")]
    if cloud:
        lines.append("\t\t\t<key>Purchased</key><true/>")
    else:
        lines += [line("File Folder Count", "integer", 5 if placed else -1),
                  line("Library Folder Count", "integer", 1 if placed else -1)]
    for key, field in (("Name", "name"), ("Artist", "artist"), ("Album Artist", "album_artist"),
                       ("Composer", "composer"), ("Album", "album"), ("Genre", "genre")):
        if track.get(field):
            lines.append(line(key, "string", xml_text(track[field])))
    kind = {"mp3": "MPEG オーディオファイル", "m4a": "AAC オーディオファイル"}[track["ext"]]
    lines.append(line("Kind", "string", "購入した " + kind if cloud else kind))
    if track.get("location"):
        lines.append(line("Location", "string", xml_text(track["location"])))
    return ["\t\t<key>%d</key>" % track_id, "\t\t<dict>"] + lines + ["\t\t</dict>"]


def playlist_lines(name, playlist_id, kind, track_ids):
    """A playlist as iTunes writes it; kind is "master" (the whole library), "music" (the
    library's music) or None (one the user made)."""
    lines = ["\t\t<dict>", line("Name", "string", xml_text(name))]
    if kind == "master":
        lines.append("\t\t\t<key>Master</key><true/>")
    lines += [line("Playlist ID", "integer", playlist_id),
              line("Playlist Persistent ID", "string", persistent_id("playlist " + name))]
    if kind == "master":
        lines.append("\t\t\t<key>Visible</key><false/>")
    elif kind == "music":
        lines += [line("Distinguished Kind", "integer", 4), "\t\t\t<key>Music</key><true/>"]
    if kind:
        lines.append("\t\t\t<key>All Items</key><true/>")
    lines += ["\t\t\t<key>Playlist Items</key>", "\t\t\t<array>"]
    for track_id in track_ids:
        lines += ["\t\t\t\t<dict>", line("Track ID", "integer", track_id, 5), "\t\t\t\t</dict>"]
    return lines + ["\t\t\t</array>", "\t\t</dict>"]


def main():
    shutil.rmtree(os.path.join(HERE, "Media"), ignore_errors=True)
    with tempfile.TemporaryDirectory() as work:
        tracks = library_tracks(work)
    ids = [1000 + 2 * index for index in range(len(tracks))]
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<!DOCTYPE plist PUBLIC "-//Apple Computer//DTD PLIST 1.0//EN"'
             ' "http://www.apple.com/DTDs/PropertyList-1.0.dtd">',
             '<plist version="1.0">', "<dict>"]
    lines += [line(key, kind, value, 1) for key, kind, value in (
        ("Major Version", "integer", 1), ("Minor Version", "integer", 1),
        ("Application Version", "string", "12.10.10.2"), ("Date", "date", "2021-05-31T09:12:45Z"),
        ("Features", "integer", 5))]
    lines += ["\t<key>Show Content Ratings</key><true/>",
              line("Music Folder", "string", "file://localhost/Media/", 1),
              line("Library Persistent ID", "string", persistent_id("library"), 1),
              "\t<key>Tracks</key>", "\t<dict>"]
    for track_id, track in zip(ids, tracks):
        lines += track_lines(track_id, track)
    lines += ["\t</dict>", "\t<key>Playlists</key>", "\t<array>"]
    lines += playlist_lines("ライブラリ", 2000, "master", ids)
    lines += playlist_lines("ミュージック", 2002, "music",
                            [i for i, t in zip(ids, tracks) if t["name"] != "ボイスメモ"])
    lines += playlist_lines("お気に入り", 2004, None, [i for i, t in zip(ids, tracks) if t["name"] in (
        "Coffee & Rain", "桜並木", "花火", "Dawn", "ﾐｯﾄﾞﾅｲﾄ ﾊﾞｽ")])
    lines += ["\t</array>", "</dict>", "</plist>"]
    with open(os.path.join(HERE, "iTunes Music Library.xml"), "w", encoding="utf-8",
              newline="\n") as export:
        export.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
