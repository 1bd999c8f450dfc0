// QdRollLayout.cpp -- the places of a roll's parts in a picture.
#include "BankDoc/QdRollLayout.h"

#include "BankDoc/QdGmPrograms.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

constexpr short NO_ROW = -1;
constexpr int NO_BAND = -1;
// A note is drawn this far in from its row's edges, and at least this wide.
constexpr double NOTE_INSET = 1.0;
constexpr double MIN_NOTE_WIDTH = 1.0;
// The most any margin, line or gap may take.
constexpr int MAX_SPACE = 256;
// How far a faint track's colour goes towards the background.
constexpr double FAINT_SHARE = 0.7;

// One colour per track, told apart at a glance and on white.
constexpr CQdRgb s_aoTrackColours[NST_NR_TRK] = {
    {0xD6, 0x27, 0x28}, // Drum
    {0xFF, 0x7F, 0x0E}, // Percussion
    {0x1F, 0x77, 0xB4}, // Bass
    {0x2C, 0xA0, 0x2C}, // Acc. 1
    {0x94, 0x67, 0xBD}, // Acc. 2
    {0x8C, 0x56, 0x4B}, // Acc. 3
    {0xE3, 0x77, 0xC2}, // Acc. 4
    {0x17, 0xBE, 0xCF}, // Acc. 5
};

// IsShownLane -- a lane that makes a lane box.
bool IsShownLane(const CQdRollLane& rkoLane, bool bAllLanes)
{
    return bAllLanes || rkoLane.ChangesAfterStart();
}

} // namespace

std::string CQdRgb::Hex() const
{
    char szHex[8];
    std::snprintf(szHex, sizeof szHex, "#%02x%02x%02x", m_byRed, m_byGreen, m_byBlue);
    return szHex;
}

CQdRgb QdRollTrackColour(BYTE byTrack)
{
    return byTrack < NST_NR_TRK ? s_aoTrackColours[byTrack] : CQdRgb();
}

double QdRollNoteOpacity(BYTE byVelocity)
{
    return 0.35 + 0.65 * double(std::min<BYTE>(byVelocity, 127)) / 127.0;
}

CQdRgb QdRollMix(const CQdRgb& rkoFrom, const CQdRgb& rkoTo, double dShare)
{
    const double dTo = std::clamp(dShare, 0.0, 1.0);
    auto fnMix = [dTo](BYTE byFrom, BYTE byTo) {
        return BYTE(std::lround(double(byFrom) + (double(byTo) - double(byFrom)) * dTo));
    };
    return {fnMix(rkoFrom.m_byRed, rkoTo.m_byRed), fnMix(rkoFrom.m_byGreen, rkoTo.m_byGreen),
            fnMix(rkoFrom.m_byBlue, rkoTo.m_byBlue)};
}

CQdRgb QdRollShade(BYTE byTrack, bool bFaint)
{
    return QdRollMix(QdRollTrackColour(byTrack), QdRollColours::BACKGROUND, bFaint ? FAINT_SHARE : 0.0);
}

CQdRgb QdRollNoteColour(BYTE byTrack, BYTE byVelocity, bool bFaint)
{
    return QdRollMix(QdRollShade(byTrack, bFaint), QdRollColours::BACKGROUND, 1.0 - QdRollNoteOpacity(byVelocity));
}

// CQdRollLayout::CQdRollLayout -- the sizes are kept sane first, so that
// the time axis is never narrower than a pixel and a length of 0 still has
// a scale.
CQdRollLayout::CQdRollLayout(const CQdRoll& rkoRoll, const CQdRollLayoutOptions& rkoOptions)
    : m_pkoRoll(&rkoRoll), m_oOptions(rkoOptions)
{
    CQdRollLayoutOptions& roOptions = m_oOptions;
    roOptions.m_iWidth =
        std::clamp(roOptions.m_iWidth, CQdRollLayoutOptions::MIN_WIDTH, CQdRollLayoutOptions::MAX_WIDTH);
    for (int* piSize : {&roOptions.m_iMargin, &roOptions.m_iTitleHeight, &roOptions.m_iRulerHeight,
                        &roOptions.m_iBandHeader, &roOptions.m_iBandGap, &roOptions.m_iLegendLine,
                        &roOptions.m_iMinBeatSpacing})
        *piSize = std::clamp(*piSize, 0, MAX_SPACE);
    // The key column takes at most half of what the margins leave.
    roOptions.m_iMargin = std::min(roOptions.m_iMargin, roOptions.m_iWidth / 8);
    roOptions.m_iKeyColumn =
        std::clamp(roOptions.m_iKeyColumn, 0, (roOptions.m_iWidth - 2 * roOptions.m_iMargin) / 2);
    roOptions.m_iRowHeight = std::clamp(roOptions.m_iRowHeight, 3, 64);
    roOptions.m_iLaneHeight = std::clamp(roOptions.m_iLaneHeight, 4, 256);

    m_dTimeLeft = roOptions.m_iMargin + roOptions.m_iKeyColumn;
    m_dTimeWidth = roOptions.m_iWidth - m_dTimeLeft - roOptions.m_iMargin;
    const TTICK tLength = rkoRoll.m_oGrid.m_tLength;
    const TTICK tScale = tLength > 0 ? tLength : std::max<TTICK>(rkoRoll.m_oGrid.m_tTicksPerMeasure, 1);
    m_dPixelsPerTick = m_dTimeWidth / double(tScale);
    m_dRulerTop = roOptions.m_iMargin + roOptions.m_iTitleHeight;
    PlaceBands();
    PlaceGridLines();
}

TTICK CQdRollLayout::XToTick(double dX) const
{
    const double dTick = (dX - m_dTimeLeft) / m_dPixelsPerTick;
    return TTICK(std::clamp(std::floor(dTick), 0.0, double(m_pkoRoll->m_oGrid.m_tLength)));
}

const CQdRollBand* CQdRollLayout::FindBand(BYTE byTrack) const
{
    if (byTrack >= NST_NR_TRK || m_aiBandOfTrack[byTrack] == NO_BAND)
        return nullptr;
    return &m_aoBands[std::size_t(m_aiBandOfTrack[byTrack])];
}

// CQdRollLayout::PlaceBands -- which keys each track plays, then the bands
// in track order.
void CQdRollLayout::PlaceBands()
{
    const CQdRoll& rkoRoll = *m_pkoRoll;
    std::array<std::array<bool, 128>, NST_NR_TRK> aabPlayed{};
    for (const CQdRollNote& rkoNote : rkoRoll.m_aoNotes)
        if (rkoNote.m_byTrack < NST_NR_TRK)
            aabPlayed[rkoNote.m_byTrack][rkoNote.m_byKey & 0x7F] = true;
    for (auto& raiRows : m_aaiRowOfKey)
        raiRows.fill(NO_ROW);
    m_aiBandOfTrack.fill(NO_BAND);

    double dTop = GetBandsTop();
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
    {
        CQdRollBand oBand;
        oBand.m_byTrack = byTrack;
        oBand.m_dTop = dTop;
        oBand.m_dRowsTop = dTop + m_oOptions.m_iBandHeader;
        const std::array<bool, 128>& rkabPlayed = aabPlayed[byTrack];
        const auto itLowest = std::find(rkabPlayed.begin(), rkabPlayed.end(), true);
        if (itLowest != rkabPlayed.end())
        {
            const int iLowest = int(itLowest - rkabPlayed.begin());
            const int iHighest = int(rkabPlayed.rend() - std::find(rkabPlayed.rbegin(), rkabPlayed.rend(), true)) - 1;
            const bool bDrums = QdIsDrumTrack(byTrack);
            for (int iKey = iHighest; iKey >= iLowest; --iKey)
            {
                if (bDrums && !rkabPlayed[std::size_t(iKey)])
                    continue;
                m_aaiRowOfKey[byTrack][std::size_t(iKey)] = short(oBand.m_aoRows.size());
                oBand.m_aoRows.push_back(
                    {BYTE(iKey), oBand.m_dRowsTop + double(oBand.m_aoRows.size()) * m_oOptions.m_iRowHeight});
            }
        }
        double dBottom = oBand.m_dRowsTop + double(oBand.m_aoRows.size()) * m_oOptions.m_iRowHeight;
        for (std::size_t uLane = 0; uLane < rkoRoll.m_aoLanes.size(); ++uLane)
        {
            const CQdRollLane& rkoLane = rkoRoll.m_aoLanes[uLane];
            if (rkoLane.m_byTrack != byTrack || !IsShownLane(rkoLane, m_oOptions.m_bAllLanes))
                continue;
            oBand.m_aoLanes.push_back({uLane, dBottom});
            dBottom += m_oOptions.m_iLaneHeight;
        }
        if (oBand.m_aoRows.empty() && oBand.m_aoLanes.empty())
            continue;
        oBand.m_dBottom = dBottom;
        dTop = dBottom + m_oOptions.m_iBandGap;
        m_aiBandOfTrack[byTrack] = int(m_aoBands.size());
        m_aoBands.push_back(std::move(oBand));
    }
    m_dLegendTop = dTop;
    m_dHeight = m_dLegendTop + double(m_aoBands.size()) * m_oOptions.m_iLegendLine + m_oOptions.m_iMargin;
}

// CQdRollLayout::PlaceGridLines -- a line per measure and per beat up to
// the length (a measure is a whole number of beats), and one at the length;
// beats only where they lie far enough apart to be told from each other,
// and where even measures do not, every so many measures.
void CQdRollLayout::PlaceGridLines()
{
    const CQdRollGrid& rkoGrid = m_pkoRoll->m_oGrid;
    const TTICK tBeat = std::max<TTICK>(rkoGrid.m_tTicksPerBeat, 1);
    const TTICK tMeasure = std::max<TTICK>(rkoGrid.m_tTicksPerMeasure, 1);
    const double dSpacing = std::max(m_oOptions.m_iMinBeatSpacing, 1);
    std::uint64_t qwStep = tBeat;
    if (double(tBeat) * m_dPixelsPerTick < dSpacing)
        qwStep = std::uint64_t(tMeasure) * std::uint64_t(std::ceil(dSpacing / (double(tMeasure) * m_dPixelsPerTick)));
    for (std::uint64_t qwTick = 0; qwTick < rkoGrid.m_tLength; qwTick += qwStep)
    {
        const TTICK tTick = TTICK(qwTick);
        if (tTick % tMeasure == 0)
            m_aoGridLines.push_back({TickToX(tTick), tTick, QD_LINE_MEASURE, DWORD(tTick / tMeasure + 1)});
        else
            m_aoGridLines.push_back({TickToX(tTick), tTick, QD_LINE_BEAT, 0});
    }
    m_aoGridLines.push_back({TickToX(rkoGrid.m_tLength), rkoGrid.m_tLength, QD_LINE_END, 0});
}

CQdRollRect CQdRollLayout::NoteRect(const CQdRollNote& rkoNote) const
{
    const CQdRollBand* pkoBand = FindBand(rkoNote.m_byTrack);
    if (!pkoBand)
        return CQdRollRect();
    const short iRow = m_aaiRowOfKey[rkoNote.m_byTrack][rkoNote.m_byKey & 0x7F];
    if (iRow == NO_ROW)
        return CQdRollRect();
    const double dRowHeight = m_oOptions.m_iRowHeight;
    CQdRollRect oRect;
    oRect.m_dX = TickToX(rkoNote.m_tStart);
    oRect.m_dY = pkoBand->m_aoRows[std::size_t(iRow)].m_dTop + NOTE_INSET;
    oRect.m_dWidth = std::max(double(rkoNote.GetLength()) * m_dPixelsPerTick, MIN_NOTE_WIDTH);
    oRect.m_dHeight = std::max(dRowHeight - 2 * NOTE_INSET, 1.0);
    return oRect;
}

bool CQdRollLayout::IsFaint(BYTE byTrack) const
{
    const BYTE byHighlight = m_pkoRoll->m_byHighlight;
    return byHighlight < NST_NR_TRK && byTrack != byHighlight;
}

// CQdRollLayout::NoteAt -- the row under the point first, then the notes of
// its track and key from the last drawn back.
int CQdRollLayout::NoteAt(double dX, double dY) const
{
    for (const CQdRollBand& rkoBand : m_aoBands)
    {
        if (dY < rkoBand.m_dRowsTop || rkoBand.m_aoRows.empty())
            continue;
        const double dRow = std::floor((dY - rkoBand.m_dRowsTop) / m_oOptions.m_iRowHeight);
        if (dRow >= double(rkoBand.m_aoRows.size()))
            continue;
        const BYTE byKey = rkoBand.m_aoRows[std::size_t(dRow)].m_byKey;
        const std::vector<CQdRollNote>& rkaoNotes = m_pkoRoll->m_aoNotes;
        for (std::size_t u = rkaoNotes.size(); u-- > 0;)
        {
            const CQdRollNote& rkoNote = rkaoNotes[u];
            if (rkoNote.m_byTrack != rkoBand.m_byTrack || rkoNote.m_byKey != byKey)
                continue;
            const CQdRollRect oRect = NoteRect(rkoNote);
            if (dX >= oRect.m_dX && dX < oRect.m_dX + oRect.m_dWidth)
                return int(u);
        }
        return -1;
    }
    return -1;
}

std::vector<CQdRollXY> CQdRollLayout::LanePath(const CQdRollLaneBox& rkoBox) const
{
    std::vector<CQdRollXY> aoPath;
    if (rkoBox.m_uLane >= m_pkoRoll->m_aoLanes.size())
        return aoPath;
    const CQdRollLane& rkoLane = m_pkoRoll->m_aoLanes[rkoBox.m_uLane];
    const double dHeight = m_oOptions.m_iLaneHeight - 2 * NOTE_INSET;
    const double dBottom = rkoBox.m_dTop + NOTE_INSET + dHeight;
    const double dRange = double(rkoLane.GetMaxValue() - rkoLane.GetMinValue());
    auto fnY = [&](int iValue) { return dBottom - double(iValue - rkoLane.GetMinValue()) / dRange * dHeight; };
    aoPath.reserve(rkoLane.m_aoPoints.size() * 2 + 1);
    for (const CQdRollPoint& rkoPoint : rkoLane.m_aoPoints)
    {
        const double dX = TickToX(rkoPoint.m_tTick);
        if (!aoPath.empty())
            aoPath.push_back({dX, aoPath.back().m_dY});
        aoPath.push_back({dX, fnY(rkoPoint.m_iValue)});
    }
    if (!aoPath.empty())
        aoPath.push_back({GetTimeRight(), aoPath.back().m_dY});
    return aoPath;
}
