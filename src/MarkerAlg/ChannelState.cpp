// ChannelState.cpp -- the running state of one pattern's channel messages
// and the controller rule table.
#define QD_REPORT_FILE "MarkerAlg/MarkerAlg"

#include "MarkerAlg/MarkerAlg.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/RTEvents/LinkedEv.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// The rule table: what a pattern may hold of each controller.
constexpr std::array<signed char, MA_NR_CONTROLLERS> MakeControllerRules()
{
    std::array<signed char, MA_NR_CONTROLLERS> asbyRules{};
    for (signed char& rsbyRule : asbyRules)
        rsbyRule = MA_CTRL_NOT_ALLOWED;
    asbyRules[1] = 0;   // modulation
    asbyRules[10] = 64; // pan
    asbyRules[11] = 100; // expression
    asbyRules[64] = 0;  // sustain
    asbyRules[71] = 64; // resonance
    asbyRules[74] = 64; // cut-off
    for (int iController : {2, 12, 13, 33, 34, 42, 43, 44, 45, 80, 81, 82})
        asbyRules[iController] = MA_CTRL_UNCHECKED;
    return asbyRules;
}

constexpr std::array<signed char, MA_NR_CONTROLLERS> MA_CONTROLLER_RULES = MakeControllerRules();

// Counters are signed bytes; a key held more often than that stays at the top.
constexpr signed char MAX_NOTE_COUNT = 127;

} // namespace

CChannelState::CChannelState()
{
    Reset();
}

// CChannelState::GetControllerRule -- the table entry of the controller.
int CChannelState::GetControllerRule(BYTE byController)
{
    return MA_CONTROLLER_RULES[byController & 0x7F];
}

// CChannelState::Reset -- the state of a pattern's start.
void CChannelState::Reset()
{
    std::memset(m_asbyNotes, 0, sizeof(m_asbyNotes));
    for (int i = 0; i < MA_NR_CONTROLLERS; ++i)
        m_abyControllers[i] = BYTE(std::max(0, int(MA_CONTROLLER_RULES[i])));
    m_wPitchBend = MA_PITCH_BEND_CENTRE;
    m_oNotesOff.Clear();
    m_tLastNoteEnd = 0;
}

// CChannelState::AdvanceTo -- the waiting note-offs in the order of their ends.
void CChannelState::AdvanceTo(TTICK tTick)
{
    while (m_oNotesOff.GetCount() && m_oNotesOff.GetHeadPriority() <= tTick)
    {
        m_tLastNoteEnd = std::max(m_tLastNoteEnd, TTICK(m_oNotesOff.GetHeadPriority()));
        signed char& rsbyCount = m_asbyNotes[m_oNotesOff.Pop() & 0x7F];
        // A plain note-off of the same key may have ended it already.
        if (rsbyCount > 0)
            --rsbyCount;
    }
}

// CChannelState::Update -- by event code; see the header for the rules.
bool CChannelState::Update(const CEvent& rkoEvent, TTICK tTick)
{
    if (rkoEvent.GetClass() != EC_CHMSG)
        return false;
    const BYTE byData1 = rkoEvent.GetData1() & 0x7F;
    switch (rkoEvent.GetCode())
    {
    case EVSC_NOTEOFF:
        if (m_asbyNotes[byData1] <= 0)
        {
            m_asbyNotes[byData1] = 0;
            return false;
        }
        --m_asbyNotes[byData1];
        return true;

    case EVSC_NOTE:
    {
        const std::uint64_t qwEnd = std::uint64_t(tTick) + rkoEvent.GetDuration();
        m_oNotesOff.Push(byData1, DWORD(std::min<std::uint64_t>(qwEnd, 0xFFFFFFFF)));
    }
        [[fallthrough]];
    case EVSC_NOTEON:
        if (m_asbyNotes[byData1] < MAX_NOTE_COUNT)
            ++m_asbyNotes[byData1];
        return true;

    case EVSC_CTRL_CHANGE:
        if (MA_CONTROLLER_RULES[byData1] == MA_CTRL_NOT_ALLOWED)
            return false;
        m_abyControllers[byData1] = rkoEvent.GetData2() & 0x7F;
        return true;

    case EVSC_PITCH_B_CHANGE:
        m_wPitchBend = WORD(byData1 << 8 | (rkoEvent.GetData2() & 0x7F));
        return true;

    default:
        return false;
    }
}

// CChannelState::IsClean -- see the header.
bool CChannelState::IsClean() const
{
    if (m_wPitchBend != MA_PITCH_BEND_CENTRE)
        return false;
    for (int i = 0; i < MA_NR_KEYS; ++i)
        if (m_asbyNotes[i] > 0)
            return false;
    for (int i = 0; i < MA_NR_CONTROLLERS; ++i)
        if (MA_CONTROLLER_RULES[i] >= 0 && m_abyControllers[i] != BYTE(MA_CONTROLLER_RULES[i]))
            return false;
    return true;
}

// CChannelState::MakeResetEvents -- pitch bend, controllers, note-offs.
int CChannelState::MakeResetEvents(CLinkedEvent*& rpoList) const
{
    CLinkedEvent* poTail = rpoList;
    while (poTail && poTail->Next())
        poTail = poTail->Next();
    int iCount = 0;
    // Appends one event; false when the pool is exhausted.
    auto Append = [&](BYTE byCode, BYTE byData1, BYTE byData2) {
        CLinkedEvent* poEvent = EventsPool().GetNewEvent();
        if (!poEvent)
            return false;
        poEvent->SetChnMessage(byCode, 0, byData1, byData2);
        if (poTail)
            poTail = poTail->SetNext(poEvent);
        else
            rpoList = poTail = poEvent;
        ++iCount;
        return true;
    };

    if (m_wPitchBend != MA_PITCH_BEND_CENTRE &&
        !Append(EVSC_PITCH_B_CHANGE, BYTE(MA_PITCH_BEND_CENTRE >> 8), BYTE(MA_PITCH_BEND_CENTRE & 0xFF)))
        return iCount;
    for (int i = 0; i < MA_NR_CONTROLLERS; ++i)
    {
        const int iRule = MA_CONTROLLER_RULES[i];
        if (iRule >= 0 && m_abyControllers[i] != BYTE(iRule) && !Append(EVSC_CTRL_CHANGE, BYTE(i), BYTE(iRule)))
            return iCount;
    }
    for (int i = 0; i < MA_NR_KEYS; ++i)
        for (int iNote = 0; iNote < m_asbyNotes[i]; ++iNote)
            if (!Append(EVSC_NOTEOFF, BYTE(i), MA_RESET_VELOCITY))
                return iCount;
    return iCount;
}
