// CDecBase.cpp -- grouping protocol shared by all decoders.
#include "Kernel/SeqBase/CDecBase.h"

#include "Kernel/RTEvents/EventList.h"

CDecBase::CDecBase() : m_sdwDelta(NO_DELTA), m_tTick(0), m_sdwSavedDelta(NO_DELTA), m_tSavedTick(0) {}

CDecBase::~CDecBase() = default;

// CDecBase::Rewind -- tick 0, and the delta of the first group becomes current.
TDELTA CDecBase::Rewind()
{
    m_tTick = 0;
    m_sdwDelta = OnRewind();
    return m_sdwDelta;
}

// CDecBase::ExtractEvents -- the current delta leads to the group handed out now.
TDELTA CDecBase::ExtractEvents(CLinkedEvent*& rpoList)
{
    if (m_sdwDelta != NO_DELTA)
        m_tTick += TTICK(m_sdwDelta);
    m_sdwDelta = OnExtractEvents(rpoList);
    return m_sdwDelta;
}

TDELTA CDecBase::ExtractEvents(CEventList& roList)
{
    roList.Reset();
    CLinkedEvent* poList = nullptr;
    const TDELTA sdwDelta = ExtractEvents(poList);
    roList.Reset(poList);
    return sdwDelta;
}

void CDecBase::SavePosition()
{
    m_sdwSavedDelta = m_sdwDelta;
    m_tSavedTick = m_tTick;
}

void CDecBase::RestorePosition()
{
    m_sdwDelta = m_sdwSavedDelta;
    m_tTick = m_tSavedTick;
}
