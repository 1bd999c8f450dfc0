// QdLoadedStyles.cpp -- kept loads, checked against the bank block's bytes.
#include "BankDoc/QdLoadedStyles.h"

#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <utility>

CQdLoadedStyles::CQdLoadedStyles() = default;
CQdLoadedStyles::~CQdLoadedStyles() = default;

void CQdLoadedStyles::Clear() noexcept
{
    m_aoEntries.clear();
}

void CQdLoadedStyles::Keep(std::size_t uStyle, const BYTE* pkbyContainer, DWORD dwLength,
                           std::unique_ptr<CNstEditIfc> poEditIfc)
{
    if (!poEditIfc || pkbyContainer == nullptr)
        return;
    if (uStyle >= m_aoEntries.size())
        m_aoEntries.resize(uStyle + 1);
    CEntry& roEntry = m_aoEntries[uStyle];
    roEntry.m_abyContainer.assign(pkbyContainer, pkbyContainer + dwLength);
    roEntry.m_poEditIfc = std::move(poEditIfc);
}

std::unique_ptr<CNstEditIfc> CQdLoadedStyles::Take(std::size_t uStyle, const BYTE* pkbyContainer, DWORD dwLength)
{
    if (uStyle >= m_aoEntries.size())
        return nullptr;
    CEntry oEntry = std::move(m_aoEntries[uStyle]);
    m_aoEntries[uStyle] = CEntry();
    if (!oEntry.m_poEditIfc || pkbyContainer == nullptr || oEntry.m_abyContainer.size() != dwLength ||
        !std::equal(oEntry.m_abyContainer.begin(), oEntry.m_abyContainer.end(), pkbyContainer))
        return nullptr;
    return std::move(oEntry.m_poEditIfc);
}
