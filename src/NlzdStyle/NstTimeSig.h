// NstTimeSig.h -- the time signature of style elements, chord variations and
// patterns, and its encodings.
//
// CNstTimeSig holds the numerator and the denominator as a power of two. The
// other forms a time signature takes in the system are made and read here,
// each under its own name, so that a variable says which form it holds:
//   display code   (numerator - 1) | exponent << 4, one byte (GetPacked)
//   split code     numerator << 8 | denominator, the denominator itself
//                  (GetSplitCode), as the sub-pattern split takes it
//   bank byte      numerator << 3 | exponent, in the element info record
//                  (QdRecords.h: QdSignatureByte)
//   MIDI file      numerator and exponent bytes of the time signature meta
//                  event (the chord-variation export and import)
#pragma once

#include "Base/QdTypes.h"

// Time base: 384 ticks per quarter note, 1536 per whole note.
inline constexpr TTICK NST_TICKS_PER_QUARTER = 384;
inline constexpr TTICK NST_TICKS_PER_WHOLE = 1536;

// CNstTimeSig -- a time signature: numerator and the denominator as a power
// of two (2 = quarter notes); default 4/4.
struct CNstTimeSig
{
    BYTE m_byNumerator = 4;
    BYTE m_byDenomExp = 2;

    bool operator==(const CNstTimeSig& rkoOther) const = default;

    // CNstTimeSig::GetTicksPerMeasure -- (1536 >> exponent) x numerator: 4/4
    // gives 1536, 3/4 and 6/8 give 1152. 0 for a numerator of 0 or an
    // exponent above 10; callers that divide by it check.
    TTICK GetTicksPerMeasure() const;

    // CNstTimeSig::GetPacked -- the display code: (numerator - 1) in the low
    // four bits, the exponent in the high four bits.
    BYTE GetPacked() const;
    // CNstTimeSig::FromPacked -- the time signature a display code shows
    // (numerators above 16 come back modulo 16).
    static CNstTimeSig FromPacked(BYTE byPacked);
    // CNstTimeSig::GetDenominator -- 2 to the exponent; 0 for an exponent
    // of 8 or more, which no byte-sized denominator holds.
    DWORD GetDenominator() const;

    // CNstTimeSig::GetSplitCode -- numerator << 8 | denominator; the
    // denominator is 0 for an exponent of 8 or more (GetDenominator), which
    // the split refuses.
    WORD GetSplitCode() const;
};

// The numerator and the denominator of a split code.
inline constexpr DWORD NstSplitCodeNumerator(WORD wSplitCode)
{
    return wSplitCode >> 8;
}
inline constexpr DWORD NstSplitCodeDenominator(WORD wSplitCode)
{
    return wSplitCode & 0xFF;
}
