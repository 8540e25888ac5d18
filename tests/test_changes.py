# SPDX-License-Identifier: GPL-2.0-or-later
"""Changes mid-stream ("disc", "codecswitch", "sizeswitch", "clearlead",
"rotate", "audiokey") as readers written by others find them: hls-parser
(strict) and m3u8-parser read the playlists, mpd-parser the manifests,
ffprobe both sides of every change, and openssl works out the rotated keys
the way the README tells testers to, with which ffmpeg deciphers the media.
Where the changes fall and what each playlist line says is ChangeTest's."""

import base64
import json
import re
import unittest

from media_client import MediaClient, playback_checks_wanted, sample_bytes
from quorvel_harness import run_tool

Key = "00112233445566778899AABBCCDDEEFF"
AudioKey = "0F0E0D0C0B0A09080706050403020100"
FirstKeyId = "A3F1C6D2847B4E09B5E2D7C8196F3A40"


def key_id(epoch, audio=False):
    """The key ID of an epoch, as the README describes it."""
    value = bytearray.fromhex(FirstKeyId)
    value[12:16] = ((int.from_bytes(value[12:16], "big") + epoch) % 2**32).to_bytes(4, "big")
    if audio:
        value[0] ^= 0xFF
    return value.hex().upper()


def derived_key(base, epoch, audio=False):
    """The key of an epoch: AES-128 of its key ID under the track's key (openssl)."""
    if epoch == 0:
        return base
    output, _ = run_tool(["openssl", "enc", "-aes-128-ecb", "-nopad", "-K", base], data=bytes.fromhex(key_id(epoch, audio)))
    return output.hex().upper()


def annex_b(samples):
    """Samples of length-prefixed NAL units as one Annex B stream."""
    stream = bytearray()
    for sample in samples:
        while sample:
            size = int.from_bytes(sample[:4], "big")
            stream += b"\0\0\0\1" + sample[4:4 + size]
            sample = sample[4 + size:]
    return bytes(stream)


class ChangeTest(MediaClient, unittest.TestCase):
    def expect_clear(self, track, samples, plain):
        """Samples of a segment in the clear: pictures (the first led by the
        parameter sets) that ffprobe decodes without a complaint (they show
        the change, the plain asset's do not), audio as the plain asset has it."""
        if track == "audio":
            self.assertEqual(samples, sample_bytes(plain))
            return
        output, errors = run_tool(["ffprobe", "-v", "warning", "-f", "h264", "-count_frames", "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0",
                                   self.file(annex_b(samples), ".h264")])
        self.assertEqual((errors, int(output)), ("", len(samples)))

    def stream(self, header, segment):
        """ffprobe's view of a segment, every frame decoded without a
        complaint: codec, size and its first time."""
        output, errors = run_tool(["ffprobe", "-v", "warning", "-count_frames", "-of", "json", "-show_entries",
                                   "stream=codec_name,width,height,nb_read_frames:packet=pts_time", self.file(header + segment)])
        self.assertEqual(errors, "")
        view = json.loads(output)
        self.assertGreater(int(view["streams"][0]["nb_read_frames"]), 0)
        stream = view["streams"][0]
        return stream["codec_name"], stream.get("width"), stream.get("height"), min(float(packet["pts_time"]) for packet in view["packets"])

    def test_hls_restarts_and_switches_read_by_others(self):
        asset, master = self.asset("?duration=24&disc=12&sizeswitch=12&codecswitch=12")
        codecs = self.playlist_views(master)["hlsParser"]["variants"][0]["codecs"]
        self.assertTrue(codecs.startswith("avc1.") and ",hvc1." in codecs, codecs)
        playlist = self.fetch("video.m3u8?asset=%d&variant=0" % asset).decode()
        self.playlist_views(playlist)
        self.assertEqual(playlist.count("#EXT-X-DISCONTINUITY\r\n"), 1, playlist)
        self.assertIn('#EXT-X-DISCONTINUITY\r\n#EXT-X-MAP:URI="video-header.mp4?asset=%d&variant=0&at=4"\r\n#EXTINF:3.000,\r\n'
                      'video-body.mp4?asset=%d&variant=0&index=4\r\n' % (asset, asset), playlist)
        before = self.stream(self.fetch("video-header.mp4?asset=%d&variant=0" % asset), self.fetch("video-body.mp4?asset=%d&variant=0&index=3" % asset))
        after = self.stream(self.fetch("video-header.mp4?asset=%d&variant=0&at=4" % asset), self.fetch("video-body.mp4?asset=%d&variant=0&index=4" % asset))
        self.assertEqual(before[:3], ("h264", 1280, 720))
        self.assertEqual(after[:3], ("hevc", 640, 360))
        self.assertAlmostEqual(before[3], 9, delta=0.2)
        self.assertAlmostEqual(after[3], 0, delta=0.2, msg="the timeline restarts at 12 s")
        audio = self.stream(self.fetch("audio-header.mp4?asset=%d" % asset), self.fetch("audio-body.mp4?asset=%d&index=2" % asset))
        self.assertAlmostEqual(audio[3], 0, delta=0.05)

    @unittest.skipUnless(playback_checks_wanted(), "playback checks are off")
    def test_gstreamer_plays_every_picture_across_the_changes(self):
        """GStreamer's playbin shows every picture of 24 s at its place on the
        40 ms grid, in order, none twice and none missing, the audio starting
        with the video: across a size switch of HEVC in HLS (the one player
        here that decodes HEVC), and across a restart, a size and a codec
        switch from H.264 in DASH. It never shows a picture before its decode
        time, so exact times also show that no picture decodes after it
        presents. (Its HLS demuxer gives every picture after a restart one
        time, and stops the video at a codec switch.)"""
        for query in ("master.m3u8?duration=24&sizeswitch=12&hvc1", "manifest.mpd?duration=24&disc=12&sizeswitch=12&codecswitch=12"):
            self.assertEqual(self.expect_pictures_on_the_grid(query, 24)[:1], [0], query)

    def test_live_windows_slide_across_the_changes(self):
        """Playlists of a live window read by others as it slides past two
        restarts, the low-latency form too: the count of discontinuities
        before the window grows as they leave it."""
        for extra in ("", "&ll"):
            asset, _ = self.asset("?live&lv=12&disc=12&sizeswitch=6&key=%s&rotate=6&now=1700000000000%s" % (Key, extra))
            counts = []
            for seconds in (20, 32, 44):
                text = self.fetch("video.m3u8?asset=%d&variant=0&now=%d" % (asset, 1700000000000 + seconds * 1000)).decode()
                self.playlist_views(text)
                counts.append(int(re.search(r"#EXT-X-DISCONTINUITY-SEQUENCE:(\d+)", text).group(1)))
            self.assertEqual(counts, sorted(counts), extra)
            self.assertGreater(counts[-1], counts[0], extra)

    def test_keys_rotate_after_a_clear_lead_and_audio_has_its_own(self):
        asset, _ = self.asset("?duration=36&key=%s&audiokey=%s&keyformat=c&clearlead=12&rotate=12" % (Key, AudioKey))
        plain, _ = self.asset("?duration=36")
        playlist = self.fetch("video.m3u8?asset=%d&variant=0" % asset).decode()
        self.playlist_views(playlist)
        self.assertEqual(re.findall(r"KEYID=0x(\w+)", playlist), [key_id(1), key_id(2)], "none in the clear lead, then one per epoch")
        clear_header = self.fetch("video-header.mp4?asset=%d&variant=0" % asset)
        self.assertNotIn(b"encv", clear_header)
        self.assertEqual(self.stream(clear_header, self.fetch("video-body.mp4?asset=%d&variant=0&index=0" % asset))[0], "h264")
        for track, epoch, index in (("video", 1, 4), ("video", 2, 8), ("audio", 1, 2)):
            audio = track == "audio"
            key = derived_key(AudioKey if audio else Key, epoch, audio)
            self.assertEqual(self.fetch("key?asset=%d&kid=%s" % (asset, key_id(epoch, audio))).hex().upper(), key)
            variant = "" if audio else "&variant=0"
            header = self.fetch("%s-header.mp4?asset=%d%s&at=%d" % (track, asset, variant, index))
            self.assertIn(bytes.fromhex(key_id(epoch, audio)), header, "the tenc names the epoch's key ID")
            body = lambda number: self.fetch("%s-body.mp4?asset=%d%s&index=%d" % (track, number, variant, index))
            self.expect_clear(track, self.samples(header, body(asset), key), body(plain))
        kids = [base64.urlsafe_b64encode(bytes.fromhex(key_id(1, audio))).decode().rstrip("=") for audio in (False, True)]
        licence = json.loads(self.fetch("clearkey?asset=%d" % asset, method="POST", body=json.dumps({"kids": kids, "type": "temporary"}).encode()))
        self.assertEqual([entry["kid"] for entry in licence["keys"]], kids)

    def test_keys_said_in_the_fragments_read_and_decipher(self):
        """DASH with "inband": the fragments of a later epoch name their key
        (a sample group and pssh boxes), which mp4box and codem-isoboxer
        read, as they read the clear lead; ffmpeg deciphers the epoch with
        its own key, not the header's, and the clear lead holds the clear
        samples. (The boxes' bytes are Mp4FragmentProtectionTest's.)"""
        asset, _ = self.asset("?duration=24&key=%s&clearlead=6&rotate=6&inband&cp" % Key, "manifest.mpd")
        plain, _ = self.asset("?duration=24", "manifest.mpd")
        # Video segments 0 and 4 and audio segments 0 and 2: the clear lead, and key epoch 2 (12 s to 18 s).
        for track, query, later in (("video", "&variant=0", 4), ("audio", "", 2)):
            with self.subTest(track=track):
                media = lambda number, index: self.fetch("%s-body.mp4?asset=%d%s&index=%d" % (track, number, query, index))
                header = self.fetch("%s-header.mp4?asset=%d%s" % (track, asset, query))
                views = self.segment_views(header, [media(asset, 0), media(asset, later)])
                for reader in ("mp4box", "isoboxer"):
                    self.assertEqual(views[reader]["errors"], [], reader)
                    lead, epoch = views[reader]["segments"]
                    self.assertEqual({auxiliary["senc"] for auxiliary in lead["auxiliary"]}, {None}, reader)
                    if track == "video":
                        self.assertTrue(all(auxiliary["saio"] == [auxiliary["sencEntriesAt"]] for auxiliary in epoch["auxiliary"]), reader)
                self.expect_clear(track, sample_bytes(media(asset, 0)), media(plain, 0))
                deciphered = self.samples(header, media(asset, later), derived_key(Key, 2))
                self.expect_clear(track, deciphered, media(plain, later))
                self.assertNotEqual(self.samples(header, media(asset, later), Key), deciphered)

    def test_dash_periods_read_by_mpd_parser(self):
        for query in ("?duration=24&disc=12&key=%s&cp&rotate=12" % Key, "?live&ll&disc=12&sizeswitch=6&lv=30"):
            video = [playlist for playlist in self.mpd_views(self.fetch("manifest.mpd" + query))["playlists"] if playlist["attributes"].get("RESOLUTION")]
            self.assertTrue(video, query)
            if "live" in query:
                continue
            # Every template number names the segment of its time, across the restart.
            segments = video[0]["segments"]
            numbers = [int(re.search(r"index=(\d+)", segment["uri"]).group(1)) - int(re.search(r"baseIndex=(-?\d+)", segment["uri"]).group(1)) for segment in segments]
            self.assertEqual(numbers, list(range(8)), query)
            self.assertEqual([segment.get("discontinuity", False) for segment in segments].count(True), 1, "one period join")


if __name__ == "__main__":
    unittest.main()
