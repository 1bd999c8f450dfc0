// COCompMatchFinder.h -- the match the slot encoder's parse takes at a
// position: of all earlier positions within the window whose bytes match at
// least three, the one of highest gain, the nearest of those on equal gain.
//
// The finder keeps, for four prefix lengths (3, 4, 5 and 6 bytes), a hash
// chain through every position: the position before it, nearest first,
// whose prefix of that length hashes alike. A search follows the chain of
// the length it needs next, so it visits the matches that can still win,
// not every position that shares three bytes.
#pragma once

#include "Base/QdTypes.h"

// SCOCompMatch -- a match: its length, its distance back and its gain (COCGain).
struct SCOCompMatch
{
    DWORD dwLength;
    DWORD dwDistance;
    SDWORD sdwGain;
};

// COCompMatchFinder -- the finder over one block. TPos holds a position + 1
// (0: none); with 16 bits it serves blocks whose parse ends at 65,535
// (COCompMatchFinder<WORD>::Serves), with 32 bits any block.
template <typename TPos>
class COCompMatchFinder
{
public:
    // Positions below dwLimit are entered: the parse searches only there.
    COCompMatchFinder(const BYTE* pbySource, DWORD dwLength, DWORD dwLimit);
    COCompMatchFinder(const COCompMatchFinder&) = delete;
    COCompMatchFinder& operator=(const COCompMatchFinder&) = delete;

    // Serves -- the finder holds the positions of a parse ending at dwLimit.
    static bool Serves(DWORD dwLimit);

    // Best -- the best match at dwPos (below the limit) whose gain exceeds
    // sdwFloor; false when there is none. With bWithoutPrevious the position
    // just before dwPos is no candidate: the parse looks one position ahead
    // before it has entered the position it stands on.
    bool Best(DWORD dwPos, SDWORD sdwFloor, bool bWithoutPrevious, SCOCompMatch& roBest);

private:
    void Enter(DWORD dwEnd);

    const BYTE* m_pbySource;
    DWORD m_dwLength;
    DWORD m_dwLimit;
    // Positions below this one are entered.
    DWORD m_dwEntered;
    DWORD m_dwHashBits;
    // Per prefix length, per hash: the latest position entered, + 1.
    TPos* m_atHeads;
    // Per position (a ring of 65,536), per prefix length: the previous
    // position of its chain, + 1. Both lie in the thread's work area, which
    // the finder holds while it lives (one finder per thread at a time).
    TPos* m_atPrevious;
};

extern template class COCompMatchFinder<WORD>;
extern template class COCompMatchFinder<DWORD>;
