// NstStyle.cpp -- CNstStyle: the style's name, track style bytes and elements.
#define QD_REPORT_FILE "NlzdStyle/NlzdStyle"

#include "NlzdStyle/NlzdStyle.h"

#include "Base/Report.h"

#include <algorithm>
#include <cstring>

CNstStyle::CNstStyle() : m_szName{} {}

CNstStyle::~CNstStyle() = default;

void CNstStyle::GetName(char* pszBuffer, int iMaxLength) const
{
    if (!pszBuffer || iMaxLength < 0)
        return;
    const std::size_t nLength = std::min(std::strlen(m_szName), std::size_t(iMaxLength));
    std::memcpy(pszBuffer, m_szName, nLength);
    pszBuffer[nLength] = '\0';
}

// CNstStyle::SetName -- memmove, so that a name taken from GetName() may be given.
void CNstStyle::SetName(const char* pszName)
{
    std::size_t nLength = 0;
    if (pszName)
        while (nLength < NST_NAME_SIZE - 1 && pszName[nLength])
            ++nLength;
    if (nLength)
        std::memmove(m_szName, pszName, nLength);
    m_szName[nLength] = '\0';
}

CNstTrackStyle* CNstStyle::GetTrackStyle(BYTE byPNr)
{
    if (!QD_ASSERT(byPNr < NST_NR_TRK))
        return nullptr;
    return &m_aoTrackStyles[byPNr];
}

const CNstTrackStyle* CNstStyle::GetTrackStyle(BYTE byPNr) const
{
    if (!QD_ASSERT(byPNr < NST_NR_TRK))
        return nullptr;
    return &m_aoTrackStyles[byPNr];
}

bool CNstStyle::HasStyleElem(BYTE bySeNr) const
{
    if (!QD_ASSERT(bySeNr < NST_NR_STE))
        return false;
    return m_apoStyleElems[bySeNr] != nullptr;
}

// CNstStyle::GetStyleElem -- the element is stored before the hook runs.
CNstStyleElem* CNstStyle::GetStyleElem(BYTE bySeNr)
{
    if (!QD_ASSERT(bySeNr < NST_NR_STE))
        return nullptr;
    std::unique_ptr<CNstStyleElem>& rpoStyleElem = m_apoStyleElems[bySeNr];
    if (!rpoStyleElem)
    {
        rpoStyleElem = std::make_unique<CNstStyleElem>(this);
        OnNewStyleElem(*rpoStyleElem, bySeNr);
    }
    return rpoStyleElem.get();
}

const CNstStyleElem* CNstStyle::FindStyleElem(BYTE bySeNr) const
{
    if (!QD_ASSERT(bySeNr < NST_NR_STE))
        return nullptr;
    return m_apoStyleElems[bySeNr].get();
}

void CNstStyle::DeleteStyleElem(BYTE bySeNr)
{
    if (!QD_ASSERT(bySeNr < NST_NR_STE))
        return;
    m_apoStyleElems[bySeNr].reset();
}

bool CNstStyle::HasChordVar(BYTE bySeNr, BYTE byCvNr) const
{
    const CNstStyleElem* pkoStyleElem = FindStyleElem(bySeNr);
    return pkoStyleElem && pkoStyleElem->HasChordVar(byCvNr);
}

bool CNstStyle::IsEmpty() const
{
    return std::all_of(std::begin(m_apoStyleElems), std::end(m_apoStyleElems),
                       [](const std::unique_ptr<CNstStyleElem>& rkpoStyleElem)
                       { return !rkpoStyleElem || rkpoStyleElem->IsEmpty(); });
}

void CNstStyle::CopyFrom(const CNstStyle& rkoSource, BYTE bySeSrc, BYTE byCvSrc, BYTE byPNrSrc, BYTE bySeDst,
                         BYTE byCvDst, BYTE byPNrDst)
{
    const CNstCopyRange oStyleElems(bySeSrc, bySeDst, NST_NR_STE);
    if ((IsEmpty() || oStyleElems.m_bAll) && this != &rkoSource)
    {
        std::memcpy(m_szName, rkoSource.m_szName, NST_NAME_SIZE);
        std::copy(std::begin(rkoSource.m_aoTrackStyles), std::end(rkoSource.m_aoTrackStyles),
                  std::begin(m_aoTrackStyles));
    }
    for (BYTE by = 0; by < oStyleElems.m_byCount; ++by)
    {
        const CNstStyleElem* pkoSource = rkoSource.m_apoStyleElems[oStyleElems.m_bySrc + by].get();
        const BYTE byDst = BYTE(oStyleElems.m_byDst + by);
        if (pkoSource)
            GetStyleElem(byDst)->CopyFrom(*pkoSource, byCvSrc, byPNrSrc, byCvDst, byPNrDst);
        else
            DeleteStyleElem(byDst);
    }
}

DWORD CNstStyle::SizeEstimate(bool bExpand) const
{
    DWORD dwSize = NST_SIZE_STYLE;
    for (const std::unique_ptr<CNstStyleElem>& rkpoStyleElem : m_apoStyleElems)
        if (rkpoStyleElem)
            dwSize += rkpoStyleElem->SizeEstimate(bExpand);
    return dwSize;
}
