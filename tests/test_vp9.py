# SPDX-License-Identifier: GPL-2.0-or-later
"""VP9 video ("vp9", "codecswitch=S:vp9") as others read it: ffprobe decodes
the segments with the stated size, frame count, key frames and colours;
mp4box and codem-isoboxer read the vp09 entry, its vpcC and the sync
samples; hls-parser and mpd-parser read the manifests; cenc and cbcs
segments, deciphered with the key, hold the clear segments' frames, which
ffmpeg decodes without a complaint; GStreamer plays every picture of HLS
on the grid.
How vpcC and the codecs text follow the key frame's header, and which bytes
are protected, is Mp4Vp9Test's."""

import re
import unittest

from media_client import MediaClient, playback_checks_wanted

Key = "00112233445566778899AABBCCDDEEFF"
# Profile 0, level 3.1 (720p25) or 3 (540p1), 8 bits, 4:2:0; BT.709
# primaries and transfer, SMPTE 170M matrix, limited range.
MainCodecs = "vp09.00.31.08.00.01.01.06.00"
TrickPlayCodecs = "vp09.00.30.08.00.01.01.06.00"


class Vp9Test(MediaClient, unittest.TestCase):
    def test_rows_decode_with_their_size_frames_and_key_frames(self):
        rows = self.expect_rows("vp9", "vp09", "vp9")
        dash = self.fetch("manifest.mpd?vp9&duration=12").decode()
        # The DASH presentation's periods have the main row only.
        self.assertEqual(set(re.findall(r'<Representation id="\d+" bandwidth="\d+" codecs="(vp09[^"]*)" width', dash)), {MainCodecs})
        for (codecs, views), expected in zip(rows, (MainCodecs, TrickPlayCodecs)):
            with self.subTest(codecs=expected):
                self.assertEqual(codecs, expected)
                # Both readers find vpcC as the codecs text describes it
                # (vpcC has the range flag before the colours, the text after).
                fields = [int(field) for field in codecs.split(".")[1:]]
                self.assertEqual([views[reader]["vpcC"] for reader in ("mp4box", "isoboxer")], [fields[:4] + fields[7:] + fields[4:7]] * 2)
                self.assertEqual(views["mp4box"]["codecs"], codecs[:len("vp09.00.31.08")])

    def test_codec_switch_to_vp9_decodes_on_both_sides(self):
        self.expect_codec_switch("vp9", "vp09", "vp9")

    def test_encrypted_segments_decipher_to_the_clear_frames(self):
        self.expect_deciphered("vp9&duration=12", Key, lambda scheme, view, header: self.assertEqual(view["vpcC"], [0, 31, 8, 0, 0, 1, 1, 6]))

    @unittest.skipUnless(playback_checks_wanted(), "playback checks are off")
    def test_gstreamer_plays_every_picture_on_the_grid(self):
        """VP9 over HLS; across the switches of a DASH presentation,
        test_changes.py's (HEVC)."""
        self.expect_pictures_on_the_grid("master.m3u8?vp9&duration=12", 12)


if __name__ == "__main__":
    unittest.main()
