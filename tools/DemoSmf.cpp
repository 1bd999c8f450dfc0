// DemoSmf.cpp -- format-0 bytes of a demo chord variation.
#include "DemoSmf.h"

#include <algorithm>

namespace {

constexpr WORD DEMO_DIVISION = 384;
constexpr TTICK DEMO_TICKS_PER_WHOLE = 4 * DEMO_DIVISION;
constexpr int ORDER_PROGRAM = 0;
constexpr int ORDER_NOTE_OFF = 1;
constexpr int ORDER_NOTE_ON = 2;

void PutBE16(std::vector<BYTE>& rabyOut, WORD w)
{
    rabyOut.push_back(BYTE(w >> 8));
    rabyOut.push_back(BYTE(w));
}

void PutBE32(std::vector<BYTE>& rabyOut, DWORD dw)
{
    PutBE16(rabyOut, WORD(dw >> 16));
    PutBE16(rabyOut, WORD(dw));
}

// PutVarLen -- a variable-length quantity, most significant group first.
void PutVarLen(std::vector<BYTE>& rabyOut, DWORD dwValue)
{
    BYTE abyGroups[5];
    int iCount = 0;
    do
    {
        abyGroups[iCount++] = BYTE(dwValue & 0x7F);
        dwValue >>= 7;
    } while (dwValue != 0 && iCount < 5);
    while (iCount-- > 0)
        rabyOut.push_back(BYTE(abyGroups[iCount] | (iCount > 0 ? 0x80 : 0)));
}

} // namespace

// CDemoSmf::CDemoSmf -- no messages yet.
CDemoSmf::CDemoSmf(BYTE byNumerator, BYTE byDenomExp) : m_byNumerator(byNumerator), m_byDenomExp(byDenomExp) {}

// CDemoSmf::MeasureTicks -- (1536 >> exponent) x numerator.
TTICK CDemoSmf::MeasureTicks() const
{
    return (DEMO_TICKS_PER_WHOLE >> m_byDenomExp) * m_byNumerator;
}

// CDemoSmf::Program -- at tick 0, before every note.
void CDemoSmf::Program(BYTE byChannel, BYTE byProgram)
{
    m_aoMessages.push_back({0, ORDER_PROGRAM, {BYTE(0xC0 | byChannel), byProgram, 0}, 2});
}

// CDemoSmf::Note -- note-on and note-off (velocity 64).
void CDemoSmf::Note(BYTE byChannel, TTICK tTick, BYTE byKey, BYTE byVelocity, TTICK tDuration)
{
    m_aoMessages.push_back({tTick, ORDER_NOTE_ON, {BYTE(0x90 | byChannel), byKey, byVelocity}, 3});
    m_aoMessages.push_back({tTick + tDuration, ORDER_NOTE_OFF, {BYTE(0x80 | byChannel), byKey, 64}, 3});
}

// CDemoSmf::Bytes -- header, then one track: the time signature, the
// messages in tick order (stable within one order), the end of track.
std::vector<BYTE> CDemoSmf::Bytes(TTICK tEnd) const
{
    std::vector<CDemoMessage> aoSorted = m_aoMessages;
    std::stable_sort(aoSorted.begin(), aoSorted.end(), [](const CDemoMessage& rkoA, const CDemoMessage& rkoB) {
        return rkoA.m_tTick != rkoB.m_tTick ? rkoA.m_tTick < rkoB.m_tTick : rkoA.m_iOrder < rkoB.m_iOrder;
    });

    std::vector<BYTE> abyTrack;
    // Time signature: 24 MIDI clocks per quarter-note click, 8 32nds per quarter.
    const BYTE abyTimeSig[] = {0x00, 0xFF, 0x58, 0x04, m_byNumerator, m_byDenomExp, 24, 8};
    abyTrack.insert(abyTrack.end(), std::begin(abyTimeSig), std::end(abyTimeSig));
    TTICK tLast = 0;
    for (const CDemoMessage& rkoMessage : aoSorted)
    {
        PutVarLen(abyTrack, rkoMessage.m_tTick - tLast);
        tLast = rkoMessage.m_tTick;
        abyTrack.insert(abyTrack.end(), rkoMessage.m_abyData, rkoMessage.m_abyData + rkoMessage.m_byLength);
    }
    PutVarLen(abyTrack, std::max(tEnd, tLast) - tLast);
    const BYTE abyEnd[] = {0xFF, 0x2F, 0x00};
    abyTrack.insert(abyTrack.end(), std::begin(abyEnd), std::end(abyEnd));

    std::vector<BYTE> abyFile = {'M', 'T', 'h', 'd'};
    PutBE32(abyFile, 6);
    PutBE16(abyFile, 0);
    PutBE16(abyFile, 1);
    PutBE16(abyFile, DEMO_DIVISION);
    abyFile.insert(abyFile.end(), {'M', 'T', 'r', 'k'});
    PutBE32(abyFile, DWORD(abyTrack.size()));
    abyFile.insert(abyFile.end(), abyTrack.begin(), abyTrack.end());
    return abyFile;
}
