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
IN_MEDIA = "Media/Music/"


class MakeLibraryTest(unittest.TestCase):
    def test_export_and_music_files_match_the_manifest(self):
        for cover, start, end in (("png", b"\x89PNG\r\n\x1a\n", b"IEND"),
                                  ("jpeg", b"\xff\xd8\xff\xe0\x00\x10JFIF\0", b"\xff\xd9")):
            with self.subTest(cover=cover), tempfile.TemporaryDirectory() as folder:
                subprocess.run([sys.executable, os.path.join(HERE, "make_library.py"),
                                "--out", folder, "--tracks", "50", "--tracks-per-album", "5",
                                "--albums-per-artist", "2", "--error-share", "0.2",
                                "--compilation-share", "0.3", "--music-size", "4096",
                                "--path-encoding", "utf-8", "--cover", cover],
                               check=True, stdout=subprocess.DEVNULL)
                with open(os.path.join(folder, "manifest.json"), encoding="utf-8") as f:
                    manifest = json.load(f)
                with open(manifest["export"], "rb") as f:
                    export = plistlib.load(f)
                tracks = list(export["Tracks"].values())
                self.assertEqual(len(tracks), manifest["tracks"])
                self.assertEqual(len(export["Playlists"][0]["Playlist Items"]), 50)
                located = [t["Location"] for t in tracks if "Location" in t]
                outside = [t for t in located if IN_MEDIA not in t]
                self.assertEqual((50 - len(located), len(outside)), (5, 5))
                self.assertEqual(manifest["expected"]["errlist_rows"], 10)

                first = {}  # the music file of each album: its first track in export order
                for track in tracks:
                    if IN_MEDIA in track.get("Location", ""):
                        relative = track["Location"].split(IN_MEDIA)[1]
                        self.assertEqual(relative.startswith("Compilations/"),
                                         track.get("Compilation", False))
                        path = urllib.parse.unquote(track["Location"][len("file://localhost"):])
                        first.setdefault(tuple(relative.split("/")[:2]), path)
                self.assertTrue(any(t.get("Compilation") for t in tracks))
                self.assertEqual(manifest["expected"]["album_folders"], len(first))
                with open(manifest["scanned_list"], "rb") as f:
                    scanned = sorted(os.fsdecode(line) for line in f.read().splitlines())
                self.assertEqual(scanned, sorted(first.values()))
                for path in scanned:
                    with open(path, "rb") as f:
                        data = f.read()
                    self.assertEqual(len(data), 4096)
                    self.assertTrue(0 <= data.find(start) < 1024, path)
                    self.assertGreater(data.find(end, data.find(start)), data.find(start))
                    # Only the cover may look like a PNG, or bunkai could find a wrong one.
                    self.assertEqual(data.count(b"\x89PNG"), int(cover == "png"))


if __name__ == "__main__":
    unittest.main()
