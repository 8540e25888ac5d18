# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of the manifests and playlists through the running server.

Every playlist and manifest the server answers here is also read by the
independent npm parsers (m3u8-parser, mpd-parser) without errors or
warnings, and every MPD is checked to be well-formed XML by xmllint.
"""

import json
import os
import re
import subprocess
import tempfile
import unittest

from quorvel_harness import QuorvelServer

Here = os.path.dirname(os.path.abspath(__file__))
Key = "000102030405060708090A0B0C0D0E0F"


def parse_independently(kind, text):
    """What the npm parser made of a playlist ("m3u8") or manifest ("mpd")."""
    with tempfile.NamedTemporaryFile("w", suffix="." + kind, delete=False) as File:
        File.write(text)
    try:
        Output = subprocess.run(["node", os.path.join(Here, "manifest_parsers.mjs"), kind, File.name],
                                check=True, capture_output=True, text=True, timeout=60).stdout
    finally:
        os.unlink(File.name)
    return json.loads(Output)


class Answer:
    def __init__(self, Status, Headers, Body):
        self.status = Status
        self.headers = Headers
        self.body = Body


class PresentationTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.Server = QuorvelServer().start()

    @classmethod
    def tearDownClass(cls):
        assert cls.Server.stop() == 0, cls.Server.stderr.text()

    def get(self, Path):
        return Answer(*self.Server.get(Path))

    def playlist(self, Path):
        """A playlist answered with 200, checked by the m3u8 parser."""
        Answer = self.get(Path)
        self.assertEqual(Answer.status, 200, Answer.body)
        self.assertEqual(Answer.headers.get("Content-Type"), "application/vnd.apple.mpegURL")
        self.assertEqual(Answer.headers.get("Access-Control-Allow-Origin"), "*")
        Text = Answer.body.decode("utf-8")
        self.assertTrue(Text.endswith("\r\n"))
        self.assertNotIn("\n", Text.replace("\r\n", ""), "every line ends with CR LF")
        Parsed = parse_independently("m3u8", Text)
        self.assertNotIn("error", Parsed)
        self.assertEqual(Parsed["warnings"], [], Path)
        return Text, Parsed["manifest"]

    def manifest(self, Path):
        """An MPD answered with 200, well-formed and checked by the mpd parser."""
        Answer = self.get(Path)
        self.assertEqual(Answer.status, 200, Answer.body)
        self.assertEqual(Answer.headers.get("Content-Type"), "application/dash+xml")
        subprocess.run(["xmllint", "--noout", "-"], input=Answer.body, check=True, capture_output=True, timeout=60)
        Text = Answer.body.decode("utf-8")
        Parsed = parse_independently("mpd", Text)
        self.assertNotIn("error", Parsed)
        self.assertEqual(Parsed["warnings"], [], Path)
        return Text, Parsed["manifest"]

    def failure(self, Path, Status):
        """A request answered with 400 and the status in the error body."""
        Answer = self.get(Path)
        self.assertEqual(Answer.status, 400, Path)
        self.assertTrue(Answer.body.startswith(b"Exception 0x%08X" % Status), (Path, Answer.body[:80]))

    def asset_of(self, MasterText):
        return int(re.search(r"asset=(\d+)", MasterText).group(1))

    def test_on_demand_hls(self):
        Master, Parsed = self.playlist("master.m3u8")
        Asset = self.asset_of(Master)
        self.assertEqual([Playlist["uri"] for Playlist in Parsed["playlists"]],
                         ["video.m3u8?asset=%d&variant=0" % Asset, "video.m3u8?asset=%d&variant=1" % Asset])
        self.assertEqual(Parsed["playlists"][0]["attributes"]["RESOLUTION"], {"width": 1280, "height": 720})
        self.assertIn("English", Parsed["mediaGroups"]["AUDIO"]["audio"])
        for Variant in (0, 1):
            _, Video = self.playlist("video.m3u8?asset=%d&variant=%d" % (Asset, Variant))
            self.assertEqual([Segment["duration"] for Segment in Video["segments"]], [3] * 6)
            self.assertEqual(Video["segments"][5]["uri"], "video-body.mp4?asset=%d&variant=%d&index=5" % (Asset, Variant))
            self.assertEqual(Video["segments"][0]["map"]["uri"], "video-header.mp4?asset=%d&variant=%d" % (Asset, Variant))
            self.assertTrue(Video["endList"])
        _, Audio = self.playlist("audio.m3u8?asset=%d" % Asset)
        self.assertEqual([Segment["duration"] for Segment in Audio["segments"]], [6, 6, 6])

        _, Extra = self.playlist("video.m3u8?asset=%d&variant=0&extra-video-segments=2" % Asset)
        self.assertEqual(len(Extra["segments"]), 8)

    def test_master_playlist_options(self):
        Master, Parsed = self.playlist("master.m3u8?novideo")
        self.assertEqual(Parsed["playlists"][0]["uri"], "audio.m3u8?asset=%d" % self.asset_of(Master))
        self.assertNotIn("#EXT-X-MEDIA", Master)
        Master, Parsed = self.playlist("master.m3u8?noaudio")
        self.assertNotIn("AUDIO=", Master)
        self.assertIn("#EXT-X-MEDIA:", Master)
        Master, _ = self.playlist("master.m3u8?hvc1&flac&duration=18")
        Text, Audio = self.playlist("audio.m3u8?asset=%d" % self.asset_of(Master))
        self.assertEqual([Segment["duration"] for Segment in Audio["segments"]], [6.4, 6.4, 5.2])
        self.assertIn("#EXT-X-TARGETDURATION:6.400\r\n", Text)
        Master, _ = self.playlist("master.m3u8?atd=4.5")
        Text, _ = self.playlist("audio.m3u8?asset=%d" % self.asset_of(Master))
        self.assertIn("#EXT-X-TARGETDURATION:4.500\r\n", Text)

    def test_live_hls(self):
        Master, _ = self.playlist("master.m3u8?live&duration=600&pdt=6")
        Asset = self.asset_of(Master)
        Text, Video = self.playlist("video.m3u8?asset=%d&variant=0" % Asset)
        # The live timeline starts 10 s before the server did.
        self.assertGreaterEqual(len(Video["segments"]), 3)
        self.assertLessEqual(len(Video["segments"]), 10)
        self.assertFalse(Video.get("endList", False))
        First = Video["mediaSequence"]
        self.assertEqual(Video["segments"][-1]["uri"], "video-body.mp4?asset=%d&variant=0&index=%d" % (Asset, First + len(Video["segments"]) - 1))
        self.assertNotIn("#EXT-X-PLAYLIST-TYPE", Text)
        self.assertTrue(any("dateTimeString" in Segment for Segment in Video["segments"]))
        _, Audio = self.playlist("audio.m3u8?asset=%d" % Asset)
        self.assertGreaterEqual(len(Audio["segments"]), 1)

        # An end point already passed: the window is listed with the end-of-list tag.
        Master, _ = self.playlist("master.m3u8?live&duration=1&ls=100")
        _, Ended = self.playlist("video.m3u8?asset=%d&variant=0" % self.asset_of(Master))
        self.assertTrue(Ended["endList"])
        self.assertEqual(len(Ended["segments"]), 10)

    def test_dash_manifest(self):
        Text, Parsed = self.manifest("manifest.mpd")
        self.assertIn('type="static"', Text)
        self.assertEqual(len(Parsed["playlists"]), 1)
        self.assertEqual(len(Parsed["playlists"][0]["segments"]), 9)
        self.assertEqual(len(Parsed["mediaGroups"]["AUDIO"]["audio"]["en"]["playlists"][0]["segments"]), 6)
        Asset = int(re.search(r"asset=(\d+)", Text).group(1))
        self.assertEqual(Parsed["playlists"][0]["segments"][3]["uri"],
                         "video-body.mp4?asset=%d&variant=0&period=1&color=1&baseIndex=-1&index=1" % Asset)

        Text, Parsed = self.manifest("manifest.mpd?trickplay")
        self.assertIn('<AdaptationSet id="trickplay-1" contentType="video">', Text)
        self.assertEqual(len(Parsed["playlists"]), 3)
        Text, Parsed = self.manifest("manifest.mpd?novideo")
        self.assertNotIn('contentType="video"', Text)
        Text, Parsed = self.manifest("manifest.mpd?noaudio&hvc1&flac&live")
        self.assertNotIn('contentType="audio"', Text)
        self.assertIn('codecs="', Text)

    def test_encrypted_asset_and_key(self):
        Master, _ = self.playlist("master.m3u8?key=%s&keyformat=c&scheme=cbcs" % Key)
        Asset = self.asset_of(Master)
        Text, Video = self.playlist("video.m3u8?asset=%d&variant=0" % Asset)
        Tags = [Line for Line in Text.split("\r\n") if Line.startswith("#EXT-X-KEY:")]
        self.assertEqual(len(Tags), 2)
        self.assertIn('URI="key?asset=%d",KEYID=0xA3F1C6D2847B4E09B5E2D7C8196F3A40,IV=0x5C2E9A17B3D04F68E1A7C93B2D5F0A84' % Asset, Tags[0])
        self.assertIn('KEYFORMAT="com.microsoft.playready"', Tags[1])
        self.assertEqual(Video["segments"][0]["key"]["method"], "SAMPLE-AES")
        Answer = self.get("key?asset=%d" % Asset)
        self.assertEqual(Answer.status, 200)
        self.assertEqual(Answer.headers.get("Content-Type"), "application/octet-stream")
        self.assertEqual(Answer.body, bytes.fromhex(Key))

        Clear, _ = self.playlist("master.m3u8")
        self.failure("key?asset=%d" % self.asset_of(Clear), 0x80FF0C06)

        for KeyFormat, Count in [("", 1), ("cp", 1), ("p", 0)]:
            Master, _ = self.playlist("master.m3u8?key=%s&keyformat=%s&live" % (Key, KeyFormat))
            for Path in ["video.m3u8?asset=%d&variant=1", "audio.m3u8?asset=%d"]:
                Text, _ = self.playlist(Path % self.asset_of(Master))
                self.assertEqual(Text.count("#EXT-X-KEY:"), Count, (KeyFormat, Path))

    def test_manifest_names_saved_files_when_bodies_are_written(self):
        with QuorvelServer(options=("-Software", "-WriteResponseBody")) as Server:
            Status, _, Body = Server.get("manifest.mpd")
            self.assertEqual(Status, 200)
            Text = Body.decode("utf-8")
            self.assertEqual(Text.count(" __period="), 3 * 2)
            self.assertIn(' __initialization="audio-header-v0.mp4" __media="audio-body-v0-p2-i$Number$.mp4">', Text)
            Parsed = parse_independently("mpd", Text)
            self.assertEqual(Parsed["warnings"], [])
            self.assertNotIn("error", Parsed)

    def test_bad_input_answers_400_and_changes_no_asset(self):
        Master, _ = self.playlist("master.m3u8?duration=12")
        Asset = self.asset_of(Master)
        Before = self.get("video.m3u8?asset=%d&variant=0" % Asset).body
        InvalidArgument, Odd, Length, NotHexadecimal = 0x80070057, 0x80FF01A0, 0x80FF01A1, 0x80FF01A8
        for Query, Status in [
            ("duration=0", InvalidArgument), ("duration=-3", InvalidArgument), ("duration=abc", InvalidArgument),
            ("duration=", InvalidArgument), ("duration=99999999999", InvalidArgument), ("atd=nan", InvalidArgument),
            ("vtd=1e999", InvalidArgument), ("live&lv=-5", InvalidArgument), ("live&ls=1e300", InvalidArgument),
            ("key=" + Key[:31], Odd), ("key=" + Key + "0", Odd), ("key=" + Key[:30], Length), ("key=", Length),
            ("key=" + Key[:30] + "0G", NotHexadecimal), ("key=" + Key + "&scheme=CENC", InvalidArgument),
            ("key=" + Key + "&initializationvector=00", Length),
            ("duration=0&" + "x" * 10000, InvalidArgument),
        ]:
            self.failure("master.m3u8?" + Query, Status)
            self.failure("manifest.mpd?" + Query, Status)
        for Query in ["variant=2", "variant=-1", "", "variant=4294967296"]:
            self.failure("video.m3u8?asset=%d&%s" % (Asset, Query), 0x80FF0C16)
        self.failure("video.m3u8?asset=%d&variant=abc" % Asset, InvalidArgument)
        self.failure("audio.m3u8", 0x80FF0BFC)
        for Number in ["0", "999999", "4294967297", "-1", "abc"]:
            self.failure("audio.m3u8?asset=" + Number, 0x80FF0BFE)
        self.assertEqual(self.get("video.m3u8?asset=%d&variant=0" % Asset).body, Before)
        # The failed manifest requests used up their numbers.
        Later, _ = self.playlist("master.m3u8")
        self.assertEqual(self.asset_of(Later), Asset + 2 * 17 + 1)


if __name__ == "__main__":
    unittest.main()
