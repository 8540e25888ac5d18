# SPDX-License-Identifier: GPL-2.0-or-later
"""Generated subtitle tracks ("subs") as readers written by others see them:
hls-parser (strict) and m3u8-parser every playlist, webvtt-parser every
WebVTT file, xmllint every manifest and IMSC1 document, mp4box,
codem-isoboxer and ffprobe every text segment in MP4; the cues name the media time
they show at, and the text segments line up with the video's."""

import os
import re
import unittest
import json
import xml.etree.ElementTree as ElementTree

from media_client import Here, MediaClient, child_boxes
from quorvel_harness import run_tool, top_level_boxes

Mpd = {"mpd": "urn:mpeg:dash:schema:mpd:2011"}
# The video's segments of the default presentation.
SegmentSeconds = 3
# The one complaint webvtt-parser has of every file: HLS puts X-TIMESTAMP-MAP
# in the header (RFC 8216 3.5), where W3C WebVTT has no line of its own.
HeaderComplaint = ["2: No blank line after the signature."]
MediaTime = re.compile(r"(\d\d):(\d\d):(\d\d)\.(\d\d\d) segment (\d+)")


def named_seconds(text):
    """The media time and segment number a cue's text names."""
    found = MediaTime.search(text)
    hours, minutes, seconds, milliseconds, segment = (int(group) for group in found.groups())
    return hours * 3600 + minutes * 60 + seconds + milliseconds / 1000, segment


class Subtitles(MediaClient, unittest.TestCase):
    def vtt_views(self, files):
        paths = [self.file(data, ".vtt") for data in files]
        return json.loads(run_tool(["node", os.path.join(Here, "subtitle_readers.mjs"), "vtt"] + paths)[0])

    def mp4_view(self, header, segments):
        """mp4box's view of a text track with its samples' bytes, after both
        box readers (segment_readers.mjs) read it without an error."""
        views = self.segment_views(header, segments, payloads=True)
        self.assertEqual((views["mp4box"]["errors"], views["isoboxer"]["errors"]), ([], []))
        return views["mp4box"]

    def expect_cue(self, start, text, segment_start, segment):
        """A cue that starts at a whole second, inside its segment, and names it."""
        seconds, named_segment = named_seconds(text)
        self.assertAlmostEqual(seconds, start, places=3)
        self.assertEqual(start, round(start))
        self.assertEqual(named_segment, int(start // SegmentSeconds))
        self.assertLess(start - segment_start, SegmentSeconds + 1e-9)

    def test_hls_webvtt_on_demand(self):
        asset, master = self.asset("?subs=sv,en-GB,en-US&subsdur=500")
        views = self.playlist_views(master)
        self.assertEqual(len(views["hlsParser"]["variants"]), master.count("SUBTITLES=\"subs\""))
        self.assertIn('LANGUAGE="sv",NAME="Svenska",DEFAULT=YES,AUTOSELECT=YES,URI="subtitles.m3u8?asset=%d&lang=sv"' % asset, master)
        # Two languages of one name tell themselves apart.
        self.assertIn('NAME="English (en-GB)"', master)
        self.assertIn('NAME="English (en-US)"', master)
        playlist = self.fetch("subtitles.m3u8?asset=%d&lang=sv" % asset).decode()
        video = self.fetch("video.m3u8?asset=%d&variant=0" % asset).decode()
        text_view = self.playlist_views(playlist)["hlsParser"]
        video_view = self.playlist_views(video)["hlsParser"]
        self.assertEqual([segment["duration"] for segment in text_view["segments"]], [segment["duration"] for segment in video_view["segments"]])
        self.assertNotIn("#EXT-X-MAP", playlist)
        files = [self.fetch(segment["uri"]) for segment in text_view["segments"]]
        for index, (data, view) in enumerate(zip(files, self.vtt_views(files))):
            self.assertEqual(view["errors"], HeaderComplaint)
            mpegts = int(re.search(rb"X-TIMESTAMP-MAP=MPEGTS:(\d+),LOCAL:00:00:00.000", data).group(1))
            self.assertEqual(mpegts, index * SegmentSeconds * 90000)
            self.assertEqual(len(view["cues"]), SegmentSeconds)
            for cue in view["cues"]:
                start = mpegts / 90000 + cue["start"]
                self.assertAlmostEqual(cue["end"] - cue["start"], 0.5)
                self.assertTrue(cue["text"].startswith("Svenska\n"))
                self.expect_cue(start, cue["text"], index * SegmentSeconds, index)
        # Same options, same bytes.
        again, _ = self.asset("?subs=sv,en-GB,en-US&subsdur=500")
        self.assertEqual(self.fetch("subtitles.vtt?asset=%d&lang=sv&index=2" % again), files[2])

    def test_hls_live_windows_and_utc(self):
        now = "2026-12-06T10:00:00Z"
        asset, _ = self.asset("?live&subs=ja&subsreg=top&now=" + now)
        playlist = self.fetch("subtitles.m3u8?asset=%d&lang=ja&now=%s" % (asset, now)).decode()
        video = self.fetch("video.m3u8?asset=%d&variant=0&now=%s" % (asset, now)).decode()
        strip = lambda text: [line.split("?")[0] + re.sub(r"asset=\d+&(variant=\d+|lang=ja)&", "", line[line.find("?"):]) if "?" in line else line
                              for line in text.splitlines() if not line.startswith("#EXT-X-MAP") and not line.startswith("#EXT-X-INDEPENDENT")]
        # The same window, numbers and program date-times as the video's.
        self.assertEqual([line for line in strip(playlist) if line.startswith("#EXT-X-PROGRAM-DATE-TIME") or line.startswith("#EXTINF")
                          or line.startswith("#EXT-X-MEDIA-SEQUENCE")],
                         [line for line in strip(video) if line.startswith("#EXT-X-PROGRAM-DATE-TIME") or line.startswith("#EXTINF")
                          or line.startswith("#EXT-X-MEDIA-SEQUENCE")])
        self.playlist_views(playlist)
        uri = [line for line in playlist.splitlines() if line.startswith("subtitles.vtt")][-1]
        data = self.fetch(uri + "&now=" + now)
        view = self.vtt_views([data])[0]
        self.assertEqual(view["errors"], HeaderComplaint)
        self.assertIn(b"line:0", data)
        index = int(uri.rsplit("=", 1)[1])
        for cue in view["cues"]:
            start = index * SegmentSeconds + cue["start"]
            self.expect_cue(start, cue["text"], index * SegmentSeconds, index)
            # The live time base is now - 10 s.
            utc = cue["text"].splitlines()[2]
            self.assertEqual(utc, "2026-12-06T09:59:%02d.000Z" % (50 + start) if start < 10 else "2026-12-06T10:00:%02d.000Z" % (start - 10))
        # With ll, a segment far ahead of the live edge is not there yet, as the video's.
        low, _ = self.asset("?live&ll&subs=ja&now=" + now)
        self.fetch("subtitles.vtt?asset=%d&lang=ja&index=%d&now=%s" % (low, index + 5, now), 404)
        self.fetch("video-body.mp4?asset=%d&variant=0&index=%d&now=%s" % (low, index + 5, now), 404)

    def test_hls_low_latency_parts(self):
        """With ll a subtitle playlist has the video row's parts: a WebVTT part
        holds the cues that begin in it, an MP4 part its stretch of the track,
        and together they hold what the whole segment does."""
        now = "2026-12-06T10:00:00Z"
        for form in ("vtt", "wvtt"):
            with self.subTest(form=form):
                asset, _ = self.asset("?live&ll&subs=ja&subsformat=%s&now=%s" % (form, now))
                playlist = self.fetch("subtitles.m3u8?asset=%d&lang=ja&now=%s" % (asset, now)).decode()
                video = self.fetch("video.m3u8?asset=%d&variant=0&now=%s" % (asset, now)).decode()
                self.playlist_views(playlist)
                durations = lambda text: re.findall(r"#EXT-X-PART:DURATION=([0-9.]+)", text)
                self.assertEqual(durations(playlist), durations(video))
                whole = [line for line in playlist.splitlines() if line.startswith("subtitles")][-1]
                parts = re.findall(r'#EXT-X-PART:DURATION=[0-9.]+,URI="(%s&part=\d+)"' % re.escape(whole), playlist)
                self.assertGreater(len(parts), 1)
                pieces = [self.fetch(uri + "&now=" + now) for uri in parts]
                segment = self.fetch(whole + "&now=" + now)
                if form == "vtt":
                    cues = lambda files: sorted((round(int(re.search(rb"MPEGTS:(\d+)", data).group(1)) / 90000 + cue["start"], 3), cue["text"])
                                                for data, view in zip(files, self.vtt_views(files)) for cue in view["cues"])
                    self.assertEqual(cues(pieces), cues([segment]))
                    continue
                header = self.fetch("subtitles-header.mp4?asset=%d&lang=ja" % asset)
                stretches = [(sample[0], sample[2]) for piece in self.mp4_view(header, pieces)["segments"] for sample in piece["samples"]]
                self.assertEqual([start + length for start, length in stretches[:-1]], [start for start, _ in stretches[1:]])
                expected = self.mp4_view(header, [segment])["segments"][0]["samples"]
                self.assertEqual((stretches[0][0], sum(length for _, length in stretches)), (expected[0][0], sum(sample[2] for sample in expected)))

    def test_hls_text_in_mp4(self):
        for form, entry in (("wvtt", "wvtt"), ("stpp", "stpp")):
            with self.subTest(form=form):
                asset, master = self.asset("?subs=de&subsformat=" + form)
                self.assertIn(",%s\"" % ("wvtt" if form == "wvtt" else "stpp.ttml.im1t"), master)
                self.playlist_views(master)
                playlist = self.fetch("subtitles.m3u8?asset=%d&lang=de" % asset).decode()
                view = self.playlist_views(playlist)["hlsParser"]
                self.assertIn('#EXT-X-MAP:URI="subtitles-header.mp4?asset=%d&lang=de"' % asset, playlist)
                header = self.fetch("subtitles-header.mp4?asset=%d&lang=de" % asset)
                segments = [self.fetch(segment["uri"]) for segment in view["segments"][:2]]
                self.expect_mp4(entry, header, segments)
                # ffprobe, which maps neither entry to a decoder (and says so), reads the track too.
                output, _ = run_tool(["ffprobe", "-v", "error", "-of", "json", "-show_entries", "stream=codec_type,codec_tag_string:stream_tags=language",
                                      self.file(header + b"".join(segments))])
                stream = json.loads(output)["streams"][0]
                self.assertEqual((stream["codec_type"], stream["codec_tag_string"], stream["tags"]["language"]), ("data", entry, "deu"))

    def expect_mp4(self, entry, header, segments):
        view = self.mp4_view(header, segments)
        self.assertEqual((view["entry"], view["timescale"]), (entry, 10_000_000))
        scale = view["timescale"]
        for index, segment in enumerate(view["segments"]):
            self.assertEqual(segment["samples"][0][0], index * SegmentSeconds * scale)
            self.assertEqual(sum(sample[2] for sample in segment["samples"]), SegmentSeconds * scale)
            for sample, payload in zip(segment["samples"], segment["payloads"]):
                data, start = bytes.fromhex(payload), sample[0] / scale
                if entry == "wvtt":
                    # Each cue's text in its vttc box (vtte: a stretch without cues).
                    for cue in (dict(child_boxes(box))["payl"][8:].decode() for kind, box in top_level_boxes(data) if kind == "vttc"):
                        self.expect_cue(start, cue, start // SegmentSeconds * SegmentSeconds, None)
                    continue
                run_tool(["xmllint", "--noout", self.file(data, ".xml")])
                root = ElementTree.fromstring(data)
                self.assertEqual(root.get("{http://www.w3.org/ns/ttml#parameter}profile"), "http://www.w3.org/ns/ttml/profile/imsc1/text")
                paragraphs = root.findall(".//{http://www.w3.org/ns/ttml}p")
                self.assertEqual(len(paragraphs), SegmentSeconds)
                for paragraph in paragraphs:
                    self.expect_cue(named_seconds(paragraph.get("begin") + " segment 0")[0], "".join(paragraph.itertext()), start, None)

    def test_dash_text_sets(self):
        for query, entry in (("", "stpp"), ("&subsformat=wvtt", "wvtt"), ("&live&ll", "stpp")):
            with self.subTest(query=query):
                asset, manifest = self.asset("?subs=fr,sv" + query, "manifest.mpd")
                self.mpd_views(manifest.encode())
                root = ElementTree.fromstring(manifest.encode())
                sets = [node for node in root.iter("{%s}AdaptationSet" % Mpd["mpd"]) if node.get("contentType") == "text"]
                periods = len(root.findall("mpd:Period", Mpd))
                self.assertEqual(len(sets), 2 * periods)
                self.assertEqual([node.get("lang") for node in sets[:2]], ["fr", "sv"])
                for node in sets:
                    self.assertEqual(node.get("mimeType"), "application/mp4")
                    self.assertEqual(node.find("mpd:Role", Mpd).get("value"), "subtitle")
                    self.assertIsNone(node.find("mpd:ContentProtection", Mpd))
                    self.assertEqual(node.find("mpd:Representation", Mpd).get("codecs"), "stpp.ttml.im1t" if entry == "stpp" else "wvtt")
                template = sets[0].find("mpd:Representation/mpd:SegmentTemplate", Mpd)
                header = self.fetch(template.get("initialization"))
                number = 1 if "live" in query else 2  # period 0 begins at segment 0: template number 1 and 2
                now = "&now=2099-01-01T00:00:00Z" if "live" in query else ""
                segments = [self.fetch(template.get("media").replace("$Number$", str(number + offset)) + now) for offset in range(2)]
                view = self.mp4_view(header, segments)
                self.assertEqual(view["entry"], entry)
                self.assertTrue(view["language"].startswith("fr"), view["language"])

    def test_faults_and_encryption_leave_text_as_asked(self):
        key = "00112233445566778899aabbccddeeff"
        asset, master = self.asset("?subs=en&key=%s&fail=404@text:1&gap=@text:2" % key)
        playlist = self.fetch("subtitles.m3u8?asset=%d&lang=en" % asset).decode()
        self.assertNotIn("#EXT-X-KEY", playlist)
        self.assertIn("#EXT-X-GAP\n#EXTINF:3.000,\nsubtitles.vtt?asset=%d&lang=en&index=2" % asset, playlist.replace("\r\n", "\n"))
        self.fetch("subtitles.vtt?asset=%d&lang=en&index=1" % asset, 404)
        self.fetch("subtitles.vtt?asset=%d&lang=en&index=0" % asset)
        # The video track is untouched by text rules.
        self.fetch("video-body.mp4?asset=%d&variant=0&index=1" % asset)


if __name__ == "__main__":
    unittest.main()
