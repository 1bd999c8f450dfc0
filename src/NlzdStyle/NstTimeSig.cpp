// NstTimeSig.cpp -- the time signature and its encodings.
#include "NlzdStyle/NstTimeSig.h"

// CNstTimeSig::GetTicksPerMeasure -- a shift of 11 or more leaves nothing of
// 1536 (and a shift of 32 or more would be undefined), so such an exponent
// gives 0.
TTICK CNstTimeSig::GetTicksPerMeasure() const
{
    if (m_byDenomExp > 10)
        return 0;
    return (NST_TICKS_PER_WHOLE >> m_byDenomExp) * m_byNumerator;
}

// CNstTimeSig::GetPacked -- (numerator - 1) & 0x0F | exponent << 4; shown as
// numerator / 2^exponent.
BYTE CNstTimeSig::GetPacked() const
{
    return BYTE((BYTE(m_byNumerator - 1) & 0x0F) | ((m_byDenomExp & 0x0F) << 4));
}

CNstTimeSig CNstTimeSig::FromPacked(BYTE byPacked)
{
    return CNstTimeSig{BYTE((byPacked & 0x0F) + 1), BYTE(byPacked >> 4)};
}

DWORD CNstTimeSig::GetDenominator() const
{
    return m_byDenomExp < 8 ? DWORD(1) << m_byDenomExp : 0;
}

WORD CNstTimeSig::GetSplitCode() const
{
    return WORD(DWORD(m_byNumerator) << 8 | GetDenominator());
}
