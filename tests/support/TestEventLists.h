// TestEventLists.h -- builds event lists from the global pool for tests and
// gives them back when the test is done with them.
#pragma once

#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/RTEvents/LinkedEv.h"

#include <cstring>
#include <vector>

// CTestEventList -- a list that owns its events and frees them on destruction.
class CTestEventList
{
public:
    CTestEventList() = default;
    ~CTestEventList() { Free(); }
    CTestEventList(const CTestEventList&) = delete;
    CTestEventList& operator=(const CTestEventList&) = delete;
    CTestEventList(CTestEventList&& roOther) noexcept : m_poFirst(roOther.m_poFirst), m_poLast(roOther.m_poLast)
    {
        roOther.m_poFirst = roOther.m_poLast = nullptr;
    }

    const CLinkedEvent* Get() const { return m_poFirst; }

    CTestEventList& Chn(BYTE byCode, BYTE byChannel, BYTE byData1, BYTE byData2 = 0)
    {
        CLinkedEvent* poEvent = New();
        if (byCode == EVSC_PRG_CHANGE || byCode == EVSC_CHN_PRESSURE)
            poEvent->SetChnMessage(byCode, byChannel, byData1);
        else
            poEvent->SetChnMessage(byCode, byChannel, byData1, byData2);
        return *this;
    }
    CTestEventList& Note(BYTE byChannel, BYTE byKey, BYTE byVelOn, DWORD dwDuration, BYTE byVelOff = 0)
    {
        New()->SetNoteEvent(byChannel, byKey, byVelOn, byVelOff, dwDuration);
        return *this;
    }
    CTestEventList& Meta(BYTE byType, const std::vector<BYTE>& kaby)
    {
        CLinkedEvent* poEvent = New();
        BYTE* pbyData = poEvent->SetMetaEventBegin(byType, int(kaby.size()));
        if (pbyData && !kaby.empty())
            std::memcpy(pbyData, kaby.data(), kaby.size());
        poEvent->SetMetaEventEnd();
        return *this;
    }
    CTestEventList& EndOfTrack() { return Meta(0x2F, {}); }
    CTestEventList& Null()
    {
        New()->SetNullEvent();
        return *this;
    }
    CTestEventList& SysEx(const std::vector<BYTE>& kaby)
    {
        CLinkedEvent* poEvent = New();
        BYTE* pbyData = poEvent->SetSysExEventBegin(int(kaby.size()));
        if (pbyData && !kaby.empty())
            std::memcpy(pbyData, kaby.data(), kaby.size());
        poEvent->SetSysExEventEnd(int(kaby.size()));
        return *this;
    }

    void Free()
    {
        if (m_poFirst)
            FreeEventsList(m_poFirst);
        m_poFirst = m_poLast = nullptr;
    }

private:
    CLinkedEvent* New()
    {
        CLinkedEvent* poEvent = EventsPool().GetNewEvent();
        if (!m_poFirst)
            m_poFirst = m_poLast = poEvent;
        else
            m_poLast = m_poLast->SetNext(poEvent);
        return poEvent;
    }

    CLinkedEvent* m_poFirst = nullptr;
    CLinkedEvent* m_poLast = nullptr;
};
