// QdImportReport.cpp -- an import report in words.
#include "BankDoc/QdImportReport.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdImportOptions.h"

#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

// Counted -- "1 event" or "3 events".
std::string Counted(DWORD dwCount, const char* pszOne, const char* pszMany)
{
    return std::to_string(dwCount) + " " + (dwCount == 1 ? pszOne : pszMany);
}

// Joined -- the parts with the separator between them.
std::string Joined(const std::vector<std::string>& rkastrParts, const char* pszSeparator)
{
    std::string strText;
    for (const std::string& rkstrPart : rkastrParts)
        strText += (strText.empty() ? "" : pszSeparator) + rkstrPart;
    return strText;
}

// TrackOfChannel -- the track whose channel it is (0-based); NST_NR_TRK for none.
BYTE TrackOfChannel(std::size_t uChannel)
{
    const auto* pkbyAt = std::find(std::begin(NST_TRACK_CHANNELS), std::end(NST_TRACK_CHANNELS), uChannel);
    return BYTE(pkbyAt - std::begin(NST_TRACK_CHANNELS));
}

// LeftOut -- the parts of the "left out" list, in the order of the report.
// Events on a track's channel were left out because the import replaced
// other tracks only; those on the other channels because no track takes
// them.
std::vector<std::string> LeftOut(const CQdImportReport& rkoReport)
{
    std::vector<std::string> astrParts;
    DWORD dwNoTrack = 0;
    DWORD dwNotChosen = 0;
    WORD wChannels = 0;
    BYTE byNotChosen = 0;
    for (std::size_t u = 0; u < rkoReport.m_adwNoTrack.size(); ++u)
    {
        if (rkoReport.m_adwNoTrack[u] == 0)
            continue;
        const BYTE byTrack = TrackOfChannel(u);
        if (byTrack < NST_NR_TRK)
        {
            dwNotChosen += rkoReport.m_adwNoTrack[u];
            byNotChosen = BYTE(byNotChosen | 1u << byTrack);
            continue;
        }
        dwNoTrack += rkoReport.m_adwNoTrack[u];
        wChannels = WORD(wChannels | 1u << u);
    }
    if (dwNoTrack > 0)
    {
        astrParts.push_back(Counted(dwNoTrack, "event", "events") + " on " + QdChannelsText(wChannels) +
                            " (no track)");
    }
    if (dwNotChosen > 0)
        astrParts.push_back(Counted(dwNotChosen, "event", "events") + " of " + CQdBankDoc::TrackNameList(byNotChosen) +
                            " (not among the tracks imported)");
    if (rkoReport.m_dwPastCut > 0)
        astrParts.push_back(Counted(rkoReport.m_dwPastCut, "event", "events") + " past the " +
                            std::to_string(NST_IMPORT_MAX_MEASURES) + "-measure cut");
    if (rkoReport.m_dwNotesNotHeld > 0)
        astrParts.push_back(Counted(rkoReport.m_dwNotesNotHeld, "note", "notes") + " beyond the 64 held at once");
    if (rkoReport.m_byParamsKept != 0)
        astrParts.push_back("the tick-0 parameters of " + CQdBankDoc::TrackNameList(rkoReport.m_byParamsKept) +
                            " (the element keeps its own)");
    if (rkoReport.TimeSigDiffers())
        astrParts.push_back("the time signature " +
                            QdTimeSigText(rkoReport.m_byFileNumerator, rkoReport.m_byFileDenomExp) +
                            " (the element keeps " + QdTimeSigText(rkoReport.m_byNumerator, rkoReport.m_byDenomExp) +
                            ")");
    if (rkoReport.m_bNoEvents)
        astrParts.push_back("the chord variation itself (without events the bank does not keep it)");
    if (rkoReport.m_eOutcome == QD_IMPORT_PARTIAL)
        astrParts.push_back("whatever the damage cut off (" + rkoReport.m_strCause + ")");
    return astrParts;
}

} // namespace

bool CQdImportReport::TimeSigDiffers() const
{
    return m_bFileTimeSig && (m_byFileNumerator != m_byNumerator || m_byFileDenomExp != m_byDenomExp);
}

bool CQdImportReport::HasLosses() const
{
    return IsImported() && (m_byTracksKept != 0 || !LeftOut(*this).empty());
}

std::string QdImportReportLine(const CQdImportReport& rkoReport)
{
    const char* pszName = CQdBankDoc::StandardName(rkoReport.m_iChordVar);
    std::string strLine = pszName ? pszName : "?";
    if (rkoReport.m_byTracks != NST_ALL_TRACKS_MASK)
        strLine += " (" + CQdBankDoc::TrackNameList(rkoReport.m_byTracks) + ")";
    strLine += ", " + Counted(DWORD(rkoReport.m_iMeasures), "measure", "measures") + ", notes: ";
    std::vector<std::string> astrNotes;
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        if (rkoReport.m_adwNotes[byTrack] > 0)
            astrNotes.push_back(std::string(CQdBankDoc::TrackName(byTrack)) + " " +
                                std::to_string(rkoReport.m_adwNotes[byTrack]));
    strLine += astrNotes.empty() ? std::string("none") : Joined(astrNotes, ", ");
    const std::vector<std::string> astrLeftOut = LeftOut(rkoReport);
    if (!astrLeftOut.empty())
        strLine += "; left out: " + Joined(astrLeftOut, ", ");
    if (rkoReport.m_byTracksKept != 0)
    {
        const BYTE byKept = rkoReport.m_byTracksKept;
        strLine += "; kept: " + CQdBankDoc::TrackNameList(byKept) + ((byKept & (byKept - 1)) == 0 ? " (nothing for it" : " (nothing for them") +
                   " in the file)";
    }
    return strLine;
}

std::string QdTimeSigText(BYTE byNumerator, BYTE byDenomExp)
{
    const unsigned long ulDenominator = byDenomExp < 32 ? 1ul << byDenomExp : 0;
    return std::to_string(byNumerator) + "/" + std::to_string(ulDenominator);
}

std::string QdImportTempoText(const CQdImportReport& rkoReport)
{
    if (rkoReport.m_iFileTempo <= 0)
        return std::string();
    return "the file's tempo is " + std::to_string(rkoReport.m_iFileTempo) + "; exports of the open style use " +
           std::to_string(rkoReport.m_iTempo) + " (a bank holds no tempo)";
}
