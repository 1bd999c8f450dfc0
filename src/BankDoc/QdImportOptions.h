// QdImportOptions.h -- how the import commands take MIDI files: what they do
// with a damaged file, with notes that no track would take and with a time
// signature other than the element's, and which track the notes of each
// MIDI channel go to.
//
// Only channels 9-16 carry the style's eight tracks (NST_TRACK_CHANNELS). A
// file from elsewhere often has its notes on other channels (a sequencer
// starts at channel 1); a track map sends such a channel to a track. The
// tracks of a format-1 file that are named like the style's tracks (Drum,
// Percussion, Bass, Acc. 1 ... Acc. 5, as the element tree shows them, or
// as the command line's --map names them, any letter case) go to those
// tracks by their names without being asked, but only from channels 1-8:
// a track on one of the tracks' own channels stays there, whatever its name
// (a General MIDI file's "Percussion" on channel 10 is its drum kit, the
// Drum track's channel). A track map, given by the user or chosen at the
// prompt, applies to the channels the names leave where they are.
//
// An import never changes the music behind the user's back: a file whose
// notes would partly be left out for want of a track, or whose time
// signature differs from the one the element keeps, is refused unless the
// options say to go on. The command line passes its flags here (--partial,
// --map, --force); the desktop's commands ask instead (QD_DAMAGED_ASK,
// m_bAskMap, QD_TIME_SIG_ASK), through the prompt.
#pragma once

#include "Base/QdTypes.h"

#include <array>
#include <string>

// CQdTrackMap -- for each MIDI channel (0-based) the style track (0-7) its
// channel messages go to, or KEEP: the channel stays as it is, and reaches
// a track only when it is one of the tracks' channels.
struct CQdTrackMap
{
    static constexpr BYTE KEEP = 0xFF;
    static constexpr int CHANNELS = 16;

    CQdTrackMap() { m_abyTrack.fill(KEEP); }
    // CQdTrackMap::IsEmpty -- every channel kept.
    bool IsEmpty() const;

    std::array<BYTE, CHANNELS> m_abyTrack;
};

// What an import does with a damaged MIDI file: one that is cut short, has
// a track cut short, missing, empty or without its end, or bytes that are
// no event. A file the reader cannot take at all (not a MIDI file, format
// 2, time code) is refused whatever this says.
enum EQdDamagedFile
{
    QD_DAMAGED_REFUSE = 0, // refused: the chord variation stays as it was
    QD_DAMAGED_IMPORT,     // the part before the damage is imported
    QD_DAMAGED_ASK,        // the prompt is asked "Import what could be read?"
};

// What an import does with a file whose time signature (at tick 0) differs
// from that of the element it goes into, when the element keeps its own
// because another of its chord variations holds events: the notes would
// be counted in the element's bars (a 3/4 pattern looped in 4/4 bars
// leaves a silent beat per bar). A file without a time signature is read
// in the element's; an element without events takes the file's.
enum EQdOtherTimeSig
{
    QD_TIME_SIG_REFUSE = 0, // refused: the chord variation stays as it was
    QD_TIME_SIG_IMPORT,     // imported in the element's time signature (reported)
    QD_TIME_SIG_ASK,        // the prompt is asked whether to import it so
};

struct CQdImportOptions
{
    EQdDamagedFile m_eDamaged = QD_DAMAGED_REFUSE;
    EQdOtherTimeSig m_eOtherTimeSig = QD_TIME_SIG_REFUSE;
    // The user's map; empty: every channel as it is.
    CQdTrackMap m_oMap;
    // A file with notes outside channels 9-16 while m_oMap is empty: the
    // prompt is offered the choice of a map (CQdDocPrompt::ChooseChannelMap);
    // a map chosen there (even one that keeps every channel) is the user's
    // word that the notes it leaves without a track are left out.
    bool m_bAskMap = false;
    // Notes on channels that no track takes once the map is applied are
    // left out (and reported); false: a file that has some is refused,
    // unless it holds nothing for the tracks at all (refused anyway).
    bool m_bLeaveOutChannels = false;
    // The tracks of the chord variation a file replaces, bit n for track n
    // (all eight: the whole chord variation); 0: as the file's name says
    // (QdTracksOfFile).
    BYTE m_byTracks = 0;
};

// QdTracksOfFile -- the tracks an import of the file replaces: those of
// rkoOptions when it names any; else the one track whose short name
// follows the standard name in the file's name, as the exports name a
// single track ("v1cv2-bass.mid", CQdBankDoc::FindTrackSuffix); else the
// whole chord variation (0xFF). A file holding one track thus never
// deletes the others.
BYTE QdTracksOfFile(const CQdImportOptions& rkoOptions, const std::string& rkstrPath);

// CQdChannelQuestion -- what CQdDocPrompt::ChooseChannelMap is asked about:
// a file whose notes lie (partly) outside the tracks' channels, after its
// tracks have gone by their names. Channels are bits, bit n for the 0-based
// channel n.
struct CQdChannelQuestion
{
    std::string m_strPath;
    // Channels with notes that no track takes (bits 0-7: channels 1-8).
    WORD m_wOutside = 0;
    // Channels with notes on the tracks' channels (bits 8-15: channels 9-16).
    WORD m_wInside = 0;
};

// QdTrackOfName -- the track a file track's name names, any letter case,
// blanks around it ignored: a track name as the element tree shows it
// ("Drum", "Percussion", "Bass", "Acc. 1"), as --map names it ("drum",
// "perc", "bass", "acc1"), "Drums", or an accompaniment with its dot or
// blank left out ("Acc 1", "Acc.1"); -1 when it names none.
int QdTrackOfName(const std::string& rkstrName);

// QdChannelList -- the channels of a bit set, 1-based, as "1, 2, 10".
std::string QdChannelList(WORD wChannels);
// QdChannelsText -- the same with its noun: "channel 1", "channels 2, 3".
std::string QdChannelsText(WORD wChannels);
