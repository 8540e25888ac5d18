# SPDX-License-Identifier: GPL-2.0-or-later
"""What the end-to-end tests of the media share: a server for the test class
with a scratch folder, the requests for assets and their segments, the
views of the independent playlist and segment readers (playlist_readers.mjs,
segment_readers.mjs), and when GStreamer shows each picture. The box and
answer readers are the harness's."""

import json
import os
import re
import shutil
import tempfile

from quorvel_harness import REPOSITORY, QuorvelServer, fragments, run_tool, top_level_boxes

Here = os.path.dirname(os.path.abspath(__file__))
# Above the main row's bandwidth, so that GStreamer keeps to it (kbit/s).
GStreamerSpeed = 100000
Nanoseconds = 1_000_000_000


def playback_checks_wanted():
    """Whether players play the presentations: like the browser suite
    (web/run-tests.mjs), not while web/playback-checks-off exists;
    QUORVEL_PLAYBACK_CHECKS=1 plays them anyway, =0 never."""
    setting = os.environ.get("QUORVEL_PLAYBACK_CHECKS")
    if setting in ("0", "1"):
        return setting == "1"
    return not os.path.exists(os.path.join(REPOSITORY, "web", "playback-checks-off"))


def gstreamer_times(url):
    """Running times (ns) of the buffers that reach the video and the audio
    sink of playbin, in the order they get there: GStreamer plays the
    presentation as users run it, without an error or a warning. The times
    come from its own trace of every buffer pushed into the queues in front
    of the sinks, as pts - segment start + segment base (the last-message
    property gst-launch -v prints is read some time after it changes and may
    show one buffer twice and skip another)."""
    environment = dict(os.environ, GST_TRACERS="log", GST_DEBUG="GST_BUFFER:7,GST_EVENT:7", GST_DEBUG_NO_COLOR="1")
    output, trace = run_tool(["gst-launch-1.0", "playbin", "uri=" + url, f"connection-speed={GStreamerSpeed}",
                              "video-sink=fakesink sync=false", "audio-sink=fakesink sync=false"], text=True, environment=environment)
    assert 'Got EOS from element "playbin0"' in output, output[-500:]
    assert not re.search(r"(?m)^(ERROR|WARNING)", output), output[-500:]
    segments, times = {}, {"vqueue": [], "aqueue": []}
    for line in trace.splitlines():
        push = re.search(r"do_push_(buffer|event)_pre:<([av]queue):src>", line)
        if not push:
            continue
        queue = push.group(2)
        if push.group(1) == "event":
            segment = re.search(r"GstEventSegment.*?base=\(guint64\)(\d+).*?start=\(guint64\)(\d+)", line)
            if segment:
                segments[queue] = (int(segment.group(1)), int(segment.group(2)))
        else:
            base, start = segments[queue]
            hours, minutes, seconds = re.search(r" pts (\d+:\d+:[\d.]+)", line).group(1).split(":")
            times[queue].append((int(hours) * 3600 + int(minutes) * 60) * Nanoseconds + round(float(seconds) * Nanoseconds) - start + base)
    return times["vqueue"], times["aqueue"]


def sample_bytes(segment, count=3):
    """The first samples of a segment as its mdat boxes hold them."""
    return [top_level_boxes(fragment)[1][1][8:] for fragment in fragments(segment)[:count]]


def child_boxes(box, header=8):
    """(type, bytes) of the boxes inside a container box."""
    return top_level_boxes(box[header:])


class MediaClient:
    """A server for the test class (program, else the one built, started
    with options) and files in a scratch folder; mixed into a
    unittest.TestCase."""

    options = ("-Software",)
    program = None

    @classmethod
    def setUpClass(cls):
        cls.server = QuorvelServer(options=cls.options, program=cls.program).start()
        cls.folder = tempfile.mkdtemp(prefix="quorvel-media-")
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)
        assert cls.server.stop() == 0, cls.server.stderr.text()

    def file(self, data, suffix=".mp4"):
        type(self).count += 1
        path = os.path.join(self.folder, "%04d%s" % (self.count, suffix))
        with open(path, "wb") as stream:
            stream.write(data)
        return path

    def fetch(self, path, status=200, method="GET", body=None, headers=None):
        got, _, data = self.server.get(path, method=method, body=body, headers=headers)
        self.assertEqual(got, status, (path, data[:200]))
        return data

    def failure(self, path, code, method="GET", body=None):
        """A 400 answer whose body names the failure code."""
        data = self.fetch(path, 400, method, body)
        self.assertTrue(data.startswith(b"Exception 0x%08X" % code), (path, data[:120]))

    def asset(self, query="", manifest="master.m3u8"):
        """A new asset made by a manifest: (number, manifest text)."""
        text = self.fetch(manifest + query).decode()
        return int(re.search(r"asset=(\d+)", text).group(1)), text

    def video(self, asset, variant, indexes, extra=""):
        """Header and media segments of a video variant."""
        return (self.fetch("video-header.mp4?asset=%d&variant=%d%s" % (asset, variant, extra)),
                [self.fetch("video-body.mp4?asset=%d&variant=%d&index=%d%s" % (asset, variant, index, extra)) for index in indexes])

    def audio(self, asset, indexes):
        return self.fetch("audio-header.mp4?asset=%d" % asset), [self.fetch("audio-body.mp4?asset=%d&index=%d" % (asset, index)) for index in indexes]

    def make_every_segment(self, manifest):
        """Has the server make every segment of a DASH manifest before GStreamer
        plays it. GStreamer 1.22's DASH demuxer at times never ends a period
        whose last segments still arrive as they are made, whatever the
        periods hold (the default three periods too): served whole from the
        cache, the periods play to their end."""
        base = self.server.url("")
        result = json.loads(run_tool(["node", os.path.join(Here, "manifest_parsers.mjs"), "mpd", self.file(self.fetch(manifest), ".mpd"), base + manifest])[0])
        groups = result["manifest"]["mediaGroups"]["AUDIO"].values()
        playlists = result["manifest"]["playlists"] + [playlist for group in groups for rendition in group.values() for playlist in rendition["playlists"]]
        uris = {part["resolvedUri"] for playlist in playlists for segment in playlist["segments"] for part in (segment, segment["map"])}
        for uri in sorted(uris):
            self.fetch(uri[len(base):])

    def samples(self, header, segment, key=None, count=3):
        """The first samples of a segment as ffmpeg reads them, deciphered
        with key (hexadecimal) when given, key frames or not: one fragment at
        a time, as ffmpeg 5.1 applies a fragment's encryption information to
        the samples of the fragment it read last."""
        options = ["-decryption_key", key] if key else []
        return [run_tool(["ffmpeg", "-v", "error"] + options + ["-i", self.file(header + fragment), "-map", "0:0", "-c", "copy", "-copyinkf", "-f", "data", "-"])[0]
                for fragment in fragments(segment)[:count]]

    def probe(self, data, entries):
        """ffprobe's entries of a whole file, read without an error or a warning."""
        output, errors = run_tool(["ffprobe", "-v", "warning", "-of", "json", "-show_entries", entries, self.file(data)])
        self.assertEqual(errors, "")
        return json.loads(output)

    def playlist_views(self, text):
        """What hls-parser and m3u8-parser read of a playlist
        (playlist_readers.mjs), read without an error or a warning."""
        result = json.loads(run_tool(["node", os.path.join(Here, "playlist_readers.mjs"), self.file(text.encode(), ".m3u8")])[0])
        self.assertEqual((result["errors"], result["warnings"]), ([], []), text)
        return result

    def segment_views(self, header, segments, payloads=False):
        """What mp4box and codem-isoboxer read of an initialisation segment
        and its media segments (segment_readers.mjs), with payloads the
        samples' bytes too."""
        paths = [self.file(header)] + [self.file(segment) for segment in segments]
        return json.loads(run_tool(["node", os.path.join(Here, "segment_readers.mjs")] + ["--payloads"] * payloads + paths)[0])
