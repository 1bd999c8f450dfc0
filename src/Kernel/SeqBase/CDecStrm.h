// CDecStrm.h -- decoder layer for sources that deliver one event at a time.
//
// CDecStream groups single events into lists of one tick and one class,
// converts the source's ticks to 384 per quarter note (carrying the
// remainder from delta to delta so that no tick is lost), fills gaps where
// the source has nothing to give with null events, and notices the end of
// the track.
#pragma once

#include "Kernel/SeqBase/CDecBase.h"

enum EDecStatus
{
    DS_OK = 0,
    DS_CORRUPTED = 2,
    DS_EOTRACK = 3,
};

// Results of CDecStream::OnExtractEvent.
enum EExtractResult
{
    EXTRACT_EVENT = 0,    // an event was produced
    EXTRACT_NOTHING = 1,  // the source has no event to give now
    EXTRACT_ERROR = 2,    // the source is corrupt or ended without end of track
};

class CDecStream : public CDecBase
{
public:
    // dwResolution: the source's ticks per quarter note; 0 passes deltas unchanged.
    explicit CDecStream(DWORD dwResolution);
    ~CDecStream() override;

    BYTE GetPendingClass() override;
    bool IsEndOfStream() override;
    void SetWaitForEvents(bool bWait) override { m_bWaitForEvents = bWait; }
    bool DescribeAllEvents(const TEventLineSink& fnLine, bool bChnMsgOnly, bool bNumberLines) override;
    void SavePosition() override;
    void RestorePosition() override;
    bool IsPositionSaveSupported() override { return false; }

    void SetNullDelta(TTICK tNullDelta) { m_tNullDelta = tNullDelta; }
    EDecStatus GetStatus() const { return m_eStatus; }

protected:
    // OnExtractEvent -- fills the given empty event and sets the delta in
    // source ticks; returns an EExtractResult. An event left empty with
    // EXTRACT_EVENT (a source record that carries nothing for the system)
    // is handed on as a null event at its delta.
    virtual int OnExtractEvent(TTICK& rtDelta, CLinkedEvent& roEvent) = 0;
    // OnRewindSource -- restarts the source; returns success.
    virtual bool OnRewindSource() = 0;

    TDELTA OnExtractEvents(CLinkedEvent*& rpoList) override;
    TDELTA OnRewind() override;

private:
    bool ExtractEvent(TTICK& rtDelta, CLinkedEvent& roEvent);
    void FreePending();

    EDecStatus m_eStatus;
    CLinkedEvent* m_poPending;
    DWORD m_dwResolution;
    DWORD m_dwRemainder;
    TTICK m_tFillerTicks;
    bool m_bWaitForEvents;
    TTICK m_tNullDelta;
};
