# SPDX-License-Identifier: GPL-2.0-or-later
"""PQ and HLG video ("hdr=pq", "hdr=hlg"; HEVC Main10, or AV1 10-bit with
"av1") as others read it: ffprobe decodes every picture as 10-bit 4:2:0
with BT.2020 primaries and matrix and the transfer, PQ with the mastering
display and light level side data, clear and deciphered; GStreamer decodes
them to the end with the same format and colorimetry; mp4box and
codem-isoboxer read hvcC or av1C and the colr, mdcv and clli boxes; the
codecs texts are mp4box's reading of hvcC or av1C (how the records follow
the SPS and the sequence header is Mp4CodecRecordTest's and Mp4Av1Test's);
hls-parser reads VIDEO-RANGE and mpd-parser the DASH manifests, whose
colour descriptors are checked here; the decoded bars and ramp have the
levels BT.2020 gives their colours; the rows keep to live low latency and
the cache. That playbin shows every HEVC picture of an HLS presentation at
its time is test_changes.py's."""

import re
import unittest
import xml.etree.ElementTree as ElementTree

from media_client import MediaClient, decrypt_cenc
from quorvel_harness import run_tool

Key = "00112233445566778899AABBCCDDEEFF"
# Transfer characteristics code points and the names ffprobe and GStreamer give them.
Transfers = {"pq": (16, "smpte2084", "bt2100-pq"), "hlg": (18, "arib-std-b67", "bt2100-hlg")}
# The mastering display (BT.2020 primaries green, blue, red, D65, 0.0001 to
# 10,000 cd/m²) and light levels the PQ streams carry.
Mastering = [8500, 39850, 6550, 2300, 35400, 14600, 15635, 16450, 100000000, 1]
LightLevels = [10000, 650]
Mpd = {"mpd": "urn:mpeg:dash:schema:mpd:2011"}
Start = "1796551200000"  # 2026-12-06T10:00:00Z
Later = "1796551220000"


class HdrTest(MediaClient, unittest.TestCase):
    # Query, codec name, ffprobe profile, sample entry.
    Rows = {
        ("pq", "hevc"): ("hdr=pq", "hevc", "Main 10", "hvc1"),
        ("hlg", "hevc"): ("hdr=hlg", "hevc", "Main 10", "hvc1"),
        ("pq", "av1"): ("hdr=pq&av1", "av1", "Main", "av01"),
        ("hlg", "av1"): ("hdr=hlg&av1", "av1", "Main", "av01"),
    }

    def frames(self, header, segment):
        """ffprobe's stream and frames, every frame decoded without a complaint."""
        view = self.probe(header + segment, "stream=codec_name,profile,width,height,pix_fmt:frame=key_frame,pix_fmt,color_range,color_space,"
                                            "color_primaries,color_transfer:frame_side_data=side_data_type,max_content,max_average")
        return view["streams"][0], view["frames"]

    def expect_decoded(self, header, segment, transfer, codec, profile):
        stream, frames = self.frames(header, segment)
        self.assertEqual((stream["codec_name"], stream["profile"], stream["width"], stream["height"], stream["pix_fmt"]),
                         (codec, profile, 1280, 720, "yuv420p10le"))
        self.assertEqual(len(frames), 75)
        self.assertEqual([index for index, frame in enumerate(frames) if frame["key_frame"]], [0, 25, 50])
        # The bitstream's colours, picture by picture.
        colours = {(frame["pix_fmt"], frame["color_range"], frame["color_space"], frame["color_primaries"], frame["color_transfer"]) for frame in frames}
        self.assertEqual(colours, {("yuv420p10le", "tv", "bt2020nc", "bt2020", Transfers[transfer][1])})
        # Static metadata rides with every key frame of PQ, never with HLG.
        levels = [[data.get("max_content"), data.get("max_average")] for data in frames[0].get("side_data_list", [])
                  if data["side_data_type"] == "Content light level metadata"]
        types = {data["side_data_type"] for data in frames[0].get("side_data_list", [])}
        if transfer == "pq":
            self.assertEqual(levels, [LightLevels])
            self.assertIn("Mastering display metadata", types)
        else:
            self.assertFalse(types & {"Mastering display metadata", "Content light level metadata"})

    def expect_bars_and_ramp(self, header, segment):
        """The first picture as ffmpeg decodes it to 10-bit 4:2:0: the bars
        and the ramp below the box have the BT.2020 limited-range levels of
        their R'G'B' code values (Y' = 64 + 876 (0.2627 R' + 0.6780 G' +
        0.0593 B'), Cr of full red 960), within what the coding loses."""
        width, height = 1280, 720
        raw, _ = run_tool(["ffmpeg", "-v", "error", "-i", self.file(header + segment), "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "yuv420p10le", "-"])
        sample = lambda index: int.from_bytes(raw[2 * index:2 * index + 2], "little")
        luma = lambda x, y: sample(y * width + x)
        # The Cr plane follows the luma and the Cb planes.
        cr = lambda x, y: sample(width * height + (width // 2) * (height // 2) + (y // 2) * (width // 2) + x // 2)
        # White, yellow, cyan, green, magenta, red, blue, black from row 630 (7/8 down), the ramp from row 675.
        bars = [luma(80 + 160 * bar, 652) for bar in range(8)]
        for got, expected in zip(bars, (940, 888, 710, 658, 346, 294, 116, 64)):
            self.assertLessEqual(abs(got - expected), 8, bars)
        self.assertLessEqual(abs(cr(5 * 160 + 80, 652) - 960), 8)
        ramp = [luma(x, 700) for x in range(40, width, 160)]
        for x, got in zip(range(40, width, 160), ramp):
            self.assertLessEqual(abs(got - (64 + 876 * x / (width - 1))), 8, ramp)

    def expect_gstreamer_decodes(self, header, segment, transfer):
        """GStreamer decodes the file to the end, as 10-bit 4:2:0 of the colorimetry."""
        output, _ = run_tool(["gst-launch-1.0", "-v", "filesrc", "location=" + self.file(header + segment), "!", "decodebin", "!", "fakesink"], text=True)
        self.assertIn("Got EOS from element", output)
        self.assertNotRegex(output, r"(?m)^(ERROR|WARNING)")
        caps = re.findall(r"fakesink0\.GstPad:sink: caps = (video/x-raw.*)", output)
        self.assertTrue(caps, output[-500:])
        self.assertIn("format=(string)I420_10LE", caps[-1])
        self.assertIn("colorimetry=(string)" + Transfers[transfer][2], caps[-1])

    def test_rows_decode_as_ten_bit_bt2020_with_their_transfer(self):
        """Each row of each codec and transfer: ffprobe and GStreamer decode
        the main row's segment; both readers see the codec record and the
        colour boxes; the codecs texts of both manifests are the records'."""
        for (transfer, codec_key), (query, codec, profile, entry) in self.Rows.items():
            with self.subTest(query=query):
                asset, master = self.asset("?duration=12&" + query)
                variants = self.playlist_views(master)["hlsParser"]["variants"]
                header, bodies = self.video(asset, 0, [1])
                self.expect_decoded(header, bodies[0], transfer, codec, profile)
                self.expect_bars_and_ramp(header, bodies[0])
                self.expect_gstreamer_decodes(header, bodies[0], transfer)
                views = self.segment_views(header, bodies)
                colour = {"colr": ["nclx", 9, Transfers[transfer][0], 9, 0], "mdcv": Mastering if transfer == "pq" else None,
                          "clli": LightLevels if transfer == "pq" else None}
                # The text mp4box makes of hvcC (Main 10, its constraint bytes
                # in lower case) or av1C, which for AV1 the colours of the
                # sequence header follow: BT.2020, the transfer, limited range.
                codecs = variants[0]["codecs"].split(",")[0]
                if codec_key == "hevc":
                    self.assertEqual(codecs.lower(), views["mp4box"]["codecs"].lower())
                    self.assertTrue(codecs.startswith("hvc1.2.4.L"), codecs)
                    record = ("hvcC", [0, 0, 2, int(codecs.split(".")[3][1:]), 1, 10, 10])
                else:
                    self.assertEqual(codecs, views["mp4box"]["codecs"] + ".0.110.09.%02d.09.0" % Transfers[transfer][0])
                    self.assertTrue(codecs.startswith("av01.0.") and codecs[9:13] == "M.10", codecs)
                    record = ("av1C", [0, int(codecs[7:9]), 0, 1, 0, 0, 1, 1])
                for reader in ("mp4box", "isoboxer"):
                    view = views[reader]
                    self.assertEqual((view["errors"], view["entry"], view[record[0]], view["colour"]), ([], entry, record[1], colour), reader)
                self.assertEqual(variants[0]["videoRange"], transfer.upper())
                self.expect_dash_manifest(query, codecs, transfer)

    def expect_dash_manifest(self, query, codecs, transfer):
        """mpd-parser reads the DASH manifest; every video set names the
        colours, PQ's transfer as a property a player must understand."""
        text = self.fetch("manifest.mpd?duration=12&" + query)
        self.mpd_views(text)
        sets = [adaptation for adaptation in ElementTree.fromstring(text).iter("{%s}AdaptationSet" % Mpd["mpd"]) if adaptation.get("contentType") == "video"]
        self.assertTrue(sets)
        self.assertEqual(sets[0].find("mpd:Representation", Mpd).get("codecs"), codecs)
        for adaptation in sets:
            properties = {(element.tag.split("}")[1], element.get("schemeIdUri").rsplit(":", 1)[1], element.get("value"))
                          for element in adaptation if element.get("schemeIdUri", "").startswith("urn:mpeg:mpegB:cicp:")}
            transfer_kind = "EssentialProperty" if transfer == "pq" else "SupplementalProperty"
            self.assertEqual(properties, {("SupplementalProperty", "ColourPrimaries", "9"), (transfer_kind, "TransferCharacteristics", str(Transfers[transfer][0])),
                                          ("SupplementalProperty", "MatrixCoefficients", "9")})

    def test_encrypted_rows_decipher_to_pictures_that_decode(self):
        """cenc HEVC PQ and cbcs AV1 PQ: the protected entry keeps its colour
        boxes; deciphered with the key, the segment decodes as the clear one."""
        for scheme, (query, codec, profile, _) in (("cenc", self.Rows["pq", "hevc"]), ("cbcs", self.Rows["pq", "av1"])):
            with self.subTest(scheme=scheme, query=query):
                asset, _ = self.asset("?duration=12&%s&key=%s&scheme=%s" % (query, Key, scheme))
                header, bodies = self.video(asset, 0, [1])
                view = self.segment_views(header, bodies)["mp4box"]
                self.assertEqual((view["errors"], view["entry"], view["scheme"], view["colour"]["colr"]), ([], "encv", scheme, ["nclx", 9, 16, 9, 0]))
                plain_header, plain = decrypt_cenc(header, bodies[0], Key)
                self.expect_decoded(plain_header, plain, "pq", codec, profile)

    def test_cache_keeps_each_range_apart(self):
        """The same row, segment and codec made in 8 bits first, then PQ,
        then HLG: each answer is of its own range, not the cached other's."""
        made = []
        for query, transfer in (("hvc1", "bt709"), ("hdr=pq", "smpte2084"), ("hdr=hlg", "arib-std-b67"), ("hdr=pq", "smpte2084")):
            asset, _ = self.asset("?duration=12&" + query)
            header, bodies = self.video(asset, 0, [2])
            _, frames = self.frames(header, bodies[0])
            self.assertEqual(frames[0]["color_transfer"], transfer, query)
            made.append(bodies[0])
        self.assertEqual(made[1], made[3])
        self.assertEqual(len(set(made)), 3)

    def test_live_low_latency_part_decodes_as_pq(self):
        """Live low-latency PQ at a fixed "now": the master names the range
        and an independent part decodes as 10-bit PQ."""
        asset, master = self.asset("?live&ll&hdr=pq&now=" + Start)
        self.assertIn("VIDEO-RANGE=PQ", master)
        playlist = self.fetch("video.m3u8?asset=%d&variant=0&now=%s" % (asset, Later)).decode()
        part = re.findall(r'URI="(video-body\.mp4\?[^"]*&part=\d+)",INDEPENDENT=YES', playlist)[0]
        header = self.fetch(re.search(r'#EXT-X-MAP:URI="([^"]+)"', playlist).group(1))
        stream, frames = self.frames(header, self.fetch(part))
        self.assertEqual((stream["pix_fmt"], frames[0]["color_transfer"]), ("yuv420p10le", "smpte2084"))

if __name__ == "__main__":
    unittest.main()
