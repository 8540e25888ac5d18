# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of low-latency HLS ("ll" on a live master playlist).

Parts: every part of a segment, fetched on its own, put together is the
segment byte for byte; a part said to be INDEPENDENT starts with a key frame
and the others do not, as ffprobe reads the encoder's output.

Blocking reloads: a playlist request that names a part not made yet is
answered once it exists, and two such requests in the order of their parts,
whatever the order they were sent in; a part named by the preload hint is
held the same way. Proven by what arrives and in what order, never by how
long it took. How a hold ends when its client leaves, and the bounds of
holds, are HeldRequestsTest's.

hls-parser (strict) and m3u8-parser read every low-latency playlist, delta
updates included, without a complaint; bad directives get 400 (or 503) as
the RFC says; with "now" a blocking request is answered at once, as of the
moment its part exists.
"""

import re
import threading
import unittest

from media_client import MediaClient
from quorvel_harness import run_tool

StartMilliseconds = 1796551200000  # 2026-12-06T10:00:00Z
Key = "000102030405060708090a0b0c0d0e0f"


def at(seconds):
    return str(StartMilliseconds + round(seconds * 1000))


def parts_of(playlist):
    """(segment, part, uri, independent) of every EXT-X-PART line."""
    return [(int(segment), int(part), "%s?%s" % (path, query), independent == ",INDEPENDENT=YES")
            for path, query, segment, part, independent in re.findall(
                r'^#EXT-X-PART:DURATION=[0-9.]+,URI="([a-z-]+\.mp4)\?([^"]*index=(\d+)&part=(\d+))"(,INDEPENDENT=YES)?', playlist, re.M)]


def segments_of(playlist):
    return [int(index) for index in re.findall(r"^[a-z-]+\.mp4\?.*index=(\d+)$", playlist.replace("\r", ""), re.M)]


def hint_of(playlist):
    """(segment, part) of the preload hint."""
    found = re.search(r'^#EXT-X-PRELOAD-HINT:TYPE=PART,URI="[^"]*index=(\d+)&part=(\d+)"', playlist, re.M)
    return int(found.group(1)), int(found.group(2))


class LowLatency(MediaClient, unittest.TestCase):
    def key_frame_first(self, header, part):
        """Whether ffprobe reads the part's first picture as a key frame."""
        path = self.file(header + part, ".mp4")
        flags = run_tool(["ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "packet=flags", "-of", "csv=p=0", path])[0]
        return flags.decode().split()[0].startswith("K")

    def test_parts_put_together_are_the_segment(self):
        # Opus parts of 20 ms frames, AC-3 parts of 32 ms frames.
        for query, audio in (("live&ll&now=%s" % at(0), [""]), ("live&ll&part=0.3&hvc1&flac&now=%s" % at(0), [""]),
                             ("live&ll&key=%s&scheme=cbcs&now=%s" % (Key, at(0)), [""]), ("live&ll&audio=opus,ac3&now=%s" % at(0), ["&audio=opus", "&audio=ac3"])):
            with self.subTest(query=query):
                asset = self.server.make_asset(query)
                for playlist in ["video.m3u8?asset=%d&variant=0" % asset, "video.m3u8?asset=%d&variant=1" % asset] + ["audio.m3u8?asset=%d%s" % (asset, row) for row in audio]:
                    text = self.fetch("%s&now=%s" % (playlist, at(20))).decode()
                    parts = parts_of(text)
                    segment = min(number for number, _, _, _ in parts)
                    mine = [(uri, independent) for number, _, uri, independent in parts if number == segment]
                    self.assertGreater(len(mine), 2, text)
                    whole = self.fetch(mine[0][0].rsplit("&part=", 1)[0])
                    pieces = [self.fetch(uri) for uri, _ in mine]
                    self.assertEqual(b"".join(pieces), whole, playlist)
                    if playlist.startswith("video") and "key=" not in query:
                        header = self.fetch(re.search(r'#EXT-X-MAP:URI="([^"]+)"', text).group(1))
                        self.assertEqual([self.key_frame_first(header, piece) for piece in pieces], [independent for _, independent in mine], playlist)

    def test_blocking_reloads_are_answered_when_their_part_exists_and_in_order(self):
        asset = self.server.make_asset("live&ll")
        playlist = "video.m3u8?asset=%d&variant=0" % asset
        first = hint_of(self.fetch(playlist).decode())
        # Seven parts to a segment at 25 fps, 3 s and half-second parts.
        second = (first[0], first[1] + 1) if first[1] + 1 < 7 else (first[0] + 1, 0)
        arrived = []
        answers = {}

        def ask(name, relative):
            answers[name] = self.fetch(relative)
            arrived.append(name)

        # The later part is asked for first; the earlier one is answered first.
        asks = [threading.Thread(target=ask, args=("later", "%s&_HLS_msn=%d&_HLS_part=%d" % ((playlist,) + second))),
                threading.Thread(target=ask, args=("sooner", "%s&_HLS_msn=%d&_HLS_part=%d" % ((playlist,) + first))),
                threading.Thread(target=ask, args=("part", "video-body.mp4?asset=%d&variant=0&index=%d&part=%d" % ((asset,) + first)))]
        for thread in asks:
            thread.start()
        for thread in asks:
            thread.join()
        self.assertLess(arrived.index("sooner"), arrived.index("later"), arrived)
        self.assertIn(first, [(number, index) for number, index, _, _ in parts_of(answers["sooner"].decode())])
        self.assertIn(second, [(number, index) for number, index, _, _ in parts_of(answers["later"].decode())])
        # The held part came once it existed: a playlist asked for after it lists it.
        self.assertIn(first, [(number, index) for number, index, _, _ in parts_of(self.fetch(playlist).decode())])
        # It is a piece of its segment, and starts with a fragment.
        self.assertEqual(answers["part"][4:8], b"moof")
        self.assertIn(answers["part"], self.fetch("video-body.mp4?asset=%d&variant=0&index=%d" % (asset, first[0])))

    def test_every_low_latency_playlist_reads_alike(self):
        for query in ("live&ll", "live&ll&part=0.2&flac", "live&ll&pdt=6&key=%s&keyformat=c" % Key, "live&ll&hvc1&part=1", "live&ll&audio=ec3,aac"):
            asset = self.server.make_asset(query + "&now=" + at(0))
            for playlist in ("video.m3u8?asset=%d&variant=0" % asset, "video.m3u8?asset=%d&variant=1" % asset, "audio.m3u8?asset=%d" % asset):
                for extra in ("", "&_HLS_skip=YES", "&_HLS_skip=v2"):
                    for seconds in (0.2, 40.5):
                        with self.subTest(query=query, playlist=playlist, extra=extra, seconds=seconds):
                            text = self.fetch("%s&now=%s%s" % (playlist, at(seconds), extra)).decode()
                            self.read(text)
                            # What a delta update leaves out is judged by the writer's unit tests.
                            if extra and seconds > 30 and playlist.startswith("video"):
                                self.assertIn("#EXT-X-SKIP:", text)

    def read(self, text):
        result = self.playlist_views(text)
        complete = segments_of(text)
        self.assertEqual([int(re.search(r"index=(\d+)", segment["uri"]).group(1)) for segment in result["hlsParser"]["segments"] if segment["uri"]], complete)
        self.assertEqual([int(re.search(r"index=(\d+)", segment["uri"]).group(1)) for segment in result["m3u8Parser"]["segments"] if segment["uri"]], complete)

    def test_bad_directives_get_the_answers_the_rfc_gives(self):
        asset = self.server.make_asset("live&ll&now=%s" % at(0))
        playlist = "video.m3u8?asset=%d&variant=0&now=%s" % (asset, at(20))
        # 30 s into the timeline: segment 10 has begun, none of its parts is complete.
        text = self.fetch(playlist).decode()
        segment, part = hint_of(text)
        # Which directives are malformed is DeliveryDirectivesTest's, which are too far BlockingReloadTest's.
        for extra, code in (("&_HLS_part=1", "0x80FF0E30"), ("&_HLS_msn=%d&_HLS_part=%d" % (segment + 1, 6), "0x80FF0E31")):
            with self.subTest(extra=extra):
                self.assertIn(code.encode(), self.fetch(playlist + extra, 400))
        # A target duration of 1 s holds for 3 s at most: two segments ahead is refused with 503.
        short = self.server.make_asset("live&ll&vtd=1&now=%s" % at(0))
        got, headers, body = self.server.get("video.m3u8?asset=%d&variant=0&now=%s&_HLS_msn=%d" % (short, at(20), segment + 1))
        self.assertEqual(got, 503, body)
        self.assertEqual(headers["Access-Control-Allow-Origin"], "*")
        # Parts: beyond the segment's last, and far ahead of the live edge (a
        # malformed number is refused in test_presentation.py's table).
        self.assertIn(b"0x80FF0E32", self.fetch("video-body.mp4?asset=%d&variant=0&index=3&part=7" % asset, 400))
        live = self.server.make_asset("live&ll")
        current, _ = hint_of(self.fetch("video.m3u8?asset=%d&variant=0" % live).decode())
        self.assertIn(b"0x80FF0E33", self.fetch("video-body.mp4?asset=%d&variant=0&index=%d&part=0" % (live, current + 5), 400))
        # Without "ll" the directives are ignored (what the playlist lists then is the writer's).
        plain = "video.m3u8?asset=%d&variant=0&now=%s" % (self.server.make_asset("live&now=%s" % at(0)), at(30))
        self.assertEqual(self.fetch(plain + "&_HLS_msn=99&_HLS_part=x&_HLS_skip=NO"), self.fetch(plain))

    def test_with_now_a_blocking_request_is_answered_as_of_its_part(self):
        asset = self.server.make_asset("live&ll&now=%s" % at(0))
        playlist = "video.m3u8?asset=%d&variant=0" % asset
        # 20 s after the start is 30 s into the timeline: segment 10 has begun.
        blocking = "%s&now=%s&_HLS_msn=10&_HLS_part=3" % (playlist, at(20))
        first = self.fetch(blocking)
        self.assertEqual(first, self.fetch(blocking))
        # Part 3 of segment 10 is complete at 30 + 4 × 0.48 s.
        self.assertEqual(first, self.fetch("%s&now=%s" % (playlist, at(21.92))))
        self.assertEqual(hint_of(first.decode()), (10, 4))
        # What exists already is answered as of the request.
        self.assertEqual(self.fetch("%s&now=%s&_HLS_msn=9" % (playlist, at(20))), self.fetch("%s&now=%s" % (playlist, at(20))))


if __name__ == "__main__":
    unittest.main()
