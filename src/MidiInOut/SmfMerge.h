// SmfMerge.h -- the tracks of a MIDI file merged into the events of one
// format-0 track, their channels mapped on the way.
//
// The merged track is what the track decoder CDecSMF0 reads for a format-1
// file: every event at its tick, events of one tick in track order, and one
// end of track at the latest track end. Each track is read as the decoder
// would read it alone (CSmfTrackReader): running status per track, nothing
// after its end of track taken, and a track that is damaged or has no end
// of track ends after its last whole event. The merged track always writes
// the status of a channel message, so that running status never crosses
// from one track into another.
#pragma once

#include "MidiInOut/SmfRead.h"

#include <array>
#include <vector>

// CSmfChannelMap -- where the channel messages of each source track go.
// Channel messages (every status 80-EF) of track t on channel c go to
// channel m_aabyMap[t][c], or are left out where that is DROP; system
// exclusive and meta events (the channel prefix FF 20 too) pass unchanged.
// A format-0 file's track is track 0. Tracks beyond the table keep their
// channels, so the empty map changes nothing.
struct CSmfChannelMap
{
    static constexpr BYTE DROP = 0xFF;
    typedef std::array<BYTE, SmfRead::CHANNELS> TChannels;

    std::vector<TChannels> m_aabyMap;

    // CSmfChannelMap::Set -- track wTrack's channel byChannel (0-15) goes to
    // byDestination (0-15, or DROP); the table grows by unchanged tracks as
    // far as it must.
    void Set(WORD wTrack, BYTE byChannel, BYTE byDestination);
    // CSmfChannelMap::Get -- the destination of track wTrack's channel
    // byChannel: 0-15, or DROP (a destination above 15 in the table counts
    // as DROP).
    BYTE Get(WORD wTrack, BYTE byChannel) const;
};

// SmfMergeTracks -- the events of rkaoTracks (track chunks of the dwSize
// bytes at pkbyData, in file order; the map's track numbers count them) as
// the data of one track, without its chunk header, into rabyTrack.
// pkoMap may be null: every channel stays. The result ends with FF 2F 00
// and never needs running status. A gap between two events longer than a
// delta time can hold (0x0FFFFFFF ticks, after left-out messages) is
// bridged by FF 7E 00 events, which the decoder hands out as null events.
void SmfMergeTracks(const BYTE* pkbyData, DWORD dwSize, const std::vector<CSmfChunk>& rkaoTracks,
                    const CSmfChannelMap* pkoMap, std::vector<BYTE>& rabyTrack);
