// CDecProp.h -- decoder of the compact event format.
//
// Turns a block of compact data in memory into groups of events through the
// decoder interface of CDecBase: a group is a run of events at one tick with
// one class; at one tick a change of class starts a new group with delta 0.
// The decoder reads one event ahead (the pending event).
//
// The block is not owned and is read in place. Whatever its bytes, the
// decoder never reads outside [m_pbyStartData, m_pbyStartData +
// m_ulDataSize): a record that does not fit, a length past the end, a delta
// of more than MAX_DELTA_LEN bytes or a block that ends without the
// end-of-track record make the stream corrupted. A corrupted stream ends
// with -1 while IsEndOfStream() is false, after the report of Prepare
// ("stream of events is corrupted") or the check "m_bIsTerminated" of the
// extraction. An exhausted events pool ends decoding the same way.
//
// Decisions on records the encoder never writes:
//   code 31        skipped up to and including the first byte with bit 7
//                  set; it yields no event, so the stream ends as corrupted
//   code 30        a private record, skipped the same way (or read through
//                  when AcceptPrivateRecord says so); its delta is added to
//                  that of the next record, so later events keep their ticks
//   meta 0x7E      terminates the stream only with a first data byte of 1;
//                  with length 0 it is an ordinary meta event
#pragma once

#include "Kernel/SeqBase/CDecBase.h"

class CEvent;

class CDecProp : public CDecBase
{
public:
    // CDecProp::CDecProp -- decoder over ulDataSize bytes at pbyData; rewinds,
    // which decodes the first event.
    CDecProp(const BYTE* pbyData, unsigned long ulDataSize);
    ~CDecProp() override;

    // CDecProp::Prepare -- starts decoding at the read position with byTrack
    // as the current track; returns the delta of the first group, or -1 when
    // the block is empty or its first record is corrupted.
    TDELTA Prepare(BYTE byTrack);

    BYTE GetPendingClass() override { return m_byPendingClass; }
    bool IsEndOfStream() override { return m_bIsTerminated && !m_poPending; }

    // The state of the decoder lies in its read position, which the position
    // save of the base does not hold: not supported.
    void SavePosition() override;
    void RestorePosition() override;
    bool IsPositionSaveSupported() override { return false; }

protected:
    TDELTA OnRewind() override;
    TDELTA OnExtractEvents(CLinkedEvent*& rpoList) override;
    // OnExtractEventsWithFilter -- OnExtractEvents with the filter hooks: a
    // rejected pending event becomes the null event, a rejected event at
    // delta 0 is dropped. A subclass that filters calls it from its
    // OnExtractEvents.
    TDELTA OnExtractEventsWithFilter(CLinkedEvent*& rpoList);

    // Filter hooks, one per class; all accept here.
    virtual bool AcceptChnEvent(const CEvent& /*rkoEvent*/) { return true; }
    virtual bool AcceptMetaEvent(const CEvent& /*rkoEvent*/) { return true; }
    virtual bool AcceptSysExEvent(const CEvent& /*rkoEvent*/) { return true; }
    // AcceptPrivateRecord -- true reads the body of code-30 records as
    // further records instead of skipping it.
    virtual bool AcceptPrivateRecord() { return false; }

private:
    // The one extraction routine; bFilter selects the filtered variant.
    TDELTA ExtractGroup(CLinkedEvent*& rpoList, bool bFilter);
    // The hook of the event's class.
    bool AcceptEvent(const CEvent& rkoEvent);

    // DecodeNext -- one record, one event with its delta; null at the end of
    // a terminated stream, on a corrupted record and when the pool is dry.
    CLinkedEvent* DecodeNext(DWORD& rdwDelta);
    CLinkedEvent* DecodeShortNote(BYTE byType);
    CLinkedEvent* DecodeChnRecord(BYTE byCode);
    CLinkedEvent* DecodeMetaRecord();
    CLinkedEvent* DecodeSysExRecord();
    // Skips bytes up to and including the first with bit 7 set.
    bool SkipRecordBody();

    // Bounded reads: false / null when the block ends first.
    bool TakeByte(BYTE& rbyData);
    const BYTE* TakeBytes(DWORD dwCount);
    // Running track: applies a track-delta byte.
    void ChangeTrack(BYTE byTrackDelta);

    void FreePending();

    const BYTE* m_pbyStartData;
    unsigned long m_ulDataSize;
    const BYTE* m_pbyEndData;
    const BYTE* m_pbyReadPos;
    BYTE m_byTrack;
    bool m_bIsTerminated;
    CLinkedEvent* m_poPending;
    BYTE m_byPendingClass;
};
