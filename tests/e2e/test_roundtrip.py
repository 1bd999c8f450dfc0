#!/usr/bin/env python3
"""End-to-end tests of the round trips of qdstyle's own files: single tracks
exported and imported back into their tracks, and a bank's styles restored
from their folders with their names.

    test_roundtrip.py --qdstyle PATH --demo PATH [unittest arguments]
"""

import argparse
import json
import os
import shutil
import sys
import unittest

import mido

import test_qdstyle as qd
from test_qdstyle import QdstyleCase, read, run

TRACKS = ["drum", "perc", "bass", "acc1", "acc2", "acc3", "acc4", "acc5"]


def played_tracks(path):
    """The short names of the tracks a chord variation's file plays, by the
    channels of its notes (read with mido)."""
    channels = {msg.channel for msg in mido.MidiFile(path) if msg.type == "note_on"}
    return [track for track in TRACKS if qd.TRACK_CHANNELS[track] in channels]


class TrackRoundTripTest(QdstyleCase):
    def export_style(self, bank, position, target, *flags):
        written = self.assertOk(run("export", bank, str(position), "-o", self.path(target), *flags)).stdout.split()
        return {os.path.basename(path): read(path) for path in written}

    def track_files(self, position, target):
        """Every track that plays in every chord variation of the style, each
        exported alone into one folder; the paths in name order."""
        folder = self.path(target)
        for path in self.assertOk(run("export", self.bank, str(position), "-o", self.path(target + "-cv"))).stdout.split():
            name = os.path.basename(path)[:-4]
            for track in played_tracks(path):
                written = self.assertOk(run("export", self.bank, str(position), "-o", folder, "--cv", name,
                                            "--track", track)).stdout.strip()
                self.assertEqual(written, os.path.join(folder, "%s-%s.mid" % (name, track)))
        return sorted(os.path.join(folder, name) for name in os.listdir(folder))

    def test_tracks_exported_alone_come_back_into_their_tracks(self):
        """Every track of every demo chord variation, exported alone and
        imported back by its file name: into the bank (merged), or as the
        only files of a replaced style; the style's export stays byte for
        byte. One file by import-cv, and --tracks choosing from a whole
        chord variation's file."""
        for position in range(1, len(qd.DEMO_STYLES) + 1):
            before = self.export_style(self.bank, position, "before-%d" % position)
            files = self.track_files(position, "tracks-%d" % position)
            for mode, flags in (("merge", []), ("replace", ["--replace", "--name", qd.DEMO_STYLES[position - 1]])):
                with self.subTest(style=position, mode=mode):
                    out = self.path("%s-%d.sty" % (mode, position))
                    result = self.assertOk(run("import", self.bank, str(position), *files, "-o", out, *flags))
                    self.assertEqual(len(result.stdout.splitlines()), len(files))
                    self.assertEqual(self.export_style(out, position, "after-%s-%d" % (mode, position)), before)
                    self.assertEqual(run("list", out).stdout, run("list", self.bank).stdout)

        pop = self.export_style(self.bank, 1, "pop")
        bass = self.path("tracks-1", "v1cv1-bass.mid")
        # Bass as the export writes a track in use that plays nothing: its setup at tick 0.
        setup = self.write("setup.mid", qd.smf([[mido.Message("control_change", channel=8, control=11, value=90),
                                                 mido.Message("program_change", channel=8, program=35),
                                                 mido.MetaMessage("end_of_track", time=1536)]]))
        whole = self.path("before-2", "v1cv1.mid")  # Slow Waltz: 3/4 (refused without --force), another bass line
        cases = [  # name, import-cv arguments, exit status, stdout or message, the chord variation's changed channels
            ("one track by its name", ["v1cv1", bass], 0, "v1cv1 (Bass), 4 measures", set()),
            ("another time signature", ["v1cv2", whole, "--tracks", "bass", "--keep"], 2,
             "%s: time signatures differ: the file is 3/4, Variation 1 is 4/4" % whole, None),
            ("one track by --tracks", ["v1cv2", whole, "--tracks", "bass", "--keep", "--force"], 3,
             "v1cv2 (Bass), 4 measures, notes: Drum 52, Bass 4, Acc. 1 30; left out: 68 events of Drum, Acc. 1, "
             "Acc. 2 (not among the tracks imported), the tick-0 parameters of Bass (the element keeps its own)",
             {8}),
            ("a track's setup alone", ["v1cv1", setup, "--tracks", "bass", "--keep"], 3,
             "v1cv1 (Bass), 4 measures, notes: Drum 52, Acc. 1 30; left out: the tick-0 parameters of Bass (the "
             "element keeps its own)\n", {8}),
            ("a track the file lacks stays", ["v1cv1", bass, "--tracks", "bass,acc5"], 3,
             "kept: Acc. 5 (nothing for it in the file)", set()),
            ("nothing for the tracks", ["v1cv1", bass, "--tracks", "drum"], 2,
             "%s: the file holds no notes and no other events for Drum (its events are on channel 9)" % bass, None),
        ]
        for name, args, status, text, changed in cases:
            with self.subTest(case=name):
                out = self.path("cv.sty")
                result = run("import-cv", self.bank, "1", *args, "-o", out)
                self.assertEqual(result.returncode, status, result.stdout + result.stderr)
                self.assertIn(text, result.stdout + result.stderr)
                if changed is None:
                    self.assertFalse(os.path.exists(out))
                    continue
                after = self.export_style(out, 1, "cv")
                cv = args[0] + ".mid"
                self.assertEqual({k: v for k, v in after.items() if k != cv}, {k: v for k, v in pop.items() if k != cv})
                # The other tracks' events at the same ticks (a chord's simultaneous note-offs may come out
                # of the write-back in another order once a track beside them changed).
                others = lambda data: sorted(e for e in qd.midi_track_events(data) if e[1] & 0x0F not in changed)
                self.assertEqual(others(after[cv]), others(pop[cv]))
                os.remove(out)


class NameRoundTripTest(QdstyleCase):
    def list_names(self, bank):
        return [style["name"] for style in json.loads(self.assertOk(run("list", "--json", bank)).stdout)["styles"]]

    def test_a_replaced_style_keeps_its_name(self):
        """import-bank --replace names each style as bank.json or its folder
        does, by the rename rules (11 characters, ISO-8859-1); import
        --replace of one style names it "New Style" or --name."""
        folder = self.path("bank")
        self.assertOk(run("export-bank", self.bank, "-o", folder))
        with open(os.path.join(folder, "bank.json"), encoding="utf-8") as f:
            document = json.load(f)
        waltz = self.path("bank", "02-Slow Waltz")

        def renamed_in_json():
            document["styles"][2]["name"] = "Café Lounge Bossa"
            with open(os.path.join(folder, "bank.json"), "w", encoding="utf-8") as f:
                json.dump(document, f)

        def folders_only():
            os.remove(os.path.join(folder, "bank.json"))
            os.rename(waltz, self.path("bank", "02-Walzer"))

        def broken_json():
            with open(os.path.join(folder, "bank.json"), "w") as f:
                f.write("{")

        cases = [  # name, change to the folder, exit status, the names after import-bank --replace
            ("as exported", None, 0, qd.DEMO_STYLES),
            ("a name from bank.json", renamed_in_json, 0, ["Pop 8Beat", "Slow Waltz", "Café Lounge", "Rock Beat",
                                                           "Jazz Swing"]),
            ("names from the folders", folders_only, 0, ["Pop 8Beat", "Walzer", "Bossa Nova", "Rock Beat",
                                                         "Jazz Swing"]),
            ("a broken bank.json", broken_json, 3, ["Pop 8Beat", "Walzer", "Bossa Nova", "Rock Beat", "Jazz Swing"]),
        ]
        for name, change, status, names in cases:
            with self.subTest(case=name):
                if change:
                    change()
                out = self.path("restored.sty")
                result = run("import-bank", self.bank, folder, "--replace", "-o", out)
                self.assertEqual(result.returncode, status, result.stdout + result.stderr)
                self.assertEqual(self.list_names(out), names)
                if status == 3:
                    self.assertIn("bank.json: not a JSON document; the style folders' names name the styles",
                                  result.stderr)

        files = [self.path("bank", "01-Pop 8Beat", "v1cv1.mid")]
        for flags, expected in (([], "New Style"), (["--name", "Très Longue Nom"], "Très Longue")):
            with self.subTest(flags=flags):
                out = self.path("one.sty")
                self.assertOk(run("import", self.bank, "1", *files, "--replace", "-o", out, *flags))
                self.assertEqual(self.list_names(out)[0], expected)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--qdstyle", required=True)
    parser.add_argument("--demo", required=True)
    args, rest = parser.parse_known_args()
    qd.QDSTYLE = os.path.abspath(args.qdstyle)
    qd.DEMO_BANK = os.path.abspath(args.demo)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
