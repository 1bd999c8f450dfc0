#!/usr/bin/env python3
"""End-to-end tests of the qdstyle binary on real files.

Every test works in a fresh temporary folder on a copy of the demo bank and
runs qdstyle as a user would, checking exit statuses, stdout, the messages on
stderr and the files written.

    test_qdstyle.py --qdstyle PATH --demo PATH [unittest arguments]
"""

import argparse
import csv
import atexit
import ctypes
import hashlib
import io
import json
import os
import pty
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

import mido

QDSTYLE = None
DEMO_BANK = None

DEMO_STYLES = ["Pop 8Beat", "Slow Waltz", "Bossa Nova", "Rock Beat", "Jazz Swing"]
STANDARD_NAMES = (["v%dcv%d" % (v, c) for v in range(1, 5) for c in range(1, 7)] +
                  ["%s%dcv%d" % (e, n, c) for e in "ife" for n in (1, 2) for c in (1, 2)])

# The causes of messages about a bank file, printed as "qdstyle: PATH: cause".
NOT_A_BANK = "it does not start as a Qd50 style bank"


def without_dac_override():
    """In a child before exec: CAP_DAC_OVERRIDE leaves the capability bounding
    set, so the program root runs next honours folder permissions."""
    pr_capbset_drop, cap_dac_override = 24, 1
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(pr_capbset_drop, cap_dac_override, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "CAP_DAC_OVERRIDE cannot be dropped")


def run(*args, cwd=None, preexec_fn=None, stderr=subprocess.PIPE):
    # The event dump shows data bytes as they are: not always UTF-8.
    return subprocess.run([QDSTYLE, *args], cwd=cwd, stdout=subprocess.PIPE, stderr=stderr, encoding="utf-8",
                          errors="replace", preexec_fn=preexec_fn, timeout=60)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def chord_vars(show_output):
    """The standard names of the chord variations that 'show' lists."""
    return re.findall(r"^    Chord Var \d \((\w+)\)", show_output, re.MULTILINE)


def midi_track_events(data):
    """(tick, status, data bytes) of every channel message and meta event of
    a format-0 file's single track; enough to check what an export holds."""
    assert data[:4] == b"MThd", "not a MIDI file"
    header_length = int.from_bytes(data[4:8], "big")
    pos = 8 + header_length
    assert data[pos:pos + 4] == b"MTrk"
    end = pos + 8 + int.from_bytes(data[pos + 4:pos + 8], "big")
    pos += 8
    tick, status, events = 0, 0, []
    while pos < end:
        delta = 0
        while True:
            byte = data[pos]
            pos += 1
            delta = (delta << 7) | (byte & 0x7F)
            if byte < 0x80:
                break
        tick += delta
        if data[pos] == 0xFF:
            length = data[pos + 2]
            events.append((tick, 0xFF, data[pos + 1:pos + 3 + length]))
            pos += 3 + length
            continue
        if data[pos] >= 0x80:
            status = data[pos]
            pos += 1
        count = 1 if status & 0xF0 in (0xC0, 0xD0) else 2
        events.append((tick, status, data[pos:pos + count]))
        pos += count
    return events


class QdstyleCase(unittest.TestCase):
    """A temporary folder holding bank.sty, a copy of the demo bank."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="qdstyle-e2e-")
        self.bank = self.path("bank.sty")
        shutil.copyfile(DEMO_BANK, self.bank)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def assertOk(self, result):
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def assertRefused(self, result, message):
        self.assertEqual(result.returncode, 2, result.stdout + result.stderr)
        self.assertIn(message, result.stderr)

    def assertWarned(self, result, message):
        """Done and written, with something reported on the way (exit status 3)."""
        self.assertEqual(result.returncode, 3, result.stdout + result.stderr)
        self.assertIn(message, result.stdout + result.stderr)
        return result

    def export_all(self, bank, target, positions=None):
        """Every chord variation of every style of the bank (or of the styles
        at the positions given), by position."""
        files = {}
        count = len(self.assertOk(run("list", bank)).stdout.splitlines())
        for position in positions or range(1, count + 1):
            folder = os.path.join(target, str(position))
            written = self.assertOk(run("export", bank, str(position), "-o", folder)).stdout.split()
            self.assertTrue(written)
            for path in written:
                files[(position, os.path.basename(path))] = read(path)
        return files


class RoundTripTest(QdstyleCase):
    def test_export_import_save_reopen_export_gives_the_same_midi_bytes(self):
        exported = self.export_all(self.bank, self.path("first"))
        self.assertEqual(len(exported), 26)
        for mode, flags in (("replace", ["--replace"]), ("merge", []), ("initialize", ["--initialize"])):
            with self.subTest(mode=mode):
                copy = self.path(mode + ".sty")
                shutil.copyfile(self.bank, copy)
                for position in range(1, len(DEMO_STYLES) + 1):
                    folder = self.path("first", str(position))
                    files = sorted(os.path.join(folder, name) for name in os.listdir(folder))
                    self.assertOk(run("import", copy, str(position), *files, "-o", copy, *flags))
                self.assertOk(run("check", copy))
                again = self.export_all(copy, self.path("again-" + mode))
                self.assertEqual(sorted(again), sorted(exported))
                for key, data in exported.items():
                    self.assertEqual(again[key], data, "%s differs after the %s import" % (key, mode))
                if mode == "replace":
                    names = run("list", copy).stdout.splitlines()
                    self.assertEqual(names, ["%d\tNew Style" % (i + 1) for i in range(len(DEMO_STYLES))])
        # Merging a style's own files back changes nothing at all.
        self.assertEqual(read(self.path("merge.sty")), read(self.bank))

    def test_saving_the_demo_bank_unchanged_gives_the_same_bytes(self):
        self.assertOk(run("save", self.bank, "-o", self.path("saved.sty")))
        self.assertEqual(read(self.path("saved.sty")), read(DEMO_BANK))

    def test_one_chord_variation_imported_under_any_name(self):
        source = self.assertOk(run("export", self.bank, "1", "-o", self.dir, "--cv", "v1cv1")).stdout.strip()
        renamed = self.path("any name.mid")
        os.rename(source, renamed)
        for flags in ([], ["--keep"]):
            out = self.path("cv.sty")
            self.assertOk(run("import-cv", self.bank, "Pop 8Beat", "V1CV2", renamed, "-o", out, *flags))
            result = self.assertOk(run("export", out, "1", "-o", self.path("cv"), "--cv", "v1cv2"))
            self.assertEqual(read(result.stdout.strip()), read(renamed))


class TrackParameterTest(QdstyleCase):
    """Initialize or keep: a chord variation that holds data takes the file's
    track parameters only when told to. Fill 1 of Pop 8Beat has one chord
    variation, whose bass plays program 33; the file says 34."""

    def bass_program(self, bank):
        midi = self.assertOk(run("export", bank, "1", "-o", self.path("check"), "--cv", "f1cv1")).stdout.strip()
        data = read(midi)
        return data[data.index(b"\xc8") + 1]

    def test_import_and_import_cv(self):
        self.assertEqual(self.bass_program(self.bank), 33)
        exported = read(self.assertOk(run("export", self.bank, "1", "-o", self.dir, "--cv", "f1cv1")).stdout.strip())
        changed = self.write("new-f1cv1.mid", exported.replace(b"\xc8\x21", b"\xc8\x22", 1))
        out = self.path("out.sty")
        # Keeping the element's parameters leaves the file's out, which the
        # import's report says (exit status 3).
        kept = "the tick-0 parameters of Bass (the element keeps its own)"
        cases = [(["import", self.bank, "1", changed, "-o", out], 33),
                 (["import", self.bank, "1", changed, "-o", out, "--initialize"], 34),
                 (["import-cv", self.bank, "1", "f1cv1", changed, "-o", out, "--keep"], 33),
                 (["import-cv", self.bank, "1", "f1cv1", changed, "-o", out], 34)]
        for args, program in cases:
            with self.subTest(args=args[:1] + args[6:]):
                result = run(*args)
                if program == 33:
                    self.assertWarned(result, kept)
                else:
                    self.assertNotIn(kept, self.assertOk(result).stdout)
                self.assertEqual(self.bass_program(out), program)


class ContentTest(QdstyleCase):
    def test_list_and_show(self):
        listed = self.assertOk(run("list", self.bank)).stdout.splitlines()
        self.assertEqual(listed, ["%d\t%s" % (i + 1, name) for i, name in enumerate(DEMO_STYLES)])
        shown = self.assertOk(run("show", self.bank, "Slow Waltz")).stdout.splitlines()
        self.assertTrue(shown[0].startswith("Slow Waltz\tUncompressed Size: "))
        self.assertIn("  Variation 1\tSignature: 3 / 4", shown)
        self.assertIn("    Chord Var 2 (v1cv2)\tLength in measures: 4", shown)
        self.assertIn("      Acc. 2", shown)
        # A plain number is a position, also when written with leading zeros.
        self.assertEqual(run("show", self.bank, "002").stdout.splitlines(), shown)

    def test_export_of_one_track_and_the_tempo(self):
        for tempo, expected in (("20", 40), ("500", 300), ("97", 97)):
            with self.subTest(tempo=tempo):
                result = self.assertOk(run("export", self.bank, "1", "-o", self.path(tempo), "--cv", "v2cv1",
                                           "--track", "BASS", "--tempo", tempo))
                events = midi_track_events(read(result.stdout.strip()))
                tempos = [e for e in events if e[1] == 0xFF and e[2][0] == 0x51]
                self.assertEqual(len(tempos), 1)
                self.assertEqual(int.from_bytes(tempos[0][2][2:5], "big"), 60000000 // expected)
                channels = {e[1] & 0x0F for e in events if e[1] & 0xF0 == 0x90}
                self.assertEqual(channels, {8})  # the bass channel only
        # Tracks by number: 0 is the drum, on channel 9.
        result = self.assertOk(run("export", self.bank, "1", "-o", self.path("drum"), "--cv", "v1cv1", "--track", "0"))
        events = midi_track_events(read(result.stdout.strip()))
        self.assertEqual({e[1] & 0x0F for e in events if e[1] & 0xF0 == 0x90}, {9})

    def test_rename_rules(self):
        out = self.path("renamed.sty")
        self.assertOk(run("rename", self.bank, "2", "A waltz for two left feet", "-o", out))
        self.assertEqual(run("list", out).stdout.splitlines()[1], "2\tA waltz for")
        self.assertOk(run("rename", out, "A waltz for", "", "-o", out))
        self.assertEqual(run("list", out).stdout.splitlines()[1], "2\tA waltz for")
        self.assertOk(run("check", out))

    def test_delete_chord_variations_down_to_an_empty_first_variation(self):
        out = self.path("deleted.sty")
        self.assertEqual(chord_vars(run("show", self.bank, "4").stdout), ["v1cv1", "v1cv2", "i1cv1", "e1cv1"])
        self.assertOk(run("delete-cv", self.bank, "Rock Beat", "v1cv1", "-o", out))
        self.assertEqual(chord_vars(run("show", out, "4").stdout), ["v1cv2", "i1cv1", "e1cv1"])
        # The message about the element added makes the exit status 3.
        self.assertWarned(run("delete-cv", out, "Rock Beat", "v1cv2", "-o", out),
                          "Style Element 'Variation 1' must exists. An empty element has been added.")
        self.assertEqual(chord_vars(run("show", out, "4").stdout), ["v1cv1", "i1cv1", "e1cv1"])
        lines = run("show", out, "4").stdout.splitlines()
        start = lines.index("  Variation 1\tSignature: 4 / 4")
        self.assertTrue(lines[start + 1].startswith("    Chord Var 1 (v1cv1)"))
        self.assertTrue(lines[start + 2].startswith("  Intro 1"), "the empty chord variation has no tracks")

    def test_check_and_dump(self):
        result = self.assertOk(run("check", self.bank))
        self.assertEqual(result.stderr, "")
        self.assertTrue(result.stdout.endswith("5 styles checked, no problems\n"))
        midi = self.assertOk(run("export", self.bank, "3", "-o", self.dir, "--cv", "f1cv1")).stdout.strip()
        dump = self.assertOk(run("dump", midi))
        self.assertEqual(dump.stderr, "")
        lines = dump.stdout.splitlines()
        self.assertTrue(lines and all(line.startswith("T=") for line in lines))
        # One line per event of the file, its end of track included.
        self.assertEqual(len(lines), len(midi_track_events(read(midi))))
        self.assertIn("META type=0x2F", lines[-1])
        # The same track in a format-1 file, after a track that holds only its
        # end: the tracks are merged, and the dump is the same.
        data = read(midi)
        header_end = 8 + int.from_bytes(data[4:8], "big")
        format1 = self.write("format1.mid", data[:8] + b"\x00\x01\x00\x02" + data[12:header_end]
                             + b"MTrk\x00\x00\x00\x04\x00\xff\x2f\x00" + data[header_end:])
        self.assertEqual(self.assertOk(run("dump", format1)).stdout, dump.stdout)
        numbered = self.assertOk(run("dump", "-n", "--channel-only", midi)).stdout.splitlines()
        self.assertTrue(numbered[0].startswith("0001 | T=000000"))
        self.assertFalse(any("META" in line for line in numbered))

    def test_progress_only_on_a_terminal(self):
        quiet = self.assertOk(run("export", self.bank, "1", "-o", self.path("quiet")))
        self.assertEqual(quiet.stderr, "")
        master, slave = pty.openpty()
        try:
            result = run("export", self.bank, "1", "-o", self.path("tty"), stderr=slave)
            os.close(slave)
            slave = None
            self.assertEqual(result.returncode, 0)
            shown = b""
            while True:
                try:
                    chunk = os.read(master, 4096)
                except OSError:
                    break
                if not chunk:
                    break
                shown += chunk
        finally:
            if slave is not None:
                os.close(slave)
            os.close(master)
        self.assertIn(b"1/9 v1cv1.mid", shown)
        self.assertIn(b"9/9 e1cv1.mid", shown)


class RefusedInputTest(QdstyleCase):
    def test_files_that_are_no_bank(self):
        self.write("text.sty", b"just some text, no bank at all\n" * 4)
        self.write("empty.sty", b"")
        image = bytearray(read(self.bank))
        image[23:27] = b"VLMX"
        self.write("mark.sty", bytes(image))
        for name, cause in (("text.sty", NOT_A_BANK), ("empty.sty", "the file is empty"), ("mark.sty", NOT_A_BANK),
                            ("missing.sty", "no such file or directory")):
            with self.subTest(file=name):
                result = run("list", self.path(name))
                self.assertRefused(result, "qdstyle: %s: %s\n" % (self.path(name), cause))
                self.assertEqual(result.stdout, "")

    def test_a_damaged_bank(self):
        image = bytearray(read(self.bank))
        # The first style slot's compressed stream, some bytes into it.
        slot = image.index(bytes([6, 0, 0, 0x30]))
        for i in range(slot + 40, slot + 80):
            image[i] ^= 0x5A
        self.write("damaged.sty", bytes(image))
        # The first slot: no slot before it grew when decompressed.
        self.assertRefused(run("check", self.path("damaged.sty")),
                           "%s: the style slot at byte %d does not decompress\n" % (self.path("damaged.sty"), slot))
        # What does not open may still be rescued: all but the broken slot.
        rescued = run("rescue", self.path("damaged.sty"), "-o", self.path("rescued"))
        self.assertEqual(rescued.returncode, 3, rescued.stderr)
        self.assertIn("1\tPop 8Beat\tunreadable: the slot does not decompress\n", rescued.stdout)
        self.assertTrue(rescued.stdout.endswith("5 styles: 4 complete, 0 damaged, 1 unreadable\n"))
        self.write("short.sty", bytes(read(self.bank)[:3000]))
        self.assertRefused(run("check", self.path("short.sty")),
                           "%s: its chunks claim %d bytes, the file holds only 3000"
                           % (self.path("short.sty"), len(read(self.bank))))

    def test_unknown_styles_and_chord_variations(self):
        original = read(self.bank)
        out = self.path("out.sty")
        cases = [
            (["show", self.bank, "Disco"], "Style 'Disco' not found in the Style Bank!"),
            (["show", self.bank, "pop 8beat"], "Style 'pop 8beat' not found in the Style Bank!"),
            (["show", self.bank, "0"], "Style 0 not found - the Style Bank holds 5 styles!"),
            (["show", self.bank, "6"], "Style 6 not found - the Style Bank holds 5 styles!"),
            (["show", self.bank, "99999999999999999999"], "not found - the Style Bank holds 5 styles!"),
            (["export", self.bank, "1", "-o", self.dir, "--cv", "v1cv7"], "'v1cv7'  is not a valid standard name!"),
            (["export", self.bank, "1", "-o", self.dir, "--cv", "i1cv3"], "'i1cv3'  is not a valid standard name!"),
            (["export", self.bank, "1", "-o", self.dir, "--cv", "v1cv1", "--cv", "v4cv1"],
             "Chord Variation 'v4cv1' not found in Style 'Pop 8Beat'!"),
            (["delete-cv", self.bank, "2", "e2cv1", "-o", out],
             "Chord Variation 'e2cv1' not found in Style 'Slow Waltz'!"),
            (["delete-cv", self.bank, "2", "x", "-o", out], "'x'  is not a valid standard name!"),
            (["import-cv", self.bank, "3", "v1cv4", DEMO_BANK, "-o", out],
             "Chord Variation 'v1cv4' not found in Style 'Bossa Nova'!"),
            (["rename", self.bank, "Nothing", "Something", "-o", out], "Style 'Nothing' not found in the Style Bank!"),
            (["show", self.bank, "Rok Beat"], "qdstyle: The closest name is 'Rock Beat' (style 4).\n"),
            (["export", self.bank, "1", "-o", self.dir, "--cv", "v5cv1"],
             "qdstyle: Standard names: %s.\n" % ", ".join(STANDARD_NAMES)),
        ]
        for args, message in cases:
            with self.subTest(args=args[:1] + args[2:]):
                result = run(*args)
                self.assertRefused(result, message)
                self.assertEqual(result.stdout, "", "nothing is exported before every name is known")
        self.assertFalse(os.path.exists(out))
        self.assertEqual(os.listdir(self.dir), ["bank.sty"])
        self.assertEqual(read(self.bank), original)

    def test_unreadable_midi_files(self):
        # Every message names the file, and the system's cause where it has one.
        original = read(self.bank)
        out = self.path("out.sty")
        not_midi = self.write("v1cv1.mid", b"MThx this is no MIDI file")
        missing = self.path("v1cv2.mid")
        os.mkdir(self.path("v1cv3.mid"))
        cases = [(["import-cv", self.bank, "1", "v1cv1", not_midi, "-o", out], not_midi, "this is not a MIDI file"),
                 (["import", self.bank, "1", not_midi, "-o", out], not_midi, "this is not a MIDI file"),
                 (["import", self.bank, "1", missing, "-o", out], missing, "no such file or directory"),
                 (["import-cv", self.bank, "1", "v1cv1", self.path("v1cv3.mid"), "-o", out], self.path("v1cv3.mid"),
                  "is a directory"),
                 (["dump", not_midi], not_midi, "this is not a MIDI file"),
                 (["dump", missing], missing, "no such file or directory")]
        for args, path, cause in cases:
            with self.subTest(args=args[:1] + args[4:5]):
                self.assertRefused(run(*args), "qdstyle: %s: %s\n" % (path, cause))
        self.assertFalse(os.path.exists(out))
        self.assertEqual(read(self.bank), original)

    def test_refused_file_names_are_skipped_and_the_rest_imported(self):
        good = self.assertOk(run("export", self.bank, "1", "-o", self.path("files"), "--cv", "i1cv2")).stdout.strip()
        renamed = self.path("files", "ABCi1cv2.mid")
        os.rename(good, renamed)
        refused = self.write("v1cv7.mid", read(renamed))
        out = self.path("out.sty")
        result = run("import", self.bank, "1", refused, renamed, "-o", out, "--replace")
        # Written, with the refusal told: exit status 3.
        self.assertWarned(result, "qdstyle: %s: no standard name (v1cv1 ... e2cv2) in the file name" % refused)
        self.assertIn("%s: i1cv2, 2 measures, notes: Drum 10, Bass 1, Acc. 1 11" % renamed, result.stdout)
        # The new style holds the one file, and the "Variation 1" every style keeps.
        self.assertIn("Style Element 'Variation 1' must exists. An empty element has been added.", result.stderr)
        shown = run("show", out, "1").stdout
        self.assertTrue(shown.startswith("New Style\t"))
        self.assertEqual(chord_vars(shown), ["v1cv1", "i1cv2"])


def with_damaged_style(bank):
    """The bank with one bit flipped inside its first style slot (bit 0 of
    byte 11 of the compressed stream): the slot still decompresses, but
    loading 'Pop 8Beat' reports a pattern reference beyond the pattern table
    and keeps five of its nine chord variations."""
    image = bytearray(bank)
    slot = image.index(bytes([6, 0, 0, 0x30]))
    image[slot + 8 + 11] ^= 0x01
    return bytes(image)


class DamagedStyleTest(QdstyleCase):
    """The bank of with_damaged_style."""

    REPORT = "Assert wRef >= 1 && wRef <= oPatInfoData.m_wTotalPatterns File:MakeMarker/MakeMark Line:176 (2 times)"
    REFUSED = "Damaged style - changes not written back!"

    def setUp(self):
        super().setUp()
        self.damaged = self.write("damaged.sty", with_damaged_style(read(self.bank)))

    def test_named_refused_unless_forced_and_kept_when_untouched(self):
        midi = self.assertOk(run("export", self.bank, "1", "-o", self.dir, "--cv", "v1cv1")).stdout.strip()
        out = self.path("out.sty")
        # Exit status, text on stdout or stderr, whether OUT is written.
        cases = [
            (["check", self.damaged], 3, "style 1 'Pop 8Beat': " + self.REPORT, False),
            (["rename", self.damaged, "1", "X", "-o", out], 2, self.REFUSED, False),
            (["delete-cv", self.damaged, "1", "v1cv1", "-o", out], 2, self.REFUSED, False),
            (["import-cv", self.damaged, "1", "v1cv1", midi, "-o", out], 2, self.REFUSED, False),
            (["import", self.damaged, "1", midi, "-o", out], 2, self.REFUSED, False),
            (["rescue", self.damaged, "-o", self.path("rescued")], 3,
             "1\tPop 8Beat\tdamaged: 5 chord variations", False),
            # Another style changed: the damaged one is not written back.
            (["rename", self.damaged, "2", "Waltz", "-o", out], 0, "", True),
        ]
        for args, status, text, written in cases:
            with self.subTest(args=args[:3]):
                result = run(*args)
                self.assertEqual(result.returncode, status, result.stdout + result.stderr)
                self.assertIn(text, result.stdout + result.stderr)
                self.assertEqual(os.path.exists(out), written)
        # The damaged style's slot is as it was read: the same chord
        # variations, the same reports.
        as_read = run("check", self.damaged).stdout.splitlines()
        kept = run("check", out)
        self.assertEqual(kept.returncode, 3)
        self.assertEqual(kept.stdout.splitlines(), as_read[:1] + ["2\tWaltz\t5 chord variations"] + as_read[2:])
        # Forced: what could be read is written back, and the bank is clean.
        os.remove(out)
        forced = run("rename", self.damaged, "1", "X", "-o", out, "--force")
        self.assertIn(forced.returncode, (0, 3), forced.stderr)  # done; the load's reports may count as warnings
        self.assertEqual(self.assertOk(run("check", out)).stdout.splitlines()[0], "1\tX\t5 chord variations")

    def test_the_other_styles_export_as_from_the_undamaged_bank(self):
        others = range(2, len(DEMO_STYLES) + 1)
        intact = self.export_all(self.bank, self.path("intact"), others)
        self.assertEqual(self.export_all(self.damaged, self.path("damaged"), others), intact)
        self.assertEqual(len(intact), 17)


class RescueTest(QdstyleCase):
    def test_banks_cut_short(self):
        intact = self.export_all(self.bank, self.path("intact"))
        data = read(self.bank)
        # Length, exit status, styles whose bytes are complete. The slots of
        # styles 1, 2 and 5 end at 2716, 3240 and 4856; 5256 ends the last slot.
        cases = [(1200, 2, []), (2000, 2, []), (2716, 3, [1]), (4500, 3, [1, 2, 3, 4]),
                 (5300, 0, [1, 2, 3, 4, 5])]
        for length, status, complete in cases:
            with self.subTest(length=length):
                cut = self.write("cut-%d.sty" % length, data[:length])
                out = self.path("rescued-%d" % length)
                result = run("rescue", cut, "-o", out)
                self.assertEqual(result.returncode, status, result.stdout + result.stderr)
                self.assertEqual(read(cut), data[:length], "the bank is never written")
                folders = sorted(os.listdir(out)) if os.path.isdir(out) else []
                self.assertEqual(folders, ["%02d-%s" % (p, DEMO_STYLES[p - 1]) for p in complete])
                for position in complete:
                    self.assertIn("%d\t%s\tcomplete: " % (position, DEMO_STYLES[position - 1]), result.stdout)
                    folder = os.path.join(out, folders[position - 1])
                    rescued = {(position, name): read(os.path.join(folder, name)) for name in os.listdir(folder)}
                    self.assertEqual(rescued, {key: value for key, value in intact.items() if key[0] == position})
        self.assertRefused(run("rescue", self.write("text.sty", b"no bank " * 8), "-o", self.path("none")),
                           "%s: %s" % (self.path("text.sty"), NOT_A_BANK))

    def test_style_names_become_single_visible_folder_names(self):
        self.assertOk(run("rename", self.bank, "2", " ../a/b", "-o", self.bank))
        self.assertOk(run("rescue", self.bank, "-o", self.path("out")))
        self.assertIn("02-_a_b", os.listdir(self.path("out")))

def run_json(*args):
    """The JSON document a command prints, parsed, and its exit status."""
    result = run(*args)
    return json.loads(result.stdout), result.returncode


class JsonOutputTest(QdstyleCase):
    """list, show, check, info and export-bank's bank.json against the bank
    as the text output and the exported MIDI files show it."""

    def test_the_documents_match_the_demo_bank(self):
        listed, status = run_json("list", "--json", self.bank)
        self.assertEqual(status, 0)
        self.assertEqual((listed["schema"], listed["charset"]), (1, "ISO-8859-1"))
        self.assertEqual([(s["position"], s["name"]) for s in listed["styles"]], list(enumerate(DEMO_STYLES, 1)))

        info, status = run_json("info", "--json", self.bank)
        bank = info["bank"]
        self.assertEqual((status, bank["file_size"], bank["styles"]), (0, len(read(self.bank)), 5))
        self.assertEqual(bank["free_room"], bank["block_size"] - bank["used_size"])
        self.assertEqual(bank["block_size"], 0x300000)
        self.assertEqual(len(bank["slots"]), 64)
        self.assertEqual([(s["slot"], s["position"], s["name"]) for s in bank["slots"] if s["style"]],
                         [(s["slot"], s["position"], s["name"]) for s in listed["styles"]])
        self.assertTrue(bank["directory"]["current"])
        self.assertEqual(bank["name_table"]["styles_without_record"], 0)

        checked, status = run_json("check", "--json", self.bank)
        self.assertEqual((status, checked["clean"], checked["damaged"], checked["problems"]), (0, True, 0, 0))
        self.assertEqual(sum(s["chord_variations"] for s in checked["styles"]), 26)

        shown = []
        for position, name in enumerate(DEMO_STYLES, 1):
            with self.subTest(style=name):
                style, status = run_json("show", "--json", self.bank, str(position))
                style = style["style"]
                shown.append(style)
                self.assertEqual((status, style["name"], style["damaged"]), (0, name, False))
                self.assertEqual(self.tree_of(style), run("show", self.bank, str(position)).stdout)
                for element in style["elements"]:
                    for chord_var in element["chord_variations"]:
                        self.assertNotesAsExported(position, chord_var)

        out = self.path("out")
        result = self.assertOk(run("export-bank", self.bank, "-o", out))
        self.assertEqual(result.stdout.splitlines()[-1], os.path.join(out, "bank.json"))
        with open(os.path.join(out, "bank.json"), encoding="utf-8") as f:
            exported = json.load(f)
        self.assertEqual(exported["bank"], bank)
        files = self.export_all(self.bank, self.path("single"))
        for style in exported["styles"]:
            folder = os.path.join(out, style["folder"])
            self.assertEqual(style["folder"], "%02d-%s" % (style["position"], style["name"]))
            self.assertEqual(sorted(os.listdir(folder)), sorted(style["files"]))
            for name in style["files"]:
                self.assertEqual(read(os.path.join(folder, name)), files[(style["position"], name)])
            del style["folder"], style["files"], style["not_exported"]
        self.assertEqual(exported["styles"], shown)

    @staticmethod
    def tree_of(style):
        """The text of 'show', made from the JSON."""
        lines = ["%s\tUncompressed Size: %d" % (style["name"], style["uncompressed_size"])]
        for element in style["elements"]:
            lines.append("  %s\tSignature: %d / %d" % (element["name"], element["signature"]["numerator"],
                                                      element["signature"]["denominator"]))
            for chord_var in element["chord_variations"]:
                lines.append("    Chord Var %d (%s)\tLength in measures: %d" % (
                    chord_var["number"], chord_var["standard_name"], chord_var["measures"]))
                lines.extend("      " + track["name"] for track in chord_var["tracks"])
        return "\n".join(lines) + "\n"

    def assertNotesAsExported(self, position, chord_var):
        """Each track's notes are on its channel of the exported file, once
        per repetition of its pattern over the chord variation."""
        midi = run_bytes("export", self.bank, str(position), "--cv", chord_var["standard_name"], "-o", "-")
        counts = {}
        for message in mido.MidiFile(file=io.BytesIO(midi)).tracks[0]:
            if message.type == "note_on" and message.velocity > 0:
                counts[message.channel + 1] = counts.get(message.channel + 1, 0) + 1
        self.assertEqual(sorted(counts), sorted(track["channel"] for track in chord_var["tracks"]))
        for track in chord_var["tracks"]:
            if chord_var["measures"] % track["measures"] == 0:
                self.assertEqual(counts[track["channel"]], track["notes"] * chord_var["measures"] // track["measures"])
            self.assertGreaterEqual(track["events"], track["notes"])
            self.assertEqual(sorted(track["params"]),
                             ["bank_lsb", "bank_msb", "expression", "note_high", "note_low", "program"])

    def test_damaged_style_and_names_in_any_bytes(self):
        damaged = self.write("damaged.sty", with_damaged_style(read(self.bank)))
        shown, status = run_json("show", "--json", damaged, "1")
        self.assertEqual((status, shown["style"]["damaged"]), (3, True))
        self.assertIn(DamagedStyleTest.REPORT.split(" (")[0], shown["style"]["damage"])
        checked, status = run_json("check", "--json", damaged)
        self.assertEqual((status, checked["clean"], checked["damaged"]), (3, False, 1))
        self.assertEqual([s["damaged"] for s in checked["styles"]], [True, False, False, False, False])
        # A name is the bank's bytes, each one the code point of its value.
        self.assertOk(run("rename", self.bank, "2", b'Caf\xe9 "\\\x01', "-o", self.bank))
        listed, _ = run_json("list", "--json", self.bank)
        self.assertEqual(listed["styles"][1]["name"], 'Caf\u00e9 "\\\u0001')
        # The name as JSON gives it (UTF-8) selects the style too.
        shown, status = run_json("show", "--json", self.bank, listed["styles"][1]["name"])
        self.assertEqual((status, shown["style"]["position"]), (0, 2))


def run_bytes(*args, stdin=None):
    """What a command writes to stdout, as bytes; it must succeed."""
    result = subprocess.run([QDSTYLE, *args], input=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    assert result.returncode == 0, result.stderr
    return result.stdout


class ConsoleTest(QdstyleCase):
    def test_quiet_and_verbose(self):
        # Exit status, stdout, stderr holds, stderr lacks.
        cases = [(["-q", "export", self.bank, "1", "-o", self.path("q")], 0, "", None, "qdstyle"),
                 (["export", self.bank, "1", "-o", self.path("v"), "-v"], 0, self.path("v", "e1cv1.mid"),
                  "qdstyle: 9/9 e1cv1.mid\n", None),
                 (["-q", "show", self.bank, "Disco"], 2, "", "Style 'Disco' not found", None),
                 (["-q", "export-bank", with_damaged_bank(self), "-o", self.path("d")], 3, "", None, "qdstyle"),
                 (["-q", "list", self.bank], 0, "1\tPop 8Beat\n", None, "qdstyle")]
        for args, status, stdout, holds, lacks in cases:
            with self.subTest(args=args[:2]):
                result = run(*args)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(stdout, result.stdout)
                if holds:
                    self.assertIn(holds, result.stderr)
                if lacks:
                    self.assertNotIn(lacks, result.stderr)
                if stdout == "":
                    self.assertEqual(result.stdout, "")

    def test_progress_is_erased_before_stdout_on_the_same_terminal(self):
        master, slave = pty.openpty()
        try:
            result = subprocess.run([QDSTYLE, "export", self.bank, "1", "-o", "tty"], cwd=self.dir, stdout=slave,
                                    stderr=slave, timeout=60)
            os.close(slave)
            slave = None
            shown = b""
            while True:
                try:
                    chunk = os.read(master, 4096)
                except OSError:
                    break
                if not chunk:
                    break
                shown += chunk
        finally:
            if slave is not None:
                os.close(slave)
            os.close(master)
        self.assertEqual(result.returncode, 0)
        self.assertIn(b"1/9 v1cv1.mid", shown)
        # Every path starts a line of its own: after the progress line's erasure.
        for name in chord_vars(run("show", self.bank, "1").stdout):
            self.assertIn(b"\r\x1b[Ktty/%s.mid\r\n" % name.encode(), shown)


def with_damaged_bank(case):
    return case.write("damaged.sty", with_damaged_style(read(case.bank)))


# ---------------------------------------------------------------------------
# MIDI files from elsewhere, written here with mido
# ---------------------------------------------------------------------------

TEMPO_NOTE = " (a bank holds no tempo; export uses --tempo, default 120)"


def smf(tracks, ticks_per_beat=384, kind=1):
    """The bytes of a MIDI file of the given tracks (lists of messages)."""
    midi = mido.MidiFile(type=kind, ticks_per_beat=ticks_per_beat)
    midi.tracks.extend(mido.MidiTrack(messages) for messages in tracks)
    data = io.BytesIO()
    midi.save(file=data)
    return data.getvalue()


def notes(channel, count, step, key=60, name=None, held=False):
    """count notes on the channel (0-based), one per step ticks, each half a
    step long; held: all struck at tick 0 and released together a step later."""
    messages = [mido.MetaMessage("track_name", name=name)] if name else []
    for i in range(count):
        messages.append(mido.Message("note_on", channel=channel, note=key + (i if held else 0), velocity=90,
                                     time=0 if held or i == 0 else step // 2))
        if not held:
            messages.append(mido.Message("note_off", channel=channel, note=key, time=step // 2))
    for i in range(count if held else 0):
        messages.append(mido.Message("note_off", channel=channel, note=key + i, time=step if i == 0 else 0))
    return messages


def daw_layout(ticks_per_beat):
    """A sequencer's format-1 file: a conductor track with tempo 96 and 4/4,
    then named tracks. "Drums" names no track (channel 10 is the drum's
    anyway), "Bass" does (its channel 2 goes there), "Piano" on channel 1
    reaches no track."""
    conductor = [mido.MetaMessage("track_name", name="Song"), mido.MetaMessage("set_tempo", tempo=625000),
                 mido.MetaMessage("time_signature", numerator=4, denominator=4)]
    return smf([conductor, notes(9, 8, ticks_per_beat, 36, "Drums"), notes(1, 8, ticks_per_beat, 40, "Bass"),
                notes(0, 8, ticks_per_beat, 60, "Piano")], ticks_per_beat)


def with_empty_track(data):
    """A format-1 file with a track of length 0 after its first one."""
    first_end = 14 + 8 + int.from_bytes(data[18:22], "big")
    count = int.from_bytes(data[10:12], "big") + 1
    return data[:10] + count.to_bytes(2, "big") + data[12:first_end] + b"MTrk\0\0\0\0" + data[first_end:]


def sha(path):
    return hashlib.sha256(read(path)).hexdigest()


class MidiFileImportTest(QdstyleCase):
    """Files as other programs write them, damaged or unusual, imported into
    v1cv1 of Pop 8Beat (4/4, an element that keeps its parameters): the exit
    status, the message or report, and a bank that stays byte for byte as it
    was whenever the file is refused."""

    def clean(self):
        return read(self.assertOk(run("export", self.bank, "1", "-o", self.path("clean"), "--cv", "v1cv1")).stdout
                    .strip())

    def test_each_file(self):
        clean = self.clean()
        channel_1 = smf([notes(0, 16, 384)], kind=0)
        refused, done, warned = 2, 0, 3
        cases = [
            # name, file, flags, exit status, the message (refused) or the report line (imported)
            ("daw480", daw_layout(480), ["--partial"], warned,
             "v1cv1, 2 measures, notes: Drum 8, Bass 8; left out: 8 events on channel 1 (no track); tempo 96 in the "
             "file" + TEMPO_NOTE),
            ("daw960", daw_layout(960), ["--map", "1=acc1"], done,
             "v1cv1, 2 measures, notes: Drum 8, Bass 8, Acc. 1 8; tempo 96 in the file" + TEMPO_NOTE),
            ("format2", smf([notes(9, 4, 384)], kind=2), [], refused,
             "format 2 files (independent sequences) are not supported"),
            ("empty-track", with_empty_track(daw_layout(480)), [], refused, "track 2 is empty"),
            ("cut-30", clean[:30], [], refused, "the file is cut short at byte 30"),
            ("cut-200", clean[:200], [], refused, "the file is cut short at byte 200"),
            ("cut-end", clean[:-2], [], refused, "the file is cut short at byte %d" % (len(clean) - 2)),
            ("cut-200-partial", clean[:200], ["--partial"], warned,
             "v1cv1, 1 measure, notes: Drum 9, Bass 5, Acc. 1 3; left out: whatever the damage cut off (the file is "
             "cut short at byte 200); tempo 120 in the file" + TEMPO_NOTE),
            ("empty-track-partial", with_empty_track(smf([notes(0, 4, 384)])), ["--partial"], refused,
             "notes only on channel 1 before its damage (track 2 is empty); the tracks take channels 9-16 - map "
             "them with --map SRC=TRACK, e.g. --map 1=acc1"),
            ("channel-1", channel_1, [], refused,
             "notes only on channel 1; the tracks take channels 9-16 - map them with --map SRC=TRACK, e.g. --map "
             "1=acc1"),
            ("channel-1-mapped", channel_1, ["--map", "1=bass"], done, "v1cv1, 4 measures, notes: Bass 16"),
            ("no-notes", smf([[mido.MetaMessage("track_name", name="Drum")]]), [], refused,
             "the file holds no notes and no other events for the tracks"),
            ("waltz", smf([[mido.MetaMessage("time_signature", numerator=3, denominator=4)] + notes(9, 12, 384)]),
             ["--force"], warned, "v1cv1, 3 measures, notes: Drum 12; left out: the time signature 3/4 (the element keeps 4/4)"),
            ("held-70", smf([notes(9, 70, 384, 20, held=True)]), [], warned,
             "v1cv1, 1 measure, notes: Drum 64; left out: 6 notes beyond the 64 held at once"),
            ("measures-20", smf([notes(9, 80, 384)]), [], warned,
             "v1cv1, 16 measures, notes: Drum 64; left out: 16 events past the 16-measure cut"),
        ]
        for name, data, flags, status, text in cases:
            with self.subTest(case=name):
                midi = self.write(name + ".mid", data)
                bank = self.path(name + ".sty")
                shutil.copyfile(self.bank, bank)
                result = run("import-cv", bank, "1", "v1cv1", midi, "-o", bank, *flags)
                self.assertEqual(result.returncode, status, result.stdout + result.stderr)
                if status == refused:
                    self.assertEqual(result.stdout, "")
                    self.assertIn("qdstyle: %s: %s\n" % (midi, text), result.stderr)
                    self.assertEqual(sha(bank), sha(self.bank))
                else:
                    self.assertEqual(result.stdout, "%s: %s\n" % (midi, text))
        # The mapped file's notes are on the bass track, on its channel 9.
        bass = read(self.assertOk(run("export", self.path("channel-1-mapped.sty"), "1", "-o", self.path("bass"),
                                      "--cv", "v1cv1", "--track", "bass")).stdout.strip())
        self.assertEqual([e[1] for e in midi_track_events(bass) if e[1] & 0xF0 == 0x90 and e[2][1]], [0x98] * 16)

    def test_a_format1_file_imports_as_its_format0_merge(self):
        """v2cv1's five tracks, one format-1 track per channel at 960 ticks
        per quarter, and the same merged into one format-0 track by mido."""
        exported = mido.MidiFile(self.assertOk(run("export", self.bank, "1", "-o", self.dir, "--cv",
                                                   "v2cv1")).stdout.strip())
        tracks, ticks = {}, {}
        tick = 0
        for message in exported.tracks[0]:
            tick += message.time
            self.assertEqual(tick * 5 % 2, 0, "960 ticks per quarter hold every tick")
            key = message.channel if not message.is_meta else -1
            if message.type != "end_of_track":
                tracks.setdefault(key, []).append(message.copy(time=tick * 5 // 2 - ticks.get(key, 0)))
                ticks[key] = tick * 5 // 2
        self.assertEqual(len(tracks), 6)
        format1 = smf([tracks[key] for key in sorted(tracks)], 960)
        merged = mido.MidiFile(type=0, ticks_per_beat=960)
        merged.tracks.append(mido.merge_tracks(mido.MidiFile(file=io.BytesIO(format1)).tracks))
        data = io.BytesIO()
        merged.save(file=data)
        exports = []
        for name, midi in (("format1", format1), ("format0", data.getvalue())):
            bank = self.path(name + ".sty")
            self.assertOk(run("import-cv", self.bank, "1", "v2cv1", self.write(name + ".mid", midi), "-o", bank))
            exports.append(read(self.assertOk(run("export", bank, "1", "-o", self.path(name), "--cv",
                                                  "v2cv1")).stdout.strip()))
        self.assertEqual(exports[0], exports[1])
        self.assertEqual(exports[0], read(exported.filename))

    def test_a_whole_style_import_takes_the_good_files_only(self):
        before = self.export_all(self.bank, self.path("before"))
        bad = [self.write("v1cv1.mid", with_empty_track(daw_layout(480))),
               self.write("v1cv2.mid", b"just a text\n")]
        good = self.write("v1cv3.mid", daw_layout(480))
        fmt2 = self.write("v2cv1.mid", smf([notes(9, 4, 384)], kind=2))
        map_piano = ["--map", "1=acc1"]
        original = sha(self.bank)
        # Nothing goes in: nothing is written.
        result = run("import", self.bank, "1", *bad, fmt2, "-o", self.bank)
        self.assertRefused(result, "No file imported - '%s' not written!" % self.bank)
        self.assertIn("qdstyle: %s: track 2 is empty\n" % bad[0], result.stderr)
        self.assertIn("qdstyle: %s: this is not a MIDI file\n" % bad[1], result.stderr)
        self.assertEqual(sha(self.bank), original)
        # The good file goes in; the refused ones leave their chord variations.
        result = self.assertWarned(run("import", self.bank, "1", *bad, good, "-o", self.bank, *map_piano),
                                   "%s: v1cv3, 2 measures" % good)
        self.assertEqual(result.stdout.count("\n"), 1)
        after = self.export_all(self.bank, self.path("after"))
        for name in ("v1cv1.mid", "v1cv2.mid", "v2cv1.mid"):
            self.assertEqual(after[(1, name)], before[(1, name)], name)
        self.assertNotEqual(after[(1, "v1cv3.mid")], before[(1, "v1cv3.mid")])

    def test_dry_runs_report_and_write_nothing(self):
        original = sha(self.bank)
        midi = self.write("v1cv1.mid", smf([notes(9, 4, 384)]))
        cases = [(["import", self.bank, "1", midi], "%s: v1cv1, 1 measure, notes: Drum 4\n" % midi),
                 (["import-cv", self.bank, "1", "v1cv2", midi], "%s: v1cv2, 1 measure, notes: Drum 4\n" % midi),
                 (["delete-cv", self.bank, "1", "v1cv2"], ""),
                 (["rename", self.bank, "1", "Renamed"], "")]
        for args, output in cases:
            with self.subTest(command=args[0]):
                self.assertEqual(self.assertOk(run(*args, "--dry-run")).stdout, output)
                self.assertEqual(sha(self.bank), original)
        self.assertEqual(sorted(os.listdir(self.dir)), ["bank.sty", "v1cv1.mid"])
        # Without --dry-run, -o stays required.
        self.assertEqual(run("rename", self.bank, "1", "Renamed").returncode, 1)



class RenderTest(QdstyleCase):
    """render through FluidSynth: the audio lasts the loops times the chord
    variation's length at the tempo, and the Percussion track alone sounds."""

    SOUNDFONTS = ["/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2"]

    def setUp(self):
        super().setUp()
        if not any(os.path.isfile(path) for path in self.SOUNDFONTS):
            self.skipTest("no General MIDI soundfont installed")

    def wave(self, *args):
        import array
        import wave
        out = self.path("out.wav")
        self.assertOk(run("render", self.bank, *args, "-o", out))
        with wave.open(out) as f:
            samples = array.array("h", f.readframes(f.getnframes()))
            return f.getnframes() / f.getframerate(), max(map(abs, samples), default=0)

    def test_length_and_percussion(self):
        # Pop 8Beat's v2cv1 and Slow Waltz's v1cv1: measures, quarters each.
        cases = [
            (["1", "--cv", "v2cv1"], 8 * 4, 2, 120),
            (["1", "--cv", "v2cv1", "--loops", "3", "--tempo", "96"], 8 * 4, 3, 96),
            (["Slow Waltz", "--cv", "v1cv1", "--loops", "1", "--tempo", "150"], None, 1, 150),
        ]
        for args, quarters, loops, tempo in cases:
            with self.subTest(args=args):
                if quarters is None:
                    shown = run("show", self.bank, args[0]).stdout
                    measures = int(re.search(r"\(v1cv1\)\tLength in measures: (\d+)", shown).group(1))
                    quarters = measures * 3
                seconds, peak = self.wave(*args)
                self.assertAlmostEqual(seconds, loops * quarters * 60 / tempo, delta=0.05)
                self.assertGreater(peak, 100)
        _, peak = self.wave("1", "--cv", "v2cv1", "--track", "perc", "--loops", "1")
        self.assertGreater(peak, 100, "the Percussion track alone is silent")
        self.assertEqual(run("render", self.bank, "1", "--cv", "v2cv1", "--loops", "0", "-o", "x.wav").returncode, 1)
class DumpFormatTest(QdstyleCase):
    def test_csv_lists_every_event_mido_sees(self):
        """A format-1 file at 480 ticks per quarter: 3/4, then 6/8 from bar 3."""
        conductor = [mido.MetaMessage("track_name", name='Song, "one"'), mido.MetaMessage("set_tempo", tempo=625000),
                     mido.MetaMessage("time_signature", numerator=3, denominator=4),
                     mido.MetaMessage("time_signature", numerator=6, denominator=8, time=2880)]
        drums = notes(9, 8, 480, 36, "Drums") + [mido.Message("control_change", channel=9, control=7, value=99),
                                                 mido.Message("pitchwheel", channel=9, pitch=-100, time=7),
                                                 mido.Message("sysex", data=[0x7E, 0x7F, 9, 1], time=1)]
        midi = self.write("format1.mid", smf([conductor, drums, notes(1, 4, 480, 40, "Bass")], 480))
        rows = list(csv.DictReader(io.StringIO(self.assertOk(run("dump", "--format", "csv", "--bars", midi)).stdout)))
        expected = []
        for number, track in enumerate(mido.MidiFile(midi).tracks, 1):
            tick = 0
            for message in track:
                tick += message.time
                channel = str(message.channel + 1) if hasattr(message, "channel") else ""
                expected.append((str(number), str(tick), message.type, channel))
        self.assertEqual([(row["track"], row["tick"], row["kind"], row["channel"]) for row in rows], expected)
        self.assertEqual(rows[0]["data"], 'Song, "one"')
        bass = [row for row in rows if row["kind"] == "note_on" and row["track"] == "3"][0]
        self.assertEqual((bass["note"], bass["number"], bass["value"]), ("E2", "40", "90"))
        self.assertEqual([row["value"] for row in rows if row["kind"] == "pitchwheel"], ["-100"])
        # Bars by the file's own signatures: beats of 6/8 are eighths.
        drum_bars = [row["bar"] for row in rows if row["kind"] == "note_on" and row["track"] == "2"]
        self.assertEqual(drum_bars[2:], ["1:3:0", "2:1:0", "2:2:0", "2:3:0", "3:1:0", "3:3:0"])
        listing = json.loads(self.assertOk(run("dump", "--format", "json", midi)).stdout)
        self.assertEqual((listing["format"], listing["division"], listing["damage"]), (1, 480, None))
        self.assertEqual([(str(track["track"]), str(event["tick"]), event["kind"])
                          for track in listing["tracks"] for event in track["events"]],
                         [row[:3] for row in expected])

    def test_dash_reads_stdin_and_writes_stdout(self):
        midi = self.assertOk(run("export", self.bank, "1", "-o", self.dir, "--cv", "v2cv1")).stdout.strip()
        self.assertEqual(run_bytes("export", self.bank, "1", "--cv", "v2cv1", "-o", "-"), read(midi))
        for args in (["dump"], ["dump", "--format", "csv", "--bars"]):
            with self.subTest(args=args):
                self.assertEqual(run_bytes(*args, "-", stdin=read(midi)), run_bytes(*args, midi))
        run_bytes("import-cv", self.bank, "1", "v2cv1", "-", "-o", self.path("stdin.sty"), stdin=read(midi))
        run_bytes("import-cv", self.bank, "1", "v2cv1", midi, "-o", self.path("file.sty"))
        self.assertEqual(read(self.path("stdin.sty")), read(self.path("file.sty")))
class RollTest(QdstyleCase):
    """roll: the SVG of every demo chord variation is XML with one <rect> per
    note of its export, as mido reads the export."""

    SVG = "{http://www.w3.org/2000/svg}"
    # The tracks (0-7) by their MIDI channel (0-based) in an export.
    TRACK_OF_CHANNEL = {9: 0, 10: 1, 8: 2, 11: 3, 12: 4, 13: 5, 14: 6, 15: 7}

    def exported_notes(self, data):
        """(track, key, start, length) of every note, note-offs ending the
        earliest sounding note of their key and channel."""
        sounding, found, tick = {}, [], 0
        for message in mido.MidiFile(file=io.BytesIO(data)).tracks[0]:
            tick += message.time
            if message.type == "note_on" and message.velocity > 0:
                sounding.setdefault((message.channel, message.note), []).append(len(found))
                found.append([self.TRACK_OF_CHANNEL[message.channel], message.note, tick, None])
            elif message.type in ("note_on", "note_off"):
                note = found[sounding[(message.channel, message.note)].pop(0)]
                note[3] = tick - note[2]
        self.assertNotIn(None, [note[3] for note in found], "every exported note ends")
        return sorted(tuple(note) for note in found)

    def roll(self, *args):
        import xml.etree.ElementTree as ET
        svg = self.path("roll.svg")
        self.assertEqual(self.assertOk(run("roll", self.bank, *args, "-o", svg)).stdout, svg + "\n")
        return ET.parse(svg).getroot()

    def test_every_demo_chord_variation(self):
        original = read(self.bank)
        checked = 0
        for position in range(1, len(DEMO_STYLES) + 1):
            for name in chord_vars(self.assertOk(run("show", self.bank, str(position))).stdout):
                with self.subTest(style=position, cv=name):
                    root = self.roll(str(position), "--cv", name)
                    drawn = sorted((int(rect.get("data-track")), int(rect.get("data-key")), int(rect.get("data-start")),
                                    int(rect.get("data-length"))) for rect in root.iter(self.SVG + "rect"))
                    exported = self.exported_notes(run_bytes("export", self.bank, str(position), "--cv", name, "-o", "-"))
                    self.assertTrue(exported)
                    self.assertEqual(drawn, exported)
                    self.assertEqual(root.get("data-notes"), str(len(exported)))
                    checked += 1
        self.assertEqual(checked, 26)
        self.assertEqual(read(self.bank), original, "roll leaves the bank as it was")

    def test_one_track_names_and_width(self):
        root = self.roll("Slow Waltz", "--cv", "v1cv1", "--track", "drum", "--width", "800")
        self.assertEqual((root.get("width"), root.get("data-time-signature")), ("800", "3/4"))
        rects = list(root.iter(self.SVG + "rect"))
        self.assertTrue(rects)
        self.assertEqual({rect.get("data-track") for rect in rects}, {"0"})
        titles = [rect.find(self.SVG + "title").text for rect in rects]
        self.assertTrue(all(title.startswith("Drum: ") for title in titles), titles[:3])
        self.assertTrue(any("Bass Drum 1 (36)" in title for title in titles), titles[:3])
        self.assertIn("Slow Waltz v1cv1, Drum, 3/4", root.find(self.SVG + "title").text)
        self.assertEqual(run("roll", self.bank, "1", "--cv", "v1cv1", "--width", "10", "-o", "x.svg").returncode, 1)
        self.assertRefused(run("roll", self.bank, "1", "--cv", "v4cv6", "-o", self.path("x.svg")), "v4cv6")
        self.assertFalse(os.path.exists(self.path("x.svg")))


# ---------------------------------------------------------------------------
# Scripts: a bank's style folders, track parameters, copies
# ---------------------------------------------------------------------------

STANDARD_NAMES = (["v%dcv%d" % (v, c) for v in range(1, 5) for c in range(1, 7)]
                  + ["%s%dcv%d" % (e, n, c) for e in "ife" for n in (1, 2) for c in (1, 2)])
# The tracks' MIDI channels (0-based) in an export: Drum, Percussion, Bass, Acc. 1-5.
TRACK_CHANNELS = {"drum": 9, "perc": 10, "bass": 8, "acc1": 11, "acc2": 12, "acc3": 13, "acc4": 14, "acc5": 15}
# The controllers of the tick-0 track parameters.
PARAM_CONTROLLERS = {"expression": 11, "bank-msb": 0, "bank-lsb": 32}

FULL_BANK = None


def full_bank():
    """The demo bank with every element and chord variation present, made
    once with the tool: each style's exported files, copied to the standard
    names the style lacks, imported into it."""
    global FULL_BANK
    if FULL_BANK is None:
        work = tempfile.mkdtemp(prefix="qdstyle-e2e-full-")
        bank = os.path.join(work, "full.sty")
        shutil.copyfile(DEMO_BANK, bank)
        for position in range(1, len(DEMO_STYLES) + 1):
            folder = os.path.join(work, str(position))
            exported = sorted(run("export", bank, str(position), "-o", folder).stdout.split())
            for i, name in enumerate(STANDARD_NAMES):
                target = os.path.join(folder, name + ".mid")
                if not os.path.exists(target):
                    shutil.copyfile(exported[i % len(exported)], target)
            files = sorted(os.path.join(folder, name) for name in os.listdir(folder))
            result = run("import", bank, str(position), *files, "-o", bank)
            assert result.returncode in (0, 3), result.stderr
            assert chord_vars(run("show", bank, str(position)).stdout) == STANDARD_NAMES
        atexit.register(shutil.rmtree, work, True)
        FULL_BANK = (work, bank)
    return FULL_BANK[1]


def folder_files(folder):
    """The MIDI files below a bank's style folders, by (NN, file name)."""
    return {(style[:2], name): read(os.path.join(folder, style, name))
            for style in os.listdir(folder) if os.path.isdir(os.path.join(folder, style))
            for name in os.listdir(os.path.join(folder, style))}


def params_of_line(line):
    """The values of a line of show --tracks."""
    return {name: int(value) for name, value in re.findall(r"(program|bank-msb|bank-lsb|expression) (\d+)", line)}


def style_position(text):
    """The position of a demo style given by name or position, before any ':PART'."""
    style = text.split(":")[0]
    return str(DEMO_STYLES.index(style) + 1) if style in DEMO_STYLES else style


def tick0_params(data, channel):
    """The tick-0 track parameters an export holds for a channel."""
    params = {}
    for tick, status, body in midi_track_events(data):
        if tick == 0 and status == 0xB0 | channel:
            for name, controller in PARAM_CONTROLLERS.items():
                if body[0] == controller:
                    params[name] = body[1]
        elif tick == 0 and status == 0xC0 | channel:
            params["program"] = body[0]
    return params


class ScriptCase(QdstyleCase):
    """Both banks every command is tried on: the demo bank, and one where
    every element and chord variation is present."""

    def setUp(self):
        super().setUp()
        self.full = self.path("full.sty")
        shutil.copyfile(full_bank(), self.full)

    def banks(self):
        return [("demo", self.bank), ("full", self.full)]

    def export_style(self, bank, position, target, *flags):
        written = self.assertOk(run("export", bank, str(position), "-o", self.path(target), *flags)).stdout.split()
        return {os.path.basename(path): read(path) for path in written}


class BankImportTest(ScriptCase):
    def test_style_folders_round_trip_byte_for_byte(self):
        for name, bank in self.banks():
            for mode, flags in (("merge", []), ("replace", ["--replace"])):
                with self.subTest(bank=name, mode=mode):
                    first = self.path(name + "-" + mode + "-first")
                    self.assertOk(run("export-bank", bank, "-o", first))
                    self.assertTrue(os.path.isfile(os.path.join(first, "bank.json")))
                    os.mkdir(os.path.join(first, "notes"))
                    copy = self.path(name + "-" + mode + ".sty")
                    shutil.copyfile(bank, copy)
                    result = self.assertOk(run("import-bank", copy, first, "-o", copy, *flags))
                    lines = result.stdout.splitlines()
                    self.assertEqual(len(lines), len(DEMO_STYLES) + 1)
                    self.assertEqual(lines[-1], "5 of 5 style folders imported")
                    self.assertTrue(lines[0].startswith("1\tPop 8Beat\t"), "a replaced style keeps its name")
                    again = self.path(name + "-" + mode + "-again")
                    self.assertOk(run("export-bank", copy, "-o", again))
                    expected = folder_files(first)
                    self.assertEqual(len(expected), 26 if name == "demo" else 5 * 36)
                    self.assertEqual(folder_files(again), expected)
                    if not flags:
                        self.assertEqual(read(copy), read(bank), "a bank's own files change nothing")

    def test_folders_that_do_not_fit(self):
        folders = self.path("folders")
        self.assertOk(run("rescue", self.bank, "-o", folders))
        pop = os.path.join(folders, "01-Pop 8Beat")
        for name, files in (("none", {}), ("empty/03-Bossa Nova", {}),
                            ("some/01-Pop", {"v1cv1.mid": read(os.path.join(pop, "v1cv1.mid")),
                                             "v1cv2.mid": b"no MIDI file"})):
            os.makedirs(self.path(name))
            for file, data in files.items():
                self.write(os.path.join(name, file), data)
        out = self.path("out.sty")
        cases = [  # DIR, a folder made in it, exit status, message, OUT written
            ("missing", None, 2, "%s: no such file or directory" % self.path("missing"), False),
            ("none", None, 2, "%s: no folder NN-<style name> in it" % self.path("none"), False),
            ("folders", "1-again", 2, "'01-Pop 8Beat' and '1-again' are both for style 1", False),
            ("folders", "07-more", 3, "07-more: no style at position 7 - the Style Bank holds 5 styles", True),
            ("empty", None, 2, "03-Bossa Nova: no MIDI file (*.mid) in it", False),
            ("some", None, 3, "v1cv2.mid: this is not a MIDI file", True),
        ]
        for folder, extra, status, message, written in cases:
            with self.subTest(folder=folder, extra=extra):
                if extra:
                    os.mkdir(self.path(folder, extra))
                result = run("import-bank", self.bank, self.path(folder), "-o", out)
                self.assertEqual(result.returncode, status, result.stdout + result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(os.path.exists(out), written)
                if extra:
                    os.rmdir(self.path(folder, extra))
                if written:
                    os.remove(out)
        self.assertIn("1\tPop 8Beat\t1 of 2 files imported from %s\n" % self.path("some", "01-Pop"), result.stdout)


class SetTrackTest(ScriptCase):
    def test_only_the_named_parameters_change(self):
        cases = [  # ELEMENT, TRACK, options, the values set
            ("v1", "bass", ["--program", "fretless", "--bank-lsb", "5"], {"program": 35, "bank-lsb": 5}),
            ("all", "acc1", ["--expression", "90", "--program", "12"], {"expression": 90, "program": 12}),
            ("E1", "0", ["--bank-msb", "0"], {"bank-msb": 0}),
        ]
        for bank_name, bank in self.banks():
            before = self.export_style(bank, 1, bank_name + "-before")
            shown = self.assertOk(run("show", bank, "1", "--tracks")).stdout.splitlines()
            self.assertEqual(len(shown), 8 * len({line.split("\t")[0] for line in shown}))
            for element, track, options, values in cases:
                with self.subTest(bank=bank_name, element=element, track=track):
                    out = self.path("out.sty")
                    track_name = {"bass": "Bass", "acc1": "Acc. 1", "0": "Drum"}[track]
                    result = self.assertOk(run("set-track", bank, "1", element, track, *options, "-o", out))
                    changed = [line for line in shown if line.split("\t")[1] == track_name
                               and element.lower() in ("all", line.split("\t")[0])]
                    # show --tracks: the track's lines in the elements set, with the new values, and no other.
                    after = self.assertOk(run("show", out, "1", "--tracks")).stdout.splitlines()
                    keys = {tuple(line.split("\t")[:2]) for line in changed}
                    self.assertEqual(result.stdout.splitlines(),
                                     [line for line in after if tuple(line.split("\t")[:2]) in keys])
                    self.assertEqual(len(after), len(shown))
                    for old, new in zip(shown, after):
                        expected = dict(params_of_line(old), **(values if old in changed else {}))
                        self.assertEqual(params_of_line(new), expected, old)
                        self.assertEqual(new.split("\t")[:2], old.split("\t")[:2])
                    # The exports: the new tick-0 events where the track plays, the rest as before.
                    exports = self.export_style(out, 1, bank_name + "-after")
                    elements = {line.split("\t")[0] for line in changed}
                    channel = TRACK_CHANNELS["drum" if track == "0" else track]
                    for cv, data in before.items():
                        if cv[:2] not in elements or channel not in {e[1] & 0x0F for e in midi_track_events(data)}:
                            self.assertEqual(exports[cv], data, cv)
                            continue
                        self.assertEqual(tick0_params(exports[cv], channel),
                                         dict(tick0_params(data, channel), **values), cv)
                        others = lambda events: [e for e in events if e[0] != 0 or e[1] & 0x0F != channel]
                        self.assertEqual(others(midi_track_events(exports[cv])), others(midi_track_events(data)), cv)
        self.assertIn("v1\tBass\tprogram 35 (Fretless Bass)\tbank-msb 121\tbank-lsb 5\texpression 100",
                      run("set-track", self.bank, "1", "v1", "bass", "--program", "FRETLESS BASS", "--bank-lsb",
                          "5", "--dry-run").stdout)

    def test_refusals(self):
        original = read(self.bank)
        out = self.path("out.sty")
        cases = [  # arguments after BANK, exit status, message
            (["1", "v3", "bass", "--program", "3"], 2, "Style Element 'Variation 3' not found in Style 'Pop 8Beat'!"),
            (["1", "v1", "bass", "--program", "electric bass"], 1,
             "'electric bass' names several programs: Electric Bass (finger), Electric Bass (pick)"),
            (["1", "v1", "bass", "--program", "kazoo"], 1, "'kazoo' is no program"),
            (["1", "v1", "bass", "--program", "128"], 1, "'128' is no program"),
            (["1", "v1", "bass", "--expression", "128"], 1, "Value 128 not in range 0 to 127"),
            (["1", "v5", "bass", "--expression", "1"], 1, "'v5' is no element"),
            (["1", "v1", "acc6", "--expression", "1"], 1, "'acc6' is no track"),
            (["1", "v1", "bass"], 1, "no value to set"),
        ]
        for args, status, message in cases:
            with self.subTest(args=args):
                result = run("set-track", self.bank, *args, "-o", out)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(out))
        self.assertEqual(read(self.bank), original)


class CopyTest(ScriptCase):
    def test_copies_export_as_their_sources(self):
        demo, full = self.bank, self.full
        cases = [  # SRC_BANK, SRC, DST_BANK, DST, {destination chord variation: source chord variation}
            (demo, "1:v1cv1", full, "1:v1cv3", {"v1cv3": "v1cv1"}),
            (full, "1:v3cv4", demo, "1:v3cv1", {"v3cv1": "v3cv4"}),  # an element the destination lacks
            (full, "Slow Waltz:i2cv2", demo, "2:i2cv1", {"i2cv1": "i2cv2"}),
            (demo, "1:v2", full, "1:v4", {"v4cv1": "v2cv1", "v4cv2": "v2cv2"}),
            (full, "3", demo, "3", {name: name for name in STANDARD_NAMES}),
            (demo, "3", full, "3", {"v1cv1": "v1cv1", "v1cv2": "v1cv2", "v1cv3": "v1cv3", "f1cv1": "f1cv1"}),
            (demo, "2:v1cv2", demo, "2:v2cv1", {"v2cv1": "v1cv2"}),  # within one style of one bank
        ]
        for source_bank, source, target_bank, target, mapping in cases:
            with self.subTest(source=source, target=target):
                out = self.path("out.sty")
                result = self.assertOk(run("copy", source_bank, source, target_bank, target, "-o", out))
                self.assertIn("from '", result.stdout)
                sources = self.export_style(source_bank, style_position(source), "source")
                copied = self.export_style(out, style_position(target), "copied")
                kind = len(target.split(":")[1]) if ":" in target else 0
                if kind != 5:  # a whole element or style: exactly the source's chord variations
                    prefix = target.split(":")[1] if kind else ""
                    self.assertEqual(sorted(n[:-4] for n in copied if n.startswith(prefix)), sorted(mapping))
                for name, source_name in mapping.items():
                    self.assertEqual(copied[name + ".mid"], sources[source_name + ".mid"], name)
                self.assertEqual(self.assertOk(run("check", out)).stderr, "")

    def test_some_tracks_and_the_rest_unchanged(self):
        for bank_name, bank in self.banks():
            with self.subTest(bank=bank_name):
                out = self.path("out.sty")
                before = self.export_style(bank, 3, bank_name + "-before")
                # Into a chord variation that is not there yet (demo) and into one of the same length (full).
                result = self.assertOk(run("copy", self.bank, "1:i1cv1", bank, "3:v1cv4", "--tracks", "drum",
                                           "-o", out))
                self.assertEqual(result.stdout, "v1cv4\tfrom 'Pop 8Beat' i1cv1: Drum\n")
                after = self.export_style(out, 3, bank_name + "-after")
                source = self.export_style(self.bank, 1, "source", "--cv", "i1cv1", "--track", "drum")
                drum = self.export_style(out, 3, "drum", "--cv", "v1cv4", "--track", "drum")
                self.assertEqual(drum["v1cv4-drum.mid"], source["i1cv1-drum.mid"])
                if bank_name == "demo":
                    notes = {e[1] & 0x0F for e in midi_track_events(after["v1cv4.mid"]) if e[1] & 0xF0 == 0x90}
                    self.assertEqual(notes, {9}, "a new chord variation holds the tracks copied only")
                else:
                    # The other tracks' events, at the same ticks (a chord's simultaneous note-offs may
                    # come out of the write-back in another order once a track beside them changed).
                    others = lambda data: sorted(e for e in midi_track_events(data) if e[1] & 0x0F != 9)
                    self.assertEqual(others(after["v1cv4.mid"]), others(before["v1cv4.mid"]))
                self.assertEqual({k: v for k, v in after.items() if k != "v1cv4.mid"},
                                 {k: v for k, v in before.items() if k != "v1cv4.mid"})

    def test_refusals(self):
        out = self.path("out.sty")
        originals = {bank: read(bank) for _, bank in self.banks()}
        cases = [  # arguments, exit status, message
            ([self.bank, "2:v1cv1", self.bank, "1:v1cv2"], 2,
             "Time signatures differ: Variation 1 of 'Slow Waltz' is 3/4, Variation 1 of 'Pop 8Beat' is 4/4"),
            ([self.bank, "2", self.full, "1"], 2, "Time signatures differ"),
            ([self.bank, "1:v3", self.full, "1:v3"], 2, "Style Element 'Variation 3' not found in Style 'Pop 8Beat'!"),
            ([self.bank, "1:v1cv4", self.full, "1:v4cv1"], 2,
             "Chord Variation 'v1cv4' not found in Style 'Pop 8Beat'!"),
            ([self.bank, "1:v1cv1", self.full, "3:v1cv4", "--tracks", "drum"], 2,
             "Lengths do not fit: v1cv1 of 'Pop 8Beat' has 4 measures, v1cv4 of 'Bossa Nova' 2"),
            ([self.bank, "7:v1cv1", self.full, "1:v4cv1"], 2, "Style 7 not found"),
            ([self.bank, "1:v1", self.full, "1:v1cv1"], 1, "SRC and DST name different kinds of parts"),
            ([self.bank, "1:x1", self.full, "1:v1cv1"], 1, "'x1' is no part"),
            ([self.bank, "1", self.full, "1", "--tracks", "acc6"], 1, "--tracks"),
        ]
        for args, status, message in cases:
            with self.subTest(args=args[1::2]):
                result = run("copy", *args, "-o", out)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(out))
        self.assertEqual({bank: read(bank) for bank in originals}, originals)
        self.assertIn("New styles in empty slots are not made", run("copy", "--help").stdout)


class ManPageTest(QdstyleCase):
    def test_the_installed_page_holds_every_command(self):
        page = os.path.join(os.path.dirname(os.path.dirname(QDSTYLE)), "share", "man", "man1", "qdstyle.1")
        self.assertTrue(os.path.isfile(page), "cmake --install puts the manual page there")
        top = self.assertOk(run("--help")).stdout
        commands = re.findall(r"^  ([a-z][a-z0-9-]*) ", top.split("Commands:\n")[1], re.MULTILINE)
        self.assertIn("copy", commands)
        source = read(page).decode("utf-8")
        for command in commands:
            self.assertIn('.SS "qdstyle %s"\n' % command.replace("-", "\\-"), source)
        self.assertIsNotNone(shutil.which("man"), "man formats the page (scripts/setup-deps.sh installs man-db)")
        shown = subprocess.run(["man", "-l", page], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               encoding="utf-8", env=dict(os.environ, MANWIDTH="100"), timeout=60)
        self.assertEqual(shown.returncode, 0, shown.stderr)
        for command in commands:
            self.assertIn("qdstyle %s\n" % command, shown.stdout)
            self.assertIn("Usage: qdstyle %s [OPTIONS]" % command, shown.stdout)


class UsageTest(QdstyleCase):
    def test_usage_errors_show_the_usage(self):
        cases = [
            ([], "Usage: qdstyle [OPTIONS] COMMAND"),
            (["frobnicate", self.bank], "Usage: qdstyle [OPTIONS] COMMAND"),
            (["list"], "Usage: qdstyle list"),
            (["rename", self.bank, "1", "New"], "Usage: qdstyle rename"),
            (["export", self.bank, "1", "-o", self.dir, "--track", "acc6"], "Usage: qdstyle export"),
            (["export", self.bank, "1", "-o", self.dir, "--tempo", "fast"], "Usage: qdstyle export"),
            (["import", self.bank, "1", "-o", self.path("out.sty")], "Usage: qdstyle import"),
            (["save", self.bank, "-o", self.path("out.sty"), "--replace"], "Usage: qdstyle save"),
            (["export", self.bank, "1", "-o", "-"], "Usage: qdstyle export"),
            (["dump", "x.mid", "--format", "xml"], "Usage: qdstyle dump"),
            (["list", self.bank, "-q", "-v"], "Usage: qdstyle list"),
        ]
        for args, usage in cases:
            with self.subTest(args=args):
                result = run(*args)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(usage, result.stderr)
                # The one-line usage and where the help is, not the help.
                hint = "qdstyle" if usage.endswith("COMMAND") else usage[len("Usage: "):]
                self.assertIn("See '%s --help'.\n" % hint, result.stderr)
                self.assertNotIn("Exit status", result.stderr)
                self.assertEqual(result.stdout, "")
        self.assertEqual(os.listdir(self.dir), ["bank.sty"])

    def test_help_of_the_tool_and_of_every_command(self):
        top = self.assertOk(run("--help")).stdout
        commands = ["list", "show", "info", "export", "export-bank", "import", "import-cv", "delete-cv", "rename",
                    "save", "import-bank", "set-track", "copy", "check", "rescue", "dump", "render", "roll"]
        for command in commands:
            self.assertIn("\n  %s " % command, top)
            with self.subTest(command=command):
                text = self.assertOk(run(command, "--help")).stdout
                self.assertIn("Usage: qdstyle %s" % command, text)
                self.assertIn("Exit status: 0 success; 1 usage error", text)
        self.assertIn("--initialize", run("import", "--help").stdout)
        self.assertIn("--tempo BPM", run("export", "--help").stdout)
        self.assertIn("--force", run("rename", "--help").stdout)


class FailedSaveTest(QdstyleCase):
    """A save that fails leaves the bank file as it was."""

    def assertUntouched(self, original):
        self.assertEqual(read(self.bank), original)
        self.assertEqual(os.listdir(self.dir), ["bank.sty"], "no temporary file is left behind")

    def test_a_full_disk(self):
        # RLIMIT_FSIZE makes every write past 2 KiB fail (EFBIG) as a full
        # disk would, once SIGXFSZ is ignored; both reach qdstyle through exec.
        def small_disk():
            resource.setrlimit(resource.RLIMIT_FSIZE, (2048, 2048))
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)

        original = read(self.bank)
        self.assertGreater(len(original), 2048)
        for args in (["rename", self.bank, "1", "Renamed", "-o", self.bank],
                     ["save", self.bank, "-o", self.bank],
                     ["delete-cv", self.bank, "1", "v1cv3", "-o", self.bank]):
            with self.subTest(command=args[0]):
                # EFBIG, in the system's words.
                self.assertRefused(run(*args, preexec_fn=small_disk), "%s: file too large" % self.bank)
                self.assertUntouched(original)

    def test_a_folder_that_does_not_exist(self):
        original = read(self.bank)
        out = self.path("missing", "bank.sty")
        self.assertRefused(run("rename", self.bank, "1", "Renamed", "-o", out), "%s: no such file or directory" % out)
        self.assertUntouched(original)

    def test_a_read_only_folder(self):
        # Root passes over folder permissions by CAP_DAC_OVERRIDE: run as
        # root, qdstyle goes without it, so the folder refuses root as well.
        drop = without_dac_override if os.geteuid() == 0 else None
        original = read(self.bank)
        os.chmod(self.dir, 0o555)
        try:
            probe = subprocess.run(["touch", self.path("probe")], preexec_fn=drop, stderr=subprocess.DEVNULL)
            self.assertNotEqual(probe.returncode, 0, "the read-only folder takes new files")
            self.assertRefused(run("save", self.bank, "-o", self.bank, preexec_fn=drop),
                               "%s: permission denied" % self.bank)
        finally:
            os.chmod(self.dir, 0o755)
        self.assertUntouched(original)


def main():
    global QDSTYLE, DEMO_BANK
    parser = argparse.ArgumentParser()
    parser.add_argument("--qdstyle", required=True)
    parser.add_argument("--demo", required=True)
    args, rest = parser.parse_known_args()
    QDSTYLE = os.path.abspath(args.qdstyle)
    DEMO_BANK = os.path.abspath(args.demo)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
