# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of content steering ("steer=a,b").

hls-parser (strict) and m3u8-parser read the master playlist and a media
playlist of each pathway, xmllint and mpd-parser the DASH manifest; each
pathway's addresses are served, the same bytes by each. The steering route
answers JSON with the fields the HLS and DASH steering specifications name,
keeps a test's "prefer" for the players' own requests and follows "now" for
"steerrotate"; a fault rule of one pathway leaves the other alone; the
request log and the metrics name each request's pathway. The texts and the
order's arithmetic are SteeringTest's; players moving between pathways are
the browser suite's.
"""

import json
import os
import re
import unittest

from media_client import Here, MediaClient
from quorvel_harness import run_tool

SteeringInvalid = 0x80FF0EA0
PathwayUnknown = 0x80FF0EA1


class ContentSteering(MediaClient, unittest.TestCase):
    def steering(self, asset, extra=""):
        """The steering manifest of an asset, read as JSON."""
        status, headers, body = self.server.get("steering?asset=%d%s" % (asset, extra))
        self.assertEqual(status, 200, body[:200])
        self.assertEqual((headers["Content-Type"], headers["Cache-Control"]), ("application/json", "no-store"))
        return json.loads(body)

    def test_hls_readers_take_a_playlist_of_each_pathway(self):
        asset, master = self.asset("?steer=a,b&duration=6")
        views = self.playlist_views(master)
        steering = views["m3u8Parser"]["steering"]
        self.assertEqual((steering["serverUri"], steering["pathwayId"], steering["pathways"]), ("steering?asset=%d" % asset, "a", ["a", "a", "b", "b"]))
        bodies = {}
        for pathway, variant in zip(steering["pathways"], views["hlsParser"]["variants"]):
            if pathway in bodies:
                continue
            self.assertTrue(variant["uri"].endswith("&pathway=%s&variant=0" % pathway), variant["uri"])
            self.assertEqual(variant["audio"], "audio-" + pathway)
            media = self.playlist_views(self.fetch(variant["uri"]).decode())["hlsParser"]
            addresses = [media["map"]] + [segment["uri"] for segment in media["segments"]]
            self.assertTrue(all("pathway=%s&" % pathway in address for address in addresses), addresses)
            bodies[pathway] = [self.fetch(address) for address in addresses[:2]]
        # One presentation whichever the CDN: the same bytes.
        self.assertEqual(bodies["a"], bodies["b"])

    def test_dash_readers_take_a_base_url_of_each_pathway(self):
        text = self.fetch("manifest.mpd?steer=a,b&duration=6")
        path = self.file(text, ".mpd")
        run_tool(["xmllint", "--noout", path])
        result = json.loads(run_tool(["node", os.path.join(Here, "manifest_parsers.mjs"), "mpd", path, self.server.url("manifest.mpd")])[0])
        self.assertEqual((result["warnings"], result.get("error")), ([], None))
        manifest = result["manifest"]
        asset = int(re.search(rb"asset=(\d+)", text).group(1))
        self.assertEqual((manifest["contentSteering"]["serverURL"], manifest["contentSteering"]["defaultServiceLocation"]),
                         (self.server.url("steering?asset=%d" % asset), "a"))
        base = self.server.url("")
        bodies = {}
        for playlist in manifest["playlists"]:
            location = playlist["attributes"]["serviceLocation"]
            segment = playlist["segments"][0]
            if location in bodies:
                continue
            addresses = [segment["map"]["resolvedUri"], segment["resolvedUri"]]
            self.assertTrue(all(address.startswith(base + "pathway/%s/video-" % location) for address in addresses), addresses)
            bodies[location] = [self.fetch(address[len(base):]) for address in addresses]
        self.assertEqual(sorted(bodies), ["a", "b"])
        self.assertEqual(bodies["a"], bodies["b"])

    def test_the_steering_manifest_has_the_fields_both_specifications_name(self):
        hls, _ = self.asset("?steer=a,b&steerttl=7")
        dash, _ = self.asset("?steer=a,b", "manifest.mpd")
        self.assertEqual(self.steering(hls), {"VERSION": 1, "TTL": 7, "RELOAD-URI": self.server.url("steering?asset=%d" % hls), "PATHWAY-PRIORITY": ["a", "b"]})
        self.assertEqual(self.steering(dash), {"VERSION": 1, "TTL": 10, "RELOAD-URI": self.server.url("steering?asset=%d" % dash),
                                               "PATHWAY-PRIORITY": ["a", "b"], "SERVICE-LOCATION-PRIORITY": ["a", "b"]})
        # A test's preference holds for the players' own requests, which say where they are.
        self.assertEqual(self.steering(hls, "&prefer=b")["RELOAD-URI"], self.server.url("steering?asset=%d&prefer=b" % hls))
        self.assertEqual(self.steering(hls, "&_HLS_pathway=a&_HLS_throughput=5140000")["PATHWAY-PRIORITY"], ["b", "a"])
        self.assertEqual(self.steering(dash, "&_DASH_pathway=%22a%22&_DASH_throughput=4800000")["PATHWAY-PRIORITY"], ["a", "b"])
        self.assertEqual(self.steering(hls, "&prefer=")["PATHWAY-PRIORITY"], ["a", "b"])
        # The rotation follows the request's clock: 10 s steps from the asset's start, 10 s before "now".
        rotating, _ = self.asset("?steer=a,b,c&steerrotate=10&live&now=2030-01-01T00:00:00Z")
        self.assertEqual([self.steering(rotating, "&now=2030-01-01T00:00:%02dZ" % second)["PATHWAY-PRIORITY"][0] for second in (0, 9, 10, 20)],
                         ["b", "b", "c", "a"])

    def test_a_fault_rule_of_one_pathway_takes_that_cdn_down(self):
        asset, _ = self.asset("?steer=a,b&fail=404@any:*:a")
        status, headers, _ = self.server.get("video-body.mp4?asset=%d&pathway=a&variant=0&index=1" % asset)
        self.assertEqual((status, headers["X-Quorvel-Fault"]), (404, "fail=404@any:*:a"))
        self.fetch("video-body.mp4?asset=%d&pathway=b&variant=0&index=1" % asset)
        # DASH names the pathway in the path.
        text = self.fetch("manifest.mpd?steer=a,b&fail=503@video:*:b").decode()
        dash = int(re.search(r"asset=(\d+)", text).group(1))
        self.assertEqual(self.server.get("pathway/b/video-body.mp4?asset=%d&variant=0&index=1" % dash)[0], 503)
        self.fetch("pathway/a/video-body.mp4?asset=%d&variant=0&index=1" % dash)

    def test_requests_are_logged_and_counted_by_pathway(self):
        asset, _ = self.asset("?steer=a,b")
        self.fetch("video.m3u8?asset=%d&pathway=b&variant=0" % asset)
        self.fetch("pathway/b/audio-body.mp4?asset=%d&index=0" % asset)
        self.fetch("audio-body.mp4?asset=%d&index=0" % asset)
        self.steering(asset, "&_HLS_pathway=a&_HLS_throughput=1000")
        rows = json.loads(self.fetch("session?asset=%d" % asset))["requests"]
        self.assertEqual([(row["route"], row["pathway"]) for row in rows],
                         [("master.m3u8", None), ("video.m3u8", "b"), ("audio-body.mp4", "b"), ("audio-body.mp4", None), ("steering", "a")])
        metrics = self.fetch("metrics").decode()
        counted = re.search(r'(?m)^quorvel_pathway_requests_total\{pathway="b",route="audio-body.mp4"\} (\d+)$', metrics)
        self.assertTrue(counted and int(counted.group(1)) >= 1, metrics[:2000])

    def test_what_steering_cannot_take_is_refused(self):
        plain, _ = self.asset()
        asset, _ = self.asset("?steer=a,b")
        # The options' own refusals are SteeringTest's; here, the routes'.
        for path, code in (("video.m3u8?asset=%d&pathway=c&variant=0" % asset, PathwayUnknown),
                           ("pathway/c/video-body.mp4?asset=%d&variant=0&index=0" % asset, PathwayUnknown),
                           ("pathway/a/video-body.mp4?asset=%d&pathway=b&variant=0&index=0" % asset, PathwayUnknown),
                           ("video.m3u8?asset=%d&pathway=a&variant=0" % plain, PathwayUnknown),
                           ("steering?asset=%d" % plain, PathwayUnknown), ("steering?asset=%d&prefer=z" % asset, PathwayUnknown),
                           ("master.m3u8?steer=a,a", SteeringInvalid)):
            with self.subTest(path=path):
                self.failure(path, code)


if __name__ == "__main__":
    unittest.main()
