"""Checks that make_library.py writes a well-formed export and the music files it promises.

Run with: python3 -m unittest discover -s bench -p 'test_*.py'
"""

import json
import os
import plistlib
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))


def generate(folder, *options):
    subprocess.run([sys.executable, os.path.join(HERE, "make_library.py"), "--out", folder,
                    "--tracks", "50", "--tracks-per-album", "5", "--albums-per-artist", "2",
                    *options], check=True, stdout=subprocess.DEVNULL)
    with open(os.path.join(folder, "manifest.json"), encoding="utf-8") as f:
        manifest = json.load(f)
    with open(manifest["export"], "rb") as f:
        export = plistlib.load(f)
    return manifest, export


def local_path(location):
    return urllib.parse.unquote(location[len("file://localhost"):])


class MakeLibraryTest(unittest.TestCase):
    def test_export_parses_and_matches_the_counts(self):
        with tempfile.TemporaryDirectory() as folder:
            manifest, export = generate(folder, "--error-share", "0.2", "--compilation-share", "0.3")
            tracks = list(export["Tracks"].values())
            self.assertEqual(len(tracks), 50)
            self.assertEqual(manifest["tracks"], 50)
            self.assertEqual(len(export["Playlists"][0]["Playlist Items"]), 50)

            without_location = [t for t in tracks if "Location" not in t]
            outside = [t for t in tracks if "Location" in t and "Media/Music/" not in t["Location"]]
            self.assertEqual(len(without_location), 5)
            self.assertEqual(len(outside), 5)
            self.assertEqual(manifest["expected"]["errlist_rows"], 10)

            in_media = [t for t in tracks if "Media/Music/" in t.get("Location", "")]
            albums = {tuple(t["Location"].split("Media/Music/")[1].split("/")[:2]) for t in in_media}
            self.assertEqual(manifest["expected"]["album_folders"], len(albums))
            for track in in_media:
                under_compilations = "Media/Music/Compilations/" in track["Location"]
                self.assertEqual(under_compilations, track.get("Compilation", False))
            self.assertTrue(any(t.get("Compilation") for t in in_media))

    def test_the_first_track_of_each_album_has_a_music_file_with_its_cover(self):
        with tempfile.TemporaryDirectory() as folder:
            manifest, export = generate(folder, "--music-size", "4096", "--path-encoding", "utf-8")
            first = {}
            for track in export["Tracks"].values():
                location = track.get("Location", "")
                if "Media/Music/" in location:
                    album = tuple(location.split("Media/Music/")[1].split("/")[:2])
                    first.setdefault(album, local_path(location))
            with open(manifest["scanned_list"], "rb") as f:
                scanned = sorted(os.fsdecode(line) for line in f.read().splitlines())
            self.assertEqual(scanned, sorted(first.values()))
            for path in scanned:
                with open(path, "rb") as f:
                    data = f.read()
                self.assertEqual(len(data), 4096)
                start = data.find(b"\x89PNG\r\n\x1a\n")
                self.assertTrue(0 <= start < 1024, path)
                self.assertGreater(data.find(b"IEND", start), start)

    def test_jpeg_covers_are_jfif(self):
        with tempfile.TemporaryDirectory() as folder:
            manifest, _ = generate(folder, "--cover", "jpeg")
            with open(manifest["scanned_list"], "rb") as f:
                paths = f.read().splitlines()
            self.assertTrue(paths)
            for path in paths:
                with open(path, "rb") as f:
                    data = f.read(2048)
                start = data.find(b"\xff\xd8\xff\xe0")
                self.assertTrue(0 <= start < 1024)
                self.assertEqual(data[start + 6:start + 11], b"JFIF\0")
                self.assertGreater(data.find(b"\xff\xd9", start), start)
                self.assertEqual(data.find(b"\x89PNG"), -1)


if __name__ == "__main__":
    unittest.main()
