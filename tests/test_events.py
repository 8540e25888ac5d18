# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of live events ("start" and "stop" on a live manifest).

At clock readings before an event's start, during it and after its stop,
hls-parser (strict) and m3u8-parser read every HLS playlist, and xmllint and
mpd-parser every DASH document (dynamic, then static; number templates, a
SegmentTimeline, the low-latency form), without a complaint, and the first
and last segments they list are served. What the texts hold, and which
segments are the event's, is LiveEventTest's; players joining an event
before it begins are the browser suite's.
"""

import datetime
import json
import os
import unittest
import urllib.parse

from media_client import Here, MediaClient
from quorvel_harness import run_tool, top_level_boxes

# The event: 22:00:00 to 22:00:30, the manifests asked for at 21:59:40.
EventStart = datetime.datetime(2026, 12, 8, 22, 0, 0, tzinfo=datetime.timezone.utc)
Asked = -20
Readings = {"before": -10, "during": 16, "after": 40}


def clock(seconds):
    """The "now" of seconds from the event's start, in milliseconds."""
    return int((EventStart.timestamp() + seconds) * 1000)


def utc(seconds):
    return (EventStart + datetime.timedelta(seconds=seconds)).strftime("%Y-%m-%dT%H:%M:%SZ")


class LiveEvents(MediaClient, unittest.TestCase):
    def expect_media(self, address, reading):
        """A media segment's address (absolute) answers with a segment at a clock reading."""
        path = urllib.parse.urlsplit(address)
        got, _, body = self.server.get("%s?%s&now=%d" % (path.path.rsplit("/", 1)[-1], path.query, clock(reading)))
        self.assertEqual(got, 200, (address, body[:200]))
        self.assertEqual([kind for kind, _ in top_level_boxes(body)][-2:], ["moof", "mdat"])

    def test_hls_playlists_before_during_and_after(self):
        # Seconds from the manifest's clock reading.
        master = self.fetch("master.m3u8?live&lv=60&start=%d&stop=%d&now=%d" % (-Asked, 30 - Asked, clock(Asked))).decode()
        self.playlist_views(master)
        asset = int(master.split("asset=")[1].split("&")[0])
        for name, reading in Readings.items():
            for track in ("video.m3u8?asset=%d&variant=0" % asset, "audio.m3u8?asset=%d" % asset):
                with self.subTest(reading=name, track=track):
                    text = self.fetch("%s&now=%d" % (track, clock(reading))).decode()
                    view = self.playlist_views(text)["hlsParser"]
                    # hls-parser counts the map of a playlist without a
                    # segment as the beginning of a segment to come.
                    segments = [segment["uri"] for segment in view["segments"] if segment["uri"]]
                    self.assertEqual(segments == [], name == "before", segments)
                    for uri in segments[:1] + segments[-1:]:
                        self.expect_media(self.server.url(uri), reading)

    def test_dash_documents_before_during_and_after(self):
        # UTC times: every manifest request makes its asset anew.
        for form in ("live&dynamic", "live&dynamic&segtimeline", "live&ll"):
            for name, reading in Readings.items():
                with self.subTest(form=form, reading=name):
                    query = "%s&start=%s&stop=%s&now=%d" % (form, utc(0), utc(30), clock(reading))
                    text = self.fetch("manifest.mpd?" + query)
                    self.assertIn(b' type="static"' if name == "after" else b' type="dynamic"', text)
                    path = self.file(text, ".mpd")
                    run_tool(["xmllint", "--noout", path])
                    result = json.loads(run_tool(["node", os.path.join(Here, "manifest_parsers.mjs"), "mpd", path, self.server.url("manifest.mpd"), str(clock(reading))])[0])
                    self.assertEqual((result["warnings"], result.get("error")), ([], None))
                    manifest = result["manifest"]
                    video = manifest["playlists"][0]["segments"]
                    audio = next(iter(manifest["mediaGroups"]["AUDIO"]["audio"].values()))["playlists"][0]["segments"]
                    if name == "before":
                        continue
                    for segments in (video, audio):
                        self.expect_media(segments[0]["resolvedUri"], reading)
                        self.expect_media(segments[-1]["resolvedUri"], reading)


if __name__ == "__main__":
    unittest.main()
