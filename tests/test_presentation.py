# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of the presentation routes: what the route adds to the
texts the writers make (their lines are judged by the writers' unit tests,
their syntax by the independent readers of test_conformance.py): content
types, the route options, the key route, and every kind of bad input of
every route refused with 400 without changing an asset.
"""

import re
import unittest

from media_client import MediaClient

Key = "000102030405060708090A0B0C0D0E0F"
InvalidArgument, AssetMissing, AssetUnknown, AssetWithoutKey, VariantUnknown = 0x80070057, 0x80FF0BFC, 0x80FF0BFE, 0x80FF0C06, 0x80FF0C16
UnexpectedPath, SegmentMalformed, SegmentOutsideAsset, SessionQueryInvalid = 0x80FF0D82, 0x80FF0E40, 0x80FF0E41, 0x80FF0E50
SubtitlesInvalid, LanguageUnknown, BreaksInvalid, BreakUnknown, ChangesInvalid, KeyUnknown = 0x80FF0E60, 0x80FF0E61, 0x80FF0E70, 0x80FF0E71, 0x80FF0E72, 0x80FF0E73
ThumbnailsInvalid, ThumbnailsAbsent = 0x80FF0EB0, 0x80FF0EB1
PartInvalid, PeriodInvalid, AudioRowUnknown = 0x80FF0E32, 0x80FF0E42, 0x80FF0E80


class PresentationRoutes(MediaClient, unittest.TestCase):
    def test_content_types_and_the_route_options(self):
        hls = "application/vnd.apple.mpegURL"
        asset, _ = self.asset("?key=%s&keyformat=c" % Key)
        for path, content_type in (("master.m3u8", hls), ("video.m3u8?asset=%d&variant=1" % asset, hls), ("audio.m3u8?asset=%d" % asset, hls),
                                   ("manifest.mpd", "application/dash+xml"), ("key?asset=%d" % asset, "application/octet-stream")):
            with self.subTest(path):
                status, headers, _ = self.server.get(path)
                self.assertEqual((status, headers["Content-Type"]), (200, content_type))
        self.assertEqual(self.fetch("key?asset=%d" % asset), bytes.fromhex(Key))
        # Extra segments: listed with URLs that say so, and served.
        extra = re.findall(r"^video-body\.mp4\?\S+", self.fetch("video.m3u8?asset=%d&variant=0&extra-video-segments=2" % asset).decode(), re.M)
        self.assertEqual(len(extra), 8)
        self.assertEqual(extra[-1], "video-body.mp4?asset=%d&variant=0&extra-video-segments=2&index=7" % asset)
        self.fetch(extra[-1])

    def test_every_kind_of_refusal_answers_400_naming_its_status(self):
        # Which values each reader refuses is its unit test's (ConfigurationTest,
        # OptionTableTest, TimelineTest, SubtitleTextTest, AdBreakTest,
        # ChangeTest, ClearKeyLicenceTest, ThumbnailTest); here, that each kind of refusal
        # reaches the client of each route as 400 naming its status (and,
        # where given, what was refused), and changes no asset.
        # 30 s: 10 video and 5 audio segments listed (the DASH periods ask
        # for no more than 7 and 4).
        asset, _ = self.asset("?duration=30")
        before = self.fetch("video.m3u8?asset=%d&variant=0" % asset)
        numbers = {"a": asset, "s": self.asset("?subs=en")[0], "b": self.asset("?duration=30&breaks=@9:6&ads=2")[0],
                   "r": self.asset("?duration=36&key=%s&rotate=12" % Key)[0], "l": self.asset("?audio=aac,ec3&lang=en,fr")[0],
                   "f": self.asset("?duration=30&fail=503@any:*")[0],
                   "t": self.asset("?thumbs&duration=18")[0]}
        rows = [
            # The options of both manifests.
            ("master.m3u8?duration=0", InvalidArgument), ("manifest.mpd?duration=0&" + "x" * 10000, InvalidArgument),
            ("master.m3u8?key=" + Key[:31], 0x80FF01A0), ("manifest.mpd?key=" + Key[:30] + "0G", 0x80FF01A8),
            ("master.m3u8?subs=en_US", SubtitlesInvalid), ("manifest.mpd?subs=en&subsformat=vtt", SubtitlesInvalid),
            ("master.m3u8?cc=708", InvalidArgument), ("manifest.mpd?av1&cc=608", InvalidArgument, "AV1 video"),
            ("manifest.mpd?codecswitch=12:vp9&cc=608", InvalidArgument, "VP9 video"),
            ("master.m3u8?ch=4", InvalidArgument), ("master.m3u8?ch=6&flac", InvalidArgument),
            ("manifest.mpd?breaks=5:1", BreaksInvalid), ("master.m3u8?rotate=12", ChangesInvalid),
            ("master.m3u8?thumbs=11x1", ThumbnailsInvalid), ("manifest.mpd?thumbs&novideo", ThumbnailsInvalid),
            # Assets, variants, rows, segments, parts, periods and keys.
            ("audio.m3u8", AssetMissing), ("audio.m3u8?asset=999999", AssetUnknown), ("session", AssetMissing),
            ("video.m3u8?asset={a}&variant=2", VariantUnknown), ("video.m3u8?asset={a}&variant=abc", InvalidArgument),
            ("audio.m3u8?asset={l}&audio=opus", AudioRowUnknown), ("audio-body.mp4?asset={l}&lang=en&describes=1&index=0", AudioRowUnknown),
            ("video-header.mp4?asset={a}&variant=9", 0x80FF0C76), ("video-body.mp4?asset={a}&variant=2&index=0", 0x80FF0C8B),
            ("video-body.mp4?asset={a}&variant=0", 0x80FF0C8D), ("audio-body.mp4?asset={a}", 0x80FF0D51),
            ("audio-body.mp4?asset={a}&index=%2B1", SegmentMalformed, '"index" "+1"'),
            ("audio-body.mp4?asset={a}&index=5", SegmentOutsideAsset, "the audio track has 5 segments"),
            ("video-body.mp4?asset={a}&variant=0&index=10", SegmentOutsideAsset, "video variant 0 has 10 segments"),
            ("video-body.mp4?asset={a}&variant=0&index=0&baseIndex=1", SegmentOutsideAsset, "Segment -1 "),
            ("video-body.mp4?asset={a}&variant=0&index=1&part=1e0", PartInvalid, '"part" "1e0"'),
            ("video-body.mp4?asset={a}&variant=0&index=1&period=3", PeriodInvalid, '"period" "3"'),
            # Fault rules apply to the asset's segments only: this one is refused, not failed.
            ("audio-body.mp4?asset={f}&index=99", SegmentOutsideAsset),
            ("audio.mp4?duration=0", InvalidArgument), ("audio.mp4?duration=3601", InvalidArgument),
            ("key?asset={a}", AssetWithoutKey), ("key?asset={r}&kid=A3F1C6D2847B4E09B5E2D7C8196F3A43", KeyUnknown),
            ("clearkey?asset={r}", UnexpectedPath), ("clearkey?asset={r}", InvalidArgument, None, "POST", b"[" * 30000),
            ("session?asset={a}&from=x", SessionQueryInvalid), ("session?asset={a}&format=xml", SessionQueryInvalid),
            # Subtitle tracks and ad breaks the asset does not have.
            ("subtitles.m3u8?asset={s}&lang=sv", LanguageUnknown), ("subtitles.vtt?asset={s}&index=0", LanguageUnknown),
            ("subtitles-body.mp4?asset={s}&lang=en&index=0", LanguageUnknown), ("subtitles.m3u8?asset={a}&lang=en", LanguageUnknown),
            ("subtitles.vtt?asset={s}&lang=en&index=99", SegmentOutsideAsset), ("subtitles.vtt?asset={s}&lang=en&index=1e0", SegmentMalformed),
            ("adlist.json?asset={b}&break=2", BreakUnknown), ("video.m3u8?asset={b}&variant=0&break=1&ad=3", BreakUnknown),
            ("video-body.mp4?asset={b}&variant=0&break=1&index=0", BreakUnknown),
            # Thumbnails of an asset without them, and tiles it does not have (the DASH periods reach 19 s: one tile of 50 s).
            ("thumbs.m3u8?asset={a}", ThumbnailsAbsent), ("thumbs.jpg?asset={a}&index=0", ThumbnailsAbsent),
            ("thumbs.jpg?asset={t}", SegmentMalformed), ("thumbs.jpg?asset={t}&index=1", SegmentOutsideAsset),
        ]
        for path, code, named, *request in (row + (None,) * (3 - len(row)) for row in rows):
            with self.subTest(path[:60]):
                body = self.fetch(path.format(**numbers), 400, *request)
                self.assertTrue(body.startswith(b"Exception 0x%08X" % code), body[:120])
                self.assertIn((named or "").encode(), body)
        self.assertEqual(self.fetch("video.m3u8?asset=%d&variant=0" % asset), before)


if __name__ == "__main__":
    unittest.main()
