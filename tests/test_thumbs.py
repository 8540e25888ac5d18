# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of thumbnails ("thumbs").

Readers others wrote take the texts: hls-parser (strict) and m3u8-parser the
master and image playlists, xmllint and mpd-parser every form of manifest
with its image set. ffprobe reads a tile as a JPEG picture of the stated
size, and a thumbnail is the video's own picture of its instant: the frame
ffmpeg decodes from the segment that holds the instant, scaled to the
thumbnail, is closer to it than to any other thumbnail of the tile, and
closer than the frames beside it are (HLS, and a DASH period in its own
box colour). A live
tile is refused until its last thumbnail's time is over. What the texts
hold is ThumbnailTest's; Shaka showing the thumbnails is the browser suite's.
"""

import datetime
import json
import os
import re
import unittest
import xml.etree.ElementTree as ElementTree

from media_client import Here, MediaClient
from quorvel_harness import run_tool

Space = {"mpd": "urn:mpeg:dash:schema:mpd:2011"}
# 2030-01-01T00:00:00Z: a "now" far from the real clock.
Future = int(datetime.datetime(2030, 1, 1, tzinfo=datetime.timezone.utc).timestamp() * 1000)
ThumbnailSize = (256, 144)


def mean_difference(first, second):
    """The mean absolute difference of two pictures' bytes."""
    return sum(abs(a - b) for a, b in zip(first, second)) / len(first)


class Thumbnails(MediaClient, unittest.TestCase):
    def luma(self, data, suffix, filters=None, count=1):
        """Pictures (those a filter selects) as luma bytes, one string each."""
        arguments = ["ffmpeg", "-v", "error", "-i", self.file(data, suffix)] + (["-vf", filters] if filters else [])
        pixels = run_tool(arguments + ["-frames:v", str(count), "-f", "rawvideo", "-pix_fmt", "gray", "-"])[0]
        size = len(pixels) // count
        return [pixels[index * size:(index + 1) * size] for index in range(count)]

    def cells(self, tile, columns, rows):
        """The thumbnails of a decoded tile, row by row."""
        width, height = ThumbnailSize
        line = columns * width
        return [b"".join(tile[(row * height + y) * line + column * width:(row * height + y) * line + (column + 1) * width] for y in range(height))
                for row in range(rows) for column in range(columns)]

    def expect_thumbnail_of(self, tile_path, columns, rows, position, header, segment, frame):
        """Thumbnail Position of the tile shows frame Frame of the segment
        (at an even second, where the box moves fastest): scaled to the
        thumbnail's size, that frame is closer to it than to any other
        thumbnail, and closer than the two frames either side are."""
        tile = self.fetch(tile_path)
        view = self.probe(tile, "stream=codec_name,width,height")["streams"][0]
        self.assertEqual((view["codec_name"], view["width"], view["height"]), ("mjpeg", columns * ThumbnailSize[0], rows * ThumbnailSize[1]))
        cells = self.cells(self.luma(tile, ".jpg")[0], columns, rows)
        frames = self.luma(header + segment, ".mp4", "select=between(n\\,%d\\,%d),scale=%d:%d:flags=area" % (frame - 2, frame + 2, *ThumbnailSize), 5)
        to_cells = [mean_difference(cell, frames[2]) for cell in cells]
        self.assertEqual(min(range(len(cells)), key=to_cells.__getitem__), position, to_cells)
        # Encoded twice (H.264, JPEG), the same picture stays this close.
        self.assertLess(to_cells[position], 4, to_cells)
        to_frames = [mean_difference(cells[position], picture) for picture in frames]
        self.assertEqual(min(range(5), key=to_frames.__getitem__), 2, to_frames)

    def test_a_thumbnail_is_the_picture_of_its_instant(self):
        # HLS: thumbnail 8 of the tile is 8 s, frame 50 of segment 2 (6 s to 9 s).
        asset, master = self.asset("?thumbs=5x2@1&duration=12")
        self.assertIn('#EXT-X-IMAGE-STREAM-INF:BANDWIDTH=48000,RESOLUTION=256x144,CODECS="jpeg",URI="thumbs.m3u8?asset=%d"' % asset, master)
        header, segments = self.video(asset, 0, [2])
        self.expect_thumbnail_of("thumbs.jpg?asset=%d&index=0" % asset, 5, 2, 8, header, segments[0], 50)
        # DASH period 2 shows media time 13 s to 19 s in the third box colour;
        # its template's tile 1 is 10 s to 20 s, its thumbnail 6 is 16 s, frame 25 of segment 5.
        text = self.fetch("manifest.mpd?thumbs=5x2@1").decode()
        dash = int(re.search(r"asset=(\d+)", text).group(1))
        period = ElementTree.fromstring(text).findall("mpd:Period", Space)[2]
        media = period.find("mpd:AdaptationSet[@contentType='image']/mpd:Representation/mpd:SegmentTemplate", Space).get("media")
        self.assertEqual(media, "thumbs.jpg?asset=%d&period=2&color=2&baseIndex=0&index=$Number$" % dash)
        header, segments = self.video(dash, 0, [5], "&period=2&color=2")
        self.expect_thumbnail_of(media.replace("$Number$", "1"), 5, 2, 6, header, segments[0], 25)

    def test_readers_take_the_playlists_and_every_form_of_manifest(self):
        asset, master = self.asset("?thumbs&duration=60")
        self.assertEqual([variant["uri"] for variant in self.playlist_views(master)["hlsParser"]["variants"]],
                         ["video.m3u8?asset=%d&variant=%d" % (asset, variant) for variant in (0, 1)])
        images = self.playlist_views(self.fetch("thumbs.m3u8?asset=%d" % asset).decode())
        expected = [{"uri": "thumbs.jpg?asset=%d&index=%d" % (asset, index), "duration": duration} for index, duration in ((0, 50), (1, 10))]
        for reader in ("hlsParser", "m3u8Parser"):
            self.assertEqual((images[reader]["segments"], images[reader]["endList"]), (expected, True), reader)
        for query in ("thumbs", "thumbs&duration=30&breaks=@12:6&ads=1", "thumbs&live&ll", "thumbs&live&dynamic", "thumbs&live&dynamic&segtimeline"):
            text = self.fetch("manifest.mpd?%s&now=%d" % (query, Future))
            path = self.file(text, ".mpd")
            run_tool(["xmllint", "--noout", path])
            parsed = json.loads(run_tool(["node", os.path.join(Here, "manifest_parsers.mjs"), "mpd", path, self.server.url("manifest.mpd"), str(Future)])[0])
            self.assertEqual((parsed["warnings"], parsed.get("error")), ([], None), query)
            sets = ElementTree.fromstring(text).findall("mpd:Period/mpd:AdaptationSet[@contentType='image']", Space)
            self.assertTrue(sets, query)
            for element in sets:
                grid = element.find("mpd:Representation/mpd:EssentialProperty", Space)
                self.assertEqual((grid.get("schemeIdUri"), grid.get("value")), ("http://dashif.org/thumbnail_tile", "5x5"), query)

    def test_a_live_tile_is_offered_once_its_last_thumbnail_is_over(self):
        # The timeline begins 10 s before "now"; tiles are 3 × 2 s.
        asset, _ = self.asset("?thumbs=3x1@2&live&lv=12&now=%d" % Future)
        playlist = self.playlist_views(self.fetch("thumbs.m3u8?asset=%d&now=%d" % (asset, Future + 21000)).decode())["hlsParser"]
        self.assertEqual([segment["uri"] for segment in playlist["segments"]], ["thumbs.jpg?asset=%d&index=%d" % (asset, index) for index in (3, 4)])
        # Tile 5 covers 30 s to 36 s of the timeline, 20 s to 26 s after "now".
        tile = "thumbs.jpg?asset=%d&index=5&now=%d" % (asset, Future + 25999)
        self.assertIn(b"available from 2030-01-01T00:00:26.000Z", self.fetch(tile, 404))
        self.assertEqual(self.fetch(tile.replace("25999", "26000"))[:2], b"\xff\xd8")


if __name__ == "__main__":
    unittest.main()
