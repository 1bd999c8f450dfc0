// PropForm.cpp -- coding helpers of the compact event format.
#define QD_REPORT_FILE "Kernel/SeqBase/PropForm"

#include "Kernel/SeqBase/PropForm.h"

#include "Base/Report.h"

#include <cstddef>

// PropFormDeltaLength -- 1 byte below 128, 2 below 0x4000, 3 below 0x200000,
// 4 up to PROP_MAX_DELTA.
int PropFormDeltaLength(DWORD dwDelta)
{
    if (dwDelta > PROP_MAX_DELTA)
        return -1;
    int iLength = 0;
    for (DWORD dwRest = dwDelta; dwRest; dwRest >>= 7)
        ++iLength;
    return iLength;
}

// PropFormEncodeDelta -- every delta byte has bit 7 set; the type byte that
// follows is the first byte without it.
bool PropFormEncodeDelta(BYTE*& rpbyPos, const BYTE* pbyLimit, DWORD dwDelta)
{
    const int iLength = PropFormDeltaLength(dwDelta);
    if (iLength < 0)
    {
        QdReport("PropFormEncodeDelta - Tick out of range");
        return false;
    }
    if (pbyLimit - rpbyPos < iLength)
        return false;
    for (int i = iLength - 1; i >= 0; --i)
        *rpbyPos++ = BYTE(((dwDelta >> (7 * i)) & PROP_DATA_MASK) | PROP_HIGH_BIT);
    return true;
}

// PropFormReadDelta -- at most MAX_DELTA_LEN bytes of 7 bits, so the value
// never passes PROP_MAX_DELTA.
bool PropFormReadDelta(const BYTE*& rpbyPos, const BYTE* pbyEnd, DWORD& rdwDelta)
{
    rdwDelta = 0;
    for (int iCount = 0; rpbyPos < pbyEnd; ++iCount)
    {
        const BYTE by = *rpbyPos;
        if (!(by & PROP_HIGH_BIT))
            return true;
        if (iCount == MAX_DELTA_LEN)
            return false;
        rdwDelta = (rdwDelta << 7) | (by & PROP_DATA_MASK);
        ++rpbyPos;
    }
    return false;
}

WORD PropFormDurationCode(DWORD dwDuration)
{
    if (dwDuration < DUR_LONG_FLAG)
        return WORD(dwDuration);
    return WORD(((dwDuration >> DUR_RES_FACTOR) & DUR_DATA_MASK) | DUR_LONG_FLAG);
}

DWORD PropFormDurationTicks(WORD wCode)
{
    if (wCode & DUR_LONG_FLAG)
        return (wCode & DUR_DATA_MASK) << DUR_RES_FACTOR;
    return wCode & DUR_DATA_MASK;
}

void PropFormWriteDuration(BYTE* pbyField, DWORD dwDuration)
{
    const WORD wCode = PropFormDurationCode(dwDuration);
    pbyField[0] = BYTE((wCode >> 7) & PROP_DATA_MASK);
    pbyField[1] = BYTE(wCode & PROP_DATA_MASK);
}

DWORD PropFormReadDuration(const BYTE* pbyField)
{
    return PropFormDurationTicks(WORD((pbyField[0] & PROP_DATA_MASK) << 7 | (pbyField[1] & PROP_DATA_MASK)));
}

void PropFormWriteLength(BYTE* pbyField, WORD wLength)
{
    pbyField[0] = BYTE((wLength >> 7) & PROP_DATA_MASK);
    pbyField[1] = BYTE(wLength & PROP_DATA_MASK);
}

WORD PropFormReadLength(const BYTE* pbyField)
{
    return WORD(pbyField[0] << 7 | (pbyField[1] & PROP_DATA_MASK));
}
