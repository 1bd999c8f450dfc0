// CEncProp.h -- encoder of the compact event format.
//
// CEncoderProp writes groups of events into a caller's memory window
// [m_pbyStartBuffer, m_pbyLimit) in the compact format (PropForm.h). Its own
// work is the byte layout of each record, the running track and the note
// tracer: a note-on is written at once as a note record with a placeholder
// duration and remembered; the matching note-off writes the duration and
// the note-off velocity into that record and nothing of its own.
//
// The window never overflows: every record checks its room first (through
// EnsureSpace, which a subclass may serve by growing its buffer) and a record
// that does not fit makes the event fail without writing a byte of it.
// Durations are patched only inside the bytes already written.
//
// Arrival ticks: the note tracer measures a duration from the arrival tick of
// the note-on to the arrival tick of the note-off. For events of a group the
// arrival tick is the group's tick (GetArrivalTick). A subclass that encodes
// an event later than it arrived -- the memory encoder writes the note-off of
// a note with duration when a later group flushes it -- hands the event's
// own tick in explicitly through EncodeChnEventAt, so that the duration is
// the note-off's tick minus the note-on's tick and survives every pass.
//
// Only one encoder at a time may hold open notes (the note-info pool is
// shared); at most 64 notes may be open at once.
#pragma once

#include "Kernel/SeqBase/CEncBase.h"

struct CNoteInfo;

class CEncoderProp : public CEncoderBase
{
public:
    CEncoderProp();
    ~CEncoderProp() override;

    // CEncoderProp::SetBuffer -- the window [pbyBuff, pbyEndBuff); the write
    // position goes to its start. An empty or reversed window is reported
    // and leaves no room.
    void SetBuffer(BYTE* pbyBuff, BYTE* pbyEndBuff);
    void SetBuffer(BYTE* pbyBuff, DWORD dwLength);

    // Note-on and note-off become note records with durations (default), or
    // plain channel records of codes 1 and 0.
    void SetUseNoteDuration(bool bUse) { m_bUseNoteDuration = bUse; }
    // Keys 28 to 91 take the short note form (default), or every note the
    // long form.
    void SetUseNoteEvent(bool bUse) { m_bUseNoteEvent = bUse; }
    // SetMaxNoteAbsTick -- latest tick at which a note may end; notes closed
    // later end there. No limit after Open.
    void SetMaxNoteAbsTick(TTICK tMaxNoteAbsTick) { m_tMaxNoteAbsTick = tMaxNoteAbsTick; }
    // SetShutNotesReport -- whether ShutNotes reports each note it closes
    // (on by default). An import that cuts a file at its length limit closes
    // the notes still held there as a matter of course, and turns it off.
    void SetShutNotesReport(bool bReport) { m_bReportShutNotes = bReport; }

    const BYTE* GetBufferStart() const { return m_pbyStartBuffer; }
    DWORD GetBytesWritten() const;
    DWORD GetFreeSize() const;
    // EnsureSpace -- true when dwBytes are free, else what GrowBuffer makes of it.
    bool EnsureSpace(DWORD dwBytes);

    // CEncoderProp::Open -- track 0, empty tracer, no note end yet. The write
    // position stays: a new encoding into the same window starts with
    // SetBuffer.
    bool Open() override;
    // CEncoderProp::Close -- reports open notes (given back to the pool) and a
    // missing end of track; fails only when not open.
    bool Close() override;
    // CEncoderProp::Reset -- forgets the open notes.
    void Reset() override;
    // CEncoderProp::ShutNotes -- closes every open note at tAbsTick with
    // note-off velocity 0x7F.
    void ShutNotes(TTICK tAbsTick) override;
    // CEncoderProp::GetEndTick -- the later of the last encoded tick and the
    // end of the latest note closed.
    TTICK GetEndTick() override;
    // CEncoderProp::ShiftTicks -- moves the open notes' ticks by tShift.
    void ShiftTicks(TTICK tShift) override;

protected:
    bool EncodeChnEvent(TTICK tAbsTick, const CEvent& rkoEvent) override;
    bool EncodeMetaEvent(TTICK tAbsTick, const CEvent& rkoEvent) override;
    bool EncodeSysExEvent(TTICK tAbsTick, const CEvent& rkoEvent) override;
    bool EncodeDelta(DWORD dwDelta) override;
    // GrowBuffer -- makes dwBytes free if it can; a caller's window cannot grow.
    virtual bool GrowBuffer(DWORD /*dwBytes*/) { return false; }

    // EncodeChnEventAt -- a channel event written at tAbsTick that arrived at
    // tArrivalTick (see Arrival ticks above).
    bool EncodeChnEventAt(TTICK tAbsTick, TTICK tArrivalTick, const CEvent& rkoEvent);
    // EncodeNoteOnUntil -- a note-on whose note-off is known to come at
    // tNoteOffTick with velocity byVelOff: that note-off completes this note
    // even when other notes of the same key and track are open.
    bool EncodeNoteOnUntil(TTICK tAbsTick, TTICK tArrivalTick, const CEvent& rkoNoteOn, TTICK tNoteOffTick,
                           BYTE byVelOff);

    // The output window; a subclass that owns its buffer moves it when it
    // grows. Note records are found by their offset from m_pbyStartBuffer,
    // so the window may move while notes are open.
    BYTE* m_pbyStartBuffer;
    BYTE* m_pbyCurrPtr;
    BYTE* m_pbyLimit;
    TTICK m_tLastNoteEnd;
    TTICK m_tMaxNoteAbsTick;

private:
    bool OnNoteOn(TTICK tAbsTick, TTICK tArrivalTick, DWORD dwRaw, TTICK tNoteOffTick, BYTE byVelOff);
    bool OnNoteOff(TTICK tArrivalTick, DWORD dwRaw);
    // Finds the open note a note-off completes and takes it out of the tracer.
    CNoteInfo* TakeOpenNote(WORD wKey, TTICK tArrivalTick, BYTE byVelOff);
    // Writes duration and note-off velocity byte into the note's record.
    void CompleteNote(const CNoteInfo& rkoNote, DWORD dwDuration, BYTE byVelOffByte);
    // Gives every open note back to the pool.
    void ReleaseTracer();

    // Writes the delta to tAbsTick, a type byte and, when the track changes,
    // the track delta; returns the type byte's address.
    BYTE* BeginRecord(TTICK tAbsTick, BYTE byType, BYTE byTrack);
    // Two duration bytes, reported and cut to the largest duration if longer.
    void WriteDuration(BYTE* pbyField, DWORD dwDuration);

    BYTE m_byTrack;
    bool m_bUseNoteDuration;
    bool m_bUseNoteEvent;
    bool m_bReportShutNotes = true;
    // The last record written is an end of track.
    bool m_bEndOfTrackLast;
    // Open notes, newest first.
    CNoteInfo* m_poNoteTracer;
};
