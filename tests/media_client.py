# SPDX-License-Identifier: GPL-2.0-or-later
"""What the end-to-end tests of the media share: a server for the test class
with a scratch folder, the requests for assets and their segments, and the
views of the independent playlist and segment readers (playlist_readers.mjs,
segment_readers.mjs). The box and answer readers are the harness's."""

import json
import os
import re
import shutil
import tempfile

from quorvel_harness import QuorvelServer, run_tool

Here = os.path.dirname(os.path.abspath(__file__))


class MediaClient:
    """A server for the test class (program, else the one built, started
    with options) and files in a scratch folder; mixed into a
    unittest.TestCase."""

    options = ("-Software",)
    program = None

    @classmethod
    def setUpClass(cls):
        cls.server = QuorvelServer(options=cls.options, program=cls.program).start()
        cls.folder = tempfile.mkdtemp(prefix="quorvel-media-")
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)
        assert cls.server.stop() == 0, cls.server.stderr.text()

    def file(self, data, suffix=".mp4"):
        type(self).count += 1
        path = os.path.join(self.folder, "%04d%s" % (self.count, suffix))
        with open(path, "wb") as stream:
            stream.write(data)
        return path

    def fetch(self, path, status=200, method="GET", body=None, headers=None):
        got, _, data = self.server.get(path, method=method, body=body, headers=headers)
        self.assertEqual(got, status, (path, data[:200]))
        return data

    def failure(self, path, code, method="GET", body=None):
        """A 400 answer whose body names the failure code."""
        data = self.fetch(path, 400, method, body)
        self.assertTrue(data.startswith(b"Exception 0x%08X" % code), (path, data[:120]))

    def asset(self, query="", manifest="master.m3u8"):
        """A new asset made by a manifest: (number, manifest text)."""
        text = self.fetch(manifest + query).decode()
        return int(re.search(r"asset=(\d+)", text).group(1)), text

    def video(self, asset, variant, indexes, extra=""):
        """Header and media segments of a video variant."""
        return (self.fetch("video-header.mp4?asset=%d&variant=%d%s" % (asset, variant, extra)),
                [self.fetch("video-body.mp4?asset=%d&variant=%d&index=%d%s" % (asset, variant, index, extra)) for index in indexes])

    def audio(self, asset, indexes):
        return self.fetch("audio-header.mp4?asset=%d" % asset), [self.fetch("audio-body.mp4?asset=%d&index=%d" % (asset, index)) for index in indexes]

    def probe(self, data, entries):
        """ffprobe's entries of a whole file, read without an error or a warning."""
        output, errors = run_tool(["ffprobe", "-v", "warning", "-of", "json", "-show_entries", entries, self.file(data)])
        self.assertEqual(errors, "")
        return json.loads(output)

    def playlist_views(self, text):
        """What hls-parser and m3u8-parser read of a playlist
        (playlist_readers.mjs), read without an error or a warning."""
        result = json.loads(run_tool(["node", os.path.join(Here, "playlist_readers.mjs"), self.file(text.encode(), ".m3u8")])[0])
        self.assertEqual((result["errors"], result["warnings"]), ([], []), text)
        return result

    def segment_views(self, header, segments):
        """What mp4box and codem-isoboxer read of an initialisation segment
        and its media segments (segment_readers.mjs)."""
        paths = [self.file(header)] + [self.file(segment) for segment in segments]
        return json.loads(run_tool(["node", os.path.join(Here, "segment_readers.mjs")] + paths)[0])
