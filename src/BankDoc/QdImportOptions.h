// QdImportOptions.h -- how the import commands take MIDI files: what they do
// with a damaged file, and which track the notes of each MIDI channel go to.
//
// Only channels 9-16 carry the style's eight tracks (NST_TRACK_CHANNELS). A
// file from elsewhere often has its notes on other channels (a sequencer
// starts at channel 1); a track map sends such a channel to a track. The
// tracks of a format-1 file that are named like the style's tracks (Drum,
// Percussion, Bass, Acc. 1 ... Acc. 5, as the element tree shows them, any
// letter case) go to those tracks by their names, whatever their channels,
// without being asked: the name says what the track is. A track map, given
// by the user or chosen at the prompt, applies to the channels of the file's
// other tracks.
//
// The command line passes its flags here (--partial, --map); the desktop's
// commands ask instead (QD_DAMAGED_ASK, m_bAskMap), through the prompt.
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

struct CQdImportOptions
{
    EQdDamagedFile m_eDamaged = QD_DAMAGED_REFUSE;
    // The user's map; empty: every channel as it is.
    CQdTrackMap m_oMap;
    // A file with notes outside channels 9-16 while m_oMap is empty: the
    // prompt is offered the choice of a map (CQdDocPrompt::ChooseChannelMap).
    bool m_bAskMap = false;
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

// QdTrackOfName -- the track a file track's name names (a track name as the
// element tree shows it, any letter case, blanks around it ignored); -1 when
// it names none.
int QdTrackOfName(const std::string& rkstrName);

// QdChannelList -- the channels of a bit set, 1-based, as "1, 2, 10".
std::string QdChannelList(WORD wChannels);
