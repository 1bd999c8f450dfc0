// QdLoadedStyles.h -- the styles the open has loaded already, kept for their
// first selection.
#pragma once

#include "Base/QdTypes.h"

#include <cstddef>
#include <memory>
#include <vector>

class CNstEditIfc;

// CQdLoadedStyles -- the open loads every style once to find the damaged
// ones; a style that loaded without a report is kept here, beside a copy of
// the style container it was built from, so that selecting it the first
// time costs no second load. A kept load is handed out only while the
// container in the bank block still holds exactly those bytes, so any
// command that changed the style (a write-back, an import, an undo, a
// deletion that moved the styles) simply makes it load afresh.
class CQdLoadedStyles
{
public:
    CQdLoadedStyles();
    ~CQdLoadedStyles();
    CQdLoadedStyles(const CQdLoadedStyles&) = delete;
    CQdLoadedStyles& operator=(const CQdLoadedStyles&) = delete;

    void Clear() noexcept;
    // Keep -- the load of the uStyle-th style, built from dwLength bytes of
    // its container at pkbyContainer.
    void Keep(std::size_t uStyle, const BYTE* pkbyContainer, DWORD dwLength, std::unique_ptr<CNstEditIfc> poEditIfc);
    // Take -- the kept load of the uStyle-th style if its container is still
    // these bytes, else null; either way the style's entry is gone.
    std::unique_ptr<CNstEditIfc> Take(std::size_t uStyle, const BYTE* pkbyContainer, DWORD dwLength);

private:
    struct CEntry
    {
        std::vector<BYTE> m_abyContainer;
        std::unique_ptr<CNstEditIfc> m_poEditIfc;
    };
    std::vector<CEntry> m_aoEntries;
};
