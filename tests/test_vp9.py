# SPDX-License-Identifier: GPL-2.0-or-later
"""VP9 video ("vp9", "codecswitch=S:vp9") as others read it: ffprobe decodes
the segments with the stated size, frame count and key frames; mp4box and
codem-isoboxer read the vp09 entry, its vpcC and the sync samples;
hls-parser and mpd-parser read the manifests; cenc and cbcs segments,
deciphered with the key, hold the clear segments' frames, which ffmpeg
decodes without a complaint; GStreamer plays every picture on the grid.
How vpcC and the codecs text follow the key frame's header, and which bytes
are protected, is Mp4Vp9Test's."""

import re
import unittest

from media_client import MediaClient, decrypt_cenc, gstreamer_times, playback_checks_wanted
from quorvel_harness import top_level_boxes

Key = "00112233445566778899AABBCCDDEEFF"
# Profile 0, level 3.1 (720p25) or 3 (540p1), 8 bits, 4:2:0; BT.709
# primaries and transfer, SMPTE 170M matrix, limited range.
MainCodecs = "vp09.00.31.08.00.01.01.06.00"
TrickPlayCodecs = "vp09.00.30.08.00.01.01.06.00"


def media_data(segment):
    return b"".join(box[8:] for kind, box in top_level_boxes(segment) if kind == "mdat")


class Vp9Test(MediaClient, unittest.TestCase):
    def test_rows_decode_with_their_size_frames_and_key_frames(self):
        asset, master = self.asset("?vp9&duration=12")
        variants = self.playlist_views(master)["hlsParser"]["variants"]
        dash = self.fetch("manifest.mpd?vp9&duration=12").decode()
        dash_codecs = re.findall(r'<Representation id="\d+" bandwidth="\d+" codecs="(vp09[^"]*)" width', dash)
        # The DASH presentation's periods have the main row only.
        self.assertEqual(set(dash_codecs), {MainCodecs})
        # The main row at 25 fps (a key frame every second) and the 1 fps
        # trick-play row of key frames only.
        for variant, size, frames, keys, codecs in ((0, (1280, 720), 75, [0, 25, 50], MainCodecs), (1, (960, 540), 3, [0, 1, 2], TrickPlayCodecs)):
            with self.subTest(variant=variant):
                self.assertEqual(variants[variant]["codecs"].split(",")[0], codecs)
                header, bodies = self.video(asset, variant, [1 if variant == 0 else 0])
                self.assertEqual(self.decoded(header, bodies[0]), ("vp9",) + size + (frames, keys))
                views = self.segment_views(header, bodies)
                # Both readers find vpcC as the codecs text describes it
                # (vpcC has the range flag before the colours, the text after).
                fields = [int(field) for field in codecs.split(".")[1:]]
                fields = fields[:4] + fields[7:] + fields[4:7]
                for reader in ("mp4box", "isoboxer"):
                    view = views[reader]
                    self.assertEqual((view["errors"], view["entry"], view["vpcC"]), ([], "vp09", fields), reader)
                    samples = view["segments"][0]["samples"]
                    self.assertEqual([index for index, sample in enumerate(samples) if sample[4]], keys, reader)
                self.assertEqual(views["mp4box"]["codecs"], codecs[:len("vp09.00.31.08")])

    def test_codec_switch_to_vp9_decodes_on_both_sides(self):
        self.expect_codec_switch("vp9", "vp09", "vp9")

    def test_encrypted_segments_decipher_to_the_clear_frames(self):
        """Deciphered with the key, a cenc or cbcs segment holds the very
        frames of the clear one, and they decode; as served, they differ."""
        clear_asset, _ = self.asset("?vp9&duration=12")
        _, clear_bodies = self.video(clear_asset, 0, [1])
        clear = media_data(clear_bodies[0])
        for scheme in ("cenc", "cbcs"):
            with self.subTest(scheme=scheme):
                asset, _ = self.asset("?vp9&duration=12&key=%s&scheme=%s" % (Key, scheme))
                header, bodies = self.video(asset, 0, [1])
                view = self.segment_views(header, bodies)["mp4box"]
                self.assertEqual((view["errors"], view["entry"], view["scheme"], view["vpcC"]), ([], "encv", scheme, [0, 31, 8, 0, 0, 1, 1, 6]))
                self.assertNotEqual(media_data(bodies[0]), clear)
                plain_header, plain = decrypt_cenc(header, bodies[0], Key)
                self.assertEqual(media_data(plain), clear)
                self.assertEqual(self.decoded(plain_header, plain), ("vp9", 1280, 720, 75, [0, 25, 50]))

    @unittest.skipUnless(playback_checks_wanted(), "playback checks are off")
    def test_gstreamer_plays_every_picture_on_the_grid(self):
        """playbin plays every picture of VP9 HLS, and of DASH across the
        switches from H.264 to VP9 and back, at its time."""
        for query, seconds in (("master.m3u8?vp9&duration=12", 12), ("manifest.mpd?duration=24&codecswitch=12:vp9", 24)):
            if query.startswith("manifest.mpd"):
                self.make_every_segment(query)
            video, audio = gstreamer_times(self.server.url(query))
            self.assertEqual(video, [index * 4 * 10**7 for index in range(seconds * 25)], query)
            self.assertTrue(audio, query)


if __name__ == "__main__":
    unittest.main()
