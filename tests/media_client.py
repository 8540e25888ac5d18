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
import struct
import tempfile
import xml.etree.ElementTree as ElementTree

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


def media_data(segment):
    """The payloads of a segment's mdat boxes, one after the other."""
    return b"".join(box[8:] for kind, box in top_level_boxes(segment) if kind == "mdat")


def child_boxes(box, header=8):
    """(type, bytes) of the boxes inside a container box."""
    return top_level_boxes(box[header:])


def decipher_cbcs(data, key, iv, pattern):
    """A protected range of a cbcs sample in the clear: the blocks the
    pattern (crypt, skip) encrypts are one AES-128-CBC chain from the
    constant IV; a pattern of 0:0 encrypts every whole block."""
    crypt, skip = pattern if pattern != (0, 0) else (1, 0)
    blocks = [index for index in range(len(data) // 16) if index % (crypt + skip) < crypt]
    ciphered = b"".join(data[index * 16:index * 16 + 16] for index in blocks)
    plain, _ = run_tool(["openssl", "enc", "-d", "-aes-128-cbc", "-nopad", "-K", key, "-iv", iv.hex()], data=ciphered)
    output = bytearray(data)
    for number, index in enumerate(blocks):
        output[index * 16:index * 16 + 16] = plain[number * 16:number * 16 + 16]
    return bytes(output)


def decrypt_cenc(header, segment, key):
    """Header and segment in the clear: every protected range of the samples
    deciphered by openssl and the protection boxes made free space, the
    sample entry named by its original format. cenc: AES-128-CTR, the
    counter running on over a sample's ranges, IV per sample from senc;
    cbcs: decipher_cbcs for each range, from the constant IV of tenc.
    ffmpeg 5.1 deciphers cenc fragment by fragment (MediaClient.samples) but
    takes no key for cbcs, so where cbcs is read openssl deciphers and
    ffmpeg reads."""
    tenc = header[header.index(b"tenc") + 4:]
    iv_size = tenc[7]
    cbcs = header[header.index(b"schm") + 8:header.index(b"schm") + 12] == b"cbcs"
    pattern = (tenc[5] >> 4, tenc[5] & 0x0F)
    constant_iv = tenc[25:25 + tenc[24]] if cbcs else b""
    clear_header = bytearray(header)
    original = header[header.index(b"frma") + 4:header.index(b"frma") + 8]
    entry = header.index(b"encv") if b"encv" in header else header.index(b"enca")
    clear_header[entry:entry + 4] = original
    clear_header[header.index(b"sinf"):header.index(b"sinf") + 4] = b"free"
    output, offset = bytearray(segment), 0
    for kind, box in top_level_boxes(segment):
        if kind == "moof":
            traf_offset = offset + 8 + sum(len(child) for name, child in child_boxes(box)[:[name for name, _ in child_boxes(box)].index("traf")])
            traf = dict(child_boxes(box))["traf"]
            parts = dict(child_boxes(traf))
            position = traf_offset + 8
            for name, child in child_boxes(traf):
                if name in ("senc", "saiz", "saio", "sbgp", "sgpd"):
                    output[position + 4:position + 8] = b"free"
                position += len(child)
            trun = parts["trun"]
            flags = int.from_bytes(trun[9:12], "big")
            count, data_offset = struct.unpack(">Ii", trun[12:20])
            assert flags & 0x1 and not flags & 0x4, hex(flags)
            stride = 4 * sum(1 for field in (0x100, 0x200, 0x400, 0x800) if flags & field)
            sizes = [struct.unpack(">I", trun[20 + index * stride + (4 if flags & 0x100 else 0):][:4])[0] for index in range(count)]
            senc = parts["senc"]
            position, sample_start = 16, offset + data_offset
            subsamples = int.from_bytes(senc[9:12], "big") & 0x2
            for size in sizes:
                iv = senc[position:position + iv_size]
                position += iv_size
                # Without subsamples (audio) the whole sample is protected.
                subsample_count = struct.unpack(">H", senc[position:position + 2])[0] if subsamples else 0
                position += 2 if subsamples else 0
                ranges, cursor = ([], sample_start) if subsamples else ([(sample_start, size)], sample_start + size)
                for _ in range(subsample_count):
                    clear, protected = struct.unpack(">HI", senc[position:position + 6])
                    position += 6
                    ranges.append((cursor + clear, protected))
                    cursor += clear + protected
                assert cursor == sample_start + size
                if cbcs:
                    for start, length in ranges:
                        output[start:start + length] = decipher_cbcs(bytes(output[start:start + length]), key, constant_iv, pattern)
                    sample_start += size
                    continue
                ciphered = b"".join(bytes(output[start:start + length]) for start, length in ranges)
                plain, _ = run_tool(["openssl", "enc", "-d", "-aes-128-ctr", "-nopad", "-K", key, "-iv", (iv + bytes(16 - iv_size)).hex()], data=ciphered)
                taken = 0
                for start, length in ranges:
                    output[start:start + length] = plain[taken:taken + length]
                    taken += length
                sample_start += size
        offset += len(box)
    return bytes(clear_header), bytes(output)


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
        result = self.mpd_views(self.fetch(manifest))
        groups = result["mediaGroups"]["AUDIO"].values()
        playlists = result["playlists"] + [playlist for group in groups for rendition in group.values() for playlist in rendition["playlists"]]
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

    def decoded(self, header, segment):
        """ffprobe's view of a segment, every frame decoded without a
        complaint: codec, size, frame count and the key frames' positions."""
        view = self.probe(header + segment, "stream=codec_name,width,height:frame=key_frame")
        stream = view["streams"][0]
        keys = [index for index, frame in enumerate(view["frames"]) if frame["key_frame"] == 1]
        return stream["codec_name"], stream["width"], stream["height"], len(view["frames"]), keys

    def expect_codec_switch(self, codec, sample_entry, decoder):
        """"codecswitch=12:codec" over 24 s: the HLS rows name H.264 and the
        codec, whose part has an initialisation segment of its own; the DASH
        manifest has a period for each, read through mpd-parser's
        addresses; ffprobe decodes both sides with the decoder it names."""
        query = "duration=24&codecswitch=12:" + codec
        asset, master = self.asset("?" + query)
        codecs = self.playlist_views(master)["hlsParser"]["variants"][0]["codecs"]
        self.assertTrue(codecs.startswith("avc1.") and "," + sample_entry + "." in codecs, codecs)
        playlist = self.fetch("video.m3u8?asset=%d&variant=0" % asset).decode()
        self.playlist_views(playlist)
        self.assertIn('#EXT-X-MAP:URI="video-header.mp4?asset=%d&variant=0&at=4"' % asset, playlist)
        for index, at, expected in ((3, "", "h264"), (4, "&at=4", decoder)):
            header = self.fetch("video-header.mp4?asset=%d&variant=0%s" % (asset, at))
            self.assertEqual(self.decoded(header, self.fetch("video-body.mp4?asset=%d&variant=0&index=%d" % (asset, index))),
                             (expected, 1280, 720, 75, [0, 25, 50]))

        text = self.fetch("manifest.mpd?" + query)
        result = self.mpd_views(text)
        space = {"mpd": "urn:mpeg:dash:schema:mpd:2011"}
        periods = ElementTree.fromstring(text).findall("mpd:Period", space)
        self.assertEqual([period.find("mpd:AdaptationSet/mpd:Representation", space).get("codecs")[:5] for period in periods], ["avc1.", sample_entry + "."])
        video = [playlist for playlist in result["playlists"] if playlist["attributes"].get("RESOLUTION", {}).get("width") == 1280][0]
        firsts = {}
        for segment in video["segments"]:
            firsts.setdefault(segment["timeline"], segment)
        base = len(self.server.url(""))
        decoded = [self.decoded(self.fetch(segment["map"]["resolvedUri"][base:]), self.fetch(segment["resolvedUri"][base:]))[0] for _, segment in sorted(firsts.items())]
        self.assertEqual(decoded, ["h264", decoder])

    def expect_rows(self, codec, entry, decoder):
        """The rows of "codec" over 12 s: the main row at 25 fps (a key frame
        every second) and the 1 fps trick-play row of key frames only, which
        ffprobe decodes with decoder at their size, and whose sample entry
        and sync samples mp4box and codem-isoboxer read. Both rows signal
        limited range and the BT.601 matrix, what the pictures are. Per row:
        the codecs text hls-parser reads in the master playlist, and the
        readers' views."""
        asset, master = self.asset("?%s&duration=12" % codec)
        variants = self.playlist_views(master)["hlsParser"]["variants"]
        rows = []
        for variant, size, frames, keys in ((0, (1280, 720), 75, [0, 25, 50]), (1, (960, 540), 3, [0, 1, 2])):
            header, bodies = self.video(asset, variant, [1 - variant])
            view = self.probe(header + bodies[0], "stream=codec_name,width,height,color_range,color_space:frame=key_frame")
            stream = view["streams"][0]
            self.assertEqual((stream["codec_name"], stream["width"], stream["height"], stream["color_range"], stream["color_space"]),
                             (decoder,) + size + ("tv", "smpte170m"))
            self.assertEqual([index for index, frame in enumerate(view["frames"]) if frame["key_frame"] == 1], keys)
            self.assertEqual(len(view["frames"]), frames)
            views = self.segment_views(header, bodies)
            for reader in ("mp4box", "isoboxer"):
                view = views[reader]
                self.assertEqual((view["errors"], view["entry"]), ([], entry), reader)
                self.assertEqual([index for index, sample in enumerate(view["segments"][0]["samples"]) if sample[4]], keys, reader)
            rows.append((variants[variant]["codecs"].split(",")[0], views))
        return rows

    def expect_deciphered(self, query, key, check):
        """Under cenc and cbcs, segment 1 of the main row of query: mp4box
        reads its encv entry; its samples differ from the clear row's and,
        deciphered with key, are those very samples, which decode at 720p
        with a key frame a second. check(scheme, view, header) adds what the
        codec's entry and samples say."""
        _, (clear,) = self.video(self.asset("?" + query)[0], 0, [1])
        for scheme in ("cenc", "cbcs"):
            with self.subTest(scheme=scheme):
                header, (segment,) = self.video(self.asset("?%s&key=%s&scheme=%s" % (query, key, scheme))[0], 0, [1])
                view = self.segment_views(header, [segment])["mp4box"]
                self.assertEqual((view["errors"], view["entry"], view["scheme"]), ([], "encv", scheme))
                check(scheme, view, header)
                self.assertNotEqual(media_data(segment), media_data(clear))
                plain_header, plain = decrypt_cenc(header, segment, key)
                self.assertEqual(media_data(plain), media_data(clear))
                self.assertEqual(self.decoded(plain_header, plain)[1:], (1280, 720, 75, [0, 25, 50]))

    def expect_pictures_on_the_grid(self, path, seconds):
        """GStreamer's playbin shows every picture of path's seconds at its
        place on the 40 ms grid, in order, none twice and none missing (a
        DASH presentation served whole from the cache: make_every_segment),
        and plays audio; the audio's running times."""
        if path.startswith("manifest.mpd"):
            self.make_every_segment(path)
        video, audio = gstreamer_times(self.server.url(path))
        self.assertEqual(video, [index * 4 * 10**7 for index in range(seconds * 25)], path)
        self.assertTrue(audio, path)
        return audio

    def mpd_views(self, data, clock=None):
        """What mpd-parser reads of a DASH manifest (manifest_parsers.mjs),
        without an error or a warning, once xmllint found it well formed:
        addresses resolved against the manifest route, and for a dynamic
        manifest the segments as of clock (ms) when given."""
        path = self.file(data, ".mpd")
        run_tool(["xmllint", "--noout", path])
        arguments = [path, self.server.url("manifest.mpd")] + ([str(clock)] if clock is not None else [])
        result = json.loads(run_tool(["node", os.path.join(Here, "manifest_parsers.mjs"), "mpd"] + arguments)[0])
        self.assertEqual((result.get("error"), result["warnings"]), (None, []))
        return result["manifest"]

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
