// QdRoll.cpp -- a chord variation's roll from the MIDI file of its export.
#include "BankDoc/QdRoll.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdGmPrograms.h"
#include "MidiInOut/SmfScan.h"
#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

constexpr int CHANNELS = SmfRead::CHANNELS;
constexpr int KEYS = 128;
constexpr BYTE NO_TRACK = 0xFF;
constexpr int PITCH_BEND_CENTRE = 8192;
// Lanes per track: the 128 controllers, the pitch bend, the pressure.
constexpr int LANE_SLOTS = KEYS + 2;
constexpr int NO_INDEX = -1;

// ClampTick -- a file's tick as a tick of the roll; an export's ticks fit,
// a tick beyond the range of TTICK stays at its end.
TTICK ClampTick(std::uint64_t qwTick)
{
    return TTICK(std::min<std::uint64_t>(qwTick, std::numeric_limits<TTICK>::max()));
}

// CNotePairing -- the notes of a file as its messages come, and the lanes.
// The notes still sounding are a queue per channel and key, linked through
// the notes' indices (m_aiNextOpen), so that the pairing allocates nothing
// beyond the notes themselves.
class CNotePairing
{
public:
    explicit CNotePairing(CQdRoll& roRoll) : m_roRoll(roRoll)
    {
        std::fill(std::begin(m_abyTrackOfChannel), std::end(m_abyTrackOfChannel), NO_TRACK);
        for (BYTE byTrack = NST_NR_TRK; byTrack-- > 0;)
            m_abyTrackOfChannel[NST_TRACK_CHANNELS[byTrack]] = byTrack;
        std::fill(std::begin(m_aiFirstOpen), std::end(m_aiFirstOpen), NO_INDEX);
        std::fill(std::begin(m_aiLastOpen), std::end(m_aiLastOpen), NO_INDEX);
        std::fill(std::begin(m_aiLaneOf), std::end(m_aiLaneOf), NO_INDEX);
    }

    // CNotePairing::Take -- one event of the file.
    void Take(const CSmfEvent& rkoEvent)
    {
        if (!rkoEvent.IsChannel())
            return;
        const BYTE byChannel = BYTE(rkoEvent.m_byStatus & 0x0F);
        const BYTE byTrack = m_abyTrackOfChannel[byChannel];
        if (byTrack == NO_TRACK)
        {
            ++m_roRoll.m_dwOtherChannels;
            return;
        }
        const TTICK tTick = ClampTick(rkoEvent.m_qwTick);
        const BYTE byData1 = rkoEvent.m_abyChannelData[0];
        const BYTE byData2 = rkoEvent.m_abyChannelData[1];
        switch (rkoEvent.m_byStatus & 0xF0)
        {
        case 0x90:
            if (byData2 > 0)
            {
                NoteOn(byTrack, byChannel, byData1, byData2, tTick);
                break;
            }
            [[fallthrough]];
        case 0x80:
            NoteOff(byChannel, byData1, tTick);
            break;
        case 0xB0:
            Lane(byTrack, QD_LANE_CONTROLLER, byData1).m_aoPoints.push_back({tTick, byData2});
            break;
        case 0xC0:
            if (m_roRoll.m_aiProgram[byTrack] < 0)
                m_roRoll.m_aiProgram[byTrack] = byData1;
            break;
        case 0xD0:
            Lane(byTrack, QD_LANE_PRESSURE, 0).m_aoPoints.push_back({tTick, byData1});
            break;
        case 0xE0:
            Lane(byTrack, QD_LANE_PITCH_BEND, 0)
                .m_aoPoints.push_back({tTick, (int(byData2) << 7 | byData1) - PITCH_BEND_CENTRE});
            break;
        default: // polyphonic key pressure: not shown
            break;
        }
    }

    // CNotePairing::Finish -- the notes still sounding end at tEnd; the
    // lanes go in track order.
    void Finish(TTICK tEnd)
    {
        for (CQdRollNote& roNote : m_roRoll.m_aoNotes)
            if (roNote.m_tEnd == OPEN)
            {
                roNote.m_tEnd = std::max(tEnd, roNote.m_tStart);
                ++m_roRoll.m_dwNotesEndedAtEnd;
            }
        std::stable_sort(
            m_roRoll.m_aoLanes.begin(), m_roRoll.m_aoLanes.end(),
            [](const CQdRollLane& rkoA, const CQdRollLane& rkoB) { return rkoA.m_byTrack < rkoB.m_byTrack; });
    }

private:
    // The end of a note that still sounds.
    static constexpr TTICK OPEN = std::numeric_limits<TTICK>::max();

    void NoteOn(BYTE byTrack, BYTE byChannel, BYTE byKey, BYTE byVelocity, TTICK tTick)
    {
        const int iNote = int(m_roRoll.m_aoNotes.size());
        m_roRoll.m_aoNotes.push_back({byTrack, byChannel, byKey, byVelocity, tTick, OPEN});
        m_aiNextOpen.push_back(NO_INDEX);
        ++m_roRoll.m_adwNotes[byTrack];
        const int iQueue = byChannel * KEYS + byKey;
        if (m_aiLastOpen[iQueue] == NO_INDEX)
            m_aiFirstOpen[iQueue] = iNote;
        else
            m_aiNextOpen[std::size_t(m_aiLastOpen[iQueue])] = iNote;
        m_aiLastOpen[iQueue] = iNote;
    }

    // NoteOff -- ends the earliest sounding note of the key on the channel.
    void NoteOff(BYTE byChannel, BYTE byKey, TTICK tTick)
    {
        const int iQueue = byChannel * KEYS + (byKey & 0x7F);
        const int iNote = m_aiFirstOpen[iQueue];
        if (iNote == NO_INDEX)
        {
            ++m_roRoll.m_dwStrayNoteOffs;
            return;
        }
        m_roRoll.m_aoNotes[std::size_t(iNote)].m_tEnd = tTick;
        m_aiFirstOpen[iQueue] = m_aiNextOpen[std::size_t(iNote)];
        if (m_aiFirstOpen[iQueue] == NO_INDEX)
            m_aiLastOpen[iQueue] = NO_INDEX;
    }

    CQdRollLane& Lane(BYTE byTrack, EQdRollLaneKind eKind, BYTE byController)
    {
        const int iSlot = eKind == QD_LANE_CONTROLLER ? byController & 0x7F : KEYS + eKind - 1;
        int& riLane = m_aiLaneOf[byTrack * LANE_SLOTS + iSlot];
        if (riLane == NO_INDEX)
        {
            riLane = int(m_roRoll.m_aoLanes.size());
            CQdRollLane oLane;
            oLane.m_byTrack = byTrack;
            oLane.m_eKind = eKind;
            oLane.m_byController = eKind == QD_LANE_CONTROLLER ? byController : 0;
            m_roRoll.m_aoLanes.push_back(std::move(oLane));
        }
        return m_roRoll.m_aoLanes[std::size_t(riLane)];
    }

    CQdRoll& m_roRoll;
    BYTE m_abyTrackOfChannel[CHANNELS];
    int m_aiFirstOpen[CHANNELS * KEYS];
    int m_aiLastOpen[CHANNELS * KEYS];
    std::vector<int> m_aiNextOpen;
    // Indices in the roll's lanes (before they are sorted) per track and slot.
    int m_aiLaneOf[NST_NR_TRK * LANE_SLOTS];
};

// MakeGrid -- the grid of the time signature in the file's ticks; a time
// signature without ticks per measure (numerator 0, a denominator beyond a
// 1024th) counts in 4/4 instead.
CQdRollGrid MakeGrid(const CNstTimeSig& rkoTimeSig, TTICK tTicksPerQuarter, TTICK tLength)
{
    CQdRollGrid oGrid;
    oGrid.m_tTicksPerQuarter = tTicksPerQuarter;
    CNstTimeSig oCounted = rkoTimeSig;
    if (oCounted.GetTicksPerMeasure() == 0 || (tTicksPerQuarter * 4) >> oCounted.m_byDenomExp == 0)
        oCounted = CNstTimeSig();
    oGrid.m_oTimeSig = oCounted;
    oGrid.m_tTicksPerBeat = (tTicksPerQuarter * 4) >> oCounted.m_byDenomExp;
    oGrid.m_tTicksPerMeasure = oGrid.m_tTicksPerBeat * oCounted.m_byNumerator;
    oGrid.m_tLength = tLength;
    oGrid.m_dwMeasures = DWORD((std::uint64_t(tLength) + oGrid.m_tTicksPerMeasure - 1) / oGrid.m_tTicksPerMeasure);
    return oGrid;
}

// Names of the controllers a style commonly holds.
struct CControllerName
{
    BYTE m_byNumber;
    const char* m_pszName;
};
const CControllerName s_aoControllerNames[] = {
    {0, "Bank select MSB"}, {1, "Modulation"}, {7, "Volume"},           {10, "Pan"},
    {11, "Expression"},     {32, "Bank select LSB"}, {64, "Sustain"}, {91, "Reverb"},
    {93, "Chorus"},
};

} // namespace

bool CQdRollLane::ChangesAfterStart() const
{
    return std::any_of(m_aoPoints.begin(), m_aoPoints.end(),
                       [](const CQdRollPoint& rkoPoint) { return rkoPoint.m_tTick > 0; });
}

CSmfBarPosition CQdRollGrid::Locate(TTICK tTick) const
{
    const CSmfBarClock oClock({{0, m_oTimeSig.m_byNumerator, m_oTimeSig.m_byDenomExp}}, m_tTicksPerQuarter);
    return oClock.Locate(tTick);
}

std::string CQdRollGrid::PositionText(TTICK tTick) const
{
    const CSmfBarPosition oAt = Locate(tTick);
    return std::to_string(oAt.m_qwBar) + ":" + std::to_string(oAt.m_qwBeat) + ":" + std::to_string(oAt.m_qwTick);
}

TTICK CQdRollGrid::LoopTick(long lTick) const
{
    if (lTick <= 0 || m_tLength == 0)
        return 0;
    return TTICK(std::uint64_t(lTick) % m_tLength);
}

// QdRollFromSmf -- one walk of the scan; the length is the end of the
// file's track (an export has one), at least the last event's tick.
bool QdRollFromSmf(const BYTE* pkbyFile, DWORD dwSize, const CNstTimeSig& rkoTimeSig, BYTE byTrack,
                   CQdRoll& roRoll)
{
    roRoll = CQdRoll();
    roRoll.m_byTrack = byTrack;
    CNotePairing oPairing(roRoll);
    CSmfFileInfo oInfo;
    const bool bClean = SmfScanFile(pkbyFile, dwSize, oInfo,
                                    [&oPairing](WORD, const CSmfEvent& rkoEvent) { oPairing.Take(rkoEvent); });
    const TTICK tLength = ClampTick(oInfo.m_qwLastTick);
    oPairing.Finish(tLength);
    const bool bTicks = SmfRead::IsTickDivision(oInfo.m_wDivision);
    roRoll.m_oGrid = MakeGrid(rkoTimeSig, bTicks ? oInfo.m_wDivision : NST_TICKS_PER_QUARTER, tLength);
    return bClean && bTicks;
}

// QdBuildRoll -- the element is there when the chord variation is, so its
// time signature is read without creating anything.
bool QdBuildRoll(CNstEditIfc& roEditIfc, BYTE bySe, BYTE byCv, BYTE byTrack, CQdRoll& roRoll)
{
    roRoll = CQdRoll();
    if (roEditIfc.GetChordVarState(bySe, byCv) == NST_STATE_ABSENT)
        return false;
    const CNstTimeSig oTimeSig = roEditIfc.GetStyle().FindStyleElem(bySe)->GetTimeSig();
    DWORD dwSize = 0;
    const std::unique_ptr<BYTE[]> pbyFile = roEditIfc.ExportToSmf(bySe, byCv, byTrack, dwSize);
    if (!pbyFile || dwSize == 0)
        return false;
    const bool bRead = QdRollFromSmf(pbyFile.get(), dwSize, oTimeSig, byTrack, roRoll);
    roRoll.m_bySe = bySe;
    roRoll.m_byCv = byCv;
    return bRead;
}

std::string QdRollKeyName(BYTE byTrack, BYTE byKey)
{
    if (!QdIsDrumTrack(byTrack))
        return SmfNoteName(byKey);
    const std::string strName = QdGmDrumName(byKey);
    return strName.empty() ? "Key " + std::to_string(byKey) : strName;
}

std::string QdRollNoteText(const CQdRollGrid& rkoGrid, const CQdRollNote& rkoNote)
{
    return std::string(CQdBankDoc::TrackName(rkoNote.m_byTrack)) + ": " + rkoNote.GetKeyName() + " (" +
           std::to_string(rkoNote.m_byKey) + "), velocity " + std::to_string(rkoNote.m_byVelocity) + ", start " +
           rkoGrid.PositionText(rkoNote.m_tStart) + ", length " + std::to_string(rkoNote.GetLength());
}

std::string QdRollLegendText(const CQdRoll& rkoRoll, BYTE byTrack)
{
    if (byTrack >= NST_NR_TRK)
        return std::string();
    const DWORD dwNotes = rkoRoll.m_adwNotes[byTrack];
    std::string strText = std::string(CQdBankDoc::TrackName(byTrack)) + ": " + std::to_string(dwNotes) +
                          (dwNotes == 1 ? " note" : " notes");
    if (rkoRoll.m_aiProgram[byTrack] >= 0)
        strText += ", " + QdVoiceName(byTrack, BYTE(rkoRoll.m_aiProgram[byTrack]));
    return strText;
}

std::string QdRollLaneName(const CQdRollLane& rkoLane)
{
    if (rkoLane.m_eKind == QD_LANE_PITCH_BEND)
        return "Pitch bend";
    if (rkoLane.m_eKind == QD_LANE_PRESSURE)
        return "Pressure";
    const std::string strNumber = "CC " + std::to_string(rkoLane.m_byController);
    for (const CControllerName& rkoName : s_aoControllerNames)
        if (rkoName.m_byNumber == rkoLane.m_byController)
            return std::string(rkoName.m_pszName) + " (" + strNumber + ")";
    return strNumber;
}
