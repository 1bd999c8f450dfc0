// NoteInfoPool.h -- the records of the compact encoder's note tracer.
//
// A note-on is written at once with a placeholder duration; its note-info
// record remembers where that duration lies until the note-off arrives and
// completes it. The records come from one global pool of NR_NOTES, so at most
// 64 notes can be open at once across all encoders.
#pragma once

#include "Base/QdTypes.h"

#include <cstdint>

// No tick known.
inline constexpr TTICK NOTE_NO_TICK = 0xFFFFFFFF;

struct CNoteInfo
{
    // Track in the low byte, key in the high byte (bits 8-23 of the
    // note-on's m_dw1).
    WORD m_wKey;
    // Encoded tick of the note-on minus its arrival tick.
    std::int16_t m_swTickOffset;
    // Arrival tick of the note-on.
    TTICK m_tNoteOnTick;
    // Offset of the record's duration bytes from the start of the window.
    SDWORD m_sdwDurationPos;
    // When the caller knows the note's end in advance (a note with duration
    // split into note-on and note-off), its note-off tick and velocity, so
    // that the note-off finds exactly this note; NOTE_NO_TICK otherwise.
    TTICK m_tNoteOffTick;
    BYTE m_byVelOff;
    CNoteInfo* m_poNext;
};

class CNoteInfoPool
{
public:
    static constexpr int NR_NOTES = 64;

    CNoteInfoPool();
    CNoteInfoPool(const CNoteInfoPool&) = delete;
    CNoteInfoPool& operator=(const CNoteInfoPool&) = delete;

    // CNoteInfoPool::GetNewNote -- a record from the front of the free list,
    // or null (after a report) when all are in use; each refusal is counted.
    CNoteInfo* GetNewNote();

    // CNoteInfoPool::ReleaseNote -- puts the record back at the front of the
    // free list. A pointer that is not a record of this pool is reported and
    // left alone.
    void ReleaseNote(CNoteInfo* poNote);

    // CNoteInfoPool::ChainAfresh -- chains all records in array order, as an
    // encoder does when it opens. Records still held by another open encoder
    // stay with it: the pool is rebuilt only when every record is back, so
    // that no record is ever handed out twice.
    void ChainAfresh();

    int GetFreeCount() const { return m_iFreeCount; }
    // CNoteInfoPool::GetRefusedCount -- notes refused since the program
    // started, because 64 were held already; an import takes the difference
    // over its run to say how many notes it left out.
    DWORD GetRefusedCount() const { return m_dwRefused; }

private:
    CNoteInfo m_aoNotes[NR_NOTES];
    CNoteInfo* m_poFreeList;
    int m_iFreeCount;
    DWORD m_dwRefused;
};

// NoteInfoPool -- the global pool.
CNoteInfoPool& NoteInfoPool();
