// DemoStyles.cpp -- the demo styles, composed part by part.
//
// Every part is a function that writes some measures of one track into a
// chord variation's file. Keys are General MIDI: drum notes on the drum
// channel, pitched parts in C around the middle of their instrument.
#include "DemoStyles.h"

#include "DemoSmf.h"

#include <functional>

namespace {

// Channels of the tracks (0-based), as the edit interface maps them.
constexpr BYTE CH_BASS = 8;
constexpr BYTE CH_DRUM = 9;
constexpr BYTE CH_PERC = 10;
constexpr BYTE CH_ACC1 = 11;
constexpr BYTE CH_ACC2 = 12;
constexpr BYTE CH_ACC3 = 13;

// General MIDI drum keys.
constexpr BYTE KICK = 36;
constexpr BYTE STICK = 37;
constexpr BYTE SNARE = 38;
constexpr BYTE HAT = 42;
constexpr BYTE PEDAL_HAT = 44;
constexpr BYTE TOM_LOW = 45;
constexpr BYTE OPEN_HAT = 46;
constexpr BYTE TOM_MID = 47;
constexpr BYTE CRASH = 49;
constexpr BYTE TOM_HIGH = 50;
constexpr BYTE RIDE = 51;
constexpr BYTE CABASA = 69;
constexpr BYTE SHAKER = 70;

// General MIDI programs.
constexpr BYTE PRG_PIANO = 0;
constexpr BYTE PRG_EPIANO = 4;
constexpr BYTE PRG_NYLON = 24;
constexpr BYTE PRG_DIST_GUITAR = 30;
constexpr BYTE PRG_ACOUSTIC_BASS = 32;
constexpr BYTE PRG_FINGER_BASS = 33;
constexpr BYTE PRG_PICK_BASS = 34;
constexpr BYTE PRG_STRINGS = 48;
constexpr BYTE PRG_FLUTE = 73;

// Note values at 384 ticks per quarter note.
constexpr TTICK QUARTER = 384;
constexpr TTICK EIGHTH = 192;
constexpr TTICK SIXTEENTH = 96;
constexpr TTICK HIT = 48;

// Root of the bass parts (C2) and of the chords (C4).
constexpr BYTE BASS_C = 36;
constexpr BYTE MIDDLE_C = 60;

enum EDemoChord
{
    CHORD_MAJOR,
    CHORD_MINOR,
    CHORD_SEVENTH,
};

// Third() and Seventh() -- intervals above the root for the chord type.
BYTE Third(EDemoChord eChord)
{
    return eChord == CHORD_MINOR ? 3 : 4;
}

BYTE Seventh(EDemoChord eChord)
{
    return eChord == CHORD_MAJOR ? 11 : 10;
}

// Triad -- root position triad on byRoot, with the seventh for a seventh chord.
std::vector<BYTE> Triad(BYTE byRoot, EDemoChord eChord)
{
    std::vector<BYTE> aby = {byRoot, BYTE(byRoot + Third(eChord)), BYTE(byRoot + 7)};
    if (eChord == CHORD_SEVENTH)
        aby.push_back(BYTE(byRoot + 10));
    return aby;
}

// Chord -- every note of the chord at once.
void Chord(CDemoSmf& roSmf, BYTE byChannel, TTICK tTick, const std::vector<BYTE>& rkabyKeys, BYTE byVelocity,
           TTICK tDuration)
{
    for (BYTE byKey : rkabyKeys)
        roSmf.Note(byChannel, tTick, byKey, byVelocity, tDuration);
}

// A chord variation's file in the making, and what the style keeps of it.
struct CDemoCv
{
    BYTE m_bySe;
    BYTE m_byCv;
    int m_iMeasures;
    CDemoSmf m_oSmf;
};

// ---------------------------------------------------------------------------
// Pop 8Beat (4/4)
// ---------------------------------------------------------------------------

// PopDrum8 -- an eighth-note groove; the last measure of a phrase opens the hi-hat.
void PopDrum8(CDemoSmf& roSmf, TTICK tStart, bool bPhraseEnd)
{
    for (int i = 0; i < 8; ++i)
    {
        const BYTE byKey = bPhraseEnd && i == 7 ? OPEN_HAT : HAT;
        roSmf.Note(CH_DRUM, tStart + TTICK(i) * EIGHTH, byKey, i % 2 ? 64 : 96, HIT);
    }
    roSmf.Note(CH_DRUM, tStart, KICK, 110, HIT);
    roSmf.Note(CH_DRUM, tStart + 2 * QUARTER, KICK, 90, HIT);
    roSmf.Note(CH_DRUM, tStart + 5 * EIGHTH, KICK, 100, HIT);
    roSmf.Note(CH_DRUM, tStart + QUARTER, SNARE, 105, HIT);
    roSmf.Note(CH_DRUM, tStart + 3 * QUARTER, SNARE, 105, HIT);
}

// PopDrum16 -- a sixteenth-note groove of 24 hits a measure, or its fill.
void PopDrum16(CDemoSmf& roSmf, TTICK tStart, bool bFill)
{
    const int iHats = bFill ? 12 : 16;
    static const BYTE s_abyAccent[4] = {90, 50, 70, 50};
    for (int i = 0; i < iHats; ++i)
        roSmf.Note(CH_DRUM, tStart + TTICK(i) * SIXTEENTH, HAT, s_abyAccent[i % 4], HIT);
    roSmf.Note(CH_DRUM, tStart, KICK, 110, HIT);
    roSmf.Note(CH_DRUM, tStart + 3 * EIGHTH, KICK, 85, HIT);
    roSmf.Note(CH_DRUM, tStart + 2 * QUARTER, KICK, 100, HIT);
    roSmf.Note(CH_DRUM, tStart + QUARTER, SNARE, 110, HIT);
    if (bFill)
    {
        static const BYTE s_abyToms[4] = {TOM_HIGH, TOM_HIGH, TOM_MID, TOM_LOW};
        for (int i = 0; i < 4; ++i)
            roSmf.Note(CH_DRUM, tStart + 3 * QUARTER + TTICK(i) * SIXTEENTH, s_abyToms[i], 100 + i * 5, HIT);
        return;
    }
    roSmf.Note(CH_DRUM, tStart + 11 * SIXTEENTH, KICK, 80, HIT);
    roSmf.Note(CH_DRUM, tStart + 3 * QUARTER, SNARE, 110, HIT);
    roSmf.Note(CH_DRUM, tStart + 7 * SIXTEENTH, SNARE, 35, HIT);
    roSmf.Note(CH_DRUM, tStart + 15 * SIXTEENTH, SNARE, 35, HIT);
}

// PopBass -- pumping eighths on the root; the phrase end walks back up.
void PopBass(CDemoSmf& roSmf, TTICK tStart, EDemoChord eChord, bool bPhraseEnd)
{
    static const BYTE s_abyPump[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    const BYTE abyTurn[8] = {0, 0, 12, 0, 7, 7, Third(eChord), Seventh(eChord)};
    const BYTE* pkbySteps = bPhraseEnd ? abyTurn : s_abyPump;
    for (int i = 0; i < 8; ++i)
    {
        const BYTE byKey = BYTE(BASS_C + pkbySteps[i] - (bPhraseEnd && i == 7 ? 12 : 0));
        roSmf.Note(CH_BASS, tStart + TTICK(i) * EIGHTH, byKey, i % 2 ? 80 : 100, 170);
    }
}

// PopOctaveBass -- eighths with octave jumps, for the busier variation.
void PopOctaveBass(CDemoSmf& roSmf, TTICK tStart, EDemoChord eChord, bool bSecond)
{
    const BYTE abyFirst[8] = {0, 0, 12, 0, 0, 0, 7, 0};
    const BYTE abySecond[8] = {0, 0, 12, 0, 7, 7, Third(eChord), 7};
    const BYTE* pkbySteps = bSecond ? abySecond : abyFirst;
    for (int i = 0; i < 8; ++i)
        roSmf.Note(CH_BASS, tStart + TTICK(i) * EIGHTH, BYTE(BASS_C + pkbySteps[i]), i % 2 ? 78 : 98, 160);
}

CDemoCv PopVariation1(BYTE byCv, EDemoChord eChord)
{
    CDemoCv oCv{0, byCv, 4, CDemoSmf(4, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    roSmf.Program(CH_BASS, PRG_FINGER_BASS);
    roSmf.Program(CH_ACC1, PRG_EPIANO);
    const std::vector<BYTE> abyChord = Triad(MIDDLE_C, eChord);
    for (int m = 0; m < 4; ++m)
    {
        const TTICK t = TTICK(m) * roSmf.MeasureTicks();
        PopDrum8(roSmf, t, m == 3);
        PopBass(roSmf, t, eChord, m == 3);
        Chord(roSmf, CH_ACC1, t + QUARTER, abyChord, 80, 288);
        Chord(roSmf, CH_ACC1, t + 3 * QUARTER, abyChord, 84, 288);
        if (m % 2 == 1)
            Chord(roSmf, CH_ACC1, t + 7 * EIGHTH, abyChord, 70, 150);
    }
    return oCv;
}

CDemoCv PopVariation2(BYTE byCv, EDemoChord eChord)
{
    CDemoCv oCv{1, byCv, 8, CDemoSmf(4, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    roSmf.Program(CH_BASS, PRG_FINGER_BASS);
    roSmf.Program(CH_ACC1, PRG_EPIANO);
    roSmf.Program(CH_ACC2, PRG_STRINGS);
    const std::vector<BYTE> abyChord = Triad(MIDDLE_C, eChord);
    const std::vector<BYTE> abyPad = {55, BYTE(MIDDLE_C), BYTE(MIDDLE_C + Third(eChord))};
    for (int m = 0; m < 8; ++m)
    {
        const TTICK t = TTICK(m) * roSmf.MeasureTicks();
        PopDrum16(roSmf, t, m == 7);
        for (int i = 0; i < 16; ++i)
            roSmf.Note(CH_PERC, t + TTICK(i) * SIXTEENTH, SHAKER, i % 2 ? 45 : 70, HIT);
        PopOctaveBass(roSmf, t, eChord, m % 2 == 1);
        Chord(roSmf, CH_ACC1, t + QUARTER, abyChord, 78, 180);
        Chord(roSmf, CH_ACC1, t + 5 * EIGHTH, abyChord, 66, 180);
        Chord(roSmf, CH_ACC1, t + 3 * QUARTER, abyChord, 80, 180);
        Chord(roSmf, CH_ACC2, t, abyPad, 60, 1500);
    }
    return oCv;
}

CDemoCv PopIntro(BYTE byCv, EDemoChord eChord)
{
    CDemoCv oCv{4, byCv, 2, CDemoSmf(4, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    roSmf.Program(CH_BASS, PRG_FINGER_BASS);
    roSmf.Program(CH_ACC1, PRG_EPIANO);
    const BYTE byThird = Third(eChord);
    const BYTE abyArpeggio[8] = {0, byThird, 7, 12, BYTE(12 + byThird), 19, 24, 19};
    for (int i = 0; i < 8; ++i)
    {
        roSmf.Note(CH_ACC1, TTICK(i) * EIGHTH, BYTE(MIDDLE_C - 12 + abyArpeggio[i]), BYTE(70 + i * 3), 180);
        if (i % 2 == 0)
            roSmf.Note(CH_DRUM, TTICK(i) * EIGHTH, HAT, 70, HIT);
    }
    const TTICK t = roSmf.MeasureTicks();
    roSmf.Note(CH_DRUM, t, CRASH, 110, HIT);
    roSmf.Note(CH_DRUM, t, KICK, 110, HIT);
    for (int i = 0; i < 4; ++i)
        roSmf.Note(CH_DRUM, t + 3 * QUARTER + TTICK(i) * SIXTEENTH, SNARE, BYTE(70 + i * 12), HIT);
    Chord(roSmf, CH_ACC1, t, Triad(MIDDLE_C, eChord), 88, 1100);
    roSmf.Note(CH_BASS, t, BASS_C, 100, 1100);
    return oCv;
}

CDemoCv PopFill()
{
    CDemoCv oCv{6, 0, 1, CDemoSmf(4, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    roSmf.Program(CH_BASS, PRG_FINGER_BASS);
    for (int i = 0; i < 4; ++i)
        roSmf.Note(CH_DRUM, TTICK(i) * EIGHTH, HAT, 80, HIT);
    roSmf.Note(CH_DRUM, 0, KICK, 110, HIT);
    roSmf.Note(CH_DRUM, QUARTER, SNARE, 105, HIT);
    static const BYTE s_abyToms[8] = {SNARE, SNARE, TOM_HIGH, TOM_HIGH, TOM_MID, TOM_MID, TOM_LOW, TOM_LOW};
    for (int i = 0; i < 8; ++i)
        roSmf.Note(CH_DRUM, 2 * QUARTER + TTICK(i) * SIXTEENTH, s_abyToms[i], BYTE(80 + i * 5), HIT);
    for (int i = 0; i < 4; ++i)
        roSmf.Note(CH_BASS, TTICK(i) * QUARTER, BASS_C, 95, 300);
    return oCv;
}

CDemoCv PopEnding()
{
    CDemoCv oCv{8, 0, 2, CDemoSmf(4, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    roSmf.Program(CH_BASS, PRG_FINGER_BASS);
    roSmf.Program(CH_ACC1, PRG_EPIANO);
    roSmf.Program(CH_ACC2, PRG_STRINGS);
    const std::vector<BYTE> abyChord = Triad(MIDDLE_C, CHORD_MAJOR);
    PopDrum8(roSmf, 0, true);
    PopBass(roSmf, 0, CHORD_MAJOR, false);
    Chord(roSmf, CH_ACC1, QUARTER, abyChord, 80, 288);
    Chord(roSmf, CH_ACC1, 3 * QUARTER, abyChord, 84, 288);
    const TTICK t = roSmf.MeasureTicks();
    roSmf.Note(CH_DRUM, t, CRASH, 115, HIT);
    roSmf.Note(CH_DRUM, t, KICK, 115, HIT);
    Chord(roSmf, CH_ACC1, t, abyChord, 92, 1300);
    Chord(roSmf, CH_ACC2, t, {55, 64, 72}, 70, 1300);
    roSmf.Note(CH_BASS, t, BASS_C, 105, 1300);
    return oCv;
}

// ---------------------------------------------------------------------------
// Slow Waltz (3/4)
// ---------------------------------------------------------------------------

void WaltzDrum(CDemoSmf& roSmf, TTICK tStart)
{
    roSmf.Note(CH_DRUM, tStart, KICK, 90, HIT);
    for (int i = 1; i < 3; ++i)
    {
        roSmf.Note(CH_DRUM, tStart + TTICK(i) * QUARTER, STICK, 55, HIT);
        roSmf.Note(CH_DRUM, tStart + TTICK(i) * QUARTER, PEDAL_HAT, 45, HIT);
    }
}

// WaltzCommon -- drums, the bass on beat one (root, then the fifth below),
// piano on beats two and three, and a string pad that changes inversion.
void WaltzCommon(CDemoSmf& roSmf, int iMeasures, EDemoChord eChord)
{
    roSmf.Program(CH_BASS, PRG_ACOUSTIC_BASS);
    roSmf.Program(CH_ACC1, PRG_PIANO);
    roSmf.Program(CH_ACC2, PRG_STRINGS);
    const std::vector<BYTE> abyChord = Triad(MIDDLE_C, eChord);
    const BYTE byThird = BYTE(MIDDLE_C + Third(eChord));
    const std::vector<BYTE> abyLow = {byThird, 67, 72};
    const std::vector<BYTE> abyHigh = {67, 72, BYTE(byThird + 12)};
    for (int m = 0; m < iMeasures; ++m)
    {
        const TTICK t = TTICK(m) * roSmf.MeasureTicks();
        WaltzDrum(roSmf, t);
        roSmf.Note(CH_BASS, t, m % 2 ? BASS_C - 5 : BASS_C, 90, 700);
        Chord(roSmf, CH_ACC1, t + QUARTER, abyChord, 66, 300);
        Chord(roSmf, CH_ACC1, t + 2 * QUARTER, abyChord, 62, 300);
        Chord(roSmf, CH_ACC2, t, m < iMeasures / 2 ? abyLow : abyHigh, 58, 1100);
    }
}

CDemoCv WaltzVariation1(BYTE byCv, EDemoChord eChord)
{
    CDemoCv oCv{0, byCv, 4, CDemoSmf(3, 2)};
    WaltzCommon(oCv.m_oSmf, 4, eChord);
    return oCv;
}

CDemoCv WaltzVariation2(BYTE byCv, EDemoChord eChord)
{
    CDemoCv oCv{1, byCv, 4, CDemoSmf(3, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    WaltzCommon(roSmf, 4, eChord);
    roSmf.Program(CH_ACC3, PRG_FLUTE);
    const BYTE byThird = Third(eChord);
    const BYTE abyLine[6] = {12, BYTE(12 + byThird), 19, 24, 19, BYTE(12 + byThird)};
    for (int m = 0; m < 4; ++m)
        for (int i = 0; i < 6; ++i)
            roSmf.Note(CH_ACC3, TTICK(m) * roSmf.MeasureTicks() + TTICK(i) * EIGHTH, BYTE(MIDDLE_C + abyLine[i]),
                       BYTE(i == 0 ? 80 : 64), 170);
    return oCv;
}

CDemoCv WaltzEnding()
{
    CDemoCv oCv{8, 0, 2, CDemoSmf(3, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    WaltzCommon(roSmf, 1, CHORD_MAJOR);
    const TTICK t = roSmf.MeasureTicks();
    roSmf.Note(CH_DRUM, t, KICK, 100, HIT);
    roSmf.Note(CH_DRUM, t, CRASH, 90, HIT);
    roSmf.Note(CH_BASS, t, BASS_C, 95, 1100);
    Chord(roSmf, CH_ACC1, t, Triad(MIDDLE_C, CHORD_MAJOR), 80, 1100);
    Chord(roSmf, CH_ACC2, t, {64, 67, 72}, 62, 1100);
    return oCv;
}

// ---------------------------------------------------------------------------
// Bossa Nova (4/4)
// ---------------------------------------------------------------------------

CDemoCv BossaVariation1(BYTE byCv, EDemoChord eChord)
{
    CDemoCv oCv{0, byCv, 2, CDemoSmf(4, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    roSmf.Program(CH_BASS, PRG_ACOUSTIC_BASS);
    roSmf.Program(CH_ACC1, PRG_NYLON);
    const std::vector<BYTE> abyChord = {BYTE(MIDDLE_C + Third(eChord)), 67, BYTE(MIDDLE_C + Seventh(eChord)),
                                        BYTE(MIDDLE_C + 14)};
    // Bossa clave on the rim: three strokes, then two.
    static const TTICK s_atClave[5] = {0, 3 * EIGHTH, 3 * QUARTER, 4 * QUARTER + QUARTER, 4 * QUARTER + 5 * EIGHTH};
    static const TTICK s_atGuitar[6] = {0, 3 * EIGHTH, 5 * EIGHTH, 4 * QUARTER + EIGHTH, 4 * QUARTER + 3 * EIGHTH,
                                        4 * QUARTER + 6 * EIGHTH};
    for (TTICK tClave : s_atClave)
        roSmf.Note(CH_DRUM, tClave, STICK, 85, HIT);
    for (TTICK tGuitar : s_atGuitar)
        Chord(roSmf, CH_ACC1, tGuitar, abyChord, 68, 170);
    for (int m = 0; m < 2; ++m)
    {
        const TTICK t = TTICK(m) * roSmf.MeasureTicks();
        for (int i = 0; i < 8; ++i)
        {
            roSmf.Note(CH_DRUM, t + TTICK(i) * EIGHTH, HAT, i % 2 ? 40 : 60, HIT);
            roSmf.Note(CH_PERC, t + TTICK(i) * EIGHTH, CABASA, i % 2 ? 50 : 35, HIT);
        }
        roSmf.Note(CH_DRUM, t, KICK, 80, HIT);
        roSmf.Note(CH_DRUM, t + 3 * EIGHTH, KICK, 60, HIT);
        roSmf.Note(CH_DRUM, t + 2 * QUARTER, KICK, 80, HIT);
        roSmf.Note(CH_DRUM, t + 7 * EIGHTH, KICK, 60, HIT);
        const bool bTurn = m == 1 && eChord == CHORD_SEVENTH;
        roSmf.Note(CH_BASS, t, BASS_C, 90, 560);
        roSmf.Note(CH_BASS, t + 3 * EIGHTH, BASS_C + 7, 75, 180);
        roSmf.Note(CH_BASS, t + 2 * QUARTER, BASS_C + 7, 85, 560);
        roSmf.Note(CH_BASS, t + 7 * EIGHTH, bTurn ? BASS_C + 10 : BASS_C, 75, 180);
    }
    return oCv;
}

CDemoCv BossaFill()
{
    CDemoCv oCv{6, 0, 1, CDemoSmf(4, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    roSmf.Program(CH_BASS, PRG_ACOUSTIC_BASS);
    for (int i = 0; i < 8; ++i)
        roSmf.Note(CH_DRUM, TTICK(i) * EIGHTH, HAT, i % 2 ? 40 : 60, HIT);
    roSmf.Note(CH_DRUM, 0, KICK, 80, HIT);
    roSmf.Note(CH_DRUM, 2 * QUARTER, KICK, 80, HIT);
    for (int i = 0; i < 8; ++i)
        roSmf.Note(CH_DRUM, 2 * QUARTER + TTICK(i) * SIXTEENTH, STICK, BYTE(60 + i * 6), HIT);
    roSmf.Note(CH_BASS, 0, BASS_C, 90, 560);
    roSmf.Note(CH_BASS, 3 * EIGHTH, BASS_C + 7, 75, 180);
    roSmf.Note(CH_BASS, 2 * QUARTER, BASS_C, 85, 700);
    return oCv;
}

// ---------------------------------------------------------------------------
// Rock Beat (4/4): a twelve-measure phrase whose first nine measures repeat
// a three-measure groove, so the bank keeps one copy of it.
// ---------------------------------------------------------------------------

void RockDrum(CDemoSmf& roSmf, TTICK tStart, bool bFill)
{
    const int iHats = bFill ? 5 : 8;
    for (int i = 0; i < iHats; ++i)
        roSmf.Note(CH_DRUM, tStart + TTICK(i) * EIGHTH, HAT, i % 2 ? 80 : 105, HIT);
    roSmf.Note(CH_DRUM, tStart, KICK, 120, HIT);
    roSmf.Note(CH_DRUM, tStart + QUARTER, SNARE, 120, HIT);
    roSmf.Note(CH_DRUM, tStart + 2 * QUARTER, KICK, 115, HIT);
    if (bFill)
    {
        static const BYTE s_abyToms[6] = {TOM_HIGH, TOM_HIGH, TOM_MID, TOM_MID, TOM_LOW, TOM_LOW};
        for (int i = 0; i < 6; ++i)
            roSmf.Note(CH_DRUM, tStart + 5 * EIGHTH + TTICK(i) * SIXTEENTH, s_abyToms[i], BYTE(95 + i * 5), HIT);
        return;
    }
    roSmf.Note(CH_DRUM, tStart + EIGHTH, KICK, 95, HIT);
    roSmf.Note(CH_DRUM, tStart + 5 * EIGHTH, KICK, 105, HIT);
    roSmf.Note(CH_DRUM, tStart + 3 * QUARTER, SNARE, 120, HIT);
    roSmf.Note(CH_DRUM, tStart + 7 * SIXTEENTH, SNARE, 35, HIT);
    roSmf.Note(CH_DRUM, tStart + 15 * SIXTEENTH, SNARE, 35, HIT);
}

CDemoCv RockVariation1(BYTE byCv, EDemoChord eChord)
{
    CDemoCv oCv{0, byCv, 12, CDemoSmf(4, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    roSmf.Program(CH_BASS, PRG_PICK_BASS);
    roSmf.Program(CH_ACC1, PRG_DIST_GUITAR);
    const BYTE abyWalk[8] = {0, 0, 0, 0, 0, Third(eChord), 5, 7};
    for (int m = 0; m < 12; ++m)
    {
        const TTICK t = TTICK(m) * roSmf.MeasureTicks();
        const bool bPhraseEnd = m % 4 == 3;
        RockDrum(roSmf, t, m == 11);
        for (int i = 0; i < 8; ++i)
        {
            const BYTE byStep = bPhraseEnd ? abyWalk[i] : 0;
            roSmf.Note(CH_BASS, t + TTICK(i) * EIGHTH, BYTE(BASS_C + byStep), i % 2 ? 90 : 110, 160);
            // Power chords: root and fifth, the same for every chord type.
            Chord(roSmf, CH_ACC1, t + TTICK(i) * EIGHTH, {48, 55}, i % 2 ? 85 : 100, 150);
        }
    }
    return oCv;
}

CDemoCv RockIntro()
{
    CDemoCv oCv{4, 0, 2, CDemoSmf(4, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    roSmf.Program(CH_BASS, PRG_PICK_BASS);
    roSmf.Program(CH_ACC1, PRG_DIST_GUITAR);
    roSmf.Note(CH_DRUM, 0, CRASH, 120, HIT);
    roSmf.Note(CH_DRUM, 0, KICK, 120, HIT);
    Chord(roSmf, CH_ACC1, 0, {48, 55, 60}, 110, 1400);
    roSmf.Note(CH_BASS, 0, BASS_C, 110, 1400);
    const TTICK t = roSmf.MeasureTicks();
    for (int i = 0; i < 8; ++i)
    {
        roSmf.Note(CH_DRUM, t + TTICK(i) * EIGHTH, SNARE, BYTE(60 + i * 8), HIT);
        Chord(roSmf, CH_ACC1, t + TTICK(i) * EIGHTH, {48, 55}, BYTE(70 + i * 5), 150);
    }
    return oCv;
}

CDemoCv RockEnding()
{
    CDemoCv oCv{8, 0, 1, CDemoSmf(4, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    roSmf.Program(CH_BASS, PRG_PICK_BASS);
    roSmf.Program(CH_ACC1, PRG_DIST_GUITAR);
    roSmf.Note(CH_DRUM, 0, CRASH, 125, HIT);
    roSmf.Note(CH_DRUM, 0, KICK, 125, HIT);
    Chord(roSmf, CH_ACC1, 0, {48, 55, 60}, 115, 1400);
    roSmf.Note(CH_BASS, 0, BASS_C, 115, 1400);
    return oCv;
}

// ---------------------------------------------------------------------------
// Jazz Swing (4/4)
// ---------------------------------------------------------------------------

CDemoCv JazzVariation1(BYTE byCv, EDemoChord eChord)
{
    CDemoCv oCv{0, byCv, 4, CDemoSmf(4, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    roSmf.Program(CH_BASS, PRG_ACOUSTIC_BASS);
    roSmf.Program(CH_ACC1, PRG_PIANO);
    // Walking bass, four measures; the seventh chord walks through its seventh.
    const BYTE byThird = Third(eChord);
    const int iSixth = eChord == CHORD_SEVENTH ? 10 : 9;
    const int aiWalk[16] = {0, byThird, 7, iSixth, 12, iSixth, 7, byThird, 0, byThird, 7, 8, 9, 7, 5, -1};
    // Rootless voicings: 6/9, minor 6/9, thirteenth.
    const std::vector<BYTE> abyComp = eChord == CHORD_SEVENTH
                                          ? std::vector<BYTE>{64, 69, 70, 74}
                                          : std::vector<BYTE>{BYTE(MIDDLE_C + byThird), 67, 69, 74};
    // Swing: the off-beat eighth sits on the last third of the beat.
    constexpr TTICK SWING = 256;
    for (int m = 0; m < 4; ++m)
    {
        const TTICK t = TTICK(m) * roSmf.MeasureTicks();
        for (int b = 0; b < 4; ++b)
        {
            const TTICK tBeat = t + TTICK(b) * QUARTER;
            roSmf.Note(CH_DRUM, tBeat, RIDE, b % 2 ? 90 : 75, HIT);
            if (b % 2 == 1)
            {
                roSmf.Note(CH_DRUM, tBeat + SWING, RIDE, 60, HIT);
                roSmf.Note(CH_DRUM, tBeat, PEDAL_HAT, 70, HIT);
            }
            roSmf.Note(CH_DRUM, tBeat, KICK, 30, HIT);
            roSmf.Note(CH_BASS, tBeat, BYTE(BASS_C + aiWalk[m * 4 + b]), b == 0 ? 95 : 85, 360);
        }
        // Charleston comping: beat one and the swung "and" of two.
        Chord(roSmf, CH_ACC1, t, abyComp, 70, 300);
        Chord(roSmf, CH_ACC1, t + QUARTER + SWING, abyComp, 62, 120);
    }
    return oCv;
}

CDemoCv JazzEnding()
{
    CDemoCv oCv{8, 0, 2, CDemoSmf(4, 2)};
    CDemoSmf& roSmf = oCv.m_oSmf;
    roSmf.Program(CH_BASS, PRG_ACOUSTIC_BASS);
    roSmf.Program(CH_ACC1, PRG_PIANO);
    static const BYTE s_abyBass[4] = {BASS_C + 7, BASS_C + 5, BASS_C + 4, BASS_C + 2};
    for (int b = 0; b < 4; ++b)
    {
        roSmf.Note(CH_DRUM, TTICK(b) * QUARTER, RIDE, 80, HIT);
        roSmf.Note(CH_BASS, TTICK(b) * QUARTER, s_abyBass[b], 88, 360);
    }
    Chord(roSmf, CH_ACC1, 0, {64, 67, 69, 74}, 70, 300);
    const TTICK t = roSmf.MeasureTicks();
    roSmf.Note(CH_DRUM, t, CRASH, 90, HIT);
    roSmf.Note(CH_DRUM, t, KICK, 90, HIT);
    roSmf.Note(CH_BASS, t, BASS_C, 95, 1400);
    Chord(roSmf, CH_ACC1, t, {64, 67, 69, 71, 74}, 75, 1400);
    return oCv;
}

// ---------------------------------------------------------------------------

typedef std::function<void(std::vector<CDemoCv>&)> FComposer;

struct CDemoStyleDef
{
    const char* m_pszName;
    FComposer m_fnCompose;
};

const CDemoStyleDef s_aoStyles[] = {
    {"Pop 8Beat",
     [](std::vector<CDemoCv>& raoCvs) {
         raoCvs.push_back(PopVariation1(0, CHORD_MAJOR));
         raoCvs.push_back(PopVariation1(1, CHORD_MINOR));
         raoCvs.push_back(PopVariation1(2, CHORD_SEVENTH));
         raoCvs.push_back(PopVariation2(0, CHORD_MAJOR));
         raoCvs.push_back(PopVariation2(1, CHORD_MINOR));
         raoCvs.push_back(PopIntro(0, CHORD_MAJOR));
         raoCvs.push_back(PopIntro(1, CHORD_MINOR));
         raoCvs.push_back(PopFill());
         raoCvs.push_back(PopEnding());
     }},
    {"Slow Waltz",
     [](std::vector<CDemoCv>& raoCvs) {
         raoCvs.push_back(WaltzVariation1(0, CHORD_MAJOR));
         raoCvs.push_back(WaltzVariation1(1, CHORD_MINOR));
         raoCvs.push_back(WaltzVariation2(0, CHORD_MAJOR));
         raoCvs.push_back(WaltzVariation2(1, CHORD_MINOR));
         raoCvs.push_back(WaltzEnding());
     }},
    {"Bossa Nova",
     [](std::vector<CDemoCv>& raoCvs) {
         raoCvs.push_back(BossaVariation1(0, CHORD_MAJOR));
         raoCvs.push_back(BossaVariation1(1, CHORD_MINOR));
         raoCvs.push_back(BossaVariation1(2, CHORD_SEVENTH));
         raoCvs.push_back(BossaFill());
     }},
    {"Rock Beat",
     [](std::vector<CDemoCv>& raoCvs) {
         raoCvs.push_back(RockVariation1(0, CHORD_MAJOR));
         raoCvs.push_back(RockVariation1(1, CHORD_MINOR));
         raoCvs.push_back(RockIntro());
         raoCvs.push_back(RockEnding());
     }},
    {"Jazz Swing",
     [](std::vector<CDemoCv>& raoCvs) {
         raoCvs.push_back(JazzVariation1(0, CHORD_MAJOR));
         raoCvs.push_back(JazzVariation1(1, CHORD_MINOR));
         raoCvs.push_back(JazzVariation1(2, CHORD_SEVENTH));
         raoCvs.push_back(JazzEnding());
     }},
};

} // namespace

// DemoStyleCount -- the styles above.
int DemoStyleCount()
{
    return int(sizeof(s_aoStyles) / sizeof(s_aoStyles[0]));
}

// DemoStyle -- composes the style's chord variations; each file ends at the
// chord variation's last measure.
CDemoStyle DemoStyle(int iIndex)
{
    CDemoStyle oStyle;
    if (iIndex < 0 || iIndex >= DemoStyleCount())
        return oStyle;
    const CDemoStyleDef& rkoDef = s_aoStyles[iIndex];
    oStyle.m_strName = rkoDef.m_pszName;
    std::vector<CDemoCv> aoCvs;
    rkoDef.m_fnCompose(aoCvs);
    for (const CDemoCv& rkoCv : aoCvs)
        oStyle.m_aoChordVars.push_back(
            {rkoCv.m_bySe, rkoCv.m_byCv, rkoCv.m_oSmf.Bytes(TTICK(rkoCv.m_iMeasures) * rkoCv.m_oSmf.MeasureTicks())});
    return oStyle;
}
