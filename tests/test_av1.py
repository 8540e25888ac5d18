# SPDX-License-Identifier: GPL-2.0-or-later
"""AV1 video ("av1", "codecswitch=S:av1") as others read it: ffprobe decodes
the segments (libdav1d, the decoder it picks for AV1 here) with the stated
size, frame count, key frames and colours; mp4box and codem-isoboxer read
the av01 entry and the sync samples; hls-parser and mpd-parser read the
manifests; cenc and cbcs segments, deciphered with the key, hold the clear
segments' frames, which ffmpeg decodes without a complaint, and protect
exactly the tile data ffmpeg's own reading of the frame headers finds;
GStreamer (libaom) plays every picture of HLS on the grid.
How av1C and the codecs text follow the sequence header is Mp4Av1Test's."""

import re
import unittest
from concurrent.futures import ThreadPoolExecutor

from media_client import MediaClient, playback_checks_wanted, run_tool

Key = "00112233445566778899AABBCCDDEEFF"


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
        rows = self.expect_rows("av1", "av01", "av1")
        dash = self.fetch("manifest.mpd?av1&duration=12").decode()
        dash_codecs = re.findall(r'<Representation id="\d+" bandwidth="\d+" codecs="(av01[^"]*)" width', dash)
        for codecs, views in rows:
            # The text the manifests give begins with what mp4box derives
            # from av1C, and adds the colours (BT.601 matrix, limited range).
            self.assertEqual(codecs, views["mp4box"]["codecs"] + ".0.110.01.01.06.0")
        self.assertIn(rows[0][0], dash_codecs)

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
        clear_header, (clear,) = self.video(self.asset("?av1&duration=12")[0], 0, [1])
        starts = tile_starts(self, clear_header, clear)
        # One tile a frame, one frame a sample.
        self.assertEqual([len(frame) for frame in starts], [1] * 75)

        def protects_the_tiles(scheme, view, header):
            self.assertEqual(header[header.index(b"frma") + 4:][:4], b"av01")
            sizes = [sample[3] for sample in view["segments"][0]["samples"]]
            layouts = [entry[1] for auxiliary in view["segments"][0]["auxiliary"] for entry in auxiliary["senc"]["entries"]]
            protected = [size - start if scheme == "cbcs" else (size - start) // 16 * 16 for size, (start,) in zip(sizes, starts)]
            self.assertEqual(layouts, [[[size - length, length]] for size, length in zip(sizes, protected)])

        self.expect_deciphered("av1&duration=12", Key, protects_the_tiles)

    def test_codec_switch_to_av1_decodes_on_both_sides(self):
        self.expect_codec_switch("av1", "av01", "av1")

    @unittest.skipUnless(playback_checks_wanted(), "playback checks are off")
    def test_gstreamer_plays_every_picture_on_the_grid(self):
        """AV1 over HLS; across the switches of a DASH presentation,
        test_changes.py's (HEVC)."""
        self.expect_pictures_on_the_grid("master.m3u8?av1&duration=12", 12)


if __name__ == "__main__":
    unittest.main()
