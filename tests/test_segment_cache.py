# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of what the answers of media and playlists say about
keeping them: entity tags and 304 answers, Cache-Control, byte ranges of
kept and new media, and the cache's limit option as the metrics route
reports it. How productions are shared, joined and left, and how the cache
evicts, is judged by SegmentProductionTest and SegmentCacheTest.

Whether an answer came from the cache shows in its framing: a kept body is
sent whole with Content-Length, one being made in chunks.
"""

import time
import unittest

from media_client import MediaClient
from quorvel_harness import QuorvelServer

HangGuard = 300
Immutable = "public, max-age=31536000, immutable"


def is_whole(headers):
    return headers.get("Content-Length") is not None and headers.get("Transfer-Encoding") is None


def metrics(server):
    """The samples of the metrics route by name and labels."""
    status, headers, body = server.get("metrics")
    assert status == 200 and headers["Content-Type"].startswith("text/plain; version=0.0.4"), (status, dict(headers))
    samples = {}
    for line in body.decode().splitlines():
        if line and not line.startswith("#"):
            name, value = line.rsplit(" ", 1)
            samples[name] = float(value)
    return samples


def wait_for_metrics(server, condition, attempts=600):
    """The metrics once condition holds of them (polled; the server's pace
    on a busy machine is not the test's business)."""
    for _ in range(attempts):
        samples = metrics(server)
        if condition(samples):
            return samples
        time.sleep(0.1)
    raise AssertionError("metrics never reached the condition: %s" % samples)


class KeptMedia(MediaClient, unittest.TestCase):
    def get(self, relative, headers=None):
        return self.server.get(relative, headers=headers, timeout=HangGuard)

    def test_entity_tags_answer_304_and_segments_are_immutable(self):
        asset = self.server.make_asset()
        for path in ("video-header.mp4?asset=%d&variant=0", "audio-header.mp4?asset=%d", "audio-body.mp4?asset=%d&index=1",
                     "video-body.mp4?asset=%d&variant=1&index=2"):
            with self.subTest(path):
                status, headers, body = self.get(path % asset)
                self.assertEqual(status, 200)
                tag = headers["ETag"]
                self.assertRegex(tag, r'^"[0-9a-f]{32}"$')
                self.assertEqual(headers["Cache-Control"], Immutable)
                self.assertEqual(headers["Accept-Ranges"], "bytes")
                self.assertEqual(headers["Access-Control-Allow-Origin"], "*")
                status, headers, body = self.get(path % asset, {"If-None-Match": 'W/"other", ' + tag})
                self.assertEqual((status, body), (304, b""))
                self.assertEqual(headers["ETag"], tag)
                self.assertEqual(headers["Cache-Control"], Immutable)
                self.assertEqual(self.get(path % asset, {"If-None-Match": '"other"'})[0], 200)

    def test_playlists_say_how_long_they_may_be_kept(self):
        for manifest in ("master.m3u8", "manifest.mpd"):
            self.assertEqual(self.get(manifest)[1]["Cache-Control"], "no-store")
        asset = self.server.make_asset()
        status, headers, body = self.get("video.m3u8?asset=%d&variant=0" % asset)
        self.assertEqual(headers["Cache-Control"], "no-cache")
        tag = headers["ETag"]
        status, headers, again = self.get("video.m3u8?asset=%d&variant=0" % asset, {"If-None-Match": tag})
        self.assertEqual((status, again, headers["ETag"]), (304, b"", tag))
        self.assertNotEqual(self.get("video.m3u8?asset=%d&variant=1" % asset)[1]["ETag"], tag)
        live = self.server.make_asset("live")
        status, headers, body = self.get("video.m3u8?asset=%d&variant=0" % live)
        self.assertEqual(headers["Cache-Control"], "max-age=1") # half of 3 s
        self.assertIsNone(headers["ETag"])
        self.assertEqual(self.get("audio.m3u8?asset=%d" % live)[1]["Cache-Control"], "max-age=3")

    def test_byte_ranges_of_kept_and_new_media(self):
        path = "audio-body.mp4?asset=%d&index=2" % self.server.make_asset()
        body = self.get(path)[2]
        for fields, status, part, content_range in (({"Range": "bytes=0-99"}, 206, body[:100], "bytes 0-99/%d" % len(body)),
                                                    ({"Range": "bytes=%d-" % len(body)}, 416, b"", "bytes */%d" % len(body)),
                                                    # A range for another version of the body gets the whole body.
                                                    ({"Range": "bytes=0-1", "If-Range": '"other"'}, 200, body, None)):
            with self.subTest(fields):
                got, headers, received = self.get(path, fields)
                self.assertEqual((got, received, headers["Content-Range"]), (status, part, content_range))
        # What is not kept yet is made whole for a range: Safari's first ask.
        status, headers, part = self.get("audio.mp4?duration=7", {"Range": "bytes=0-1"})
        self.assertEqual((status, part), (206, b"\0\0"))
        total = int(headers["Content-Range"].split("/")[1])
        status, headers, whole = self.get("audio.mp4?duration=7")
        self.assertTrue(is_whole(headers))
        self.assertEqual(len(whole), total)
        self.assertEqual(headers["Cache-Control"], "no-cache")


    def test_the_next_segments_are_made_ahead_and_requests_find_them(self):
        asset = self.server.make_asset()
        before = metrics(self.server)
        # Video segments of 3 s: the next two are made while the first plays.
        self.assertEqual(self.get("video-body.mp4?asset=%d&variant=0&index=0" % asset)[0], 200)
        samples = wait_for_metrics(self.server, lambda now: now["quorvel_productions_in_progress"] == 0)
        self.assertEqual(samples["quorvel_readahead_made_total"] - before["quorvel_readahead_made_total"], 2)
        for index in (1, 2):
            status, headers, _ = self.get("video-body.mp4?asset=%d&variant=0&index=%d" % (asset, index))
            self.assertTrue(status == 200 and is_whole(headers), index)
        samples = wait_for_metrics(self.server, lambda now: now["quorvel_productions_in_progress"] == 0)
        self.assertEqual(samples["quorvel_readahead_used_total"] - before["quorvel_readahead_used_total"], 2)
        # The last segment has nothing after it to make.
        made = samples["quorvel_readahead_made_total"]
        last = self.server.get("video.m3u8?asset=%d&variant=0" % asset)[2].decode().count("#EXTINF") - 1
        self.assertEqual(self.get("video-body.mp4?asset=%d&variant=0&index=%d" % (asset, last))[0], 200)
        samples = wait_for_metrics(self.server, lambda now: now["quorvel_productions_in_progress"] == 0)
        self.assertEqual(samples["quorvel_readahead_made_total"], made)


class CacheLimit(unittest.TestCase):
    def test_the_limit_option_reaches_the_cache_and_zero_keeps_nothing(self):
        # Room for two audio segments (about 46 kB each, 65 kB with the
        # bookkeeping of their 300 fragments).
        with QuorvelServer(options=["-Software", "-SegmentCacheBytes", "140000"]) as server:
            asset = server.make_asset("duration=60")
            for index in range(4):
                self.assertEqual(server.get("audio-body.mp4?asset=%d&index=%d" % (asset, index), timeout=HangGuard)[0], 200)
            samples = metrics(server)
            self.assertEqual(samples["quorvel_cache_limit_bytes"], 140000)
            self.assertLessEqual(samples["quorvel_cache_bytes"], 140000)
            self.assertEqual(samples["quorvel_cache_entries"], 2)
            self.assertEqual(samples['quorvel_answers_total{route="audio-body.mp4",status="200"}'], 4)
        with QuorvelServer(options=["-Software", "-SegmentCacheBytes", "0"]) as server:
            path = "audio-body.mp4?asset=%d&index=0" % server.make_asset()
            for _ in range(2):
                status, headers, body = server.get(path, timeout=HangGuard)
                self.assertEqual(status, 200)
                self.assertFalse(is_whole(headers))


if __name__ == "__main__":
    unittest.main()
