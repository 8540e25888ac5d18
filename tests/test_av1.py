# SPDX-License-Identifier: GPL-2.0-or-later
"""AV1 video ("av1", "codecswitch=S:av1") as others read it: ffprobe decodes
the segments (libdav1d, the decoder it picks for AV1 here) with the stated
size, frame count and key frames; mp4box and codem-isoboxer read the av01
entry and the sync samples; hls-parser and mpd-parser read the manifests;
cenc and cbcs segments, deciphered with the key, hold the clear segments'
frames, which ffmpeg decodes without a complaint, and protect exactly the
tile data ffmpeg's own reading of the frame headers finds; GStreamer
(libaom) plays every picture on the grid.
How av1C and the codecs text follow the sequence header is Mp4Av1Test's."""

import re
import unittest
from concurrent.futures import ThreadPoolExecutor

from media_client import MediaClient, decrypt_cenc, gstreamer_times, playback_checks_wanted, run_tool
from quorvel_harness import top_level_boxes

Key = "00112233445566778899AABBCCDDEEFF"


def media_data(segment):
    return b"".join(box[8:] for kind, box in top_level_boxes(segment) if kind == "mdat")


def tile_starts(client, header, segment):
    """Where the tile data of each frame begins, in bytes from its sample's
    start, by ffmpeg's own reading of the OBUs (trace_headers): a trace line
    is the bit position from the OBU's start, the name, the bits, "=" and the
    value; a frame OBU's tile group starts at the byte after its header's
    last bit."""
    _, trace = run_tool(["ffmpeg", "-v", "trace", "-i", client.file(header + segment), "-map", "0:0", "-c", "copy", "-bsf:v", "trace_headers", "-f", "null", "-"])
    starts, obu, next_obu, size_end, last_bit = [], 0, 0, 0, 0
    for line in trace.splitlines():
        if not line.startswith("[trace_headers") or "] " not in line:
            continue
        text = line.split("] ", 1)[1]
        fields = text.split()
        if text.startswith("Packet:"):
            starts.append([])
            next_obu = 0
        elif text == "OBU header":
            obu, size_end = next_obu, 0
        elif text == "Tile Group" and starts:
            starts[-1].append(obu + (last_bit + 7) // 8)
        elif fields and fields[0].isdigit():
            last_bit = int(fields[0]) + (len(fields[2]) if fields[2] != "=" else 0)
            if fields[1].startswith("leb128_byte") and not size_end:
                size_end = last_bit
            if fields[1] == "obu_size":
                next_obu = obu + size_end // 8 + int(fields[-1])
    return starts


class Av1Test(MediaClient, unittest.TestCase):
    def test_rows_decode_with_their_size_frames_and_key_frames(self):
        asset, master = self.asset("?av1&duration=12")
        variants = self.playlist_views(master)["hlsParser"]["variants"]
        dash = self.fetch("manifest.mpd?av1&duration=12").decode()
        dash_codecs = re.findall(r'<Representation id="\d+" bandwidth="\d+" codecs="(av01[^"]*)" width', dash)
        # The main row at 25 fps (a key frame every second) and the 1 fps
        # trick-play row of key frames only.
        for variant, size, frames, keys in ((0, (1280, 720), 75, [0, 25, 50]), (1, (960, 540), 3, [0, 1, 2])):
            with self.subTest(variant=variant):
                header, bodies = self.video(asset, variant, [1 if variant == 0 else 0])
                self.assertEqual(self.decoded(header, bodies[0]), ("av1",) + size + (frames, keys))
                views = self.segment_views(header, bodies)
                for reader in ("mp4box", "isoboxer"):
                    view = views[reader]
                    self.assertEqual((view["errors"], view["entry"]), ([], "av01"), reader)
                    samples = view["segments"][0]["samples"]
                    self.assertEqual([index for index, sample in enumerate(samples) if sample[4]], keys, reader)
                # The text the manifests give begins with what mp4box derives
                # from av1C, and adds the colours (BT.601 matrix, limited range).
                codecs = variants[variant]["codecs"].split(",")[0]
                self.assertEqual(codecs, views["mp4box"]["codecs"] + ".0.110.01.01.06.0")
                if variant == 0:
                    self.assertIn(codecs, dash_codecs)

    def test_rows_made_at_once_all_arrive(self):
        """The library keeps process-wide state that encoders at work at once
        corrupted: segments of the main and the 1 fps row asked for together
        all arrive whole, and the server lives on (the class's teardown
        checks how it ends)."""
        asset, _ = self.asset("?av1&duration=180")
        # Two in three of the 1 fps row, whose runs start an encoder a picture.
        paths = ["video-body.mp4?asset=%d&variant=%d&index=%d" % (asset, int(k % 3 != 0), 7 * k % 60) for k in range(24)]
        with ThreadPoolExecutor(max_workers=4) as pool:
            bodies = list(pool.map(self.fetch, paths))
        for path, body in zip(paths, bodies):
            self.assertEqual(body[4:8], b"moof", path)

    def test_encrypted_segments_protect_the_tile_data_and_decipher_to_the_clear_frames(self):
        """Under cenc and cbcs the av01 entry is wrapped in encv; every
        sample keeps clear exactly what comes before its tile data (OBU
        headers and sizes, sequence and frame headers): cbcs protects the
        tile whole, cenc its whole blocks up to its end. Deciphered with the
        key, the segment holds the very frames of the clear one, and they
        decode."""
        clear_asset, _ = self.asset("?av1&duration=12")
        clear_header, clear_bodies = self.video(clear_asset, 0, [1])
        clear = media_data(clear_bodies[0])
        starts = tile_starts(self, clear_header, clear_bodies[0])
        # One tile a frame, one frame a sample.
        self.assertEqual([len(frame) for frame in starts], [1] * 75)
        for scheme in ("cenc", "cbcs"):
            with self.subTest(scheme=scheme):
                asset, _ = self.asset("?av1&duration=12&key=%s&scheme=%s" % (Key, scheme))
                header, bodies = self.video(asset, 0, [1])
                view = self.segment_views(header, bodies)["mp4box"]
                self.assertEqual((view["errors"], view["entry"], view["scheme"]), ([], "encv", scheme))
                self.assertEqual(header[header.index(b"frma") + 4:][:4], b"av01")
                segment = view["segments"][0]
                sizes = [sample[3] for sample in segment["samples"]]
                layouts = [entry[1] for auxiliary in segment["auxiliary"] for entry in auxiliary["senc"]["entries"]]
                expected = []
                for size, (start,) in zip(sizes, starts):
                    tile = size - start
                    protected = tile if scheme == "cbcs" else tile // 16 * 16
                    expected.append([[size - protected, protected]])
                self.assertEqual(layouts, expected)
                self.assertNotEqual(media_data(bodies[0]), clear)
                plain_header, plain = decrypt_cenc(header, bodies[0], Key)
                self.assertEqual(media_data(plain), clear)
                self.assertEqual(self.decoded(plain_header, plain), ("av1", 1280, 720, 75, [0, 25, 50]))

    def test_codec_switch_to_av1_decodes_on_both_sides(self):
        self.expect_codec_switch("av1", "av01", "av1")

    @unittest.skipUnless(playback_checks_wanted(), "playback checks are off")
    def test_gstreamer_plays_every_picture_on_the_grid(self):
        """playbin plays every picture of AV1 HLS, and of DASH across the
        switches from H.264 to AV1 and back, at its time."""
        for query, seconds in (("master.m3u8?av1&duration=12", 12), ("manifest.mpd?duration=24&codecswitch=12:av1", 24)):
            if query.startswith("manifest.mpd"):
                self.make_every_segment(query)
            video, audio = gstreamer_times(self.server.url(query))
            self.assertEqual(video, [index * 4 * 10**7 for index in range(seconds * 25)], query)
            self.assertTrue(audio, query)


if __name__ == "__main__":
    unittest.main()
