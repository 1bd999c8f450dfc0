// MaEncoder.h -- the memory encoder: compact event streams in memory.
//
// CMemEncoder encodes event lists into the compact format, either into a
// caller's fixed buffer or into a buffer of its own that grows. Every pattern
// the style stores is produced by it.
//
// Notes with duration (code 7, as the compact decoder delivers them) are
// split: the note-on is encoded at once and the note-off is queued in
// m_oWaitingNotesOff at tick + duration; PrepareTick encodes the queued
// note-offs that are due before the events of each later tick. The note
// tracer of CEncoderProp joins them into note records with durations again.
//
// A queued note-off is encoded at its own tick: it reaches the note tracer
// through EncodeChnEventAt with its own tick as arrival tick, not with the
// tick of the group that flushed it, and it completes exactly the note it was
// split from (the note-on announces its note-off). So every duration comes
// out as it went in, pass after pass; durations from 8192 ticks on keep the
// multiples of 16 the format can hold.
//
// End of track: GetEndTick also counts the queued note-offs, and a meta event
// flushes those due at its tick first, so an end of track is never written
// before a note's end, and no note is left without its duration.
//
// Calling order: construct, Open, EncodeEventsAt / EncodeEvents in rising
// ticks, SetEnd, Close, then read the results: GetBufferStart(),
// GetBytesWritten(), GetEndTick().
#pragma once

#include "Kernel/SeqBase/CEncProp.h"
#include "Kernel/SeqBase/CHeap.h"

#include <memory>

class CMemEncoder : public CEncoderProp
{
public:
    static constexpr DWORD MEMENC_INITIAL_SIZE = 2000;
    // Least room added beyond the need whenever the own buffer grows.
    static constexpr DWORD MEMENC_GROWTH = 2000;

    // CMemEncoder::CMemEncoder -- encodes into the caller's buffer of dwSize
    // bytes, which does not grow.
    CMemEncoder(BYTE* pbyBuffer, DWORD dwSize, bool bKeepDurations = false);
    // CMemEncoder::CMemEncoder -- encodes into a buffer of its own of
    // MEMENC_INITIAL_SIZE bytes that grows as needed.
    explicit CMemEncoder(bool bKeepDurations = false);
    // Closes the encoder when still open.
    ~CMemEncoder() override;

    // CMemEncoder::Open -- opens as CEncoderProp and starts writing at the
    // start of the buffer with no queued note-off.
    bool Open() override;
    // CMemEncoder::Close -- closes as CEncoderProp; no note-off may still wait.
    bool Close() override;
    // CMemEncoder::Reset -- forgets the open notes, their queued note-offs
    // included.
    void Reset() override;
    TTICK GetEndTick() override;
    void ShiftTicks(TTICK tShift) override;
    // CMemEncoder::ShutNotes -- the queued note-offs due by tAbsTick complete
    // their notes; the others are dropped, and their notes end at tAbsTick
    // with every other open note (CEncoderProp::ShutNotes).
    void ShutNotes(TTICK tAbsTick) override;

    // CMemEncoder::SetEnd -- encodes the end-of-track event at tEndTick (or at
    // the end of the last note when that is later).
    bool SetEnd(TTICK tEndTick);

protected:
    bool PrepareTick(TTICK tAbsTick) override;
    bool EncodeChnEvent(TTICK tAbsTick, const CEvent& rkoEvent) override;
    bool EncodeMetaEvent(TTICK tAbsTick, const CEvent& rkoEvent) override;
    bool GrowBuffer(DWORD dwBytes) override;

private:
    // Encodes the queued note-offs due at or before tAbsTick, each at its tick.
    bool FlushNotesOff(TTICK tAbsTick);

    // The own buffer (null for a caller's buffer) and the caller's buffer.
    std::unique_ptr<BYTE[]> m_pbyOwnBuffer;
    DWORD m_dwOwnSize;
    BYTE* m_pbyFixedBuffer;
    DWORD m_dwFixedSize;
    // Notes with duration are written whole, not split (the long note form).
    bool m_bKeepDurations;
    // Pending note-offs: priority = tick, value = track << 16 | key << 8 | velocity.
    CHeap m_oWaitingNotesOff;
    // Latest tick of a note-off queued since Open.
    TTICK m_tLatestNoteOff;
};
