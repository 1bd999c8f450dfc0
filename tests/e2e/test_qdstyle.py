#!/usr/bin/env python3
"""End-to-end tests of the qdstyle binary on real files.

Every test works in a fresh temporary folder on a copy of the demo bank and
runs qdstyle as a user would, checking exit statuses, stdout, the messages on
stderr and the files written.

    test_qdstyle.py --qdstyle PATH --demo PATH [unittest arguments]
"""

import argparse
import ctypes
import hashlib
import io
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


class DamagedStyleTest(QdstyleCase):
    """A bank with one bit flipped inside its first style slot (bit 0 of byte
    11 of the compressed stream): the slot still decompresses, but loading
    'Pop 8Beat' reports a pattern reference beyond the pattern table and
    keeps five of its nine chord variations."""

    REPORT = "Assert wRef >= 1 && wRef <= oPatInfoData.m_wTotalPatterns File:MakeMarker/MakeMark Line:176 (2 times)"
    REFUSED = "Damaged style - changes not written back!"

    def setUp(self):
        super().setUp()
        image = bytearray(read(self.bank))
        slot = image.index(bytes([6, 0, 0, 0x30]))
        image[slot + 8 + 11] ^= 0x01
        self.damaged = self.write("damaged.sty", bytes(image))

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
            ("daw480", daw_layout(480), [], warned,
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
             "the file holds no notes"),
            ("waltz", smf([[mido.MetaMessage("time_signature", numerator=3, denominator=4)] + notes(9, 12, 384)]),
             [], warned, "v1cv1, 3 measures, notes: Drum 12; left out: the time signature 3/4 (the element keeps 4/4)"),
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
        original = sha(self.bank)
        # Nothing goes in: nothing is written.
        result = run("import", self.bank, "1", *bad, fmt2, "-o", self.bank)
        self.assertRefused(result, "No file imported - '%s' not written!" % self.bank)
        self.assertIn("qdstyle: %s: track 2 is empty\n" % bad[0], result.stderr)
        self.assertIn("qdstyle: %s: this is not a MIDI file\n" % bad[1], result.stderr)
        self.assertEqual(sha(self.bank), original)
        # The good file goes in; the refused ones leave their chord variations.
        result = self.assertWarned(run("import", self.bank, "1", *bad, good, "-o", self.bank),
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
            (["save", self.bank, "-o", self.path("out.sty"), "--force"], "Usage: qdstyle save"),
        ]
        for args, usage in cases:
            with self.subTest(args=args):
                result = run(*args)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(usage, result.stderr)
                self.assertEqual(result.stdout, "")
        self.assertEqual(os.listdir(self.dir), ["bank.sty"])

    def test_help_of_the_tool_and_of_every_command(self):
        top = self.assertOk(run("--help")).stdout
        commands = ["list", "show", "export", "import", "import-cv", "delete-cv", "rename", "save", "check", "rescue",
                    "dump"]
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
