# SPDX-License-Identifier: GPL-2.0-or-later
"""The home page and the players the server serves beside it, as a client
meets them: the page at the location's root and at "about", every file of
the player folder byte for byte with its type, entity tag and caching, and
a program without the folder. How the page behaves in a browser is
web/lib/HomePageChecks.mjs's."""

import os
import shutil
import tempfile
import unittest

from media_client import MediaClient
from quorvel_harness import QuorvelServer, binary_path

PLAYER_FOLDER = os.path.join(os.path.dirname(binary_path()), "player")
TYPES = {".js": "text/javascript; charset=utf-8", ".css": "text/css; charset=utf-8", ".txt": "text/plain; charset=utf-8"}


class HomePage(MediaClient, unittest.TestCase):
    def assert_revalidated(self, path, tag):
        status, headers, body = self.server.get(path, headers={"If-None-Match": tag})
        self.assertEqual((status, body, headers["ETag"]), (304, b"", tag))

    def test_the_page_at_the_root_and_at_about(self):
        answers = {path: self.server.get(path) for path in ("", "about")}
        for path, (status, headers, body) in answers.items():
            with self.subTest(path=path):
                self.assertEqual((status, headers["Content-Type"], headers["Cache-Control"]), (200, "text/html; charset=utf-8", "no-cache"))
                self.assertIn(b'data-players="installed"', body)
                self.assertNotIn(b"$(", body)
                self.assert_revalidated(path, headers["ETag"])
        self.assertEqual(answers[""][2], answers["about"][2])

    def test_every_player_file_as_it_lies_beside_the_program(self):
        names = sorted(os.listdir(PLAYER_FOLDER))
        for wanted in ("hls.min.js", "dash.all.min.js", "shaka-player.compiled.js", "uPlot.iife.min.js", "uPlot.min.css"):
            self.assertIn(wanted, names)
        tags = set()
        for name in names:
            with self.subTest(name=name):
                status, headers, body = self.server.get("player/" + name)
                with open(os.path.join(PLAYER_FOLDER, name), "rb") as file:
                    self.assertEqual(body, file.read())
                self.assertEqual((status, headers["Content-Type"]), (200, TYPES[os.path.splitext(name)[1]]))
                self.assertEqual(headers["Cache-Control"], "public, max-age=86400")
                self.assertEqual(headers["Access-Control-Allow-Origin"], "*")
                tags.add(headers["ETag"])
                self.assert_revalidated("player/" + name, headers["ETag"])
                # Another file's tag is no match.
                status, _, body = self.server.get("player/" + name, headers={"If-None-Match": '"0123"'})
                self.assertEqual((status, len(body) > 0), (200, True))
        self.assertEqual(len(tags), len(names))

    def test_names_outside_the_folder_are_no_player_file(self):
        # Only the files read at start-up have routes (how ".." is read is AbsolutePathTest's).
        for path in ("player/", "player/hls.min.js.map", "player/HLS.MIN.JS"):
            with self.subTest(path=path):
                status, _, body = self.server.get(path)
                self.assertEqual(status, 400)
                self.assertTrue(body.startswith(b"Exception 0x80FF0BFC"), body[:60])


class WithoutPlayers(unittest.TestCase):
    def test_the_page_says_so_and_the_console_once(self):
        folder = tempfile.mkdtemp(prefix="quorvel-no-player-")
        try:
            program = os.path.join(folder, "quorvel")
            shutil.copy2(binary_path(), program)
            with QuorvelServer(program=program) as server:
                status, _, body = server.get("")
                self.assertEqual(status, 200)
                self.assertIn(b'data-players="missing"', body)
                self.assertEqual(server.get("player/hls.min.js")[0], 400)
                self.assertEqual(server.get("version")[0], 200)
                said = [line for line in server.stdout.lines if "Players are not installed" in line]
                self.assertEqual(len(said), 1, server.stdout.text())
        finally:
            shutil.rmtree(folder)


if __name__ == "__main__":
    unittest.main()
