# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of low-latency DASH ("manifest.mpd?live&ll").

The manifest: xmllint and mpd-parser read the dynamic document, its segment
addresses give media, and without "ll" the manifest stays static.

The clock route "time": ISO 8601 UTC with milliseconds, not stored, open to
other origins, and it follows "now".

Delivery: a segment asked for long before it is offered is refused with
404; a request with "now" is answered at once, as of that time; one in
progress is paced even when it is kept whole: it arrives in chunks, the last
once the segment has ended by the server's clock. When each fragment is due
and how a paced answer releases it are FragmentScheduleTest's and
PacedEdgeTest's.
"""

import datetime
import re
import time
import unittest
import xml.etree.ElementTree as ElementTree

from media_client import MediaClient
from quorvel_harness import read_answer, top_level_boxes

Space = {"mpd": "urn:mpeg:dash:schema:mpd:2011"}
# 2030-01-01T00:00:00Z: a "now" far from the real clock.
Future = datetime.datetime(2030, 1, 1, tzinfo=datetime.timezone.utc)
FutureMilliseconds = int(Future.timestamp() * 1000)
IsoMilliseconds = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$")


def parse_time(text):
    """Milliseconds since 1970 of an ISO 8601 UTC time with milliseconds."""
    moment = datetime.datetime.strptime(text, "%Y-%m-%dT%H:%M:%S.%fZ").replace(tzinfo=datetime.timezone.utc)
    return round(moment.timestamp() * 1000)


class LowLatencyDash(MediaClient, unittest.TestCase):
    def server_milliseconds(self, connection):
        """The server's clock, from its "time" route."""
        connection.request("GET", self.server.path("time"))
        response = connection.getresponse()
        return parse_time(response.read().decode())

    def manifest(self, query):
        """The document as text and as a tree."""
        text = self.fetch("manifest.mpd?" + query).decode()
        return text, ElementTree.fromstring(text)

    def template(self, document, content_type):
        for adaptation in document.iter("{%s}AdaptationSet" % Space["mpd"]):
            if adaptation.get("contentType") == content_type:
                representation = adaptation.find("mpd:Representation", Space)
                return representation, representation.find("mpd:SegmentTemplate", Space)
        raise AssertionError("no %s set" % content_type)

    def media_path(self, template, number):
        return template.get("media").replace("$Number$", str(number))

    # The manifest ---------------------------------------------------------

    def test_dynamic_manifest_read_by_mpd_parser(self):
        # Ten seconds into its timeline, at the real time, so that the
        # parser (which lists segments up to its own clock) lists a few.
        now = round(time.time() * 1000)
        text, document = self.manifest("live&ll&now=%d" % now)
        parsed = self.mpd_views(text.encode())
        # The parser lists what has begun by its own clock. The rest of the
        # document is the writer's (DashManifestWriterTest); here what the
        # route gives it: times, the clock's address, working addresses.
        self.assertGreaterEqual(len(parsed["playlists"][0]["segments"]), 3)
        self.assertEqual(document.get("type"), "dynamic")
        self.assertEqual(parse_time(document.get("availabilityStartTime")), now - 10000)
        self.assertEqual(parse_time(document.get("publishTime")), now)
        timing = document.find("mpd:UTCTiming", Space)
        self.assertEqual((timing.get("schemeIdUri"), timing.get("value")), ("urn:mpeg:dash:utc:http-iso:2014", self.server.url("time")))
        _, template = self.template(document, "video")
        self.assertEqual(template.get("availabilityTimeComplete"), "false")
        self.fetch(template.get("initialization"))
        # Number 1 is segment 0, complete long ago.
        self.assertEqual([kind for kind, _ in top_level_boxes(self.fetch(self.media_path(template, 1)))][:2], ["moof", "mdat"])
        # Without "ll" the manifest is the static one, live or not.
        for query in ("live", "ll", "live&part=1"):
            self.assertEqual(self.manifest(query)[1].get("type"), "static", query)

    # The clock ------------------------------------------------------------

    def test_time_route(self):
        before = round(time.time() * 1000)
        _, headers, body = self.server.get("time")
        after = round(time.time() * 1000)
        self.assertRegex(body.decode(), IsoMilliseconds)
        self.assertTrue(before - 1 <= parse_time(body.decode()) <= after + 1)
        self.assertEqual(headers["Cache-Control"], "no-store")
        self.assertEqual(headers["Access-Control-Allow-Origin"], "*")
        self.assertTrue(headers["Content-Type"].startswith("text/plain"))
        # How "now" is read is RequestTimeTest's.
        self.assertEqual(self.fetch("time?now=%d" % (FutureMilliseconds + 1234)), b"2030-01-01T00:00:01.234Z")

    # Delivery -------------------------------------------------------------

    def test_segments_as_of_a_given_time(self):
        # The timeline starts 10 s before "now". Every segment is offered
        # 5.5 s before its end (the longest, audio, segment less a part),
        # and asked for up to one longest segment (6 s) earlier still is
        # accepted: video segment 6 (18 s to 21 s) is, segment 7 is not;
        # audio segment 2 (12 s to 18 s) is, segment 3 is not.
        _, document = self.manifest("live&ll&now=%d" % FutureMilliseconds)
        _, video = self.template(document, "video")
        _, audio = self.template(document, "audio")
        self.assertEqual((video.get("availabilityTimeOffset"), audio.get("availabilityTimeOffset")), ("5.500", "5.500"))
        now = "&now=%d" % FutureMilliseconds
        for template, number in ((video, 8), (audio, 4)):
            got, headers, body = self.server.get(self.media_path(template, number) + now)
            self.assertEqual(got, 404, body)
            self.assertEqual(headers["Cache-Control"], "no-store")
            self.assertEqual(headers["Access-Control-Allow-Origin"], "*")
        # Offered and not complete as of "now": sent at once and whole, the
        # same bytes as once it is complete; the refused one is served once
        # it is offered.
        for template, number in ((video, 7), (audio, 3)):
            early = self.fetch(self.media_path(template, number) + now)
            late = self.fetch(self.media_path(template, number) + "&now=%d" % (FutureMilliseconds + 60000))
            self.assertEqual(early, late)
        self.fetch(self.media_path(video, 8) + "&now=%d" % (FutureMilliseconds + 2500))
        # By the real clock every segment of this timeline lies in the future.
        got, _, _ = self.server.get(self.media_path(video, 1))
        self.assertEqual(got, 404)

    def test_a_segment_in_progress_is_paced_even_when_it_is_kept(self):
        # A timeline that began half a second ago: video segment 4 (number 5,
        # 12 s to 15 s) begins in 11.5 s. Made and kept for a request as of a
        # later time, it is paced all the same once it is in progress.
        _, document = self.manifest("live&ll&ls=0.5")
        base = parse_time(document.get("availabilityStartTime"))
        _, template = self.template(document, "video")
        duration = 1000 * int(template.get("duration")) // int(template.get("timescale"))
        clock = self.server.connection()
        number = 5
        while True:
            kept = self.fetch(self.media_path(template, number) + "&now=%d" % (base + 3600000))
            now = self.server_milliseconds(clock)
            if now < base + (number - 1) * duration:
                break
            # Made too slowly (an instrumented build) to be ahead of it: one twice as far ahead.
            number = 2 * ((now - base) // duration + 1)
        while self.server_milliseconds(clock) < base + (number - 1) * duration:
            time.sleep(0.05)
        with self.server.send_get(self.media_path(template, number)) as connection:
            head, body, chunks = read_answer(connection)
        self.assertGreaterEqual(self.server_milliseconds(clock), base + number * duration - 1)
        clock.close()
        self.assertTrue(head.startswith("HTTP/1.1 200 OK"), head)
        self.assertEqual(body, kept)
        self.assertGreater(len(chunks or []), 1, "a kept segment in progress went out whole")


if __name__ == "__main__":
    unittest.main()
