# SPDX-License-Identifier: GPL-2.0-or-later
"""HLS I-frame playlists ("iframes") as others read them: hls-parser (strict)
and m3u8-parser read the master playlist's I-frame streams and every
I-frame playlist, on-demand and live, alike and without a complaint; each
entry, after its row's initialisation segment, is one key picture to
ffprobe and mp4box, the bytes the segment begins with, at most the bits a
second the master playlist says; it is cut from the segment's making, not
encoded apart. Which lines the playlists hold, and that they follow their
rows' media playlists, is HlsPlaylistWriterTest's."""

import json
import re
import time
import unittest

from media_client import MediaClient
from quorvel_harness import fragments

IFramesAbsent = 0x80FF0EC0
InvalidArgument = 0x80070057
# The live asset begins 10 s before its master playlist's time; its
# playlists of both kinds are asked for as of one time 30 s later, so that
# they list the same whole window.
MasterTime = "2026-12-06T10:00:00Z"
PlaylistTime = "2026-12-06T10:00:30Z"


def with_key_pictures(uri):
    return uri.replace("&index=", "&iframe&index=")


def index_of(uri):
    return int(re.search(r"index=(\d+)", uri).group(1))


class IFramePlaylists(MediaClient, unittest.TestCase):
    def read(self, path):
        """What both readers make of a playlist, which they read alike."""
        views = self.playlist_views(self.fetch(path).decode())
        hls_parser, m3u8_parser = views["hlsParser"], views["m3u8Parser"]
        # m3u8-parser keeps the integer part of a target duration; hls-parser
        # lists renditions through the variants that refer to them.
        for field in set(hls_parser) - {"renditions", "targetDuration"}:
            self.assertEqual(hls_parser[field], m3u8_parser[field], (path, field))
        return hls_parser

    def segment_outcomes(self, asset, count):
        """(segment, cache outcome) of the asset's first count video segment
        requests, once the request log has them all (polled: a record is
        written as its answer ends)."""
        for _ in range(600):
            rows = json.loads(self.fetch("session?asset=%d&format=json" % asset))["requests"]
            outcomes = [(row["segment"], row["cache"]) for row in rows if row["route"] == "video-body.mp4"]
            if len(outcomes) >= count:
                return outcomes
            time.sleep(0.1)
        self.fail("the log has %d video segment requests, not %d" % (len(outcomes), count))

    def test_readers_take_the_iframe_streams_and_playlists_on_demand_and_live(self):
        for query in ("iframes&duration=12", "iframes&live&pdt=3&lv=12&now=" + MasterTime, "iframes&hvc1&disc=6&duration=12"):
            with self.subTest(query=query):
                master = self.read("master.m3u8?" + query)
                asset = int(re.search(r"asset=(\d+)", master["variants"][0]["uri"]).group(1))
                self.assertEqual([stream["uri"] for stream in master["iFrames"]], ["iframes.m3u8?asset=%d&variant=%d" % (asset, row) for row in (0, 1)])
                for stream, variant in zip(master["iFrames"], master["variants"]):
                    self.assertEqual(stream["resolution"], variant["resolution"])
                    # The pictures' codecs, without the audio's.
                    self.assertEqual(stream["codecs"], variant["codecs"].rsplit(",", 1)[0])
                    now = "&now=" + PlaylistTime if "live" in query else ""
                    iframes = self.read(stream["uri"] + now)
                    video = self.read(variant["uri"] + now)
                    self.assertEqual((iframes["iFramesOnly"], video["iFramesOnly"]), (True, False))
                    for field in ("targetDuration", "mediaSequence", "endList", "map"):
                        self.assertEqual(iframes[field], video[field], field)
                    self.assertEqual(iframes["segments"], [dict(segment, uri=with_key_pictures(segment["uri"])) for segment in video["segments"]])
                    self.assertGreaterEqual(len(iframes["segments"]), 4)

    def test_each_entry_is_the_key_picture_its_segment_begins_with(self):
        for query in ("iframes", "iframes&hvc1", "iframes&av1", "iframes&vp9"):
            asset, text = self.asset("?" + query)
            master = self.playlist_views(text)["hlsParser"]
            for row, stream in enumerate(master["iFrames"]):
                playlist = self.playlist_views(self.fetch(stream["uri"]).decode())["hlsParser"]
                header = self.fetch(playlist["map"])
                for entry in playlist["segments"][:2]:
                    with self.subTest(query=query, row=row, entry=entry["uri"]):
                        picture = self.fetch(entry["uri"])
                        segment = self.fetch("video-body.mp4?asset=%d&variant=%d&index=%d" % (asset, row, index_of(entry["uri"])))
                        self.assertEqual(picture, fragments(segment)[0])
                        frames = self.probe(header + picture, "frame=pict_type,key_frame")["frames"]
                        self.assertEqual([(frame["pict_type"], frame["key_frame"]) for frame in frames], [("I", 1)])
                        views = self.segment_views(header, [picture])
                        for reader in ("mp4box", "isoboxer"):
                            self.assertEqual(views[reader]["errors"], [], reader)
                            self.assertEqual([sample[4] for sample in views[reader]["segments"][0]["samples"]], [True], reader)
                        # The stream's BANDWIDTH: one such picture an entry's duration.
                        self.assertLessEqual(len(picture) * 8 / entry["duration"], stream["bandwidth"])

    def test_a_key_picture_is_cut_from_the_segment_not_encoded_apart(self):
        asset, _ = self.asset("?iframes&duration=30")
        # Segments no other test asks for, nor their read-ahead: the cache is shared by assets alike.
        made = self.fetch("video-body.mp4?asset=%d&variant=0&index=7" % asset)
        self.assertEqual(self.fetch("video-body.mp4?asset=%d&variant=0&iframe&index=7" % asset), fragments(made)[0])
        self.fetch("video-body.mp4?asset=%d&variant=0&iframe&index=4" % asset)
        self.fetch("video-body.mp4?asset=%d&variant=0&index=4" % asset)
        outcomes = self.segment_outcomes(asset, 4)
        self.assertEqual(outcomes[:3], [(7, "made"), (7, "hit"), (4, "made")])
        # Made for its key picture, the segment runs to its end and is kept (or still joined).
        self.assertIn(outcomes[3], [(4, "hit"), (4, "joined")])

    def test_what_has_no_iframe_playlist_is_refused(self):
        asset, _ = self.asset()
        self.failure("iframes.m3u8?asset=%d&variant=0" % asset, IFramesAbsent)
        self.failure("video-body.mp4?asset=%d&variant=0&iframe&index=0" % asset, IFramesAbsent)
        asset, _ = self.asset("?iframes")
        self.failure("video-body.mp4?asset=%d&variant=0&iframe&index=0&part=0" % asset, InvalidArgument)
        self.failure("iframes.m3u8?asset=%d&variant=2" % asset, 0x80FF0C16)


if __name__ == "__main__":
    unittest.main()
