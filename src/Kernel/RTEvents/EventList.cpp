// EventList.cpp -- the self-freeing list of events.
#include "Kernel/RTEvents/EventList.h"

#include "Kernel/RTEvents/EvPool.h"

#include <utility>

CEventList& CEventList::operator=(CEventList&& rroOther) noexcept
{
    if (this != &rroOther)
        Reset(rroOther.Release());
    return *this;
}

void CEventList::Reset(CLinkedEvent* poList)
{
    if (m_poFirst && m_poFirst != poList)
        FreeEventsList(m_poFirst);
    m_poFirst = poList;
    m_poLast = nullptr;
}

CLinkedEvent* CEventList::Release()
{
    m_poLast = nullptr;
    return std::exchange(m_poFirst, nullptr);
}

CLinkedEvent* CEventList::Tail()
{
    if (!m_poLast && m_poFirst)
        for (m_poLast = m_poFirst; m_poLast->Next(); m_poLast = m_poLast->Next())
        {
        }
    return m_poLast;
}

void CEventList::Append(CLinkedEvent* poList)
{
    if (!poList)
        return;
    if (m_poFirst)
        m_poLast = Tail()->SetNext(poList);
    else
        m_poFirst = poList;
}

CLinkedEvent* CEventList::Add()
{
    CLinkedEvent* poEvent = EventsPool().GetNewEvent();
    if (poEvent)
        Append(poEvent);
    return poEvent;
}

void CEventList::AddMeta(BYTE byType, const BYTE* pkbyData, int iLength)
{
    CLinkedEvent* poEvent = Add();
    if (!poEvent)
        return;
    BYTE* pbyData = poEvent->SetMetaEventBegin(byType, iLength);
    for (int i = 0; pbyData && i < iLength; ++i)
        pbyData[i] = pkbyData[i];
    poEvent->SetMetaEventEnd();
}

void CEventList::AddControl(BYTE byChannel, BYTE byController, BYTE byValue)
{
    if (CLinkedEvent* poEvent = Add())
        poEvent->SetChnMessage(EVSC_CTRL_CHANGE, byChannel, byController, byValue);
}

void CEventList::AddProgram(BYTE byChannel, BYTE byProgram)
{
    if (CLinkedEvent* poEvent = Add())
        poEvent->SetChnMessage(EVSC_PRG_CHANGE, byChannel, byProgram);
}
