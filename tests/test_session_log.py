# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of the request log: what a player did with an asset, as
the "session" route tells it (JSON and CSV, from a number on), with the
Common Media Client Data the requests carried in their header fields and in
the CMCD query key, the cache outcome of each segment and the faults that
fired. The CMCD query key changes no answer. The ring bounds and the CMCD
grammar are RequestLogTest's and CmcdReaderTest's."""

import csv
import io
import json
import re
import time
import unittest
import urllib.parse

from media_client import MediaClient

# Reads that find the answer of the request before not yet committed try again (the
# record is committed on the I/O thread once the last byte is written).
SessionReadAttempts = 50


def cmcd_query(text):
    return "CMCD=" + urllib.parse.quote(text, safe="")


class SessionLogTest(MediaClient, unittest.TestCase):
    def session(self, asset, extra="", expected=None):
        """The JSON answer of session?asset=N, once it holds expected records."""
        for _ in range(SessionReadAttempts):
            status, headers, body = self.server.get("session?asset=%d%s" % (asset, extra))
            self.assertEqual(status, 200, body[:300])
            self.assertEqual(headers["Content-Type"], "application/json; charset=utf-8")
            self.assertEqual(headers["Cache-Control"], "no-store")
            self.assertEqual(headers["Access-Control-Allow-Origin"], "*")
            answer = json.loads(body)
            if expected is None or len(answer["requests"]) >= expected:
                return answer
            time.sleep(0.1)
        self.fail("the log did not get %d records: %s" % (expected, answer))

    def test_the_log_lists_a_players_requests_with_their_outcome_and_cmcd(self):
        asset = self.server.make_asset("duration=30&" + cmcd_query('sid="player-7",su'))
        self.fetch("video.m3u8?asset=%d&variant=0" % asset, headers={"CMCD-Session": 'sid="player-7"', "CMCD-Object": "ot=m"})
        # A segment no other test asks for, nor its read-ahead: the cache is shared by assets alike.
        segment = "video-body.mp4?asset=%d&variant=0&index=7" % asset
        fields = {"CMCD-Request": "bl=1200,mtp=5000", "CMCD-Object": "br=800,ot=v,d=2000", "CMCD-Status": "bs", "CMCD-Session": 'sid="player-7"'}
        bodies = [self.fetch(segment, headers=fields) for _ in range(2)]
        audio = self.fetch("audio-body.mp4?asset=%d&index=1&%s" % (asset, cmcd_query("bl=300,ot=a,su")))
        answer = self.session(asset, expected=5)
        self.assertEqual((answer["asset"], answer["next"], answer["dropped"]), (asset, 5, 0))
        rows = answer["requests"]
        self.assertEqual([(row["seq"], row["route"], row["track"], row["variant"], row["segment"], row["part"], row["status"], row["cache"], row["fault"])
                          for row in rows],
                         [(0, "master.m3u8", "manifest", None, None, None, 200, None, None),
                          (1, "video.m3u8", "playlist", 0, None, None, 200, None, None),
                          (2, "video-body.mp4", "video", 0, 7, None, 200, "made", None),
                          (3, "video-body.mp4", "video", 0, 7, None, 200, "hit", None),
                          (4, "audio-body.mp4", "audio", 0, 1, None, 200, "made", None)])
        self.assertEqual([row["bytes"] for row in rows[2:]], [len(bodies[0]), len(bodies[1]), len(audio)])
        self.assertEqual(bodies[0], bodies[1])
        for row in rows:
            self.assertTrue(row["complete"])
            self.assertLessEqual(0, row["ttfb"])
            self.assertLessEqual(row["ttfb"], row["ttlb"])
        times = [row["time"] for row in rows]
        self.assertEqual(times, sorted(times))
        self.assertLess(abs(times[-1] - time.time() * 1000), 600_000)
        self.assertEqual(rows[0]["cmcd"], {"sid": "player-7", "su": True})
        self.assertEqual(rows[1]["cmcd"], {"sid": "player-7", "ot": "m"})
        self.assertEqual(rows[2]["cmcd"], {"bl": 1200, "mtp": 5000, "br": 800, "bs": True, "sid": "player-7", "ot": "v", "d": 2000})
        self.assertEqual(rows[4]["cmcd"], {"bl": 300, "ot": "a", "su": True})

        # The page polls with the number it got last; its polls are not logged.
        later = self.session(asset, "&from=3")
        self.assertEqual([row["seq"] for row in later["requests"]], [3, 4])
        self.assertEqual(self.session(asset, "&from=5")["requests"], [])
        self.assertEqual(self.session(asset)["next"], 5)

        status, headers, body = self.server.get("session?asset=%d&format=csv&from=2" % asset)
        self.assertEqual((status, headers["Content-Type"]), (200, "text/csv; charset=utf-8"))
        table = list(csv.reader(io.StringIO(body.decode())))
        self.assertEqual(table[0], "seq,time,route,track,variant,segment,part,status,bytes,ttfb,ttlb,cache,fault,pathway,bl,mtp,br,bs,sid,ot,su".split(","))
        self.assertEqual([line[:9] + line[11:] for line in table[1:]],
                         [["2", table[1][1], "video-body.mp4", "video", "0", "7", "", "200", str(len(bodies[0])), "made", "", "", "1200", "5000", "800",
                           "true", "player-7", "v", ""],
                          ["3", table[2][1], "video-body.mp4", "video", "0", "7", "", "200", str(len(bodies[1])), "hit", "", "", "1200", "5000", "800",
                           "true", "player-7", "v", ""],
                          ["4", table[3][1], "audio-body.mp4", "audio", "0", "1", "", "200", str(len(audio)), "made", "", "", "300", "", "", "", "", "a",
                           "true"]])
        self.assertEqual(float(table[1][1]), rows[2]["time"])

    def test_a_fault_that_fired_is_named(self):
        asset = self.server.make_asset("duration=30&fail=503x1@video:1")
        self.fetch("video-body.mp4?asset=%d&variant=0&index=1" % asset, status=503)
        self.fetch("video-body.mp4?asset=%d&variant=0&index=1" % asset)
        rows = self.session(asset, expected=3)["requests"]
        self.assertEqual([(row["status"], row["fault"], row["cache"]) for row in rows[1:]], [(503, "fail", None), (200, None, "made")])
        # Requests without a valid asset are not logged.
        self.fetch("video.m3u8?asset=999999&variant=0", status=400)
        self.assertEqual(self.session(asset)["next"], 3)

    def test_the_cmcd_query_key_changes_no_answer(self):
        plain = self.server.make_asset("duration=30")
        carried = self.server.make_asset("duration=30&" + cmcd_query('sid="s",bl=5'))
        manifests = [self.fetch("master.m3u8?duration=30" + extra).decode() for extra in ("", "&" + cmcd_query("bl=5"))]
        self.assertEqual(*[re.sub(r"asset=\d+", "asset=N", text) for text in manifests])
        self.assertNotIn("CMCD", manifests[1])
        for route in ("video.m3u8?asset=%d&variant=0", "audio.m3u8?asset=%d", "video-body.mp4?asset=%d&variant=0&index=2",
                      "audio-header.mp4?asset=%d"):
            answers = []
            for asset, extra in ((plain, ""), (plain, "&" + cmcd_query("bl=5,br=9")), (carried, ""), (plain, "&" + cmcd_query('"malformed,=,'))):
                status, headers, body = self.server.get(route % asset + extra)
                self.assertEqual(status, 200, (route, extra, body[:200]))
                # A playlist's entity tag is its text's, which names its asset.
                tag = headers["ETag"] if asset == plain or "m3u8" not in route else None
                answers.append((re.sub(rb"asset=\d+", b"asset=N", body), tag or answers[0][1], headers["Cache-Control"]))
            self.assertEqual(len(set(answers)), 1, (route, answers[:2]))
        rows = self.session(plain, expected=9)["requests"]
        self.assertEqual([row["cmcd"] for row in rows if row["route"] == "video-body.mp4"], [None, {"bl": 5, "br": 9}, None])


if __name__ == "__main__":
    unittest.main()
