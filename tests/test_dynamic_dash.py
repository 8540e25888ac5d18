# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of regular live DASH ("manifest.mpd?live&dynamic").

Each form of the document (number templates, a SegmentTimeline by start time
or by number) is read by xmllint and mpd-parser at two clock readings of one
live timeline; the first and last segments the parser lists for each track
are served, the next is refused with 404 until it is complete. What the
documents hold is DashManifestWriterTest's; players following them are the
browser suite's.
"""

import datetime
import unittest
import urllib.parse

from media_client import MediaClient
from quorvel_harness import top_level_boxes

# 2030-01-01T00:00:00Z: a "now" far from the real clock.
Future = int(datetime.datetime(2030, 1, 1, tzinfo=datetime.timezone.utc).timestamp() * 1000)
# The timeline begins a minute before Future; its window is 30 s.
Lead = 60000
Forms = ("live&dynamic", "live&dynamic&segtimeline", "live&dynamic&segtimeline=number")


class RegularLiveDash(MediaClient, unittest.TestCase):
    def parsed(self, form, clock):
        """mpd-parser's reading of the document made at clock (ms), on the
        timeline that begins at Future - Lead."""
        query = "%s&lv=30&now=%d&ls=%s" % (form, clock, (clock - Future + Lead) / 1000)
        return self.mpd_views(self.fetch("manifest.mpd?" + query), clock)

    def tracks(self, manifest):
        """(name, segment duration in s, segments) of the main video and the audio."""
        video = manifest["playlists"][0]
        audio = next(iter(manifest["mediaGroups"]["AUDIO"]["audio"].values()))["playlists"][0]
        return [("video", 3, video["segments"]), ("audio", 6, audio["segments"])]

    def served(self, address, clock):
        path = urllib.parse.urlsplit(address)
        got, _, body = self.server.get("%s?%s&now=%d" % (path.path, path.query, clock))
        return got, body

    def test_every_form_lists_what_is_complete_at_two_readings(self):
        for form in Forms:
            for elapsed in (60.0, 67.5):
                clock = Future - Lead + round(elapsed * 1000)
                for name, duration, segments in self.tracks(self.parsed(form, clock)):
                    with self.subTest(form=form, elapsed=elapsed, track=name):
                        # Times from the period's start, the timeline's. The
                        # last listed has ended by the clock and the next has
                        # not; the first ends inside the 30 s window.
                        first, last = segments[0], segments[-1]
                        self.assertLessEqual(last["presentationTime"] + duration, elapsed)
                        self.assertGreater(last["presentationTime"] + 2 * duration, elapsed)
                        self.assertGreater(first["presentationTime"] + duration, elapsed - 30)
                        for segment in (first, last):
                            got, body = self.served(segment["resolvedUri"], clock)
                            self.assertEqual(got, 200, (segment["resolvedUri"], body[:200]))
                            self.assertEqual([kind for kind, _ in top_level_boxes(body)][-2:], ["moof", "mdat"])
                        # The next, in the making, is refused until it is complete.
                        following = self.next_address(last["resolvedUri"], round(last["presentationTime"] / duration), duration)
                        self.assertEqual(self.served(following, clock)[0], 404)
                        self.assertEqual(self.served(following, clock + duration * 1000)[0], 200)

    def next_address(self, address, segment, duration):
        """The address of the segment after segment (by time or by number, segment + 1)."""
        start = segment * duration * 10**7
        if "time=%d" % start in address:
            return address.replace("time=%d" % start, "time=%d" % (start + duration * 10**7))
        self.assertIn("index=%d" % (segment + 1), address)
        return address.replace("index=%d" % (segment + 1), "index=%d" % (segment + 2))

    def test_a_start_time_names_the_segment_its_number_does(self):
        asset, _ = self.asset("?live&dynamic&segtimeline", "manifest.mpd")
        # Video segment 1 (3 s to 6 s): complete once the server has started,
        # its timeline beginning 10 s earlier.
        by_time = self.fetch("video-body.mp4?asset=%d&variant=0&time=30000000" % asset)
        self.assertEqual(by_time, self.fetch("video-body.mp4?asset=%d&variant=0&baseIndex=1&index=2" % asset))


if __name__ == "__main__":
    unittest.main()
