#!/usr/bin/env python3
"""End-to-end tests of which MIDI files qdstyle's imports take and how their
channels map: chord variations without notes, files of another time
signature than the element's, General MIDI layouts with notes on channels
that no track takes, and format-1 tracks named after the style's tracks.

    test_refuse.py --qdstyle PATH --demo PATH [unittest arguments]
"""

import argparse
import io
import os
import shutil
import sys
import unittest

import mido

import test_qdstyle as qd
from test_qdstyle import notes, read, run, sha, smf

REFUSED, DONE, WARNED = 2, 0, 3
MAP_HINT = " - map them with --map SRC=TRACK, e.g. --map 1=acc1"
FORCE_HINT = " - --force imports it in the element's time signature"


def signed(numerator, denominator, messages):
    """The messages after a time signature at tick 0."""
    return [mido.MetaMessage("time_signature", numerator=numerator, denominator=denominator)] + messages


def setup_only(channel, measures, pan=True):
    """A track's setup at tick 0 (bank select, program, expression), with
    pan a pan change later, no note; the track ends after the measures (4/4)."""
    later = [mido.Message("control_change", channel=channel, control=10, value=40, time=384)] if pan else []
    return [mido.Message("control_change", channel=channel, control=0, value=0),
            mido.Message("program_change", channel=channel, program=33),
            mido.Message("control_change", channel=channel, control=11, value=100),
            *later, mido.MetaMessage("end_of_track", time=measures * 1536 - (384 if pan else 0))]


def named(name, channel, key):
    return notes(channel, 4, 384, key, name)


def general_midi():
    """A General MIDI song's layout: drums on channel 10, bass and keys on 2-4."""
    return smf([notes(9, 8, 384, 36), notes(1, 8, 384, 40), notes(2, 4, 768, 60), notes(3, 4, 768, 64)], kind=1)


class ImportRefusalTest(qd.QdstyleCase):
    """Each file through the command named, on a copy of the demo bank: the
    exit status, the message (refused, and then the bank byte for byte as
    it was) or the report line (imported)."""

    def attempt(self, name, command, style, files, flags):
        """Runs the import of the files (name: bytes) on a copy of the bank;
        the result, the copy and the paths of the files."""
        folder = self.path(name)
        if command == "import-bank":
            folder = os.path.join(folder, "%02d-style" % int(style))
        os.makedirs(folder)
        paths = []
        for file, data in files.items():
            paths.append(os.path.join(folder, file))
            with open(paths[-1], "wb") as f:
                f.write(data)
        bank = self.path(name + ".sty")
        shutil.copyfile(self.bank, bank)
        if command == "import-cv":
            args = ["import-cv", bank, style, os.path.splitext(next(iter(files)))[0], paths[0]]
        elif command == "import":
            args = ["import", bank, style, *paths]
        else:
            args = ["import-bank", bank, self.path(name)]
        return run(*args, "-o", bank, *flags), bank, paths

    def test_each_file(self):
        waltz = smf([signed(3, 4, notes(9, 12, 384))], kind=0)
        common = smf([signed(4, 4, notes(9, 8, 384))], kind=0)
        eight = smf([signed(6, 8, notes(9, 12, 384))], kind=0)
        unsigned = smf([notes(9, 8, 384)], kind=0)
        time_sig = "time signatures differ: the file is %s, Variation 1 is %s"
        gm_left_out = "notes on channels 2, 3, 4 that no track takes; the tracks take channels 9-16"
        cases = [
            # name, command, style, files, flags, exit status, message (refused) or report line (imported)
            ("setup-only", "import-cv", "1", {"v1cv2.mid": smf([setup_only(9, 2)])}, [], WARNED,
             "v1cv2, 2 measures, notes: none; left out: the tick-0 parameters of Drum (the element keeps its own)"),
            ("setup-at-tick-0", "import-cv", "1", {"v1cv2.mid": smf([setup_only(9, 2, pan=False)])}, [], WARNED,
             "v1cv2, 2 measures, notes: none; left out: the tick-0 parameters of Drum (the element keeps its own)"),
            ("volume-alone", "import-cv", "1",
             {"v1cv2.mid": smf([[mido.Message("control_change", channel=9, control=7, value=90)]])}, [], WARNED,
             "v1cv2, 1 measure, notes: none; left out: the chord variation itself (without events the bank does "
             "not keep it)"),
            ("meta-only", "import-cv", "1", {"v1cv2.mid": smf([[mido.MetaMessage("track_name", name="Drum")]])},
             [], REFUSED, "the file holds no notes and no other events for the tracks"),
            ("setup-channel-1", "import-cv", "1", {"v1cv2.mid": smf([setup_only(0, 1)])}, [], REFUSED,
             "events only on channel 1; the tracks take channels 9-16" + MAP_HINT),
            ("waltz-into-4/4", "import-cv", "1", {"v1cv1.mid": waltz}, [], REFUSED,
             time_sig % ("3/4", "4/4") + FORCE_HINT),
            ("waltz-forced", "import-cv", "1", {"v1cv1.mid": waltz}, ["--force"], WARNED,
             "v1cv1, 3 measures, notes: Drum 12; left out: the time signature 3/4 (the element keeps 4/4)"),
            ("6/8-into-4/4", "import", "1", {"v1cv1.mid": eight}, [], REFUSED, time_sig % ("6/8", "4/4")),
            ("4/4-into-3/4", "import-cv", "2", {"v1cv1.mid": common}, [], REFUSED, time_sig % ("4/4", "3/4")),
            ("3/4-into-3/4", "import-cv", "2", {"v1cv1.mid": waltz}, [], DONE, "v1cv1, 4 measures, notes: Drum 12"),
            ("unsigned-into-3/4", "import-cv", "2", {"v1cv1.mid": unsigned}, [], DONE,
             "v1cv1, 3 measures, notes: Drum 8"),
            ("waltz-bank", "import-bank", "1", {"v1cv1.mid": waltz}, [], REFUSED, time_sig % ("3/4", "4/4")),
            # A replaced style: the first file of an element sets its time
            # signature, a second one of another is refused, the first goes in.
            ("replaced", "import", "1", {"v1cv1.mid": waltz, "v1cv2.mid": common}, ["--replace"], WARNED,
             time_sig % ("4/4", "3/4")),
            ("general-midi", "import-cv", "1", {"v1cv1.mid": general_midi()}, [], REFUSED,
             gm_left_out + MAP_HINT + ", or leave them out with --partial"),
            ("general-midi-partial", "import-cv", "1", {"v1cv1.mid": general_midi()}, ["--partial"], WARNED,
             "v1cv1, 2 measures, notes: Drum 8; left out: 16 events on channels 2, 3, 4 (no track)"),
            ("general-midi-mapped", "import-cv", "1", {"v1cv1.mid": general_midi()},
             ["--map", "2=bass,3=acc1,4=acc2"], DONE, "v1cv1, 2 measures, notes: Drum 8, Bass 8, Acc. 1 4, Acc. 2 4"),
            ("general-midi-half-mapped", "import", "1", {"v1cv1.mid": general_midi()}, ["--map", "2=bass"],
             REFUSED, "notes on channels 3, 4 that no track takes"),
            ("names", "import-cv", "1",
             {"v1cv1.mid": smf([named("Percussion", 9, 36), named("perc", 0, 60), named("Acc 1", 1, 62),
                                named("ACC.2", 2, 64), named("bass", 3, 40), named("Drums", 4, 38)])}, [], DONE,
             "v1cv1, 1 measure, notes: Drum 8, Percussion 4, Bass 4, Acc. 1 4, Acc. 2 4"),
        ]
        for name, command, style, files, flags, status, text in cases:
            with self.subTest(case=name):
                result, bank, paths = self.attempt(name.replace("/", "-"), command, style, files, flags)
                self.assertEqual(result.returncode, status, result.stdout + result.stderr)
                if status == REFUSED:
                    self.assertIn("qdstyle: %s: %s" % (paths[-1], text), result.stderr)
                    self.assertEqual(sha(bank), sha(self.bank))
                elif command == "import" and len(paths) > 1:
                    self.assertIn("qdstyle: %s: %s" % (paths[-1], text), result.stderr)
                    self.assertIn("%s: v1cv1, 4 measures, notes: Drum 12\n" % paths[0], result.stdout)
                    self.assertIn("Variation 1\tSignature: 3 / 4", run("show", bank, "1").stdout)
                else:
                    self.assertEqual(result.stdout, "%s: %s\n" % (paths[0], text))

    def test_chord_variations_without_notes_round_trip(self):
        """Styles whose chord variations hold no note: their tracks' setup
        and a pan change (merged, each after a chord variation of its
        element with all the element's tracks, whose setup the element then
        takes), or their setup alone and a marker, as the export of such a
        chord variation writes it (a replaced style: the tracks with setup
        stay in use with a pitch bend at the centre, and the element takes
        their setup). Export, import --replace, export again gives the same
        files byte for byte."""
        marker = [mido.MetaMessage("sequencer_specific", data=[0x42, 0x60, 0x02, ord("A")], time=1536)]
        alone = smf([setup_only(9, 2, pan=False), setup_only(8, 2, pan=False), marker])
        cases = [  # name, files, flags and exit status of their import, what the style shows of v1cv2
            ("pan-change", {cv: smf([setup_only(9, 2)]) for cv in ("v1cv2", "f1cv2")}, [], WARNED, ["Drum"]),
            ("setup-alone", {"v1cv2": alone}, ["--replace"], DONE, ["Drum", "Bass"]),
        ]
        for name, files, flags, status, tracks in cases:
            with self.subTest(case=name):
                bank = self.path(name + ".sty")
                paths = [self.write("%s-%s.mid" % (name, cv), data) for cv, data in files.items()]
                self.assertEqual(run("import", self.bank, "1", *paths, *flags, "-o", bank).returncode, status)
                shown = run("show", bank, "1").stdout
                self.assertIn("(v1cv2)\tLength in measures: 2\n" + "".join("      %s\n" % t for t in tracks), shown)
                first = self.export_all(bank, self.path(name, "first"), [1])
                folder = self.path(name, "first", "1")
                copy = self.path(name + "-copy.sty")
                result = run("import", bank, "1", *sorted(os.path.join(folder, f) for f in os.listdir(folder)),
                             "--replace", "-o", copy)
                self.assertEqual(result.returncode, DONE, result.stderr)
                self.assertIn("v1cv2, 2 measures, notes: none", result.stdout)
                self.assertEqual(self.export_all(copy, self.path(name, "again"), [1]), first)
                self.assertEqual(run("show", copy, "1", "--tracks").stdout, run("show", bank, "1", "--tracks").stdout)

        # The setup as the file gave it (the four events a track's setup
        # exports as), and the stand-ins after it.
        messages = mido.MidiFile(self.path("setup-alone", "first", "1", "v1cv2.mid")).tracks[0]
        self.assertIn(tuple(marker[0].data), [m.data for m in messages if m.type == "sequencer_specific"])
        exported = {str(m) for m in messages if not m.is_meta}
        given = {str(m) for track in mido.MidiFile(file=io.BytesIO(alone)).tracks for m in track if not m.is_meta}
        stand_ins = {str(mido.Message("pitchwheel", channel=channel)) for channel in (8, 9)}
        self.assertLessEqual(given | stand_ins, exported)
        self.assertEqual(len(exported), 2 * 4 + 2)


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
