# SPDX-License-Identifier: GPL-2.0-or-later
"""Ad breaks ("breaks", "signal", "scte", "lead", "ads") as readers written
by others find them: hls-parser (strict) reads the date ranges and cue tags
of the playlists, codem-isoboxer and mp4box the emsg boxes of the video
segments, xmllint the MPD, and every splice_info_section (from playlists,
MPD and emsg) is decoded with its CRC checked by scte35-read.mjs, whose
times must match the schedule. The ads of a break are presentations of their
own that ffprobe decodes. Where breaks snap and how ads share a break is
AdBreakTest's."""

import json
import os
import re
import unittest
import urllib.parse
import xml.etree.ElementTree as ElementTree

from media_client import Here, MediaClient
from quorvel_harness import run_tool

Reader = os.path.join(Here, "..", "web", "tools", "scte35-read.mjs")
Mpd = {"mpd": "urn:mpeg:dash:schema:mpd:2011", "scte35": "http://www.scte.org/schemas/35/2016"}
Ticks = 90000


class AdBreakTest(MediaClient, unittest.TestCase):
    def sections(self, *texts):
        """The decoded sections, each with a valid CRC and no complaint."""
        output, _ = run_tool(["node", Reader] + list(texts))
        decoded = json.loads(output)
        for section in decoded:
            self.assertTrue(section["crc"]["valid"], section)
            self.assertEqual(section["errors"], [], section)
        return decoded

    def playlist(self, relative):
        view = json.loads(run_tool(["node", os.path.join(Here, "break_readers.mjs"), "hls", self.file(self.fetch(relative), ".m3u8")])[0])
        self.assertEqual(view["errors"], [], relative)
        return view["segments"]

    def frames(self, data):
        """How many pictures ffprobe decodes from a header and a segment."""
        output, _ = run_tool(["ffprobe", "-v", "error", "-count_frames", "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", self.file(data)], text=True)
        return output.strip()

    def test_hls_signals_the_break_in_date_ranges_and_cue_tags(self):
        asset = self.server.make_asset("duration=30&breaks=@9:6&signal=daterange,cue")
        segments = self.playlist("video.m3u8?asset=%d&variant=0" % asset)
        opening, closing = segments[3], segments[4]
        self.assertIsNotNone(segments[0]["programDateTime"], "the dates need a program date-time")
        self.assertEqual((opening["dateRange"]["id"], opening["dateRange"]["plannedDuration"]), ("break-1", 6))
        self.assertEqual(opening["markers"], [{"type": "OUT", "duration": 6, "tag": None, "value": None}])
        self.assertEqual(closing["dateRange"]["duration"], 6)
        self.assertEqual(closing["markers"][0]["value"], "ElapsedTime=3.000,Duration=6.000")
        self.assertEqual(segments[5]["markers"][0]["type"], "IN")
        out, back = self.sections(opening["dateRange"]["attributes"]["SCTE35-OUT"], closing["dateRange"]["attributes"]["SCTE35-IN"])
        self.assertEqual((out["splice_command_type"], out["splice_command"]["out_of_network_indicator"]), (5, True))
        self.assertEqual(out["splice_command"]["splice_time"]["pts_time"], 9 * Ticks)
        self.assertEqual(out["splice_command"]["break_duration"]["duration"], 6 * Ticks)
        self.assertEqual((back["splice_command"]["out_of_network_indicator"], back["splice_command"]["splice_time"]["pts_time"]), (False, 15 * Ticks))
        # Audio segments (6 s) do not meet the 3 s grid: dates only, no cue tags.
        audio = self.playlist("audio.m3u8?asset=%d" % asset)
        self.assertEqual([segment["dateRange"]["id"] for segment in audio if segment["dateRange"]], ["break-1", "break-1"])
        self.assertFalse(any(segment["markers"] for segment in audio))

    def test_live_windows_date_every_segment_and_resume_inside_a_break(self):
        # 35 s into the timeline a 9 s window lists segments 8 to 10 (24 to 33 s); break 1 (20 s snaps to 21 s, 6 s) is under way.
        now = "2026-12-07T12:00:35Z"
        asset = self.server.make_asset("live&lv=9&breaks=20:6&signal=daterange,cue&ls=35&now=" + now)
        segments = self.playlist("video.m3u8?asset=%d&variant=0&now=%s" % (asset, now))
        self.assertTrue(all(segment["programDateTime"] for segment in segments))
        # The window opens inside the break: its tags come again before the first segment.
        self.assertEqual(segments[0]["uri"].rsplit("=", 1)[1], "8")
        self.assertEqual(segments[0]["dateRange"]["id"], "break-1")
        self.assertEqual(segments[0]["markers"][0]["tag"], "EXT-X-CUE-OUT-CONT")
        self.assertEqual(segments[1]["markers"][0]["type"], "IN")
        start = segments[0]["dateRange"]["start"]
        self.assertEqual(start, "2026-12-07T12:00:21.000Z")

    def test_dash_signals_the_break_in_the_mpd_and_in_emsg_boxes(self):
        body = self.fetch("manifest.mpd?duration=30&breaks=@9:6&scte=timesignal&lead=4")
        self.mpd_views(body)
        root = ElementTree.fromstring(body)
        asset = int(re.search(rb"asset=(\d+)", body).group(1))
        periods = root.findall("mpd:Period", Mpd)
        self.assertEqual([period.get("start") for period in periods], ["PT0.00S", "PT9.00S", "PT15.00S"])
        event = periods[1].find("mpd:EventStream/mpd:Event", Mpd)
        self.assertEqual(periods[1].find("mpd:EventStream", Mpd).get("schemeIdUri"), "urn:scte:scte35:2014:xml+bin")
        self.assertEqual((event.get("presentationTime"), event.get("duration")), ("0", str(6 * Ticks)))
        inband = root.find(".//mpd:InbandEventStream", Mpd)
        self.assertEqual((inband.get("schemeIdUri"), inband.get("value")), ("urn:scte:scte35:2013:bin", "1"))
        segments = [self.file(self.fetch("video-body.mp4?asset=%d&variant=0&index=%d" % (asset, index))) for index in range(4)]
        views = json.loads(run_tool(["node", os.path.join(Here, "break_readers.mjs"), "emsg"] + segments)[0])
        # The break at 9 s: announced in the segment that holds 5 s, repeated in its own.
        self.assertEqual([len(view["events"]) for view in views], [0, 1, 0, 1])
        self.assertEqual([view["mp4boxEvents"] for view in views], [0, 1, 0, 1])
        self.assertEqual(views[1]["types"][:2], ["emsg", "moof"])
        announced = views[1]["events"][0]
        self.assertEqual((announced["version"], announced["scheme"], announced["value"]), (1, "urn:scte:scte35:2013:bin", "1"))
        self.assertEqual((announced["timescale"], announced["presentationTime"], announced["duration"]), (Ticks, 9 * Ticks, 6 * Ticks))
        self.assertEqual(announced, views[3]["events"][0], "the repeat is the same event")
        from_mpd, from_emsg = self.sections(event.find("scte35:Signal/scte35:Binary", Mpd).text, announced["data"])
        self.assertEqual(from_mpd, dict(from_emsg, input=from_mpd["input"]))
        descriptor = from_emsg["descriptors"][0]
        self.assertEqual((from_emsg["splice_command_type"], descriptor["segmentation_type_id"]), (6, 0x34))
        self.assertEqual(descriptor["segmentation_duration"], 6 * Ticks)
        # The media of a segment that carries boxes plays as before.
        header = self.fetch("video-header.mp4?asset=%d&variant=0" % asset)
        with open(segments[1], "rb") as segment:
            self.assertEqual(self.frames(header + segment.read()), "75")

    def test_ads_fill_the_break_as_interstitials_and_periods(self):
        # With ads a break lies on every track's segment boundaries (6 s): two ads of 6 s.
        asset = self.server.make_asset("duration=30&breaks=@12:12&ads=2&signal=cue")
        segments = self.playlist("video.m3u8?asset=%d&variant=0" % asset)
        interstitial = segments[4]["dateRange"]
        self.assertEqual((interstitial["id"], interstitial["classId"]), ("ad-1", "com.apple.hls.interstitial"))
        self.assertEqual(interstitial["attributes"]["X-RESUME-OFFSET"], 12)
        self.assertEqual(interstitial["attributes"]["X-RESTRICT"], "SKIP,JUMP")
        listing = json.loads(self.fetch(interstitial["attributes"]["X-ASSET-LIST"]))
        self.assertEqual([item["DURATION"] for item in listing["ASSETS"]], [6, 6])
        address = urllib.parse.urlsplit(listing["ASSETS"][1]["URI"])
        self.assertEqual(address.netloc, "127.0.0.1:%d" % self.server.port, "absolute: players resolve it against their page")
        master = self.fetch(address.path + "?" + address.query).decode()
        video = re.search(r"video\.m3u8\?[^\r\n]*variant=0", master).group(0)
        ad_segments = self.playlist(video)
        self.assertEqual(len(ad_segments), 2)
        header = self.fetch("video-header.mp4?asset=%d&variant=0" % asset)
        ad = self.fetch(ad_segments[0]["uri"])
        self.assertNotEqual(ad, self.fetch("video-body.mp4?asset=%d&variant=0&index=0" % asset), "an ad has pictures of its own")
        self.assertEqual(self.frames(header + ad), "75")
        audio = re.search(r'URI="(audio\.m3u8\?[^"]*)"', master).group(1)
        self.assertEqual(len(self.playlist(audio)), 1)
        # DASH: the break is the two ads' periods, the content resumes at its end.
        root = ElementTree.fromstring(self.fetch("manifest.mpd?duration=30&breaks=@12:12&ads=2"))
        templates = [period.find(".//mpd:SegmentTemplate", Mpd) for period in root.findall("mpd:Period", Mpd)]
        self.assertEqual([template.get("presentationTimeOffset") for template in templates], ["0", "0", "0", "240000000"])
        self.assertIn("break=1&ad=2", templates[2].get("media"))

    def test_live_ads_are_periods_of_the_dynamic_manifest(self):
        now = "2026-12-07T12:01:00Z"
        body = self.fetch("manifest.mpd?live&ll&lv=30&breaks=30:12&ads=2&ls=40&now=" + now)
        self.mpd_views(body)
        root = ElementTree.fromstring(body)
        periods = root.findall("mpd:Period", Mpd)
        # The window (10 to 40 s) and what comes before the next updates: content from 0, break 1's ads at 30 and 36, content from 42.
        self.assertEqual([(period.get("id"), period.get("start"), period.get("duration")) for period in periods],
                         [("content-0", "PT0.00S", "PT30.00S"), ("break-1-ad-1", "PT30.00S", "PT6.00S"), ("break-1-ad-2", "PT36.00S", "PT6.00S"),
                          ("content-42", "PT42.00S", None)])
        resumed = periods[3].find(".//mpd:SegmentTemplate", Mpd)
        self.assertEqual(resumed.get("presentationTimeOffset"), "420000000")
        self.assertIn("baseIndex=-13&", resumed.get("media"), "template number 1 names segment 14, at 42 s")
        self.assertIn("break=1&ad=1", periods[1].find(".//mpd:SegmentTemplate", Mpd).get("media"))
        self.assertIsNotNone(periods[1].find("mpd:EventStream/mpd:Event", Mpd))


if __name__ == "__main__":
    unittest.main()
