// QdCliHelp.h -- the help texts of qdstyle: the tool's, and for each
// command its details, followed by the parts commands share (what STYLE and
// NAME are, how OUT is written, the exit status). Lines stay within 80
// columns.
#pragma once

namespace QdCliHelp {

inline constexpr const char* TOOL =
    "qdstyle -- the Qd Style Tool on the command line: lists, shows, converts and\n"
    "edits the styles of a Qd50 style bank file (.sty). Chord variations go to\n"
    "Standard MIDI Files (format 0, 384 ticks per quarter note, tracks on channels\n"
    "9-16: Bass 9, Drum 10, Percussion 11, Acc. 1-5 on 12-16) and come back from\n"
    "format 0 and format 1 files of any resolution.\n";

inline constexpr const char* STYLE_AND_NAME = R"(
STYLE   a style's 1-based position among the styles present in the bank, as
        'list' numbers them (a plain number is always a position), or its
        exact name.
NAME    a standard chord-variation name: v1cv1 ... v4cv6 (Variation 1-4,
        chord variations 1-6), i1cv1 ... i2cv2 (Intro 1-2), f1cv1 ... f2cv2
        (Fill 1-2), e1cv1 ... e2cv2 (Ending 1-2); letter case does not matter.
)";

inline constexpr const char* SAVING = R"(
Commands that change a style write it back into the bank and save the whole
bank to OUT, which may be BANK itself: every style slot is compressed, the
directory and the style-name table are rewritten, and OUT is replaced only
after a complete write, so a failed save leaves it as it was. With
--dry-run (import, import-cv, delete-cv, rename, import-bank, set-track,
copy) the command runs and reports as it would, and nothing is written; OUT
may then be left out. An OUT that exists read-only (no write permission, as
chmod a-w leaves it) is refused, exit status 2 and nothing written, unless
--force is given.
)";

inline constexpr const char* DAMAGED = R"(
A style whose loading reported problems is damaged ('check' names it):
writing it back keeps only what could be read, so a command that would write
it back is refused (exit status 2, OUT not written) unless --force is given.
)";

inline constexpr const char* EXIT_STATUS = R"(
Exit status: 0 success; 1 usage error (the usage is shown); 2 refused,
nothing written: not a style bank, corrupt file, unknown style or chord
variation, refused MIDI file, failed write, out of memory; 3 done and
written, but something was reported on the way: a warning, an assertion
report, a message, or an import that left something out. Messages and
warnings go to stderr, "qdstyle: PATH: reason" for a file, one per line;
the core's assertion reports only with -v (otherwise a line says how many
were not shown).)";

inline constexpr const char* TOOL_TAIL = R"(

Commands over many files show their progress on stderr when it is a
terminal; the progress line is erased before anything goes to stdout. -q
prints only the messages of a command that failed (warnings still give exit
status 3), no progress, and none of the lines that tell what was written;
-v adds detail, a lasting progress line per file among it, and the core's
reports. Text output is UTF-8: the bytes of style names and of a MIDI
file's texts are ISO-8859-1, and control characters in them are shown as
\n, \r, \t or \xHH, never raw (a STYLE may be given so, too). list, show,
check and info print one JSON document with --json (docs/qdstyle-json.md),
which gives every name exactly (ISO-8859-1 to Unicode). A single
file read or written may be '-': stdin for 'dump -' and the FILE of
'import-cv', stdout for 'export ... --cv NAME -o -' and 'roll ... -o -'.
Run 'qdstyle COMMAND --help' for a command's arguments.)";

inline constexpr const char* LIST = R"(
One line "<n><TAB><name>" per style present in the bank, in slot order; n is
the style's position, which STYLE arguments take. With --json: {"styles":
[{"position", "slot", "name"}, ...]}.
)";

inline constexpr const char* SHOW = R"(
The style's element tree as the desktop shows it, two blanks of indent per
level: the style with its uncompressed size, the style elements with their
time signature, the chord variations with their standard name and length in
measures, and the tracks that hold events. With --json the same tree, each
track with its MIDI channel, measures, notes, events and the element's
parameters (program, bank select, expression, note range), and the style's
slot, damaged flag and damage reports. With --tracks instead, for each
element of the style and each of its eight tracks, the track's parameters as
set-track sets them, one line each:
  v1<TAB>Bass<TAB>program 33 (Electric Bass (finger))<TAB>bank-msb 0<TAB>
  bank-lsb 0<TAB>expression 100
(the program's General MIDI name; "drum kit" on the Drum and Percussion
tracks, whose program selects a kit).
)";

inline constexpr const char* INFO = R"(
The bank's facts, one "<key><TAB><value>" line each: the file and its size,
the used size of the bank's chunks (slots decompressed) and the free room
left of the 3 MB bank block, the slots and how many hold a style, the
chunk-offset directory (its entries, and whether they are what a save
writes) and the style-name table; then a line per style: position, name,
slot, its bytes stored in the file and decompressed. --json gives every
slot.
)";

inline constexpr const char* EXPORT = R"(
Writes DIR/<standard name>.mid for every chord variation of the style, or for
those named with --cv, and prints the path of each file written. DIR is
created when missing; a file already there is replaced. Each file holds the
element's time signature, the tempo and every track's parameters (program,
bank select, expression) at tick 0, then the chord variation's tracks on
their channels. With --track the file holds that one track, with its own
measures, and is named DIR/<standard name>-<track>.mid (v1cv1-bass.mid,
the track as --track names it), so that exports of several tracks share a
folder and the imports put each back into its track alone. The bank is not
changed. With -o - the one chord variation named with --cv goes to stdout
instead (not to a terminal), and no path is printed.
)";

inline constexpr const char* EXPORT_BANK = R"(
Writes every chord variation of every style to DIR/NN-<style name>/<standard
name>.mid (NN: the style's position, two digits; the name made safe as a
folder name: no '/', no control characters, no leading dot), the layout
'rescue' writes too, and DIR/bank.json: the bank's facts as 'info --json'
gives them and each style's tree as 'show --json' does, with its folder and
files, so the folder documents itself. Prints "<n><TAB><name><TAB><k> chord
variations in <folder>" per style and the path of bank.json. A style that
loads damaged gives what could be read (exit status 3); a failed write ends
the command (2). DIR is created when missing; files there are replaced.
)";

inline constexpr const char* IMPORT = R"(
The whole-style import: each FILE goes to the chord variation whose standard
name occurs anywhere in its file name (letter case does not matter; the
first name in table order counts: 'ABCi1cv2.mid' and 'I1CV2de.mid' both go
to i1cv2). Without --replace the files are merged into the style; with it
they make a new style, "New Style" (or --name NAME, as 'rename' takes it),
that takes the old one's place once a file has been imported. A chord
variation that already holds data keeps the element's track parameters
unless --initialize is given. A file of some tracks (below) is asked about
only where those tracks hold data, so the track files of one chord variation
all go in. Files without a standard name and refused MIDI files are told and
change nothing; the others go in. OUT is written when at least one file went
in (the exit status is 3 when others were refused), and not at all when none
did (2).
)";

inline constexpr const char* IMPORT_CV = R"(
Replaces the chord variation NAME, which the style must have, by the MIDI
file FILE, whatever its file name (- reads it from stdin). The element's
track parameters are taken from the file unless --keep is given (an element
whose other chord variations hold data keeps them anyway; a file of some
tracks, below, gives them to its tracks and deletes nothing). A refused
file changes nothing.
)";

inline constexpr const char* MIDI_FILES = R"(
MIDI files: format 0, and format 1 with its tracks merged, at any resolution.
The eight tracks come from channels 9-16. A format-1 track on channels 1-8
named Drum, Drums, Percussion, Perc, Bass, Acc. 1 ... Acc. 5 (or Acc 1,
Acc.1, acc1; any letter case) goes to that track; on channels 9-16 a track
stays on its channel whatever its name. --map moves the other channels: SRC
a channel 1-16, TRACK drum, perc, bass, acc1 ... acc5 or a track's channel
9-16, as in '--map 1=bass,2=acc1'. Every file is checked before anything
changes and refused with the reason when it cannot be read, is damaged (cut
short; a track cut short, missing, empty or without its end), holds nothing
on channels 9-16, has notes on channels that no track takes, or states a
time signature other than its element's while events stay in the element
(those of its other chord variations, and of the chord variation itself
unless it is initialized whole; an element without events takes the
file's). --partial imports the part of a damaged file before its damage and
leaves out the notes that no track takes; --force imports a file of another
time signature in the element's. At most 16 measures are taken.

A file that gives its tracks nothing but their setup at tick 0 (program,
bank select, expression) and markers, as a chord variation without notes
exports, is a chord variation too: each track with setup stays in use with
a pitch bend at the centre at tick 0, which sounds like nothing (a pattern
holds no program change or bank select), and the setup becomes the track's
parameters as in any import. Its export then holds that pitch bend after
the setup; exporting and importing it again gives the same bytes.

Each imported file gets a line on stdout: the chord variation, its
measures, its notes per track, and what was left out: events on channels
without a track, events past the 16-measure cut, notes beyond the 64 held
at once, tick-0 parameters the element keeps, a time signature other than
the element's (which stays), the chord variation itself when the file gives
its tracks neither setup nor events a pattern holds (a volume change alone:
the bank keeps no chord variation without events); anything left out makes
the exit status 3. A bank holds no tempo: export takes --tempo.

One track, or some: a file named as 'export --track' names it
(v1cv1-bass.mid: the standard name, '-' and drum, perc, bass, acc1 ...
acc5) replaces that track only, and --tracks T,... of import and import-cv
names the tracks every file replaces. The chord variation's other tracks,
its markers and its length stay; a longer file lengthens it, over which
the shorter tracks repeat, and a shorter track repeats over it, its
measures rounded up with silence to a divisor of the chord variation's.
The file's events of other tracks are left out, a named track the file
holds nothing for stays as it is (both reported, exit status 3), and a file
that holds nothing (no note, no other event) for any of the tracks is
refused (their setup alone keeps them in use, as above). The tracks take the file's track parameters where the element
plays them nowhere yet, or with --initialize (import) and without --keep
(import-cv).
)";

inline constexpr const char* DELETE_CV = R"(
An element left without chord variations is deleted too. A style always
keeps "Variation 1": deleting its last chord variation leaves an empty one.
)";

inline constexpr const char* RENAME = R"(
As in the style list: an empty NEWNAME keeps the name, a longer one is cut
to 11 characters.
)";

inline constexpr const char* SAVE = R"(
Opens the bank and saves it without any change. --force writes over an OUT
that is read-only.
)";

inline constexpr const char* CHECK = R"(
Opens the bank, decompresses every style slot, loads every style and
converts each of its chord variations to a MIDI file in memory. Prints one
line per style ("<n><TAB><name><TAB><k> chord variations"), a line
"style <n> '<name>': <reports>" per damaged style (one whose loading reported
problems), and a verdict; what is reported on the way is counted (-v prints
it).
--json gives the same per style (loaded, converted, chord_variations,
damaged, damage) and the verdict (damaged, problems, clean). The exit status
is 0 when nothing at all was reported, 3 when something was, 2 when the bank
does not open.
)";

inline constexpr const char* RESCUE = R"(
Gets the styles out of a bank that does not open (cut short, partly
overwritten, a slot that does not decompress), without writing to it: the
bank's chunks are read as far as its bytes go, and every chord variation of
every style that loads is written to DIR/NN-<style name>/<standard name>.mid
(NN: the style's position, as 'list' numbers the styles of the intact bank;
DIR is created when missing). Prints one line per style: "<n><TAB><name>
<TAB>complete: ...", "damaged: ..." with what was lost, or "unreadable: ..."
with why; then what the bank lost beyond its styles, and a verdict. The exit
status is 0 when everything was rescued, 3 when something was lost, 2 when
nothing could be read or a file could not be written.
)";

inline constexpr const char* IMPORT_BANK = R"(
The reverse of export-bank (and of rescue): DIR holds a folder per style,
named NN-<style name> with NN the style's position as 'list' numbers it
(the rest of the name is not compared). The MIDI files (*.mid) of each such
folder are imported into the style at its position as 'import' imports a
style's files: by their standard names, merged into the style, or replacing
it with --replace. A replaced style keeps its name: the one DIR/bank.json
gives for its folder, else the folder's name after NN- (as 'rename' takes
it: at most 11 characters); a bank.json that cannot be read is warned about.
Other files and folders in DIR are ignored; styles without a folder stay
as they are. Prints a line per style folder, "<n><TAB><name><TAB>9 files
imported from DIR/01-Pop 8Beat" or "... not imported: <why>", a line per
imported file that left something out, and the count of styles imported. A
folder whose style did not change (no style at its position, a damaged
style without --force, no file imported, a full bank) or that had files
refused makes the exit status 3; when no style changed, OUT is not written
(2). Two folders for one style refuse the whole command. export-bank, then
import-bank into a copy of the bank, then export-bank again gives the same
MIDI files byte for byte.
)";

inline constexpr const char* SET_TRACK = R"(
Sets a track's parameters in the style element ELEMENT (v1 ... v4, i1, i2,
f1, f2, e1, e2), or in every element the style has (all): only the values
given, each 0-127. --program takes a number (the program change byte: 0 is
the Acoustic Grand Piano) or a General MIDI name, in any letter case, whole
or as the start of exactly one name ('fretless', 'electric bass (pick)');
on the Drum and Percussion tracks the program selects a drum kit. The
export writes the parameters as the track's events at tick 0. Prints the
track's parameters in each element set, as show --tracks does. An element
the style lacks is refused.
)";

inline constexpr const char* COPY = R"(
Copies musical content from SRC_BANK (only read) over DST_BANK, which may be
the same bank: SRC and DST are STYLE or STYLE:PART, PART an element (v1 ...
v4, i1, i2, f1, f2, e1, e2) or a chord variation by its standard name
(v1cv1 ... e2cv2), both of one kind, as in
  qdstyle copy a.sty 1:v1cv1 b.sty 4:v2cv3 -o b.sty
A whole style becomes a copy of the other's elements, chord variations,
track parameters and track modes (its name stays); an element takes the
other's chord variations, time signature and track parameters; a chord
variation takes the other's tracks, length and markers, present in the
destination element or not yet. Parts the source lacks go. --tracks copies
only the tracks named and clears them where the source has no chord
variation; nothing else changes (an element copy also takes those tracks'
parameters): a destination chord variation or element that holds events
keeps its length, time signature, markers and settings, also when all its
events lay in the tracks named. A style that holds no events takes the
track modes of all eight tracks with any copy. Refused, with nothing
changed: a source of another time signature than a destination element that
holds events (a 3/4 element does not go into a 4/4 one), and with --tracks a
source chord variation whose length does not divide that of a destination
one that holds events (the tracks would be cut; they repeat when it
divides). Prints a line per chord variation of DST that changed:
"<name><TAB>from '<style>' <name>", "deleted: ..." or "cleared: ...". The
destination style is written back with markers, as every change is. A
Variation keeps 6 chord variations, the other elements 2: those copied
beyond are left out of the written style, and a line per element says so,
with exit status 3; an element left with none is written without chord
variations:
  left out: v1cv4, v1cv5 (Ending 1 holds 2)
New styles in empty slots are not made: what an empty slot of a bank holds
beyond what the tool reads is unknown, and a bank the instrument rejects is
worse than none; copy over a style that is there.
)";

inline constexpr const char* ROLL = R"(
Draws the chord variation NAME (or, with --track, one of its tracks) as a
piano roll into an SVG file, from the MIDI file 'export' writes of it, so
that the picture holds exactly what the export holds: the patterns repeated
to the chord variation's length and cut there. A band per track that plays:
its key rows (the range of keys it plays; on the Drum and Percussion tracks
one row per drum it plays, named by the General MIDI drum map), its notes,
and a lane per controller, pitch bend or pressure that changes after tick 0.
Above, the measures and beats of the element's time signature; below, a
legend of the tracks. Note names count C4 = 60 (middle C); a note-off ends
the earliest sounding note of its key and channel. Each note is one
<rect> of the file with data-track (0-7), data-channel (0-based), data-key,
data-velocity, data-start and data-length (ticks, 384 per quarter note) and
a <title> naming its track, key, velocity, start (bar:beat:tick) and length.
The bank is not changed. -o - writes the picture to stdout.
)";

inline constexpr const char* DUMP = R"(
FILE - reads stdin. --format text (the default): one line per event of the
file's track (a format-1 file's tracks merged) as the decoder reads it: the
tick at 384 ticks per quarter note, then (measure:beat:tick) counted in 4/4,
or with --bars by the file's own time signatures, then the event.
--format csv: every event of every track as the file holds it, in the
file's own ticks; a header line, then one line per event:
  track    1-based, in the file's order of track chunks
  tick     from the track's start, in the file's division
  bar      (--bars) bar:beat:tick, beats of the time signature's
           denominator, 4/4 until the first time signature
  channel  1-16 for a channel message, empty otherwise
  kind     note_on, note_off, polytouch, control_change, program_change,
           aftertouch, pitchwheel, sysex, escape, or a meta event's name
           (track_name, set_tempo, time_signature, end_of_track, ..., meta)
  note     the key's name, C4 = 60 (middle C), sharps: C#4; notes only
  number   key, controller, program or meta type
  value    velocity, pressure, controller value, pitch bend -8192..8191,
           tempo in microseconds per quarter note
  data     a text event's text (ISO-8859-1 to UTF-8, control characters
           as \n, \xHH), a time signature as 3/4, other data in hex;
           quoted where it holds , or "
--format json: the same per track (docs/qdstyle-json.md). A damaged file is
dumped as far as it can be read, and its damage told after (exit status 3).
)";

inline constexpr const char* RENDER = R"(
Plays the chord variation (or one track of it) through FluidSynth with the
installed General MIDI soundfont into a 16-bit stereo WAV file at 44.1 kHz,
N times in a row as the keyboard loops it, at the tempo given. The audio
lasts exactly N times the chord variation's length; the last notes are cut
there. Drum and Percussion sound as drum kits, and any other track whose
bank select MSB is 120; MSB 121 is the General MIDI bank.
)";

} // namespace QdCliHelp
