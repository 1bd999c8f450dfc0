// PropForm.cpp -- coding helpers of the compact event format.
#define QD_REPORT_FILE "Kernel/SeqBase/PropForm"

#include "Kernel/SeqBase/PropForm.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/CEvent.h"

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

bool PropFormIsMarker(const CEvent& rkoEvent, BYTE byKind)
{
    return rkoEvent.GetClass() == EC_META && rkoEvent.GetMetaType() == PROP_META_MARKER &&
           rkoEvent.GetMetaLength() > 0 && rkoEvent.GetMetaData()[0] == byKind;
}

bool PropFormIsStreamEnd(BYTE byMetaType, const BYTE* pkbyData, int iLength)
{
    return byMetaType == META_END_OF_TRACK ||
           (byMetaType == PROP_META_MARKER && iLength > 0 && pkbyData[0] == PROP_MARKER_END_OF_STREAM);
}

bool PropFormReadMarker(const CEvent& rkoEvent, BYTE& rbyKind, BYTE& rbyPosition)
{
    if (rkoEvent.GetClass() != EC_META || rkoEvent.GetMetaType() != PROP_META_MARKER || rkoEvent.GetMetaLength() < 2)
        return false;
    const BYTE* pkbyData = rkoEvent.GetMetaData();
    if (pkbyData[0] != PROP_MARKER_START && pkbyData[0] != PROP_MARKER_END)
        return false;
    rbyKind = pkbyData[0];
    rbyPosition = pkbyData[1];
    return true;
}

// PropFormSetMarker -- a short meta event keeps its data in the record, whose
// unused bytes are 0: the start marker's last two bytes.
void PropFormSetMarker(CEvent& roEvent, BYTE byKind, BYTE byPosition)
{
    const int iLength = byKind == PROP_MARKER_START ? PROP_MARKER_START_LENGTH : PROP_MARKER_END_LENGTH;
    BYTE* pbyData = roEvent.SetMetaEventBegin(PROP_META_MARKER, iLength);
    if (!pbyData)
        return;
    for (int i = 0; i < iLength; ++i)
        pbyData[i] = 0;
    pbyData[0] = byKind;
    pbyData[1] = byPosition;
    roEvent.SetMetaEventEnd();
}
