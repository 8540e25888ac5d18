# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of two test aids: the settable clock ("now") and
pictures that say which frame they are ("framecode").

The clock: two servers started at different times answer the same URLs with
the same "now" byte for byte, and stepping "now" steps the live window and
its end. A malformed value is refused on any route.

The frame code: ffmpeg extracts every picture of a segment, zbarimg (an
independent QR reader) decodes the code of each one, and the frame numbers
and times in them are those of the pictures' presentation times, for every
default and trick-play size of both codecs, and live with the UTC time that
follows "now". The audio marker: ffmpeg decodes the FLAC presentation to
PCM, and a marker starts at every whole second.
"""

import os
import re
import struct
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

from media_client import MediaClient
from quorvel_harness import QuorvelServer, ToolLimit, run_tool

NowInvalid = "0x80FF0E10"
# 2026-12-06T10:00:00Z.
Start = "2026-12-06T10:00:00Z"
StartMilliseconds = 1796551200000
AudioRate = 48000


run = run_tool


def fetch(server, path, status=200):
    got, _, body = server.get(path)
    if got != status:
        raise AssertionError("%s: %d %r" % (path, got, body[:300]))
    return body


def at(seconds):
    """"now" seconds after Start, as milliseconds."""
    return str(StartMilliseconds + round(seconds * 1000))


def listed(playlist):
    """The segment numbers a media playlist lists."""
    return [int(number) for number in re.findall(r"index=(\d+)", playlist.decode())]


class SettableClockTest(unittest.TestCase):
    def walk(self, server):
        """Everything a player of one live presentation asks for at three
        moments, by URL; each playlist's last segments come along."""
        answers = {}

        def get(path):
            answers[path] = fetch(server, path)
            return answers[path]

        get("master.m3u8?live&pdt=6&duration=60&now=" + Start)
        get("manifest.mpd?live&now=" + at(1))
        for moment in (30, 36, 60):
            video = get("video.m3u8?asset=1&variant=0&now=" + at(moment))
            audio = get("audio.m3u8?asset=1&now=" + at(moment))
            get("video-body.mp4?asset=1&variant=0&index=%d&now=%s" % (listed(video)[-1], at(moment)))
            get("audio-body.mp4?asset=1&index=%d&now=%s" % (listed(audio)[-1], at(moment)))
        get("video-body.mp4?asset=2&variant=0&index=3&baseIndex=1&now=" + at(10))
        return answers

    def test_the_same_urls_with_the_same_now_give_the_same_bytes_on_any_server(self):
        with QuorvelServer() as first:
            earlier = self.walk(first)
            # Asked again later on the same server.
            again = {path: fetch(first, path) for path in earlier if not path.startswith(("master", "manifest"))}
        with QuorvelServer() as second:
            later = self.walk(second)
        self.assertEqual(list(earlier), list(later))
        for path in earlier:
            self.assertEqual(earlier[path], later[path], path)
        for path in again:
            self.assertEqual(earlier[path], again[path], path)

        # Stepping "now" steps the window: the asset began at 09:59:50, so at
        # 10:00:30 the video segments 3 to 12 are complete, 6 s later two more.
        video = "video.m3u8?asset=1&variant=0&now="
        self.assertEqual(listed(earlier[video + at(30)]), list(range(3, 13)))
        self.assertEqual(listed(earlier[video + at(36)]), list(range(5, 15)))
        text = earlier[video + at(30)].decode()
        # The end: 60 s after the master playlist's "now". The tags of the
        # window are the playlist writer's and the timeline's (unit tests).
        self.assertNotIn("#EXT-X-ENDLIST", text)
        self.assertIn("#EXT-X-ENDLIST", earlier[video + at(60)].decode())

    def test_every_route_refuses_a_malformed_now(self):
        # Which values are malformed, and that both forms name the same
        # instant, is RequestTimeTest's.
        with QuorvelServer() as server:
            fetch(server, "master.m3u8?live&now=" + Start)
            for route in ("version", "master.m3u8?live", "manifest.mpd", "video.m3u8?asset=1&variant=0", "audio.m3u8?asset=1",
                          "video-body.mp4?asset=1&variant=0&index=0", "audio-header.mp4?asset=1"):
                with self.subTest(route=route):
                    body = fetch(server, route + ("&" if "?" in route else "?") + "now=2026-12-06T10:00:30", status=400).decode()
                    self.assertTrue(body.startswith("Exception " + NowInvalid + "\n"), body)
            # A refused manifest made no asset.
            self.assertIn(b"asset=2", fetch(server, "master.m3u8"))


def zbar_payloads(paths):
    """The QR code text zbarimg reads in each picture file; None for a
    picture where it finds none."""
    result = subprocess.run(["zbarimg", "--xml", "-q"] + paths, capture_output=True, timeout=ToolLimit)
    # zbarimg exits with 4 when some picture held no code: that is judged below.
    if result.returncode not in (0, 4):
        raise AssertionError("zbarimg failed: " + result.stderr.decode(errors="replace"))
    found = {}
    for source in ElementTree.fromstring(result.stdout).iter():
        if source.tag.endswith("source"):
            texts = [data.text for data in source.iter() if data.tag.endswith("data")]
            found[source.get("href")] = texts[0] if len(texts) == 1 else None
    return [found.get(path) for path in paths]


def parse_payload(text):
    """The fields of a frame code: QVF1;a=..;v=..;f=..;t=..;u=.., then
    ;b=.. (break b, -b in its countdown), ;ad=.. and ;c=.. (change epoch)
    where they apply."""
    parts = text.split(";")
    if parts[0] != "QVF1":
        raise AssertionError("not a frame code: %r" % text)
    fields = dict(part.split("=", 1) for part in parts[1:])
    names = list(fields)
    assert names[:5] == ["a", "v", "f", "t", "u"], text
    optional = ["b", "ad", "c"]
    assert all(name in optional for name in names[5:]) and names[5:] == sorted(names[5:], key=optional.index), text
    return {key: (value if value == "-" else int(value)) for key, value in fields.items()}


class FrameCodeTest(MediaClient, unittest.TestCase):
    def pictures(self, asset, variant, index):
        """Every picture ffmpeg decodes from one segment, as PNG files, with
        its presentation time in seconds."""
        header, (body,) = self.video(asset, variant, [index])
        segment = self.file(header + body)
        folder = tempfile.mkdtemp(dir=self.folder)
        _, log = run(["ffmpeg", "-v", "info", "-copyts", "-i", segment, "-vf", "showinfo", "-fps_mode", "passthrough",
                      os.path.join(folder, "%04d.png")])
        times = [float(value) for value in re.findall(r"\bn:\s*\d+\s+pts:\s*-?\d+\s+pts_time:(-?[\d.]+)", log)]
        paths = sorted(os.path.join(folder, name) for name in os.listdir(folder) if name.endswith(".png"))
        self.assertEqual(len(paths), len(times))
        return paths, times

    def expect_codes(self, asset, variant, index, frames, rate, utc_base=None):
        """Every picture of segment index carries its own frame code."""
        paths, times = self.pictures(asset, variant, index)
        self.assertEqual(len(paths), frames)
        payloads = zbar_payloads(paths)
        unread = [os.path.basename(path) for path, payload in zip(paths, payloads) if payload is None]
        self.assertEqual(unread, [], "pictures whose code zbarimg cannot read")
        seen = []
        for time, payload in zip(times, payloads):
            code = parse_payload(payload)
            frame = round(time * rate)
            self.assertEqual((code["a"], code["v"]), (asset, variant), payload)
            self.assertEqual(code["f"], frame, "picture at %.3f s says %s" % (time, payload))
            self.assertEqual(code["t"], frame * 1000 // rate, payload)
            self.assertLess(abs(code["t"] - time * 1000), 1.0, payload)
            self.assertEqual(code["u"], "-" if utc_base is None else utc_base + code["t"], payload)
            seen.append(frame)
        self.assertEqual(sorted(seen), list(range(index * frames, (index + 1) * frames)))

    def test_every_picture_of_a_segment_says_which_it_is_at_every_default_size(self):
        for query in ("framecode", "framecode&hvc1"):
            asset, _ = self.asset("?" + query)
            with self.subTest(query=query, variant=0):
                self.expect_codes(asset, 0, 2, 75, 25)
            with self.subTest(query=query, variant=1):
                self.expect_codes(asset, 1, 2, 3, 1)

    def test_live_pictures_carry_the_utc_time_that_follows_now(self):
        # The timeline starts 10 s before the manifest's "now".
        asset, _ = self.asset("?framecode&live&now=" + Start)
        self.expect_codes(asset, 0, 5, 75, 25, utc_base=StartMilliseconds - 10000)
        anchored, _ = self.asset("?framecode&live&ls=3600&now=" + Start, "manifest.mpd")
        self.expect_codes(anchored, 1, 1200, 3, 1, utc_base=StartMilliseconds - 3600 * 1000)

    def test_without_framecode_pictures_carry_no_code(self):
        asset, _ = self.asset("?duration=3")
        paths, _ = self.pictures(asset, 0, 0)
        self.assertEqual(zbar_payloads(paths[:5]), [None] * 5)

    def decoded_audio(self, query):
        """The left channel of the whole presentation's audio as ffmpeg
        decodes it through the playlist, from time 0."""
        asset, _ = self.asset("?" + query)
        pcm, _ = run(["ffmpeg", "-v", "error", "-i", self.server.url("audio.m3u8?asset=%d" % asset), "-map", "0:a:0",
                      "-f", "s16le", "-acodec", "pcm_s16le", "-"])
        samples = struct.unpack("<%dh" % (len(pcm) // 2), pcm)
        return [value / 32768.0 for value in samples[0::2]]

    def expect_markers(self, samples, seconds):
        """A marker starts at each of the whole seconds, to the sample, and
        nowhere else. The fourth difference of the signal passes
        the 6000 Hz marker at a third of its size and the bursts (1400 Hz at
        the most) at a thousandth. The marker's sample at the second is 0
        (phase 0), so the first one the difference sees is the next."""
        threshold = 0.25 * 0.343 / 2
        onsets, last = [], -AudioRate
        # The presentation is silent before time 0.
        padded = [0.0] * 4 + samples
        for n in range(len(samples)):
            value = padded[n + 4] - 4 * padded[n + 3] + 6 * padded[n + 2] - 4 * padded[n + 1] + padded[n]
            if abs(value) > threshold:
                if n - last > AudioRate // 2:
                    onsets.append(n - 1)
                last = n
        self.assertEqual(onsets, [second * AudioRate for second in seconds])

    @staticmethod
    def whole_seconds(samples):
        """The whole seconds whose 10 ms marker lies inside the samples."""
        return [second for second in range(len(samples) // AudioRate + 1) if second * AudioRate + AudioRate // 100 <= len(samples)]

    def test_the_audio_marker_starts_at_every_whole_second(self):
        # FLAC is lossless: every marker is where it was made, to the sample,
        # across the segment joint. That AAC keeps the signal in place is
        # AacEncoder's unit test.
        flac = self.decoded_audio("framecode&flac&duration=12")
        self.expect_markers(flac, self.whole_seconds(flac))
        # Without the option, nothing at 6000 Hz.
        self.expect_markers(self.decoded_audio("duration=6"), [])


if __name__ == "__main__":
    unittest.main()
