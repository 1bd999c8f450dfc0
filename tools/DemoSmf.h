// DemoSmf.h -- the small format-0 MIDI file writer that the demo styles are
// composed with.
//
// The demo styles are written as the musician would hand them to the tool:
// one Standard MIDI File per chord variation (384 ticks per quarter note,
// tracks on their channels, time signature and programs at tick 0), which
// the edit interface then imports. The writer knows only what those files
// need: notes with a duration, program changes and the time signature.
#pragma once

#include "Base/QdTypes.h"

#include <vector>

class CDemoSmf
{
public:
    // CDemoSmf::CDemoSmf -- an empty file in numerator / 2^byDenomExp.
    CDemoSmf(BYTE byNumerator, BYTE byDenomExp);

    // Ticks of one measure of the file's time signature.
    TTICK MeasureTicks() const;

    // CDemoSmf::Program -- a program change at tick 0.
    void Program(BYTE byChannel, BYTE byProgram);
    // CDemoSmf::Note -- a note-on at tTick and its note-off tDuration later.
    void Note(BYTE byChannel, TTICK tTick, BYTE byKey, BYTE byVelocity, TTICK tDuration);

    // CDemoSmf::Bytes -- the complete file, its end of track at tEnd (or at
    // the last note-off when that is later).
    std::vector<BYTE> Bytes(TTICK tEnd) const;

private:
    // One channel message; m_iOrder sorts the messages of one tick:
    // programs, then note-offs, then note-ons.
    struct CDemoMessage
    {
        TTICK m_tTick;
        int m_iOrder;
        BYTE m_abyData[3];
        BYTE m_byLength;
    };

    BYTE m_byNumerator;
    BYTE m_byDenomExp;
    std::vector<CDemoMessage> m_aoMessages;
};
