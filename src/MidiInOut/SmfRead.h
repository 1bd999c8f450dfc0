// SmfRead.h -- the pieces of a Standard MIDI File read from a block in
// memory: chunk headers, the events of one track chunk, and the kinds of
// damage found on the way.
//
// The bytes come from outside and are not trusted. Every read is checked
// against an explicit end (the bytes left are end - position), lengths and
// ticks are added in 64 bits, and a chunk that claims more bytes than the
// block holds is taken as far as the block goes.
//
// The track reader follows the rules of the track decoder CDecSMF0 to the
// byte, so that what it hands out is what CDecSMF0 would make of the same
// track: running status is kept across meta events and cleared by system
// exclusive events; a channel message whose first data byte is a status
// byte is left out (both bytes taken); a status byte as the second data
// byte makes a note-off velocity 64 and leaves any other message out;
// variable-length numbers have at most 4 bytes. The end of track is
// FF 2F 00 only (FF 2F with data is an ordinary meta event to the decoder).
#pragma once

#include "Base/QdTypes.h"

#include <cstdint>

// ESmfProblem -- the kinds of damage a MIDI file can have, in the order a
// walk through the file meets them. The scan (SmfScan.h) reports the first
// one; the track reader finds the last five.
enum ESmfProblem
{
    SMFP_NONE = 0,
    SMFP_NOT_MIDI,         // no "MThd" at the start, or a header chunk shorter than 6 bytes
    SMFP_FORMAT_2,         // format 2: independent sequences
    SMFP_UNKNOWN_FORMAT,   // format 3 and above
    SMFP_TRACK_COUNT,      // no track declared, or a format-0 file declaring other than one
    SMFP_DIVISION,         // time code (SMPTE) division, or 0 ticks per quarter note
    SMFP_TRUNCATED,        // a chunk runs past the end of the file
    SMFP_MISSING_TRACK,    // fewer track chunks than the header declares
    SMFP_EMPTY_TRACK,      // a track chunk of length 0
    SMFP_NO_END_OF_TRACK,  // a track that ends without FF 2F 00
    SMFP_LONG_NUMBER,      // a variable-length number of more than 4 bytes
    SMFP_NO_STATUS,        // a data byte where a status belongs, and no running status
    SMFP_MISPLACED_STATUS, // a status byte among a message's data, or an undefined one (F1-FE but F7)
    SMFP_EVENT_PAST_END,   // an event that runs past its track's end
};

namespace SmfRead {

inline constexpr DWORD CHUNK_HEADER_SIZE = 8;
// "MThd", its length, format, track count and division.
inline constexpr DWORD FILE_HEADER_SIZE = 14;
inline constexpr DWORD FILE_HEADER_DATA = 6;
inline constexpr int CHANNELS = 16;

// IsTickDivision -- the header's division counts ticks per quarter note:
// not 0, and bit 15 clear (set, it is a time code (SMPTE) division, which
// the tool does not read: its ticks are no fraction of a beat).
inline constexpr bool IsTickDivision(WORD wDivision)
{
    return wDivision != 0 && (wDivision & 0x8000) == 0;
}

} // namespace SmfRead

// CSmfChunk -- one chunk header and the part of its data the block holds.
struct CSmfChunk
{
    DWORD m_dwOffset = 0;       // of the chunk header
    BYTE m_abyId[4] = {};
    DWORD m_dwLength = 0;       // as declared
    DWORD m_dwDataOffset = 0;   // m_dwOffset + 8
    DWORD m_dwDataLength = 0;   // what the block holds of it: at most m_dwLength

    bool IsTrack() const;
    // CSmfChunk::IsCut -- the block ends before the declared length.
    bool IsCut() const { return m_dwDataLength < m_dwLength; }
    // CSmfChunk::GetEnd -- the offset after the data the block holds.
    DWORD GetEnd() const { return m_dwDataOffset + m_dwDataLength; }
};

// SmfReadChunk -- the chunk header at dwOffset of the dwSize bytes at
// pkbyData into roChunk; false when fewer than 8 bytes are left there.
bool SmfReadChunk(const BYTE* pkbyData, DWORD dwSize, DWORD dwOffset, CSmfChunk& roChunk);

// CSmfEvent -- one event of a track as the reader hands it out.
struct CSmfEvent
{
    std::uint64_t m_qwTick = 0; // from the start of the track, in the file's ticks
    DWORD m_dwOffset = 0;       // of its delta time in the block
    // 0x80-0xEF for a channel message (running status resolved), F0 or F7
    // for system exclusive, FF for meta.
    BYTE m_byStatus = 0;
    // Channel message: its data bytes (the second 0 for program change and
    // channel pressure); a status byte as second data of a note-off is 64.
    BYTE m_abyChannelData[2] = {};
    BYTE m_byMetaType = 0;
    // Meta and system exclusive: the bytes from the status to the end of the
    // data as they stand in the block, and the data alone.
    const BYTE* m_pkbyRaw = nullptr;
    DWORD m_dwRawLength = 0;
    const BYTE* m_pkbyData = nullptr;
    DWORD m_dwDataLength = 0;

    bool IsChannel() const { return m_byStatus >= 0x80 && m_byStatus < 0xF0; }
    bool IsMeta(BYTE byType) const { return m_byStatus == 0xFF && m_byMetaType == byType; }
};

// ETrackRead -- what CSmfTrackReader::Next found.
enum ETrackRead
{
    TR_EVENT, // an event in the record
    TR_END,   // the end of track, or the chunk ended before it
    TR_ERROR, // damage that ends the track (the reader's problem says which)
};

// CSmfTrackReader -- reads the events of one track chunk in order.
class CSmfTrackReader
{
public:
    // CSmfTrackReader::CSmfTrackReader -- over the data of rkoChunk in the
    // dwSize bytes at pkbyData (kept within them); both must outlive the reader.
    CSmfTrackReader(const BYTE* pkbyData, DWORD dwSize, const CSmfChunk& rkoChunk);

    // CSmfTrackReader::Next -- the next event into roEvent. After TR_END
    // and TR_ERROR every further call gives the same. A channel message the
    // decoder would leave out is passed over (and noted as a problem).
    ETrackRead Next(CSmfEvent& roEvent);

    // CSmfTrackReader::HasEndOfTrack -- FF 2F 00 was read.
    bool HasEndOfTrack() const { return m_bEndOfTrack; }
    // CSmfTrackReader::GetTick -- the tick of the last event read (of the
    // end of track once it is read).
    std::uint64_t GetTick() const { return m_qwTick; }
    // CSmfTrackReader::GetProblem -- the first damage met: the one that ended
    // the track with TR_ERROR, or a message passed over before; and where it
    // is: the first byte of the number that is too long, the data byte
    // without status, the misplaced status byte, the first byte of the
    // event that runs past the end.
    ESmfProblem GetProblem() const { return m_eProblem; }
    DWORD GetProblemOffset() const { return m_dwProblemOffset; }

private:
    enum EStep
    {
        STEP_EVENT,  // an event was read
        STEP_SKIP,   // a message the decoder leaves out was read
        STEP_ERROR,  // damage (noted)
    };

    DWORD BytesLeft() const { return m_dwEnd - m_dwPos; }
    bool ReadByte(BYTE& rby);
    // A variable-length number; false with the damage noted.
    bool ReadVarLen(DWORD dwEventOffset, DWORD& rdwValue);
    EStep ReadChannelMessage(BYTE byFirst, DWORD dwEventOffset, CSmfEvent& roEvent);
    EStep ReadDataEvent(BYTE byStatus, DWORD dwEventOffset, CSmfEvent& roEvent);
    // Notes the damage when it is the first.
    void Note(ESmfProblem eProblem, DWORD dwOffset);
    // Notes the damage; STEP_ERROR.
    EStep Damage(ESmfProblem eProblem, DWORD dwOffset);
    // No more reading; every further Next gives eResult.
    ETrackRead Stop(ETrackRead eResult);

    const BYTE* m_pkbyData;
    DWORD m_dwPos;
    DWORD m_dwEnd;
    std::uint64_t m_qwTick;
    BYTE m_byRunningStatus;
    bool m_bEndOfTrack;
    bool m_bStopped;
    ETrackRead m_eStopResult;
    ESmfProblem m_eProblem;
    DWORD m_dwProblemOffset;
};
