// GlobalObj.cpp -- the registry of global objects and its start and end phases.
#include "Kernel/Core/GlobalObj.h"

CGlobalObjectCollector* CGlobalObjectCollector::s_poCollector = nullptr;

// ---------------------------------------------------------------------------
// CGlobalObjectBase
// ---------------------------------------------------------------------------

CGlobalObjectBase::CGlobalObjectBase()
{
    CGlobalObjectCollector::Register(this);
}

CGlobalObjectBase::~CGlobalObjectBase()
{
    CGlobalObjectCollector::Unregister(this);
}

int CGlobalObjectBase::Initialise()
{
    return 0;
}

int CGlobalObjectBase::Start()
{
    return 0;
}

int CGlobalObjectBase::Stop()
{
    return 0;
}

int CGlobalObjectBase::Exit()
{
    return 0;
}

// ---------------------------------------------------------------------------
// CGlobalObjectCollector
// ---------------------------------------------------------------------------

CGlobalObjectCollector::CGlobalObjectCollector() : m_poItems(nullptr) {}

CGlobalObjectCollector::~CGlobalObjectCollector()
{
    while (m_poItems) {
        CGlobalObjItem* poItem = m_poItems;
        m_poItems = poItem->m_poNext;
        delete poItem;
    }
}

// CGlobalObjectCollector::Register -- new items go to the front, so the
// phases notify the latest constructed object first.
void CGlobalObjectCollector::Register(CGlobalObjectBase* poObject)
{
    if (!s_poCollector)
        s_poCollector = new CGlobalObjectCollector;
    s_poCollector->m_poItems = new CGlobalObjItem{poObject, s_poCollector->m_poItems};
}

// CGlobalObjectCollector::Unregister -- an object destroyed after the end
// phase finds no collector and has nothing to do.
void CGlobalObjectCollector::Unregister(CGlobalObjectBase* poObject)
{
    if (!s_poCollector)
        return;
    for (CGlobalObjItem** ppoLink = &s_poCollector->m_poItems; *ppoLink; ppoLink = &(*ppoLink)->m_poNext) {
        if ((*ppoLink)->m_poObject == poObject) {
            CGlobalObjItem* poItem = *ppoLink;
            *ppoLink = poItem->m_poNext;
            delete poItem;
            break;
        }
    }
    if (!s_poCollector->m_poItems) {
        delete s_poCollector;
        s_poCollector = nullptr;
    }
}

bool CGlobalObjectCollector::NotifyAll(int (CGlobalObjectBase::*pfnNotify)())
{
    bool bAllDone = true;
    for (CGlobalObjItem* poItem = m_poItems; poItem; poItem = poItem->m_poNext) {
        if ((poItem->m_poObject->*pfnNotify)() != 0)
            bAllDone = false;
    }
    return bAllDone;
}

bool CGlobalObjectCollector::StartPhase()
{
    if (!s_poCollector)
        return true;
    const bool bInitialised = s_poCollector->NotifyAll(&CGlobalObjectBase::Initialise);
    const bool bStarted = s_poCollector->NotifyAll(&CGlobalObjectBase::Start);
    return bInitialised && bStarted;
}

bool CGlobalObjectCollector::EndPhase()
{
    if (!s_poCollector)
        return true;
    const bool bStopped = s_poCollector->NotifyAll(&CGlobalObjectBase::Stop);
    const bool bExited = s_poCollector->NotifyAll(&CGlobalObjectBase::Exit);
    delete s_poCollector;
    s_poCollector = nullptr;
    return bStopped && bExited;
}

int CGlobalObjectCollector::GetCount()
{
    int iCount = 0;
    if (s_poCollector) {
        for (CGlobalObjItem* poItem = s_poCollector->m_poItems; poItem; poItem = poItem->m_poNext)
            ++iCount;
    }
    return iCount;
}

bool QdGlobalObjectsStart()
{
    return CGlobalObjectCollector::StartPhase();
}

bool QdGlobalObjectsEnd()
{
    return CGlobalObjectCollector::EndPhase();
}
