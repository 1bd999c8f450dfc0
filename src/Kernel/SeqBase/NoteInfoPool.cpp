// NoteInfoPool.cpp -- the pool of note-info records.
#define QD_REPORT_FILE "Kernel/SeqBase/NoteInfoPool"

#include "Kernel/SeqBase/NoteInfoPool.h"

#include "Base/Report.h"

CNoteInfoPool::CNoteInfoPool() : m_aoNotes{}, m_poFreeList(nullptr), m_iFreeCount(NR_NOTES), m_dwRefused(0)
{
    ChainAfresh();
}

void CNoteInfoPool::ChainAfresh()
{
    if (m_iFreeCount != NR_NOTES)
        return;
    for (int i = 0; i < NR_NOTES; ++i)
        m_aoNotes[i].m_poNext = (i + 1 < NR_NOTES) ? &m_aoNotes[i + 1] : nullptr;
    m_poFreeList = &m_aoNotes[0];
    m_iFreeCount = NR_NOTES;
}

CNoteInfo* CNoteInfoPool::GetNewNote()
{
    if (!m_poFreeList)
    {
        ++m_dwRefused;
        QdReport("CNoteInfoPool::GetNewNote() - Pool of notes is exhausted");
        return nullptr;
    }
    CNoteInfo* poNote = m_poFreeList;
    m_poFreeList = poNote->m_poNext;
    poNote->m_poNext = nullptr;
    --m_iFreeCount;
    return poNote;
}

void CNoteInfoPool::ReleaseNote(CNoteInfo* poNote)
{
    if (!QD_ASSERT(poNote >= &m_aoNotes[0] && poNote < &m_aoNotes[NR_NOTES]))
        return;
    poNote->m_poNext = m_poFreeList;
    m_poFreeList = poNote;
    ++m_iFreeCount;
}

CNoteInfoPool& NoteInfoPool()
{
    static CNoteInfoPool s_oNoteInfoPool;
    return s_oNoteInfoPool;
}
