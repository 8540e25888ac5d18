# SPDX-License-Identifier: GPL-2.0-or-later
"""Conformance of everything the server emits, judged by readers others wrote.

- Segments: mp4box and codem-isoboxer (segment_readers.mjs) parse every
  initialisation and media segment kind without an error, agree with each
  other, and see what the standards ask for: sample counts and durations,
  and for encrypted segments tenc, pssh, senc, saiz and saio (ISO/IEC 23001-7);
  ffmpeg, given the key, deciphers them back to the clear samples.
- Playlists: hls-parser in strict mode and m3u8-parser (playlist_readers.mjs)
  read every playlist alike, key tags included (what they say is
  HlsPlaylistWriterTest's); xmllint and mpd-parser read every manifest.
- Manifests and media: channel count, sample rate, codecs and frame size in
  playlists and manifests equal what ffprobe and mp4box read from the
  segments, and the frame rate equals the spacing of the presentation times.
- Video timing: decode times never decrease within a track, every picture
  sits on the frame grid across segment joints and a key frame starts every
  second, as codem-isoboxer and ffprobe read them; ffprobe reads the colour
  signalling of every row.
- The Clear Key licence route, and the DASH content protection descriptors
  ("cp") that name it.
"""

import base64
import json
import re
import unittest
import uuid
import xml.etree.ElementTree as ElementTree

from media_client import MediaClient, sample_bytes
from quorvel_harness import run_tool

Key = "000102030405060708090A0B0C0D0E0F"
KeyId = "a3f1c6d2847b4e09b5e2d7c8196f3a40"
DefaultIv = "5c2e9a17b3d04f68e1a7c93b2d5f0a84"
PlayReadySystem = "9a04f07998404286ab92e65be0885f95"
# The fixed key ID in the GUID byte order of PlayReady headers.
PlayReadyKeyIdText = "0sbxo3uECU614tfIGW86QA=="
Space = {"mpd": "urn:mpeg:dash:schema:mpd:2011", "cenc": "urn:mpeg:cenc:2013", "mspr": "urn:microsoft:playready", "dashif": "https://dashif.org/CPS"}


def run(arguments):
    return run_tool(arguments)[0]


class Client(MediaClient):
    def readers(self, header, segments):
        """mp4box's and codem-isoboxer's views, after checking that both read
        without an error and agree."""
        views = self.segment_views(header, segments)
        mp4box, isoboxer = views["mp4box"], views["isoboxer"]
        self.assertEqual(mp4box["errors"], [])
        self.assertEqual(isoboxer["errors"], [])
        for field in ("entry", "timescale", "scheme", "tenc", "pssh"):
            self.assertEqual(mp4box[field], isoboxer[field], field)
        self.assertEqual(len(mp4box["segments"]), len(segments))
        for ours, theirs in zip(mp4box["segments"], isoboxer["segments"]):
            self.assertEqual(ours["sequences"], theirs["sequences"])
            self.assertEqual(ours["auxiliary"], theirs["auxiliary"])
            # Duration, size and sync flag of every sample, and where the
            # segment starts. mp4box takes later decode times from the sum of
            # the durations instead of each fragment's tfdt (see "Video timing"
            # in docs/architecture.md), so only the first ones are compared.
            self.assertEqual([sample[2:] for sample in ours["samples"]], [sample[2:] for sample in theirs["samples"]])
            self.assertEqual(ours["samples"][0][:2], theirs["samples"][0][:2])
        isoboxer["codecs"] = mp4box["codecs"]
        isoboxer["avcExtension"] = mp4box.get("avcExtension")
        return isoboxer


def playready_xml(object_bytes):
    """The WRMHEADER text of a PlayReady header object."""
    record_length = int.from_bytes(object_bytes[8:10], "little")
    return object_bytes[10:10 + record_length].decode("utf-16-le")


class SegmentReaders(Client, unittest.TestCase):
    def expect_protection(self, view, scheme, video):
        self.assertEqual(view["entry"], "encv" if video else "enca")
        self.assertEqual(view["scheme"], scheme)
        if scheme == "cenc":
            self.assertEqual(view["tenc"], {"isProtected": 1, "perSampleIvSize": 8, "pattern": [0, 0], "kid": KeyId, "constantIv": ""})
        else:
            self.assertEqual(view["tenc"], {"isProtected": 1, "perSampleIvSize": 0, "pattern": [1, 9] if video else [0, 0], "kid": KeyId, "constantIv": DefaultIv})
        # One PlayReady pssh (version 1) listing the key ID in UUID order,
        # whose header names it in GUID order.
        self.assertEqual([(box["version"], box["systemId"], box["kids"]) for box in view["pssh"]], [(1, PlayReadySystem, [KeyId])])
        xml = playready_xml(bytes.fromhex(view["pssh"][0]["data"]))
        self.assertIn("<KID>%s</KID>" % PlayReadyKeyIdText if scheme == "cenc" else 'VALUE="%s"' % PlayReadyKeyIdText, xml)
        ivs = {}
        for segment in view["segments"]:
            for auxiliary, sample in zip(segment["auxiliary"], segment["samples"]):
                entries = auxiliary["senc"]["entries"]
                self.assertEqual(len(entries), 1)
                iv, subsamples = entries[0]
                ivs.setdefault(iv, set()).add(sample[3])
                if video:
                    # saiz gives the size of the entry, saio points at it.
                    self.assertEqual(auxiliary["saiz"], [len(iv) // 2 + 2 + 6 * len(subsamples), 1, []])
                    self.assertEqual(auxiliary["saio"], [auxiliary["sencEntriesAt"]])
                    self.assertEqual(sum(clear + protected for clear, protected in subsamples), sample[3])
                else:
                    # Whole samples, described by senc alone (no saiz or saio for audio).
                    self.assertEqual((auxiliary["saiz"], auxiliary["saio"], subsamples), (None, None, []))
        if scheme == "cenc":
            # IVs come from a keyed hash of the sample: only equal samples (the
            # silent AAC frames between tone bursts) share one.
            self.assertTrue(all(len(sizes) == 1 for sizes in ivs.values()), "one IV for samples of different sizes")
            self.assertGreater(len(ivs), 1)
        else:
            self.assertEqual(set(ivs), {""}, "cbcs uses the constant IV")

    def expect_samples(self, view, per_segment, duration):
        for segment in view["segments"]:
            samples = segment["samples"]
            self.assertIn(len(samples), per_segment)
            self.assertTrue(samples[0][4], "a segment starts with a sync sample")
            self.assertEqual({sample[2] for sample in samples[:-1]}, {duration})

    def test_every_segment_kind(self):
        frame25 = lambda view: view["timescale"] // 25
        # (query, video variant or None for audio, samples per segment, sample duration)
        kinds = [
            ("", 0, {75}, frame25), ("?hvc1", 0, {75}, frame25), ("", 1, {3}, lambda view: view["timescale"]),
            ("", None, {281, 282}, lambda view: 1024), ("?flac", None, {75}, lambda view: 4096),
        ]
        for scheme in ("cenc", "cbcs"):
            query = "?key=%s&scheme=%s" % (Key, scheme)
            kinds += [(query, 0, {75}, frame25), (query + "&hvc1", 0, {75}, frame25), (query, 1, {3}, lambda view: view["timescale"]),
                      (query, None, {281, 282}, lambda view: 1024), (query + "&flac", None, {75}, lambda view: 4096)]
        for query, variant, per_segment, duration in kinds:
            with self.subTest(query=query, variant=variant):
                asset, _ = self.asset(query)
                header, segments = self.video(asset, variant, [1, 2]) if variant is not None else self.audio(asset, [1])
                view = self.readers(header, segments)
                self.expect_samples(view, per_segment, duration(view))
                self.assertEqual(view["segments"][-1]["sequences"][-1] - view["segments"][0]["sequences"][0] + 1,
                                 sum(len(segment["samples"]) for segment in view["segments"]), "fragments numbered without a gap")
                if "key=" in query:
                    self.expect_protection(view, "cbcs" if "cbcs" in query else "cenc", variant is not None)
                else:
                    self.assertIsNone(view["scheme"])
                    self.assertEqual(view["pssh"], [])
                if variant is not None and "hvc1" not in query:
                    # ISO/IEC 14496-15: High profile avcC ends with chroma format
                    # 1 (4:2:0), 8-bit luma and chroma, no SPS extensions.
                    self.assertEqual(view["avcExtension"], "fdf8f800")


class Decryption(Client, unittest.TestCase):
    def test_ffmpeg_deciphers_every_protected_kind_to_the_clear_samples(self):
        # How the ranges of a sample are laid out and ciphered is
        # Mp4EncryptionTest's; here another decryptor gets the samples back.
        for scheme in ("cenc", "cbcs"):
            for extra, variant in (("", 0), ("&hvc1", 0), ("", None)):
                with self.subTest(scheme=scheme, codec=extra, variant=variant):
                    def media(query):
                        asset, _ = self.asset(query)
                        return self.video(asset, variant, [1]) if variant is not None else self.audio(asset, [1])
                    clear = sample_bytes(media("?" + extra)[1][0])
                    header, (segment,) = media("?key=%s&scheme=%s%s" % (Key, scheme, extra))
                    self.assertNotEqual(sample_bytes(segment), clear, "the samples are ciphered")
                    self.assertEqual(self.samples(header, segment, Key), clear)


class PlaylistReaders(Client, unittest.TestCase):
    def read(self, path):
        text = self.fetch(path).decode()
        result = self.playlist_views(text)
        hls_parser, m3u8_parser = result["hlsParser"], result["m3u8Parser"]
        # Where the readers' models differ (playlist_readers.mjs): m3u8-parser
        # keeps the integer part of a target duration and has no CHANNELS;
        # hls-parser lists renditions through the variants that refer to them.
        for field in set(hls_parser) - {"renditions", "targetDuration"}:
            self.assertEqual(hls_parser[field], m3u8_parser[field], (path, field))
        if "targetDuration" in hls_parser:
            self.assertEqual(int(hls_parser["targetDuration"]), m3u8_parser["targetDuration"], path)
        if hls_parser.get("renditions"):
            self.assertEqual([{name: value for name, value in rendition.items() if name != "channels"} for rendition in hls_parser["renditions"]],
                             m3u8_parser["renditions"])
            self.assertEqual({rendition["channels"] for rendition in hls_parser["renditions"]}, {"2"})
        return hls_parser

    def test_every_playlist_reads_alike(self):
        for query in ("", "?hvc1&flac", "?novideo", "?noaudio", "?live&duration=60&pdt=6", "?atd=6.5&vtd=3.25&duration=20",
                      "?key=%s&keyformat=c" % Key, "?key=%s&scheme=cbcs&keyformat=c&live" % Key, "?key=%s&keyformat=cp" % Key):
            with self.subTest(query=query):
                master = self.read("master.m3u8" + query)
                for variant in master["variants"]:
                    if variant["uri"].startswith("video"):
                        self.read(variant["uri"])
                for rendition in master.get("renditions", []) + [variant for variant in master["variants"] if variant["uri"].startswith("audio")]:
                    self.read(rendition["uri"])


class ManifestsAndMedia(Client, unittest.TestCase):
    def manifest(self, query):
        """A manifest that xmllint and mpd-parser read without a complaint."""
        data = self.fetch("manifest.mpd" + query)
        self.mpd_views(data)
        return data.decode()

    def representation_media(self, asset, representation):
        """Initialisation and first media segment of a representation of period 0."""
        template = representation.find("mpd:SegmentTemplate", Space)
        first = template.get("media").replace("$Number$", "1")
        return self.fetch(template.get("initialization")), [self.fetch(first)]

    def expect_video(self, header, segments, width, height, rate, codecs):
        stream = self.probe(header + segments[0], "stream=width,height,color_range,color_space")["streams"][0]
        # Limited range, BT.601 matrix: what the encoders signal and the pictures are.
        self.assertEqual((stream["width"], stream["height"], stream["color_range"], stream["color_space"]), (width, height, "tv", "smpte170m"))
        view = self.readers(header, segments)
        # Hexadecimal digits in either case (mp4box writes HEVC constraint bytes in lower case).
        self.assertEqual(view["codecs"].lower(), codecs.lower())
        # The stated frame rate is the spacing of the presentation times.
        times = sorted(sample[1] for sample in view["segments"][0]["samples"])
        self.assertEqual({later - earlier for earlier, later in zip(times, times[1:])}, {view["timescale"] * rate[1] // rate[0]})
        self.assertEqual(view["timescale"] % rate[0], 0)

    def expect_audio(self, header, segments, channels, rate, codecs):
        stream = self.probe(header + segments[0], "stream=channels,sample_rate,codec_name")["streams"][0]
        self.assertEqual((stream["channels"], int(stream["sample_rate"])), (channels, rate))
        self.assertEqual(self.readers(header, segments)["codecs"].lower(), codecs.lower())

    def test_dash_manifests_state_what_the_media_holds(self):
        # H.264 and AAC: DASH has no other codecs (the HEVC and FLAC rows are the HLS test's).
        text = self.manifest("?trickplay")
        asset = int(re.search(r"asset=(\d+)", text).group(1))
        period = ElementTree.fromstring(text).find("mpd:Period", Space)
        for adaptation in period.findall("mpd:AdaptationSet", Space):
            for representation in adaptation.findall("mpd:Representation", Space):
                header, segments = self.representation_media(asset, representation)
                if adaptation.get("contentType") == "video":
                    rate = tuple(int(part) for part in representation.get("frameRate").split("/"))
                    # The trick-play set states one picture a second, as its row holds.
                    self.expect_video(header, segments, int(representation.get("width")), int(representation.get("height")), rate,
                                      representation.get("codecs"))
                else:
                    channels = int(representation.find("mpd:AudioChannelConfiguration", Space).get("value"))
                    self.assertEqual(channels, 2)
                    self.expect_audio(header, segments, channels, int(representation.get("audioSamplingRate")), representation.get("codecs"))

    def test_hls_playlists_state_what_the_media_holds(self):
        # HEVC and FLAC; the H.264 and AAC rows' texts are the DASH test's.
        asset, master = self.asset("?hvc1&flac")
        streams = re.findall(r'#EXT-X-STREAM-INF:.*?RESOLUTION=(\d+)x(\d+),FRAME-RATE=([\d.]+),CODECS="([^,"]+),([^"]+)".*\r\nvideo\.m3u8\?asset=\d+&variant=(\d)', master)
        self.assertEqual(len(streams), 2)
        for width, height, rate, video_codecs, audio_codecs, variant in streams:
            self.expect_video(*self.video(asset, int(variant), [0]), int(width), int(height), (round(float(rate)), 1), video_codecs)
        rendition = re.search(r'#EXT-X-MEDIA:.*CHANNELS="(\d+)".*CODECS="([^"]+)"', master)
        self.expect_audio(*self.audio(asset, [0]), int(rendition.group(1)), 48000, rendition.group(2))

    def test_content_protection_descriptors_match_the_media(self):
        for scheme in ("cenc", "cbcs"):
            with self.subTest(scheme=scheme):
                text = self.manifest("?key=%s&scheme=%s&cp&trickplay" % (Key, scheme))
                asset = int(re.search(r"asset=(\d+)", text).group(1))
                period = ElementTree.fromstring(text).find("mpd:Period", Space)
                for adaptation in period.findall("mpd:AdaptationSet", Space):
                    header, segments = self.representation_media(asset, adaptation.find("mpd:Representation", Space))
                    view = self.readers(header, segments)
                    descriptors = adaptation.findall("mpd:ContentProtection", Space)
                    self.assertEqual([descriptor.get("schemeIdUri") for descriptor in descriptors],
                                     ["urn:mpeg:dash:mp4protection:2011", "urn:uuid:9a04f079-9840-4286-ab92-e65be0885f95",
                                      "urn:uuid:e2719d58-a985-b3c9-781a-b030af78d30e"])
                    common, playready, clear_key = descriptors
                    self.assertEqual(common.get("value"), view["scheme"])
                    self.assertEqual(common.get("{urn:mpeg:cenc:2013}default_KID"), str(uuid.UUID(view["tenc"]["kid"])))
                    # The header object and the whole pssh box of the initialisation segment.
                    self.assertEqual(base64.b64decode(playready.find("mspr:pro", Space).text).hex(), view["pssh"][0]["data"])
                    self.assertEqual(base64.b64decode(playready.find("cenc:pssh", Space).text), self.pssh_box(header))
                    self.assertEqual(clear_key.find("dashif:Laurl", Space).text, self.server.url("clearkey?asset=%d" % asset))

    def pssh_box(self, header):
        """The pssh box inside the moov of an initialisation segment."""
        position = header.index(b"pssh") - 4
        return header[position:position + int.from_bytes(header[position:position + 4], "big")]


class VideoTiming(Client, unittest.TestCase):
    def test_decode_times_never_decrease_and_pictures_stay_on_the_grid(self):
        for query in ("?duration=9", "?duration=9&hvc1"):
            with self.subTest(query=query):
                asset, _ = self.asset(query)
                header, segments = self.video(asset, 0, [0, 1, 2])
                view = self.readers(header, segments)
                frame = view["timescale"] // 25
                decode_times = [sample[0] for segment in view["segments"] for sample in segment["samples"]]
                self.assertEqual(decode_times, sorted(decode_times))
                self.assertEqual(len(set(decode_times)), len(decode_times))
                for index, segment in enumerate(view["segments"]):
                    start = index * 75 * frame
                    # Each segment decodes its first picture when it presents it,
                    # and no picture decodes after it presents.
                    self.assertEqual(segment["samples"][0][:2], [start, start])
                    self.assertTrue(all(sample[0] <= sample[1] for sample in segment["samples"]))
                    self.assertEqual(sorted(sample[1] for sample in segment["samples"]), [start + number * frame for number in range(75)])
                # ffprobe reads the three segments as one file the same way,
                # with a key frame every second.
                packets = run(["ffprobe", "-v", "error", "-show_entries", "packet=pts,dts,flags", "-of", "csv=p=0", self.file(header + b"".join(segments))]).decode()
                rows = [line.split(",") for line in packets.split()]
                self.assertEqual(sorted(int(pts) for pts, dts, flags in rows), [number * frame for number in range(225)])
                self.assertEqual([int(dts) for pts, dts, flags in rows], sorted(int(dts) for pts, dts, flags in rows))
                self.assertEqual(sorted(int(pts) for pts, dts, flags in rows if flags.startswith("K")), [second * 25 * frame for second in range(9)])


class ClearKeyLicence(Client, unittest.TestCase):
    Request = json.dumps({"kids": ["o_HG0oR7Tgm14tfIGW86QA"], "type": "temporary"}).encode()

    def test_licence_of_an_encrypted_asset(self):
        asset, _ = self.asset("?key=%s&cp" % Key, "manifest.mpd")
        got, headers, body = self.server.get("clearkey?asset=%d" % asset, method="POST", body=self.Request, headers={"Content-Type": "application/json"})
        self.assertEqual(got, 200)
        self.assertEqual(headers["Content-Type"], "application/json")
        self.assertEqual(headers["Access-Control-Allow-Origin"], "*")
        self.assertEqual(json.loads(body), {"keys": [{"kty": "oct", "kid": "o_HG0oR7Tgm14tfIGW86QA", "k": "AAECAwQFBgcICQoLDA0ODw"}], "type": "temporary"})
        # The preflight of a browser's cross-origin POST with a JSON body.
        got, headers, _ = self.server.get("clearkey?asset=%d" % asset, method="OPTIONS",
                                          headers={"Origin": "http://example.org", "Access-Control-Request-Method": "POST",
                                                   "Access-Control-Request-Headers": "content-type"})
        self.assertEqual(got, 204)
        self.assertEqual(headers["Access-Control-Allow-Origin"], "*")
        self.assertIn("content-type", headers["Access-Control-Allow-Headers"].lower())


if __name__ == "__main__":
    unittest.main()
