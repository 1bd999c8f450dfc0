// QdSmfImport.cpp -- one MIDI file checked, mapped and imported.
#include "BankDoc/QdSmfImport.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdDocText.h"

#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"
#include "NlzdStyle/QdRecords.h"

#include <algorithm>
#include <iterator>

namespace {

// The tracks' channels (NST_TRACK_CHANNELS: 9-16, 0-based 8-15) as bits.
constexpr WORD TRACK_CHANNELS = 0xFF00;
constexpr DWORD MICROSECONDS_PER_MINUTE = 60000000;

// IsPartlyReadable -- damage after which the reader still gives the part
// before it: a cut, a track that is missing, empty or ends early, bytes in a
// track that are no event. What comes before (the header's kinds) leaves
// nothing the reader can take.
bool IsPartlyReadable(ESmfProblem eProblem)
{
    return eProblem >= SMFP_TRUNCATED;
}

// KeepingElement -- the element of the chord variation when it keeps its
// time signature through the import: when a chord variation of it holds
// events, other than the one an initializing import deletes first (the
// edit interface's freshness rule, ImportChordVar). Null when the element
// takes the file's.
const CNstStyleElem* KeepingElement(const CNstStyle& rkoStyle, BYTE bySe, BYTE byCv, bool bInitialize)
{
    const CNstStyleElem* pkoElement = rkoStyle.FindStyleElem(bySe);
    for (BYTE byOther = 0; pkoElement && byOther < NST_NR_CV; ++byOther)
    {
        const CNstChordVar* pkoChordVar = pkoElement->FindChordVar(byOther);
        if (pkoChordVar && !pkoChordVar->IsEmpty() && !(bInitialize && byOther == byCv))
            return pkoElement;
    }
    return nullptr;
}

} // namespace

CQdSmfImport::CQdSmfImport(CQdDocPrompt& roPrompt, CQdFileIo& roFileIo, const CQdImportOptions& rkoOptions,
                           const char* pszCaption)
    : m_roPrompt(roPrompt), m_roFileIo(roFileIo), m_rkoOptions(rkoOptions), m_pszCaption(pszCaption)
{
}

// The reader goes before the file it reads.
CQdSmfImport::~CQdSmfImport()
{
    m_poMidiIn.reset();
}

// CQdSmfImport::Check -- a damaged file is refused for its damage before its
// channels are looked at, since the damage is what is wrong with it; asked
// about only after the channels passed, so that nobody is asked about a file
// that is refused anyway.
bool CQdSmfImport::Check(const std::string& rkstrPath, CQdImportReport& roReport)
{
    m_strPath = rkstrPath;
    roReport.m_strPath = rkstrPath;
    m_roFileIo.ClearLastError();
    if (!m_roFileIo.ReadAll(rkstrPath, CQdBankDoc::MAX_SMF_FILE_SIZE, m_abyFile))
    {
        const int iError = m_roFileIo.GetLastError();
        std::string strCause = CQdFileIo::ErrorText(iError);
        if (iError == CQdFileIo::FILE_ERROR_TOO_LARGE)
            strCause += " (a MIDI file to import holds at most 16 MB)";
        return Refuse(QdDocText::SMF_READ_ERROR, strCause.empty() ? "the file cannot be read" : strCause, roReport);
    }

    SmfScanFile(m_abyFile.data(), DWORD(m_abyFile.size()), m_oInfo);
    const ESmfProblem eProblem = m_oInfo.m_eProblem;
    if (eProblem != SMFP_NONE &&
        (!IsPartlyReadable(eProblem) || m_rkoOptions.m_eDamaged == QD_DAMAGED_REFUSE))
        return Refuse(QdDocText::SMF_READ_ERROR, SmfProblemText(m_oInfo), roReport);
    if (!MapChannels(roReport))
        return false;
    if (eProblem != SMFP_NONE && !TakeDamagedFile(roReport))
        return false;

    m_poMidiIn = std::make_unique<CMidiIn>(m_abyFile.data(), DWORD(m_abyFile.size()));
    if (!m_poMidiIn->Open(m_oMap.m_aabyMap.empty() ? nullptr : &m_oMap) || !m_poMidiIn->GetDecoder())
    {
        m_poMidiIn.reset();
        const std::string strProblem = SmfProblemText(m_oInfo);
        return Refuse(QdDocText::SMF_READ_ERROR, strProblem.empty() ? "the file cannot be read" : strProblem,
                      roReport);
    }
    return true;
}

bool CQdSmfImport::Refuse(const char* pszText, const std::string& rkstrCause, CQdImportReport& roReport)
{
    m_roPrompt.TellFile(m_pszCaption, pszText, m_strPath, rkstrCause);
    return Decline(rkstrCause, roReport);
}

bool CQdSmfImport::Decline(const std::string& rkstrCause, CQdImportReport& roReport)
{
    roReport.m_eOutcome = QD_IMPORT_REFUSED;
    roReport.m_strCause = rkstrCause;
    return false;
}

// CQdSmfImport::AskToImport -- the form of a file's messages with the
// question after them, and the buttons "Import" and "Cancel".
bool CQdSmfImport::AskToImport(const char* pszText, const std::string& rkstrCause, const char* pszQuestion)
{
    return m_roPrompt.Ask({m_pszCaption, std::string(pszText) + "\n" + m_strPath + ": " + rkstrCause + "\n" +
                                             pszQuestion,
                           "Import", "", "Cancel"}) == QD_ANSWER_YES;
}

// CQdSmfImport::TakeDamagedFile -- a damaged file the reader can take in
// part, with QD_DAMAGED_IMPORT or QD_DAMAGED_ASK (the user says yes). The
// question shows the classic message, the file's damage and the question.
bool CQdSmfImport::TakeDamagedFile(CQdImportReport& roReport)
{
    const std::string strProblem = SmfProblemText(m_oInfo);
    if (m_rkoOptions.m_eDamaged == QD_DAMAGED_ASK &&
        !AskToImport(QdDocText::SMF_READ_ERROR, strProblem, QdDocText::IMPORT_WHAT_COULD_BE_READ))
        return Decline(strProblem, roReport);
    m_bPartial = true;
    return true;
}

// CQdSmfImport::MapChannels -- the tracks' names and the user's map first;
// the prompt is asked only when that leaves notes outside the tracks'
// channels and no map was given. A file is a chord variation when anything
// of it lies on the tracks' channels: a chord variation without notes
// exports as its tracks' setup at tick 0 (program, bank select,
// expression) and whatever else its tracks hold (controllers). Notes that no track takes would change
// the music the file holds; they are left out only on the user's word (the
// options, or a map chosen at the prompt).
bool CQdSmfImport::MapChannels(CQdImportReport& roReport)
{
    BuildMap(m_rkoOptions.m_oMap);
    WORD wNotes = MappedChannels(&CSmfTrackInfo::m_wNoteChannels);
    bool bLeaveOut = m_rkoOptions.m_bLeaveOutChannels;
    if ((wNotes & ~TRACK_CHANNELS) != 0 && m_rkoOptions.m_bAskMap && m_rkoOptions.m_oMap.IsEmpty())
    {
        CQdChannelQuestion oQuestion;
        oQuestion.m_strPath = m_strPath;
        oQuestion.m_wOutside = WORD(wNotes & ~TRACK_CHANNELS);
        oQuestion.m_wInside = WORD(wNotes & TRACK_CHANNELS);
        CQdTrackMap oChosen;
        if (m_roPrompt.ChooseChannelMap(oQuestion, oChosen))
        {
            bLeaveOut = true;
            BuildMap(oChosen);
            wNotes = MappedChannels(&CSmfTrackInfo::m_wNoteChannels);
        }
    }
    const WORD wEvents = MappedChannels(&CSmfTrackInfo::m_wEventChannels);
    // A damaged file counts with what comes before its damage.
    const std::string strBeforeDamage =
        m_oInfo.m_eProblem == SMFP_NONE ? "" : " before its damage (" + SmfProblemText(m_oInfo) + ")";
    const std::string strTracks = strBeforeDamage + "; the tracks take channels 9-16";
    const WORD wOutside = WORD(wNotes & ~TRACK_CHANNELS);
    if (wEvents == 0)
        return Refuse(QdDocText::SMF_NO_NOTES, "the file holds no notes and no other events for the tracks" +
                                                   strBeforeDamage, roReport);
    if ((wEvents & TRACK_CHANNELS) == 0)
        return Refuse(QdDocText::SMF_NO_TRACK_NOTES,
                      (wNotes != 0 ? "notes only on " + QdChannelsText(wNotes)
                                   : "events only on " + QdChannelsText(wEvents)) +
                          strTracks,
                      roReport);
    if (wOutside != 0 && !bLeaveOut)
        return Refuse(QdDocText::SMF_NOTES_WITHOUT_TRACK,
                      "notes on " + QdChannelsText(wOutside) + " that no track takes" + strTracks, roReport);
    return true;
}

// CQdSmfImport::BuildMap -- a format-1 track named like a style track goes
// there whole, from the channels outside the tracks' own; every other
// channel as rkoMap says. Channels that stay where they are get no entry,
// so a file that needs no change keeps an empty map and is read as it
// always was.
void CQdSmfImport::BuildMap(const CQdTrackMap& rkoMap)
{
    m_oMap = CSmfChannelMap();
    const bool bByName = m_oInfo.m_wFormat == 1;
    for (std::size_t uTrack = 0; uTrack < m_oInfo.m_aoTracks.size(); ++uTrack)
    {
        const int iNamed = bByName ? QdTrackOfName(m_oInfo.m_aoTracks[uTrack].m_strName) : -1;
        for (BYTE byChannel = 0; byChannel < CQdTrackMap::CHANNELS; ++byChannel)
        {
            const bool bTrackChannel = (TRACK_CHANNELS & (1u << byChannel)) != 0;
            const BYTE byTrack = iNamed >= 0 && !bTrackChannel ? BYTE(iNamed) : rkoMap.m_abyTrack[byChannel];
            if (byTrack < NST_NR_TRK && NST_TRACK_CHANNELS[byTrack] != byChannel)
                m_oMap.Set(WORD(uTrack), byChannel, NST_TRACK_CHANNELS[byTrack]);
        }
    }
}

// CQdSmfImport::MappedChannels -- the channels of the tracks' bits
// (notes, or events of any kind) where the map moves them.
WORD CQdSmfImport::MappedChannels(WORD CSmfTrackInfo::*pwChannels) const
{
    WORD wChannels = 0;
    for (std::size_t uTrack = 0; uTrack < m_oInfo.m_aoTracks.size(); ++uTrack)
        for (BYTE byChannel = 0; byChannel < CQdTrackMap::CHANNELS; ++byChannel)
        {
            if (!(m_oInfo.m_aoTracks[uTrack].*pwChannels & (1u << byChannel)))
                continue;
            const BYTE byTo = m_oMap.Get(WORD(uTrack), byChannel);
            if (byTo < CQdTrackMap::CHANNELS)
                wChannels = WORD(wChannels | 1u << byTo);
        }
    return wChannels;
}

// CQdSmfImport::CheckTracks -- the events as the map moved them, by the
// rule of the whole chord variation's file: a file is one of the tracks when
// anything of it lies on their channels (a track without notes exports as
// its setup at tick 0), and one that holds nothing for them would change
// nothing but could look imported, so it is refused.
bool CQdSmfImport::CheckTracks(BYTE byTracks, CQdImportReport& roReport)
{
    if (byTracks == NST_ALL_TRACKS_MASK)
        return true;
    const WORD wEvents = MappedChannels(&CSmfTrackInfo::m_wEventChannels);
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        if (NstHasTrack(byTracks, byTrack) && (wEvents >> NST_TRACK_CHANNELS[byTrack] & 1u))
            return true;
    return Refuse(QdDocText::SMF_NOTHING_FOR_TRACKS,
                  "the file holds no notes and no other events for " + CQdBankDoc::TrackNameList(byTracks) +
                      " (its events are on " + QdChannelsText(wEvents) + ")",
                  roReport);
}

// CQdSmfImport::CheckTarget -- the file's time signature at tick 0 against
// the element's. Either way the chord variation would change its music: in
// the element's bars a 3/4 pattern repeats with a silent beat in 4/4, and
// a 4/4 one loses a beat per bar in 3/4 (copies refuse the same). Only an
// initializing import of the whole chord variation deletes it first; one
// of some tracks keeps the chord variation's other tracks, which keep the
// element's time signature as they keep their own bars.
bool CQdSmfImport::CheckTarget(const CNstEditIfc& rkoTarget, BYTE bySe, BYTE byCv, bool bInitialize, BYTE byTracks,
                               CQdImportReport& roReport)
{
    // A time signature the bank cannot hold says nothing usable: the import
    // reads such a file in the element's, as one that states none.
    const CNstTimeSig oFile{m_oInfo.m_abyTimeSig[0], m_oInfo.m_abyTimeSig[1]};
    if (!m_oInfo.m_bHasTimeSig || oFile.m_byNumerator == 0 || !QdSignatureFits(oFile) ||
        m_rkoOptions.m_eOtherTimeSig == QD_TIME_SIG_IMPORT)
        return true;
    const bool bDeletedFirst = bInitialize && byTracks == NST_ALL_TRACKS_MASK;
    const CNstStyleElem* pkoElement = KeepingElement(rkoTarget.GetStyle(), bySe, byCv, bDeletedFirst);
    if (!pkoElement || pkoElement->GetTimeSig() == oFile)
        return true;
    const CNstTimeSig& rkoKept = pkoElement->GetTimeSig();
    const std::string strCause = "time signatures differ: the file is " +
                                 QdTimeSigText(oFile.m_byNumerator, oFile.m_byDenomExp) + ", " +
                                 CQdBankDoc::ElementName(bySe) + " is " +
                                 QdTimeSigText(rkoKept.m_byNumerator, rkoKept.m_byDenomExp);
    if (m_rkoOptions.m_eOtherTimeSig == QD_TIME_SIG_REFUSE)
        return Refuse(QdDocText::SMF_OTHER_TIME_SIG, strCause, roReport);
    return AskToImport(QdDocText::SMF_OTHER_TIME_SIG, strCause, QdDocText::IMPORT_IN_ELEMENT_TIME_SIG) ||
           Decline(strCause, roReport);
}

// CQdSmfImport::Import -- what the edit interface's ImportFromSmf does, on
// the reader opened with the map, and counted.
void CQdSmfImport::Import(CNstEditIfc& roTarget, BYTE bySe, BYTE byCv, bool bInitialize, BYTE byTracks,
                          CQdImportReport& roReport)
{
    const bool bWhole = byTracks == NST_ALL_TRACKS_MASK;
    if (bInitialize && bWhole)
        roTarget.DeleteChordVar(bySe, byCv);
    CNstImportStats oStats;
    CNstImportOptions oOptions;
    oOptions.m_bWithMeta = bWhole;
    oOptions.m_byTracks = byTracks;
    oOptions.m_bTakeParams = bInitialize && !bWhole;
    oOptions.m_poStats = &oStats;
    const SDWORD sdwTempo = roTarget.ImportChordVar(*m_poMidiIn->GetDecoder(), bySe, byCv, oOptions);
    if (sdwTempo > 0)
        roTarget.SetTempo(sdwTempo);

    roReport.m_eOutcome = m_bPartial ? QD_IMPORT_PARTIAL : QD_IMPORT_DONE;
    roReport.m_strCause = m_bPartial ? SmfProblemText(m_oInfo) : std::string();
    roReport.m_iChordVar = CQdBankDoc::StandardNameIndex(bySe, byCv);
    roReport.m_byTracks = byTracks;
    roReport.m_byTracksKept = oStats.m_byTracksKept;
    roReport.m_iMeasures = oStats.m_byMeasures;
    std::copy(std::begin(oStats.m_adwNotes), std::end(oStats.m_adwNotes), roReport.m_adwNotes.begin());
    std::copy(std::begin(oStats.m_adwNoTrack), std::end(oStats.m_adwNoTrack), roReport.m_adwNoTrack.begin());
    roReport.m_dwPastCut = oStats.m_dwPastCut;
    roReport.m_dwNotesNotHeld = oStats.m_dwNotesNotHeld;
    roReport.m_byParamsKept = oStats.m_byParamsKept;
    if (const CNstStyleElem* pkoElement = roTarget.GetStyle().FindStyleElem(bySe))
    {
        roReport.m_byNumerator = pkoElement->GetTimeSig().m_byNumerator;
        roReport.m_byDenomExp = pkoElement->GetTimeSig().m_byDenomExp;
    }
    roReport.m_bFileTimeSig = m_oInfo.m_bHasTimeSig;
    roReport.m_byFileNumerator = m_oInfo.m_abyTimeSig[0];
    roReport.m_byFileDenomExp = m_oInfo.m_abyTimeSig[1];
    roReport.m_iFileTempo = m_oInfo.m_bHasTempo && m_oInfo.m_dwTempo > 0
                                ? int(MICROSECONDS_PER_MINUTE / m_oInfo.m_dwTempo)
                                : 0;
    roReport.m_iTempo = roTarget.GetTempo();
}
