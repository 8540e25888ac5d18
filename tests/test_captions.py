# SPDX-License-Identifier: GPL-2.0-or-later
"""Captions in the video ("cc=608", "cc=608,708") as readers written by
others find them: ffmpeg's CEA-608 decoder (lavfi movie with subcc) reads
the CC1 text back from a header and a segment of H.264 and HEVC; mux.js's
caption parser reads CC1 and 708 service 1 from H.264,
of an encrypted segment without the key; the caption SEI of an encrypted
segment is the clear one's byte for byte; hls-parser (strict) and the DASH
manifest signal the services; the segment key and entity tags follow the
option. The bytes of the caption data are CaptionTest's."""

import json
import os
import re
import struct
import unittest

from media_client import Here, MediaClient
from quorvel_harness import run_tool, top_level_boxes

Key = "000102030405060708090A0B0C0D0E0F"
Caption = re.compile(r"CC1 (\d\d):(\d\d):(\d\d)")


def caption_seconds(text):
    hours, minutes, seconds = map(int, Caption.search(text).groups())
    return hours * 3600 + minutes * 60 + seconds


class CaptionTest(MediaClient, unittest.TestCase):
    def ffmpeg_captions(self, path):
        """(start seconds, text) of each CC1 caption ffmpeg decodes, on the media timeline."""
        movie = "movie=%s[out+subcc]" % path.replace("\\", "\\\\").replace(":", "\\:")
        text, errors = run_tool(["ffmpeg", "-v", "error", "-copyts", "-f", "lavfi", "-i", movie, "-map", "0:1", "-f", "srt", "-"], text=True)
        # The pictures decode without a complaint: a wrongly deciphered slice would say so.
        self.assertEqual(errors, "")
        captions = []
        for block in text.strip().split("\n\n"):
            lines = block.split("\n")
            start = re.match(r"(\d+):(\d+):(\d+),(\d+) -->", lines[1]).groups()
            seconds = int(start[0]) * 3600 + int(start[1]) * 60 + int(start[2]) + int(start[3]) / 1000
            captions.append((seconds, re.sub(r"<[^>]*>|\{[^}]*\}", "", " ".join(lines[2:]))))
        return captions

    def mux_captions(self, header, segments):
        paths = [self.file(header)] + [self.file(segment) for segment in segments]
        return json.loads(run_tool(["node", os.path.join(Here, "caption_reader.mjs")] + paths)[0])

    def expect_media_time(self, captions, first, last):
        """Every caption names the second it starts at, and every whole
        second from first to last has one."""
        for start, text in captions:
            self.assertAlmostEqual(start, caption_seconds(text), delta=0.001, msg=text)
        self.assertEqual(sorted(round(start) for start, _ in captions), list(range(first, last + 1)))

    def test_ffmpeg_reads_cc1_from_h264_and_hevc(self):
        # Enciphered, the caption SEI stays as it is (below), and ffmpeg
        # deciphers the pictures to the clear ones (test_conformance.py).
        for codec in ("", "&hvc1"):
            with self.subTest(codec=codec):
                header, (segment,) = self.video(self.asset("?cc=608" + codec)[0], 0, [1])
                # Segment 1 covers 3 s to 6 s; the caption of 3 s was loaded in segment 0.
                self.expect_media_time(self.ffmpeg_captions(self.file(header + segment)), 4, 5)

    def test_mux_js_reads_608_and_708_of_consecutive_segments_and_of_encrypted_ones_without_the_key(self):
        for query in ["cc=608,708", "cc=608,708&key=%s&scheme=cbcs" % Key, "cc=608,708&key=%s" % Key]:
            with self.subTest(query=query):
                read = self.mux_captions(*self.video(self.asset("?" + query)[0], 0, [0, 1]))
                self.assertEqual(sorted(read["streams"]), ["CC1", "cc708_1"])
                # CC1 shows at 1 s what segment 0 loaded in its first second; a 708 packet is taken when
                # the next one begins; a caption is handed out once the next one ends it.
                for stream, first, last in [("CC1", 1, 4), ("cc708_1", 0, 3)]:
                    captions = [(each["start"], each["text"]) for each in read["captions"] if each["stream"] == stream]
                    self.expect_media_time(captions, first, last)

    def test_live_captions_name_the_media_time_of_the_live_timeline(self):
        asset, _ = self.asset("?live&ll&cc=608&now=2026-12-06T10:00:00Z&ls=60")
        # The timeline began 60 s before "now": segments 15 and 16 (45 s to 51 s) are complete and in the window.
        read = self.mux_captions(*self.video(asset, 0, [15, 16], "&now=2026-12-06T10:00:00Z"))
        self.expect_media_time([(each["start"], each["text"]) for each in read["captions"]], 46, 49)

    def test_every_picture_of_a_low_latency_part_carries_its_captions(self):
        asset = self.server.make_asset("live&ll&cc=608,708&now=2026-12-06T10:00:00Z&ls=60")
        for codec_asset in [asset, self.server.make_asset("live&ll&hvc1&cc=608&now=2026-12-06T10:00:00Z&ls=60")]:
            part = self.fetch("video-body.mp4?asset=%d&variant=0&index=15&part=1&now=2026-12-06T10:00:00Z" % codec_asset)
            boxes = [kind for kind, _ in top_level_boxes(part)]
            self.assertGreater(boxes.count("moof"), 1)
            self.assertEqual(part.count(b"\xb5\x00\x31GA94\x03"), boxes.count("moof"))

    def test_caption_sei_of_encrypted_segments_is_the_clear_one(self):
        def caption_units(segment):
            # Every NAL unit with GA94 user data, whole as its length prefix says, by its place in the media data.
            media = b"".join(box for kind, box in top_level_boxes(segment) if kind == "mdat")
            units = []
            for match in re.finditer(re.escape(b"\xb5\x00\x31GA94\x03"), media):
                # SEI header (one byte in H.264, two in HEVC), payload type 4, payload size.
                start = match.start() - (3 if media[match.start() - 3] == 0x06 else 4)
                length = struct.unpack(">I", media[start - 4:start])[0]
                units.append((start, media[start:start + length]))
            return units

        for codec in ["", "&hvc1"]:
            clear = caption_units(self.fetch("video-body.mp4?asset=%d&variant=0&index=0" % self.server.make_asset("cc=608" + codec)))
            self.assertEqual(len(clear), 75)
            for scheme in ["cenc", "cbcs"]:
                with self.subTest(codec=codec, scheme=scheme):
                    asset = self.server.make_asset("cc=608%s&key=%s&scheme=%s" % (codec, Key, scheme))
                    self.assertEqual(caption_units(self.fetch("video-body.mp4?asset=%d&variant=0&index=0" % asset)), clear)

    def test_signalling(self):
        script = ("import { createRequire } from 'node:module';"
                  "const require = createRequire(process.argv[1]);"
                  "const HLS = require('hls-parser'); HLS.setOptions({ strictMode: true });"
                  "const master = HLS.parse(require('node:fs').readFileSync(0, 'utf8'));"
                  "process.stdout.write(JSON.stringify({"
                  " variants: master.variants.map((v) => v.closedCaptions.map((c) => c.instreamId)),"
                  " renditions: master.variants[0].closedCaptions.map((c) => [c.groupId, c.language, c.name, c.instreamId, c.isDefault])}));")
        package = os.path.join(Here, "..", "web", "package.json")
        for value, services in [("608", ["CC1"]), ("608,708", ["CC1", "SERVICE1"])]:
            with self.subTest(cc=value):
                master = self.fetch("master.m3u8?cc=" + value)
                read = json.loads(run_tool(["node", "--input-type=module", "-e", script, package], data=master)[0])
                self.assertGreater(len(read["variants"]), 0)
                self.assertEqual(read["variants"], [services] * len(read["variants"]))
                self.assertEqual([rendition[3] for rendition in read["renditions"]], services)
                self.assertEqual(read["renditions"][0][:3], ["cc", "en", "English"])
                manifest = self.fetch("manifest.mpd?cc=" + value)
                video_set = re.search(rb'<AdaptationSet[^>]*contentType="video">.*?</AdaptationSet>', manifest).group(0)
                schemes = re.findall(rb'<Accessibility schemeIdUri="([^"]+)" value="([^"]+)"/>', video_set)
                expected = [(b"urn:scte:dash:cc:cea-608:2015", b"CC1=eng")]
                if value == "608,708":
                    expected.append((b"urn:scte:dash:cc:cea-708:2015", b"1=lang:eng"))
                self.assertEqual(schemes, expected)
                # Only the main video set of each period says so.
                video_sets = len(re.findall(rb'<AdaptationSet[^>]*contentType="video">', manifest))
                self.assertEqual(manifest.count(b"<Accessibility"), len(expected) * video_sets)
        self.assertNotIn(b"CLOSED-CAPTIONS", self.fetch("master.m3u8"))

    def test_segment_keys_name_the_captions_where_they_change_the_bytes(self):
        def tags(query):
            asset = self.server.make_asset(query)
            _, header_headers, header = self.server.get("video-header.mp4?asset=%d&variant=0" % asset)
            _, body_headers, _ = self.server.get("video-body.mp4?asset=%d&variant=0&index=2" % asset)
            return header_headers["ETag"], header, body_headers["ETag"]

        plain, with_608, again_608, with_708 = tags(""), tags("cc=608"), tags("cc=608"), tags("cc=608,708")
        # The header does not change; the segments differ by service and agree across assets.
        self.assertEqual(plain[:2], with_608[:2])
        self.assertEqual(plain[:2], with_708[:2])
        self.assertEqual(len({plain[2], with_608[2], with_708[2]}), 3)
        self.assertEqual(with_608[2], again_608[2])


if __name__ == "__main__":
    unittest.main()
