# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of the presentation routes: what the route adds to the
texts the writers make (their lines are judged by the writers' unit tests,
their syntax by the independent readers of test_conformance.py): content
types, the route options, the key route, and bad input refused with 400
without changing an asset.
"""

import re
import unittest

from media_client import MediaClient

Key = "000102030405060708090A0B0C0D0E0F"
InvalidArgument, AssetMissing, AssetUnknown, AssetWithoutKey, VariantUnknown = 0x80070057, 0x80FF0BFC, 0x80FF0BFE, 0x80FF0C06, 0x80FF0C16


class PresentationRoutes(MediaClient, unittest.TestCase):
    def test_content_types_and_the_route_options(self):
        hls = "application/vnd.apple.mpegURL"
        asset, _ = self.asset("?key=%s&keyformat=c" % Key)
        for path, content_type in (("master.m3u8", hls), ("video.m3u8?asset=%d&variant=1" % asset, hls), ("audio.m3u8?asset=%d" % asset, hls),
                                   ("manifest.mpd", "application/dash+xml"), ("key?asset=%d" % asset, "application/octet-stream")):
            with self.subTest(path):
                status, headers, _ = self.server.get(path)
                self.assertEqual((status, headers["Content-Type"]), (200, content_type))
        self.assertEqual(self.fetch("key?asset=%d" % asset), bytes.fromhex(Key))
        self.failure("key?asset=%d" % self.asset()[0], AssetWithoutKey)
        # Extra segments: listed with URLs that say so, and served.
        extra = re.findall(r"^video-body\.mp4\?\S+", self.fetch("video.m3u8?asset=%d&variant=0&extra-video-segments=2" % asset).decode(), re.M)
        self.assertEqual(len(extra), 8)
        self.assertEqual(extra[-1], "video-body.mp4?asset=%d&variant=0&extra-video-segments=2&index=7" % asset)
        self.fetch(extra[-1])

    def test_bad_input_answers_400_and_changes_no_asset(self):
        asset, _ = self.asset("?duration=12")
        before = self.fetch("video.m3u8?asset=%d&variant=0" % asset)
        # The options are judged by the configuration's unit tests; here each
        # kind of refusal reaches both manifests' answers.
        for query, status in (("duration=0", InvalidArgument), ("key=" + Key[:31], 0x80FF01A0), ("key=" + Key[:30], 0x80FF01A1),
                              ("key=" + Key[:30] + "0G", 0x80FF01A8), ("duration=0&" + "x" * 10000, InvalidArgument)):
            self.failure("master.m3u8?" + query, status)
            self.failure("manifest.mpd?" + query, status)
        # Which variant and asset numbers name nothing is VariantSet's and AssetRegistry's.
        self.failure("video.m3u8?asset=%d&variant=2" % asset, VariantUnknown)
        self.failure("video.m3u8?asset=%d&variant=abc" % asset, InvalidArgument)
        self.failure("audio.m3u8", AssetMissing)
        self.failure("audio.m3u8?asset=999999", AssetUnknown)
        self.assertEqual(self.fetch("video.m3u8?asset=%d&variant=0" % asset), before)


if __name__ == "__main__":
    unittest.main()
