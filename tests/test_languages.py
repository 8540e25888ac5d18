# SPDX-License-Identifier: GPL-2.0-or-later
"""Audio languages ("lang=en,fr,de") and the audio description
("describes=en") as others read them: hls-parser and m3u8-parser read the
renditions of the master playlist, mpd-parser and an XML reader the
adaptation sets of the manifest; ffmpeg decodes each rendition, whose
bursts sound at the pitch of its slot and which says its language's name
after every tenth second; segments cut across a name join without a seam;
live and low-latency renditions answer; faults and the cache tell the
renditions apart. How the query makes the rows is ConfigurationTest's, the
refusal of a rendition the asset lacks test_presentation.py's; how players
switch between languages the browser suite's."""

import array
import unittest
import xml.etree.ElementTree as ElementTree

from media_client import MediaClient
from quorvel_harness import run_tool

Space = {"mpd": "urn:mpeg:dash:schema:mpd:2011"}
Rate = 48000
# The base pitch of each slot: the k-th language, then the description.
SlotFrequencies = [500, 625, 750, 875, 1000, 1125, 1250, 1375, 1500]
Describes = "public.accessibility.describes-video"


class LanguagesTest(MediaClient, unittest.TestCase):
    def pcm(self, asset, row, indexes):
        """The rendition's segments decoded by ffmpeg as 16-bit mono samples."""
        header = self.fetch("audio-header.mp4?asset=%d%s" % (asset, row))
        bodies = b"".join(self.fetch("audio-body.mp4?asset=%d%s&index=%d" % (asset, row, index)) for index in indexes)
        output, errors = run_tool(["ffmpeg", "-v", "warning", "-i", self.file(header + bodies), "-ac", "1", "-f", "s16le", "-"])
        self.assertEqual(errors, "")
        return array.array("h", output)

    @staticmethod
    def pitch(samples, second, origin=0):
        """The burst's frequency in that second, from its zero crossings in
        its middle 60 ms (the envelope is loud there)."""
        start, end = (second - origin) * Rate + Rate // 50, (second - origin) * Rate + Rate * 8 // 100
        crossings = sum(1 for index in range(start + 1, end) if (samples[index - 1] < 0) != (samples[index] < 0))
        return crossings / 2 / ((end - start) / Rate)

    @staticmethod
    def loudness(samples, start, end, origin=0):
        """Root mean square, as a share of full scale, of [start, end) seconds."""
        window = samples[int((start - origin) * Rate):int((end - origin) * Rate)]
        return (sum(value * value for value in window) / len(window)) ** 0.5 / 32768

    def test_the_manifests_offer_a_rendition_per_language_and_the_description(self):
        asset, master = self.asset("?lang=en,fr,de&describes=fr")
        views = self.playlist_views(master)
        renditions = views["hlsParser"]["renditions"]
        self.assertEqual([(rendition["language"], rendition["name"], rendition["isDefault"], rendition["autoselect"], rendition["characteristics"])
                          for rendition in renditions],
                         [("en", "English", True, True, None), ("fr", "Français", False, True, None), ("de", "Deutsch", False, True, None),
                          ("fr", "Français (AD)", False, True, Describes)])
        self.assertEqual([rendition["uri"] for rendition in renditions],
                         ["audio.m3u8?asset=%d&lang=%s" % (asset, tag) for tag in ("en", "fr", "de")] + ["audio.m3u8?asset=%d&lang=fr&describes=1" % asset])
        # One group: every video variant once.
        self.assertEqual({variant["audio"] for variant in views["hlsParser"]["variants"]}, {"audio"})
        self.assertEqual(len(views["hlsParser"]["variants"]), 2)
        playlist = self.playlist_views(self.fetch(renditions[3]["uri"]).decode())["hlsParser"]
        self.assertEqual(playlist["map"], "audio-header.mp4?asset=%d&lang=fr&describes=1" % asset)
        self.assertTrue(all("&lang=fr&describes=1&index=" in segment["uri"] for segment in playlist["segments"]), playlist)

        text = self.fetch("manifest.mpd?lang=en,fr,de&describes=fr&audio=aac,opus")
        sets = ElementTree.fromstring(text).find("mpd:Period", Space).findall("mpd:AdaptationSet[@contentType='audio']", Space)
        read = [(adaptation.get("lang"), [role.get("value") for role in adaptation.findall("mpd:Role", Space)],
                 [(item.get("schemeIdUri"), item.get("value")) for item in adaptation.findall("mpd:Accessibility", Space)]) for adaptation in sets]
        per_codec = [("en", ["main"], []), ("fr", ["dub"], []), ("de", ["dub"], []), ("fr", ["description"], [("urn:tva:metadata:cs:AudioPurposeCS:2007", "1")])]
        self.assertEqual(read, per_codec * 2)
        result = self.mpd_views(text)
        parsed = [(rendition["language"], playlist["attributes"]["CODECS"], playlist["segments"][0]["resolvedUri"].split("?", 1)[1].split("&index=")[0])
                  for group in result["mediaGroups"]["AUDIO"].values() for rendition in group.values() for playlist in rendition["playlists"]]
        self.assertEqual(len(parsed), 8)
        for language, codecs, query in parsed:
            codec = "aac" if codecs == "mp4a.40.2" else "opus"
            self.assertTrue(query.startswith("asset="), query)
            self.assertIn("&audio=%s&lang=%s" % (codec, language), query)
        # The description's segments are its own.
        self.assertEqual(sum("&describes=1" in query for _, _, query in parsed), 2)

    def test_each_rendition_has_its_pitch_and_says_its_name_every_ten_seconds(self):
        asset, _ = self.asset("?lang=en,fr,de,tlh&describes=en&duration=12")
        plain, _ = self.asset("?duration=12")
        rows = ["&lang=en", "&lang=fr", "&lang=de", "&lang=tlh", "&lang=en&describes=1"]
        for slot, row in enumerate(rows):
            with self.subTest(row=row):
                samples = self.pcm(asset, row, [0, 1])
                base = SlotFrequencies[slot]
                # The base on ordinary seconds, 10/7 of it on the fifth, twice it on the tenth.
                for second, expected in ((1, base), (3, base), (5, base * 10 / 7), (10, base * 2)):
                    self.assertAlmostEqual(self.pitch(samples, second), expected, delta=expected * 0.03)
                # The name 0.2 s after second 10, none after other seconds; espeak-ng has no voice for Klingon.
                spoken = self.loudness(samples, 10.2, 10.6)
                self.assertLess(self.loudness(samples, 3.2, 3.9), 0.002)
                if row == "&lang=tlh":
                    self.assertLess(spoken, 0.002)
                else:
                    self.assertGreater(spoken, 0.03)
        # The programme's audio says nothing.
        self.assertLess(self.loudness(self.pcm(plain, "", [1]), 10.2, 10.6, origin=6), 0.002)

    def test_segments_cut_across_a_name_join_without_a_seam(self):
        # FLAC is lossless and its segments last 6.4 s: segment 11 begins at
        # 70.4 s, inside the name said from 70.2 s. The signal repeats every
        # ten seconds, so 70 to 71 s decodes exactly as 10 to 11 s, which
        # segment 1 holds uncut. The later segment is asked for first.
        asset, _ = self.asset("?flac&lang=fr&duration=80")
        self.fetch("audio-body.mp4?asset=%d&index=11" % asset)
        joined = self.pcm(asset, "", [10, 11])
        whole = self.pcm(asset, "", [1])
        self.assertGreater(self.loudness(whole, 10.2, 10.6, origin=6.4), 0.03)
        self.assertEqual(joined[6 * Rate:7 * Rate], whole[36 * Rate // 10:46 * Rate // 10])

    def test_live_and_low_latency_renditions_answer(self):
        for query in ("?live&lang=en,fr", "?live&ll&lang=en,fr&describes=en"):
            with self.subTest(query=query):
                asset, master = self.asset(query)
                renditions = self.playlist_views(master)["hlsParser"]["renditions"]
                playlist = self.playlist_views(self.fetch(renditions[1]["uri"]).decode())["hlsParser"]
                self.assertTrue(playlist["map"].endswith("&lang=fr"), playlist["map"])
                # The last whole segment (a low-latency playlist ends with parts of the next).
                segment = [segment for segment in playlist["segments"] if segment["uri"]][-1]
                self.assertIn("&lang=fr&index=", segment["uri"])
                header = self.fetch(playlist["map"])
                index = int(segment["uri"].rsplit("=", 1)[1])
                output, errors = run_tool(["ffmpeg", "-v", "warning", "-i", self.file(header + self.fetch(segment["uri"])), "-ac", "1", "-f", "s16le", "-"])
                self.assertEqual(errors, "")
                # The live timeline's seconds: the rendition's pitch on an ordinary one.
                samples = array.array("h", output)
                second = next(second for second in range(1, 6) if (index * 6 + second) % 5 != 0)
                self.assertAlmostEqual(self.pitch(samples, second), SlotFrequencies[1], delta=SlotFrequencies[1] * 0.03)
                if "&ll" in query:
                    self.fetch("audio-body.mp4?asset=%d&lang=fr&index=%d&part=0" % (asset, index))
                    mpd = self.fetch("manifest.mpd" + query).decode()
                    sets = ElementTree.fromstring(mpd).find("mpd:Period", Space).findall("mpd:AdaptationSet[@contentType='audio']", Space)
                    self.assertEqual([adaptation.get("lang") for adaptation in sets], ["en", "fr", "en"])

    def test_the_cache_and_faults_tell_renditions_apart(self):
        first, _ = self.asset("?lang=en,fr&fail=503x1@audio:1")
        second, _ = self.asset("?lang=en,fr")
        # The fault rule counts each rendition's requests: each fails once.
        for tag in ("en", "fr"):
            self.fetch("audio-body.mp4?asset=%d&lang=%s&index=1" % (first, tag), 503)
        tags = {}
        for asset in (first, second):
            for tag in ("en", "fr"):
                _, headers, _ = self.server.get("audio-body.mp4?asset=%d&lang=%s&index=1" % (asset, tag))
                tags[asset, tag] = headers["ETag"]
        # One segment of one rendition is the same bytes whatever asset asks for it; two renditions' are not.
        self.assertEqual(tags[first, "fr"], tags[second, "fr"])
        self.assertEqual(tags[first, "en"], tags[second, "en"])
        self.assertNotEqual(tags[first, "en"], tags[second, "fr"])


if __name__ == "__main__":
    unittest.main()
