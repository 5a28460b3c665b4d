#!/usr/bin/python3
"""Makes the sample library: "iTunes Music Library.xml" and its music files under Media/.

The export is written the way iTunes 12 for Windows writes one (tab indentation, the keys in
its order, "&" as "&#38;", paths percent-escaped as UTF-8), except that every Location is
relative ("file://localhost/Media/Music/..."), so that the program finds the music files
when it runs in a copy of this folder. The music files are a second of silence each, tagged
with tiny cover pictures, so the whole sample stays small.

Needs ffmpeg and Python 3 with mutagen (Debian: ffmpeg, python3-mutagen); run it with
/usr/bin/python3. The outputs are kept in the repository: run this again only to change the
sample, then regenerate the golden listing (tests/golden/regenerate.sh).
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
EXPORT_NAME = "iTunes Music Library.xml"
MEDIA_MUSIC = os.path.join("Media", "Music")

KIND = {"mp3": "MPEG オーディオファイル", "m4a": "AAC オーディオファイル"}
BIT_RATE = {"mp3": 320, "m4a": 256}

# Covers: name -> (ffmpeg source, format). Each album gets a picture of its own, so that a
# picture copied into the wrong album folder shows up in the golden listing.
COVERS = {
    "etudes": ("testsrc2=size=16x16:rate=1", "jfif"),
    "morning": ("smptebars=size=16x16:rate=1", "png"),
    "ferry": ("color=c=navy:size=16x16:rate=1", "jfif"),
    "kyoto": ("color=c=green:size=16x16:rate=1", "exif"),
    "dusk-front": ("color=c=purple:size=16x16:rate=1", "jfif"),
    # Bigger than the JPEG, so that the tagger stores it after the JPEG.
    "dusk-back": ("testsrc2=size=40x40:rate=1", "png"),
    "haru": ("color=c=pink:size=16x16:rate=1", "jfif"),
    "natsu": ("testsrc=size=16x16:rate=1", "png"),
    "parade": ("rgbtestsrc=size=16x16:rate=1", "jfif"),
    "hits": ("color=c=orange:size=16x16:rate=1", "png"),
}

# The library, in the order iTunes lists the tracks (the order they were added).
# covers: the pictures in the file, in the order they are stored.
ALBUMS = [
    dict(artist="88 Keys Club", album="Etudes", year=2015, genre="Classical", ext="mp3",
         added="2016-02-11T12:30:05Z", composer="Frédéric Chopin",
         tracks=[("Etude Op. 10 No. 3", 251000, ["etudes"]),
                 ("Etude Op. 25 No. 1", 162000, ["etudes"])]),
    dict(artist="Blue Harbor", album_artist="Blue Harbor", album="Morning Lines", year=2018,
         genre="Pop", ext="m4a", added="2018-06-02T09:14:40Z", composer="K. Aoyama",
         tracks=[("Sunrise", 214000, ["morning"]),
                 ("Coffee & Rain", 198000, ["morning"]),
                 ("Yes, No, Maybe", 187000, ["morning"]),
                 ("Harbor Lights", 243000, ["morning"], dict(artist="Blue Harbor feat. Mina"))]),
    # Imported without album artists; its first track has no picture, the others have one.
    dict(artist="Blue Harbor", album="Night Ferry", year=2020, genre="Pop", ext="mp3",
         added="2020-11-20T21:03:12Z",
         tracks=[("Departure", 201000, []),
                 ("Open Sea", 305000, ["ferry"]),
                 ("Arrival", 176000, ["ferry"])]),
    dict(artist="mono no aware", album="kyoto tapes", year=2016, genre="Ambient", ext="mp3",
         added="2017-01-08T15:45:00Z",
         tracks=[("rain on kamo river", 362000, ["kyoto"]),
                 ("temple bell", 288000, ["kyoto"])]),
    # iTunes names the folder "Night_Day": a "/" cannot be part of a folder name.
    dict(artist="Night/Day", album_artist="Night/Day", album="Dusk & Dawn", year=2014,
         genre="Electronic", ext="mp3", added="2015-03-21T23:10:44Z",
         tracks=[("Dusk", 322000, ["dusk-front", "dusk-back"]),
                 ("Midnight", 401000, ["dusk-front", "dusk-back"]),
                 ("Dawn", 297000, ["dusk-front", "dusk-back"])]),
    dict(artist="さくら通り", album_artist="さくら通り", album="春の日", year=2019,
         genre="J-Pop", ext="mp3", added="2019-04-05T10:00:31Z", composer="山田 太郎",
         tracks=[("はじまりの歌", 232000, ["haru"]),
                 ("桜並木", 268000, ["haru"]),
                 ("帰り道", 219000, ["haru"]),
                 ("春の日", 301000, ["haru"])]),
    # "～" as typed on Windows (U+FF5E): Shift_JIS 81 60, the wave dash.
    dict(artist="さくら通り", album_artist="さくら通り", album="夏祭り～花火～", year=2020,
         genre="J-Pop", ext="m4a", added="2020-08-01T19:30:00Z", composer="山田 太郎",
         tracks=[("花火", 245000, ["natsu"]),
                 ("夜店の灯り", 199000, ["natsu"])]),
    dict(artist="ｽﾄﾘｰﾄ ｷｯｽﾞ", album="ﾊﾟﾚｰﾄﾞ", year=1998, genre="Rock", ext="m4a",
         added="2009-12-24T18:20:00Z",
         tracks=[("ﾊﾟﾚｰﾄﾞ", 224000, ["parade"]),
                 ("ﾐｯﾄﾞﾅｲﾄ ﾊﾞｽ", 256000, ["parade"]),
                 ("ｻﾖﾅﾗ", 208000, ["parade"])]),
    # "表" and "ソ" end in the byte 0x5C ("\") in Shift_JIS; "é" has no Shift_JIS character.
    dict(artist="表参道ソウル", album_artist="表参道ソウル", album="Café Lumière", year=2017,
         genre="R&B/ソウル", ext="m4a", added="2017-10-14T13:05:09Z",
         tracks=[("ソファの上で", 236000, []),
                 ("表通り", 252000, [])]),
    dict(compilation=True, album_artist="Various Artists", album="夏のヒット集 2021",
         year=2021, genre="J-Pop", ext="mp3", added="2021-07-10T08:00:00Z", discs=2,
         tracks=[("Summer Breeze", 211000, ["hits"], dict(artist="Blue Harbor", disc=1)),
                 ("ひまわり", 243000, ["hits"], dict(artist="さくら通り", disc=1)),
                 ("ﾅﾂﾉｿﾗ", 198000, ["hits"], dict(artist="ｽﾄﾘｰﾄ ｷｯｽﾞ", disc=2)),
                 ("Sunset, Again", 265000, ["hits"], dict(artist="DJ Kaze", disc=2))]),
]

# A voice memo added from the desktop: its file is outside the media folder.
OUTSIDE_TRACK = dict(name="ボイスメモ", artist="Hanako", total=61000, ext="m4a",
                     added="2021-05-30T22:41:17Z",
                     location="file://localhost/C:/Users/Hanako/Desktop/ボイスメモ.m4a")
# A purchase kept in the cloud: no file, no Location.
CLOUD_TRACK = dict(name="Opening (Live)", artist="Blue Harbor", album_artist="Blue Harbor",
                   album="Live at Minato Hall", genre="Pop", total=233000, year=2021,
                   added="2021-05-01T12:00:00Z")


def ffmpeg(*arguments):
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", *arguments],
                   check=True)


def make_cover(work, source, kind):
    """The bytes of a cover picture: "png", "jfif" (a JPEG with a JFIF header) or "exif"
    (the same JPEG with its JFIF segment replaced by an Exif one, as cameras write them)."""
    name = os.path.join(work, "cover." + ("png" if kind == "png" else "jpg"))
    extra = [] if kind == "png" else ["-pix_fmt", "yuvj420p"]
    ffmpeg("-f", "lavfi", "-i", source, "-frames:v", "1", *extra,
           "-fflags", "+bitexact", "-flags", "+bitexact", name)
    data = open(name, "rb").read()
    if kind == "exif":
        assert data[:4] == b"\xff\xd8\xff\xe0" and data[6:11] == b"JFIF\x00"
        app0_end = 4 + struct.unpack(">H", data[4:6])[0]
        body = b"Exif\x00\x00" + b"MM\x00\x2a\x00\x00\x00\x08" + b"\x00\x00" + b"\x00" * 4
        data = b"\xff\xd8\xff\xe1" + struct.pack(">H", 2 + len(body)) + body + data[app0_end:]
        assert b"JFIF" not in data
    return data


def make_silence(work):
    silence = ["-f", "lavfi", "-i", "anullsrc=channel_layout=mono:sample_rate=8000", "-t", "1",
               "-map_metadata", "-1", "-fflags", "+bitexact", "-flags", "+bitexact"]
    paths = {"mp3": os.path.join(work, "silence.mp3"), "m4a": os.path.join(work, "silence.m4a")}
    ffmpeg(*silence, "-c:a", "libmp3lame", "-b:a", "8k", paths["mp3"])
    ffmpeg(*silence, "-c:a", "aac", "-b:a", "8k", paths["m4a"])
    return paths


def write_music_file(path, silence, track, pictures):
    shutil.copyfile(silence[track["ext"]], path)
    if track["ext"] == "mp3":
        tags = ID3()
        tags.add(TIT2(encoding=1, text=track["name"]))
        tags.add(TPE1(encoding=1, text=track["artist"]))
        if track.get("album_artist"):
            tags.add(TPE2(encoding=1, text=track["album_artist"]))
        tags.add(TALB(encoding=1, text=track["album"]))
        tags.add(TCON(encoding=1, text=track["genre"]))
        tags.add(TRCK(encoding=0, text="%d/%d" % (track["number"], track["count"])))
        tags.add(TPOS(encoding=0, text="%d/%d" % (track["disc"], track["discs"])))
        for index, (kind, data) in enumerate(pictures):
            tags.add(APIC(encoding=0, mime="image/png" if kind == "png" else "image/jpeg",
                          type=3 if index == 0 else 4, desc="" if index == 0 else "back",
                          data=data))
        tags.save(path, v2_version=3, padding=lambda info: 0)
    else:
        tags = MP4(path)
        tags["\xa9nam"] = [track["name"]]
        tags["\xa9ART"] = [track["artist"]]
        if track.get("album_artist"):
            tags["aART"] = [track["album_artist"]]
        tags["\xa9alb"] = [track["album"]]
        tags["\xa9gen"] = [track["genre"]]
        tags["trkn"] = [(track["number"], track["count"])]
        tags["disk"] = [(track["disc"], track["discs"])]
        if pictures:
            tags["covr"] = [MP4Cover(data, imageformat=MP4Cover.FORMAT_PNG if kind == "png"
                                     else MP4Cover.FORMAT_JPEG) for kind, data in pictures]
        tags.save(padding=lambda info: 0)


def check_picture_order(path, pictures):
    """The pictures must lie in the file in the order listed (the tagger may reorder them)."""
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
    covers = {}
    for name, (source, kind) in COVERS.items():
        covers[name] = ("png" if kind == "png" else "jpeg", make_cover(work, source, kind))
    silence = make_silence(work)

    tracks = []
    for album in ALBUMS:
        discs = album.get("discs", 1)
        for entry in album["tracks"]:
            name, total, picture_names = entry[:3]
            extra = entry[3] if len(entry) > 3 else {}
            on_disc = [e for e in album["tracks"]
                       if (e[3] if len(e) > 3 else {}).get("disc", 1) == extra.get("disc", 1)]
            track = dict(album, name=name, total=total, disc=extra.get("disc", 1), discs=discs,
                         artist=extra.get("artist", album.get("artist")))
            track["number"] = [e[0] for e in on_disc].index(name) + 1
            track["count"] = len(on_disc)
            if album.get("compilation"):
                artist_folder = "Compilations"
            else:
                artist_folder = folder_name(album.get("album_artist") or album["artist"])
            prefix = ("%d-%02d" % (track["disc"], track["number"]) if discs > 1
                      else "%02d" % track["number"])
            file_name = "%s %s.%s" % (prefix, folder_name(name), album["ext"])
            relative = "/".join([artist_folder, folder_name(album["album"]), file_name])
            path = os.path.join(HERE, MEDIA_MUSIC, *relative.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            pictures = [covers[p] for p in picture_names]
            write_music_file(path, silence, track, pictures)
            check_picture_order(path, pictures)
            track["size"] = os.path.getsize(path)
            track["location"] = file_url("Media/Music/" + relative)
            tracks.append(track)

    outside = dict(OUTSIDE_TRACK, size=1482655)
    outside["location"] = file_url(outside["location"][len("file://localhost/"):])
    tracks.insert(9, outside)  # added between two albums, as it happened
    tracks.append(dict(CLOUD_TRACK, ext="m4a", size=7651234, cloud=True))
    return tracks


def track_lines(track_id, track):
    def line(key, kind, value):
        return "\t\t\t<key>%s</key><%s>%s</%s>" % (key, kind, value, kind)

    lines = [line("Track ID", "integer", track_id),
             line("Size", "integer", track["size"]),
             line("Total Time", "integer", track["total"])]
    if "number" in track:
        lines += [line("Disc Number", "integer", track["disc"]),
                  line("Disc Count", "integer", track["discs"]),
                  line("Track Number", "integer", track["number"]),
                  line("Track Count", "integer", track["count"])]
    if "year" in track:
        lines.append(line("Year", "integer", track["year"]))
    lines += [line("Date Modified", "date", track["added"]),
              line("Date Added", "date", track["added"]),
              line("Bit Rate", "integer", BIT_RATE[track["ext"]]),
              line("Sample Rate", "integer", 44100)]
    if track.get("compilation"):
        lines.append("\t\t\t<key>Compilation</key><true/>")
    if "number" in track or track.get("cloud"):
        lines.append(line("Artwork Count", "integer", 1))
    identity = track.get("location") or track["name"] + track["album"]
    lines += [line("Persistent ID", "string", persistent_id(identity)),
              line("Track Type", "string", "Remote" if track.get("cloud") else "File")]
    if track.get("cloud"):
        lines.append("\t\t\t<key>Purchased</key><true/>")
    else:
        lines += [line("File Folder Count", "integer", 5 if "number" in track else -1),
                  line("Library Folder Count", "integer", 1 if "number" in track else -1)]
    lines.append(line("Name", "string", xml_text(track["name"])))
    lines.append(line("Artist", "string", xml_text(track["artist"])))
    for key, field in (("Album Artist", "album_artist"), ("Composer", "composer"),
                       ("Album", "album"), ("Genre", "genre")):
        if track.get(field):
            lines.append(line(key, "string", xml_text(track[field])))
    kind = KIND[track["ext"]]
    lines.append(line("Kind", "string", "購入した " + kind if track.get("cloud") else kind))
    if track.get("location"):
        lines.append(line("Location", "string", xml_text(track["location"])))
    return ["\t\t<key>%d</key>" % track_id, "\t\t<dict>"] + lines + ["\t\t</dict>"]


def playlist_lines(name, playlist_id, kind, track_ids):
    """A playlist as iTunes writes it; kind is "master" (the whole library), "music" (the
    music of the library) or None (one the user made)."""
    lines = ["\t\t<dict>", "\t\t\t<key>Name</key><string>%s</string>" % xml_text(name)]
    if kind == "master":
        lines.append("\t\t\t<key>Master</key><true/>")
    lines += ["\t\t\t<key>Playlist ID</key><integer>%d</integer>" % playlist_id,
              "\t\t\t<key>Playlist Persistent ID</key><string>%s</string>"
              % persistent_id("playlist " + name)]
    if kind == "master":
        lines.append("\t\t\t<key>Visible</key><false/>")
    elif kind == "music":
        lines += ["\t\t\t<key>Distinguished Kind</key><integer>4</integer>",
                  "\t\t\t<key>Music</key><true/>"]
    if kind:
        lines.append("\t\t\t<key>All Items</key><true/>")
    lines += ["\t\t\t<key>Playlist Items</key>", "\t\t\t<array>"]
    for track_id in track_ids:
        lines += ["\t\t\t\t<dict>",
                  "\t\t\t\t\t<key>Track ID</key><integer>%d</integer>" % track_id,
                  "\t\t\t\t</dict>"]
    lines += ["\t\t\t</array>", "\t\t</dict>"]
    return lines


def main():
    media = os.path.join(HERE, "Media")
    if os.path.isdir(media):
        shutil.rmtree(media)
    with tempfile.TemporaryDirectory() as work:
        tracks = library_tracks(work)

    ids = [1000 + 2 * index for index in range(len(tracks))]
    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<!DOCTYPE plist PUBLIC "-//Apple Computer//DTD PLIST 1.0//EN"'
        ' "http://www.apple.com/DTDs/PropertyList-1.0.dtd">',
        '<plist version="1.0">',
        "<dict>",
        "\t<key>Major Version</key><integer>1</integer>",
        "\t<key>Minor Version</key><integer>1</integer>",
        "\t<key>Application Version</key><string>12.10.10.2</string>",
        "\t<key>Date</key><date>2021-05-31T09:12:45Z</date>",
        "\t<key>Features</key><integer>5</integer>",
        "\t<key>Show Content Ratings</key><true/>",
        "\t<key>Music Folder</key><string>file://localhost/Media/</string>",
        "\t<key>Library Persistent ID</key><string>%s</string>" % persistent_id("library"),
        "\t<key>Tracks</key>",
        "\t<dict>",
    ]
    for track_id, track in zip(ids, tracks):
        lines += track_lines(track_id, track)
    lines += ["\t</dict>", "\t<key>Playlists</key>", "\t<array>"]
    favourites = [ids[i] for i, t in enumerate(tracks)
                  if t["name"] in ("Coffee & Rain", "桜並木", "花火", "Dawn", "ﾐｯﾄﾞﾅｲﾄ ﾊﾞｽ")]
    lines += playlist_lines("ライブラリ", 2000, "master", ids)
    lines += playlist_lines("ミュージック", 2002, "music",
                            [i for i, t in zip(ids, tracks) if t["name"] != "ボイスメモ"])
    lines += playlist_lines("お気に入り", 2004, None, favourites)
    lines += ["\t</array>", "</dict>", "</plist>"]
    with open(os.path.join(HERE, EXPORT_NAME), "w", encoding="utf-8", newline="\n") as export:
        export.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
