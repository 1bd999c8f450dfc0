// NlzdStyle.cpp -- the value types shared by the normalized style's classes.
// The classes themselves live in NstPattern.cpp, NstChordVar.cpp,
// NstStyleElem.cpp and NstStyle.cpp.
#include "NlzdStyle/NlzdStyle.h"

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
