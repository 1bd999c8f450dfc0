#!/usr/bin/env python3
"""Cross-checks the Standard MIDI File coders with an independent parser, mido.

  test_smf_mido.py SMF_PROBE WORKDIR

(a) The files smf_probe writes are parsed by mido: header, every event and its
    absolute tick must equal the .expected lines the probe gives for them; the
    probe's own decoder must read them back as our decoding rules say.
(b) Files written by mido (format 0, 96, 384, 480 and 1000 ticks per quarter
    note, with running status as mido writes it: ended by meta and sysex
    events) and the same tracks built by hand, once without running status and
    once with running status kept across meta events, are read by smf_probe;
    every event must come out at its tick converted to 384 per quarter note.
(c) Format-1 files written by mido as sequencers lay them out (a conductor
    track with tempo and other meta events, then one track per instrument on
    channels 9-16, running status within each track, 480 and 960 ticks per
    quarter note) are read by smf_probe, which merges the tracks; the events
    must be those of mido's own merge of the tracks (merge_tracks: tick order,
    tracks in file order within a tick, one end of track at the latest one).

Lines have the form of tests/support/SmfEventText.h. Exits non-zero on the
first scenario that differs, printing both sides.
"""

import os
import random
import shutil
import struct
import subprocess
import sys

try:
    import mido
    from mido.midifiles.meta import UnknownMetaMessage, encode_variable_int
except ImportError:
    sys.exit("mido is not installed for %s (Debian: apt-get install python3-mido)" % sys.executable)

SYSTEM_DIVISION = 384
# Marker kinds and the number of bytes they hold after the kind (None: all).
MARKER_FURTHER = {2: None, 7: None, 5: 0, 6: 0, 9: 1, 11: 1, 10: 3, 8: 4}
CHANNEL_KINDS = {0x80: "note_off", 0x90: "note_on", 0xA0: "polytouch", 0xB0: "control_change",
                 0xC0: "program_change", 0xD0: "aftertouch", 0xE0: "pitchwheel"}


def hexdata(data):
    return "".join("%02X" % b for b in data) if data else "-"


def read_varlen(data, pos):
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, pos


def raw_line(msg):
    """The event of a mido message as it stands in the file, without tick."""
    if msg.is_meta:
        raw = msg.bytes()
        length, pos = read_varlen(raw, 2)
        data = raw[pos:]
        assert len(data) == length, msg
        return "meta %02X %s" % (raw[1], hexdata(data))
    if msg.type == "sysex":
        return "sysex " + hexdata([0xF0] + list(msg.data) + [0xF7])
    raw = msg.bytes()
    kind = CHANNEL_KINDS[raw[0] & 0xF0]
    fields = " ".join("%02X" % b for b in raw[1:])
    return "%s %d %s" % (kind, raw[0] & 0x0F, fields)


def mido_lines(track):
    """mido's view of a track: one line per message with its absolute tick."""
    lines = []
    tick = 0
    for msg in track:
        tick += msg.time
        lines.append("%d %s" % (tick, raw_line(msg)))
    return lines


def our_event(line):
    """What our decoder makes of one event line of the file: the same line,
    or another one, following our decoding rules."""
    parts = line.split(" ")
    kind = parts[0]
    if kind == "note_on" and parts[3] == "00":
        return "note_off %s %s 40" % (parts[1], parts[2])
    if kind == "control_change" and int(parts[2], 16) >= 120:
        return "mode %s %s %s" % (parts[1], parts[2], parts[3])
    if kind == "meta" and parts[1] in ("7E", "7F"):
        data = [] if parts[2] == "-" else list(bytes.fromhex(parts[2]))
        if parts[1] == "7E" or not data:
            return "null"
        if len(data) >= 3 and data[0] == 0x42 and data[1] == 0x60 and data[2] in MARKER_FURTHER:
            rest = data[3:]
            further = MARKER_FURTHER[data[2]]
            if further is None:
                further = len(rest)
            held = (rest + [0] * further)[:further]
            return "meta 7E " + hexdata([data[2]] + held)
    return line


def our_view(lines, division):
    """Lines of the file as our decoder hands them out, ticks at 384."""
    result = []
    for line in lines:
        tick, event = line.split(" ", 1)
        result.append("%d %s" % (int(tick) * SYSTEM_DIVISION // division, our_event(event)))
    return result


def probe_read(probe, path):
    done = subprocess.run([probe, "read", path], capture_output=True, text=True)
    return done.returncode, done.stdout.splitlines(), done.stderr


def compare(name, got, expected):
    if got == expected:
        return True
    print("MISMATCH in %s" % name)
    for index in range(max(len(got), len(expected))):
        left = got[index] if index < len(got) else "<none>"
        right = expected[index] if index < len(expected) else "<none>"
        mark = "  " if left == right else "!="
        print("  %4d %s %-50s %s" % (index, mark, left, right))
    return False


def check_written_by_us(probe, workdir):
    """(a): our files through mido, and back through our decoder."""
    outdir = os.path.join(workdir, "ours")
    os.makedirs(outdir)
    done = subprocess.run([probe, "write", outdir], capture_output=True, text=True)
    if done.returncode != 0:
        print("smf_probe write failed:\n" + done.stderr)
        return False
    names = sorted(n[:-4] for n in os.listdir(outdir) if n.endswith(".mid"))
    if len(names) < 5:
        print("smf_probe wrote only %s" % names)
        return False
    ok = True
    for name in names:
        path = os.path.join(outdir, name + ".mid")
        with open(os.path.join(outdir, name + ".expected")) as handle:
            expected = handle.read().splitlines()
        midi = mido.MidiFile(path)
        if (midi.type, midi.ticks_per_beat, len(midi.tracks)) != (0, SYSTEM_DIVISION, 1):
            print("%s: header type %d, %d ticks, %d tracks" % (name, midi.type, midi.ticks_per_beat,
                                                              len(midi.tracks)))
            ok = False
            continue
        seen = mido_lines(midi.tracks[0])
        ok &= compare(name + " (mido)", seen, expected)
        code, ours, errors = probe_read(probe, path)
        if code != 0:
            print("%s: smf_probe read ended with %d\n%s" % (name, code, errors))
            ok = False
        ok &= compare(name + " (read back)", ours, our_view(expected, SYSTEM_DIVISION))
        print("%-18s %4d events: mido and read back agree" % (name, len(expected)))
    return ok


def sample_messages(seed):
    """A track for mido to write: fixed cases of our decoding rules, then
    seeded random messages; times are deltas."""
    rng = random.Random(seed)
    msgs = [
        mido.MetaMessage("track_name", name="mido", time=0),
        mido.MetaMessage("set_tempo", tempo=500000, time=0),
        mido.MetaMessage("time_signature", numerator=3, denominator=4, time=0),
        mido.Message("program_change", channel=9, program=5, time=0),
        mido.Message("note_on", channel=9, note=36, velocity=100, time=0),
        mido.Message("note_on", channel=9, note=36, velocity=0, time=48),
        mido.Message("note_on", channel=0, note=60, velocity=64, time=1),
        mido.Message("note_off", channel=0, note=60, velocity=0, time=47),
        mido.Message("note_off", channel=0, note=61, velocity=33, time=0),
        mido.Message("control_change", channel=3, control=121, value=0, time=5),
        mido.Message("control_change", channel=3, control=119, value=1, time=0),
        mido.Message("control_change", channel=3, control=7, value=100, time=0),
        mido.MetaMessage("text", text="between", time=0),
        mido.Message("control_change", channel=3, control=10, value=64, time=0),
        mido.Message("pitchwheel", channel=2, pitch=-8192, time=3),
        mido.Message("pitchwheel", channel=2, pitch=8191, time=3),
        mido.Message("aftertouch", channel=4, value=17, time=7),
        mido.Message("polytouch", channel=4, note=60, value=18, time=0),
        mido.Message("sysex", data=[0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41], time=11),
        mido.Message("control_change", channel=3, control=7, value=90, time=0),
        mido.MetaMessage("sequencer_specific", data=[0x42, 0x60, 0x08, 0x01, 0x02], time=13),
        mido.MetaMessage("sequencer_specific", data=[0x42, 0x60, 0x05, 0x09], time=0),
        mido.MetaMessage("sequencer_specific", data=[0x43, 0x60, 0x02], time=0),
        mido.MetaMessage("sequencer_specific", data=[0x42, 0x60, 0x02, 0x10, 0x20, 0x30], time=0),
        UnknownMetaMessage(0x7E, data=[0x01, 0x02], time=0),
        mido.MetaMessage("marker", text="Fill In", time=200000),
    ]
    kinds = ["note_on", "note_off", "control_change", "program_change", "pitchwheel", "aftertouch",
             "polytouch", "sysex", "text", "cue_marker"]
    for _ in range(300):
        kind = rng.choice(kinds)
        time = rng.choice([0, 0, rng.randrange(1, 128), rng.randrange(128, 20000)])
        channel = rng.randrange(16)
        if kind == "note_on":
            msg = mido.Message(kind, channel=channel, note=rng.randrange(128), velocity=rng.randrange(128))
        elif kind == "note_off":
            msg = mido.Message(kind, channel=channel, note=rng.randrange(128), velocity=rng.randrange(128))
        elif kind == "control_change":
            msg = mido.Message(kind, channel=channel, control=rng.randrange(128), value=rng.randrange(128))
        elif kind == "program_change":
            msg = mido.Message(kind, channel=channel, program=rng.randrange(128))
        elif kind == "pitchwheel":
            msg = mido.Message(kind, channel=channel, pitch=rng.randrange(-8192, 8192))
        elif kind == "aftertouch":
            msg = mido.Message(kind, channel=channel, value=rng.randrange(128))
        elif kind == "polytouch":
            msg = mido.Message(kind, channel=channel, note=rng.randrange(128), value=rng.randrange(128))
        elif kind == "sysex":
            msg = mido.Message(kind, data=[rng.randrange(128) for _ in range(rng.randrange(0, 300))])
        else:
            msg = mido.MetaMessage(kind, text="".join(chr(rng.randrange(32, 127))
                                                      for _ in range(rng.randrange(0, 40))))
        msgs.append(msg.copy(time=time))
    msgs.append(mido.MetaMessage("end_of_track", time=5))
    return msgs


def hand_track_bytes(msgs, across_meta):
    """The track built by hand: with across_meta, running status as some
    writers use it, kept across meta events and ended by sysex; without it,
    every channel message with its status."""
    data = bytearray()
    running = None
    for msg in msgs:
        data += bytes(encode_variable_int(msg.time))
        if msg.type == "sysex":
            data += bytes([0xF0]) + bytes(encode_variable_int(len(msg.data) + 1))
            data += bytes(msg.data) + bytes([0xF7])
            running = None
        elif msg.is_meta:
            data += bytes(msg.bytes())
        else:
            raw = msg.bytes()
            data += bytes(raw[1:] if across_meta and raw[0] == running else raw)
            running = raw[0]
    return data


def check_written_by_mido(probe, workdir):
    """(b): files mido writes, and the same tracks without running status."""
    outdir = os.path.join(workdir, "mido")
    os.makedirs(outdir)
    ok = True
    for division, seed in ((96, 1), (384, 2), (480, 3), (1000, 4)):
        msgs = sample_messages(seed)
        expected_raw = []
        tick = 0
        for msg in msgs:
            tick += msg.time
            expected_raw.append("%d %s" % (tick, raw_line(msg)))
        expected = our_view(expected_raw, division)

        running = os.path.join(outdir, "mido_%d.mid" % division)
        midi = mido.MidiFile(type=0, ticks_per_beat=division)
        midi.tracks.append(mido.MidiTrack(msgs))
        midi.save(running)

        hand_built = []
        for prefix, across_meta in (("plain", False), ("lenient", True)):
            path = os.path.join(outdir, "%s_%d.mid" % (prefix, division))
            track = hand_track_bytes(msgs, across_meta)
            with open(path, "wb") as handle:
                handle.write(b"MThd" + struct.pack(">LHHH", 6, 0, 1, division))
                handle.write(b"MTrk" + struct.pack(">L", len(track)) + track)
            # mido's own reading of a hand-built file must give the same track.
            if mido_lines(mido.MidiFile(path).tracks[0]) != expected_raw:
                print("%s: mido reads the hand-built track differently" % path)
                ok = False
            hand_built.append(path)
        plain, lenient = hand_built

        sizes = [os.path.getsize(path) for path in (plain, running, lenient)]
        if not sizes[0] > sizes[1] > sizes[2]:
            print("%d ticks: file sizes %s do not show the running status forms" % (division, sizes))
            ok = False

        for path in (running, plain, lenient):
            name = os.path.basename(path)
            code, ours, errors = probe_read(probe, path)
            if code != 0:
                print("%s: smf_probe read ended with %d\n%s" % (name, code, errors))
                ok = False
            ok &= compare(name, ours, expected)
            print("%-18s %4d events at %4d ticks per quarter read as mido wrote them" % (name, len(msgs),
                                                                                       division))
    return ok


def daw_song(seed, division):
    """The tracks of a song as a sequencer writes them, times as deltas: a
    conductor track, then eight instruments on channels 8-15 (drums on 9),
    each ending at a tick of its own."""
    rng = random.Random(seed)
    step = division // 4
    conductor = [
        (0, mido.MetaMessage("track_name", name="Song")),
        (0, mido.MetaMessage("set_tempo", tempo=500000)),
        (0, mido.MetaMessage("time_signature", numerator=4, denominator=4)),
        (0, mido.MetaMessage("key_signature", key="F")),
        (0, mido.MetaMessage("marker", text="Intro")),
        (16 * step, mido.MetaMessage("marker", text="Verse")),
        (32 * step, mido.MetaMessage("set_tempo", tempo=461538)),
        (64 * step, mido.MetaMessage("end_of_track")),
    ]
    tracks = [conductor]
    for channel in range(8, 16):
        events = [(0, mido.MetaMessage("track_name", name="Part %d" % (channel + 1))),
                  (0, mido.Message("program_change", channel=channel, program=rng.randrange(128))),
                  (0, mido.Message("control_change", channel=channel, control=7, value=100)),
                  (0, mido.Message("control_change", channel=channel, control=10, value=rng.randrange(128)))]
        if channel == 8:
            events.append((0, mido.Message("sysex", data=[0x7E, 0x7F, 0x09, 0x01])))
        tick = 0
        while tick < 60 * step:
            note = 36 if channel == 9 else rng.randrange(40, 90)
            length = rng.choice([1, 2, 4]) * step
            events.append((tick, mido.Message("note_on", channel=channel, note=note, velocity=rng.randrange(1, 128))))
            if rng.randrange(4) == 0:
                events.append((tick + step // 2, mido.Message("pitchwheel", channel=channel,
                                                              pitch=rng.randrange(-8192, 8192))))
            if rng.randrange(5) == 0:
                events.append((tick + step // 2, mido.Message("aftertouch", channel=channel,
                                                              value=rng.randrange(128))))
            off = rng.choice([mido.Message("note_off", channel=channel, note=note, velocity=64),
                              mido.Message("note_on", channel=channel, note=note, velocity=0)])
            events.append((tick + length - 1, off))
            tick += length * rng.choice([1, 1, 2])
        events.append((tick + channel, mido.MetaMessage("end_of_track")))
        events.sort(key=lambda event: event[0])
        track, last = [], 0
        for at, msg in events:
            track.append(msg.copy(time=at - last))
            last = at
        tracks.append(track)
    # The conductor's times are absolute until here.
    track, last = [], 0
    for at, msg in conductor:
        track.append(msg.copy(time=at - last))
        last = at
    tracks[0] = track
    return tracks


def check_format1_by_mido(probe, workdir):
    """(c): format-1 files mido writes, read through our merge."""
    outdir = os.path.join(workdir, "format1")
    os.makedirs(outdir)
    ok = True
    for division, seed in ((480, 5), (960, 6)):
        path = os.path.join(outdir, "song_%d.mid" % division)
        midi = mido.MidiFile(type=1, ticks_per_beat=division)
        for msgs in daw_song(seed, division):
            midi.tracks.append(mido.MidiTrack(msgs))
        midi.save(path)

        written = mido.MidiFile(path)
        if (written.type, len(written.tracks)) != (1, 9):
            print("%s: mido wrote type %d with %d tracks" % (path, written.type, len(written.tracks)))
            ok = False
            continue
        expected = our_view(mido_lines(mido.merge_tracks(written.tracks)), division)
        name = os.path.basename(path)
        code, ours, errors = probe_read(probe, path)
        if code != 0:
            print("%s: smf_probe read ended with %d\n%s" % (name, code, errors))
            ok = False
        ok &= compare(name, ours, expected)
        print("%-18s %4d events in %d tracks at %4d ticks per quarter read as mido merges them"
              % (name, len(expected), len(written.tracks), division))
    return ok


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    probe, workdir = sys.argv[1], sys.argv[2]
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    print("mido %s" % mido.__version__)
    ok = check_written_by_us(probe, workdir)
    ok &= check_written_by_mido(probe, workdir)
    ok &= check_format1_by_mido(probe, workdir)
    print("mido cross-check " + ("passed" if ok else "FAILED"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
