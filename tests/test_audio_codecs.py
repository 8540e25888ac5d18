# SPDX-License-Identifier: GPL-2.0-or-later
"""Opus, AC-3 and E-AC-3 audio ("audio=opus", "audio=aac,ec3") as others
read it: ffmpeg decodes each row's segments with the codec, channels, rate
and length the manifests state; mp4box and codem-isoboxer read the sample
entry, and for Opus the edit that takes the pre-skip off and the roll groups;
hls-parser and mpd-parser read the manifests of alternatives; an encrypted
row, deciphered with its key, decodes as the clear one does. The fields of
dOps, dac3 and dec3 are Mp4CodecRecordTest's, how segments join
AudioEncoderTest's, how players choose the browser suite's. With "ch=6"
every codec carries 5.1 whose second s sounds from the s-th speaker of the
round, as a decoder lays the channels out."""

import array
import unittest
import xml.etree.ElementTree as ElementTree

from media_client import MediaClient, decrypt_cenc, gstreamer_times, playback_checks_wanted
from quorvel_harness import run_tool

Key = "00112233445566778899AABBCCDDEEFF"
Space = {"mpd": "urn:mpeg:dash:schema:mpd:2011"}
# The name of each codec in the query: the decoder ffmpeg picks, the sample
# entry, the codecs text and the samples a frame holds.
Codecs = {"opus": ("opus", "Opus", "opus", 960), "ac3": ("ac3", "ac-3", "ac-3", 1536), "ec3": ("eac3", "ec-3", "ec-3", 1536)}
OpusPreSkip = 312


class AudioCodecsTest(MediaClient, unittest.TestCase):
    def row(self, asset, codec, indexes):
        """Header and media segments of the asset's audio row in codec."""
        return (self.fetch("audio-header.mp4?asset=%d&audio=%s" % (asset, codec)),
                [self.fetch("audio-body.mp4?asset=%d&audio=%s&index=%d" % (asset, codec, index)) for index in indexes])

    def decoded(self, data):
        """ffprobe's codec, channels and rate, and the samples ffmpeg decodes
        (16-bit stereo), read and decoded without a complaint."""
        stream = self.probe(data, "stream=codec_name,channels,sample_rate")["streams"][0]
        pcm, errors = run_tool(["ffmpeg", "-v", "warning", "-i", self.file(data), "-f", "s16le", "-"])
        self.assertEqual(errors, "")
        return (stream["codec_name"], stream["channels"], int(stream["sample_rate"])), pcm

    def test_rows_decode_with_the_codec_channels_rate_and_length_the_manifests_state(self):
        # 8 s: a whole segment of 6 s and a short one of 2 s.
        asset, master = self.asset("?audio=opus,ac3,ec3&duration=8")
        variants = self.playlist_views(master)["hlsParser"]["variants"]
        mpd = self.fetch("manifest.mpd?audio=opus,ac3,ec3&duration=8").decode()
        sets = ElementTree.fromstring(mpd).find("mpd:Period", Space).findall("mpd:AdaptationSet[@contentType='audio']", Space)
        self.assertEqual(len(sets), 3)
        for (codec, (decoder, entry, text, frame)), adaptation in zip(Codecs.items(), sets):
            with self.subTest(codec=codec):
                # Every video variant is listed with the group of the codec, its audio named.
                listed = [variant for variant in variants if variant["audio"] == "audio-" + codec]
                self.assertEqual(len(listed), 2)
                self.assertTrue(all(variant["codecs"].endswith("," + text) for variant in listed), listed)
                representation = adaptation.find("mpd:Representation", Space)
                channels = representation.find("mpd:AudioChannelConfiguration", Space)
                self.assertEqual(representation.get("codecs"), text)
                # Dolby's scheme and loudspeaker mask for AC-3 and E-AC-3, MPEG's channel count for Opus.
                self.assertEqual((channels.get("schemeIdUri"), channels.get("value")),
                                 ("urn:mpeg:dash:23003:3:audio_channel_configuration:2011", "2") if codec == "opus" else
                                 ("tag:dolby.com,2014:dash:audio_channel_configuration:2011", "A000"))

                header, bodies = self.row(asset, codec, [0, 1])
                stream, pcm = self.decoded(header + b"".join(bodies))
                self.assertEqual(stream, (decoder, 2, int(representation.get("audioSamplingRate"))))
                # 8 s of frames, of which a decoder of Opus leaves out the pre-skip the edit says.
                self.assertEqual(len(pcm) // 4, 8 * 48000 - (OpusPreSkip if codec == "opus" else 0))

                views = self.segment_views(header, bodies)
                self.assertEqual(views["mp4box"]["audio"], views["isoboxer"]["audio"])
                for reader in ("mp4box", "isoboxer"):
                    view = views[reader]
                    self.assertEqual((view["errors"], view["entry"], view["timescale"]), ([], entry, 48000), reader)
                    samples = [sample for segment in view["segments"] for sample in segment["samples"]]
                    self.assertEqual({sample[2] for sample in samples}, {frame}, reader)
                    self.assertEqual(sum(sample[2] for sample in samples), 8 * 48000, reader)
                    self.assertTrue(all(sample[4] for sample in samples), reader)
                    rolls = [roll for segment in view["segments"] for roll in segment["rolls"]]
                    self.assertEqual(rolls, [[[1, 1]] if codec == "opus" else None] * len(samples), reader)
                self.assertEqual(views["mp4box"]["codecs"].lower(), text)
                audio = views["mp4box"]["audio"]
                if codec == "opus":
                    # The pre-skip of dOps, taken off once by the edit; 80 ms of pre-roll.
                    self.assertEqual(int(audio["config"][len("dOps:") + 4:len("dOps:") + 8], 16), OpusPreSkip)
                    self.assertEqual((audio["editMediaTime"], audio["rollDistance"]), (OpusPreSkip, -4))
                else:
                    self.assertEqual((audio["config"][:5], audio["editMediaTime"], audio["rollDistance"]), ("dac3:" if codec == "ac3" else "dec3:", None, None))

    def test_alternatives_read_alike_in_both_manifests(self):
        asset, master = self.asset("?audio=aac,ec3")
        views = self.playlist_views(master)
        groups = {variant["audio"]: variant["codecs"].split(",")[-1] for variant in views["hlsParser"]["variants"]}
        self.assertEqual(groups, {"audio-aac": "mp4a.40.2", "audio-ec3": "ec-3"})
        self.assertEqual(len(views["hlsParser"]["variants"]), 4)
        for rendition in views["hlsParser"]["renditions"]:
            codec = rendition["uri"].rsplit("audio=", 1)[1]
            playlist = self.playlist_views(self.fetch(rendition["uri"]).decode())["hlsParser"]
            self.assertEqual(playlist["map"], "audio-header.mp4?asset=%d&audio=%s" % (asset, codec))
            self.assertTrue(all("&audio=%s&index=" % codec in segment["uri"] for segment in playlist["segments"]), playlist)

        result = self.mpd_views(self.fetch("manifest.mpd?audio=aac,ec3"))
        playlists = [playlist for group in result["mediaGroups"]["AUDIO"].values() for rendition in group.values()
                     for playlist in rendition["playlists"]]
        codecs = {playlist["attributes"]["CODECS"]: playlist["segments"][0]["resolvedUri"] for playlist in playlists}
        self.assertEqual(sorted(codecs), ["ec-3", "mp4a.40.2"])
        self.assertIn("audio=ec3", codecs["ec-3"])
        self.assertIn("audio=aac", codecs["mp4a.40.2"])

    def test_encrypted_rows_decipher_to_what_the_clear_rows_decode(self):
        clear, _ = self.asset("?audio=opus,ac3,ec3")
        for scheme in ("cenc", "cbcs"):
            encrypted, _ = self.asset("?audio=opus,ac3,ec3&key=%s&scheme=%s" % (Key, scheme))
            for codec, (_, entry, _, _) in Codecs.items():
                with self.subTest(scheme=scheme, codec=codec):
                    header, bodies = self.row(encrypted, codec, [1])
                    views = self.segment_views(header, bodies)
                    for reader in ("mp4box", "isoboxer"):
                        view = views[reader]
                        # Whole samples: no subsamples, and in cbcs no pattern but every whole block.
                        self.assertEqual((view["errors"], view["entry"], view["scheme"], view["tenc"]["pattern"]), ([], "enca", scheme, [0, 0]), reader)
                        self.assertTrue(all(subsamples == [] for auxiliary in view["segments"][0]["auxiliary"] for _, subsamples in auxiliary["senc"]["entries"]))
                    self.assertEqual(views["mp4box"]["audio"], views["isoboxer"]["audio"])
                    self.assertEqual(header[header.index(b"frma") + 4:header.index(b"frma") + 8], entry.encode())
                    if scheme == "cenc":
                        clear_header, clear_bodies = self.row(clear, codec, [1])
                        self.assertEqual(self.decoded(b"".join(decrypt_cenc(header, bodies[0], Key))), self.decoded(clear_header + clear_bodies[0]))

    def test_surround_sounds_each_second_from_the_next_speaker(self):
        # 5.1 in every codec, 7 s: segment 0 holds the whole round of six speakers.
        for query in ("?audio=aac,opus,ac3&ch=6&duration=7", "?audio=ec3&ch=6&duration=7"):
            asset, master = self.asset(query)
            renditions = self.playlist_views(master)["hlsParser"]["renditions"]
            mpd = self.fetch("manifest.mpd" + query).decode()
            sets = ElementTree.fromstring(mpd).find("mpd:Period", Space).findall("mpd:AdaptationSet[@contentType='audio']", Space)
            for rendition, adaptation in zip(renditions, sets):
                codec = rendition["uri"].rsplit("audio=", 1)[1] if "audio=" in rendition["uri"] else "ec3"
                with self.subTest(codec=codec):
                    self.assertEqual(rendition["channels"], "6")
                    channels = adaptation.find("mpd:Representation/mpd:AudioChannelConfiguration", Space).get("value")
                    # Dolby's mask: left, centre, right, both surrounds and the LFE.
                    self.assertEqual(channels, "F801" if codec in ("ac3", "ec3") else "6")
                    header, bodies = self.row(asset, codec, [0])
                    data = header + bodies[0]
                    stream = self.probe(data, "stream=channels,channel_layout")["streams"][0]
                    self.assertEqual(stream["channels"], 6)
                    # ffmpeg hands 5.1 over as front left, front right, centre, LFE, left and right surround.
                    self.assertIn(stream["channel_layout"], ("5.1", "5.1(side)"))
                    pcm, errors = run_tool(["ffmpeg", "-v", "warning", "-i", self.file(data), "-f", "f32le", "-"])
                    self.assertEqual(errors, "")
                    samples = array.array("f", pcm)
                    loudest = []
                    for second in range(6):
                        burst = samples[second * 48000 * 6:(second * 48000 + 4800) * 6]
                        energies = sorted(((sum(value * value for value in burst[channel::6]), channel) for channel in range(6)), reverse=True)
                        loudest.append(energies[0][1])
                        # The others stay silent but for what the codec lets through.
                        self.assertGreater(energies[0][0], 30 * energies[1][0], (second, energies))
                    if codec == "opus":
                        config = self.segment_views(header, bodies)["mp4box"]["audio"]["config"][len("dOps:"):]
                        # Six channels in channel mapping family 1, with the streams and the mapping table.
                        self.assertEqual((config[2:4], config[20:22], len(config)), ("06", "01", 2 * 19))
                    self.assertEqual(loudest, [0, 2, 1, 5, 4, 3])

    @unittest.skipUnless(playback_checks_wanted(), "playback checks are off")
    def test_gstreamer_plays_every_codec_in_5_1(self):
        """playbin plays each codec's 5.1 to the end, every picture and 6 s
        of audio. (Its DASH demuxer now and then never ends the design's
        three periods with these codecs, even served from the cache.)"""
        for codec in Codecs:
            with self.subTest(codec=codec):
                video, audio = gstreamer_times(self.server.url("master.m3u8?audio=%s&ch=6&duration=6" % codec))
                self.assertEqual(len(video), 6 * 25, codec)
                self.assertGreater(audio[-1], 5.8 * 10**9, codec)


if __name__ == "__main__":
    unittest.main()
