// QdImportCommands.cpp -- the imports of MIDI files into the open style: the
// whole style from files named by standard names, and one chord variation
// from a file of any name.
//
// Every file goes through CQdSmfImport (QdSmfImport.h): read, scanned and
// mapped before the style is touched, so a file that is refused (unreadable,
// damaged, nothing for the tracks, notes without a track, a time signature
// other than the element's) changes nothing; the others go in. Each
// command ends by giving the prompt one report per file
// (CQdDocPrompt::ShowImportReports). The desktop's commands (ImportAllSmf,
// ImportSingleSmf) ask about damaged files and channel maps through the
// prompt; the work on given paths (ImportStyleFiles, ImportChordVarFile)
// does what its options say.
//
// Running out of memory (QdCommandGuard.h): the files are read and checked
// aside, and the style is edited with a copy of it taken before
// (CStyleBackup), so a command that fails for memory leaves it as it was.
// The reports are shown before the changed style is kept: a report that
// finds no memory fails the command as a whole.
#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdSmfImport.h"

#include "NlzdStyle/NstEditIfc.h"

namespace {

// HoldsEvents -- the chord variation holds events on one of the tracks
// (bits); on any track for all eight.
bool HoldsEvents(const CNstEditIfc& rkoStyle, BYTE bySe, BYTE byCv, BYTE byTracks)
{
    if (byTracks == NST_ALL_TRACKS_MASK)
        return rkoStyle.GetChordVarState(bySe, byCv) == NST_STATE_EVENTS;
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        if ((byTracks >> byTrack & 1u) && rkoStyle.GetPatternState(bySe, byCv, byTrack) == NST_STATE_EVENTS)
            return true;
    return false;
}

// AskingOptions -- what the desktop's commands import with: a damaged file,
// a file with notes outside the tracks' channels and one whose time
// signature differs from the element's are asked about.
CQdImportOptions AskingOptions()
{
    CQdImportOptions oOptions;
    oOptions.m_eDamaged = QD_DAMAGED_ASK;
    oOptions.m_eOtherTimeSig = QD_TIME_SIG_ASK;
    oOptions.m_bAskMap = true;
    return oOptions;
}

} // namespace

// CQdBankDoc::ImportAllSmf -- Import Style from SMFs with Standard Names:
// Replace or Merge, then the files to import.
bool CQdBankDoc::ImportAllSmf() { return ImportAllSmfFiles({}); }

bool CQdBankDoc::ImportAllSmfFiles(const std::vector<std::string>& rkastrPaths)
{
    return QdGuardCommand(m_roPrompt, QdDocText::IMPORT_STYLE, false, [&] {
        m_roPrompt.StopPlayback();
        if (!IsBankOpen() || !m_poEditIfc || m_iSelectedStyle < 0)
            return false;
        const int iAnswer =
            m_roPrompt.Ask({QdDocText::IMPORT_STYLE, QdDocText::REPLACE_OR_MERGE, "Replace", "Merge", "Cancel"});
        if (iAnswer == QD_ANSWER_CANCEL)
            return false;
        std::vector<std::string> astrPaths = rkastrPaths;
        if (astrPaths.empty() && !m_roPrompt.ChooseOpenFiles(QdDocText::MidiFileRequest("Open Standard Midi Files", m_strSmfDir, nullptr),
                                        astrPaths))
            return false;
        ImportStyleFiles(astrPaths, iAnswer == QD_ANSWER_YES, AskingOptions());
        return true;
    });
}

// CQdBankDoc::ImportStyleFiles -- each file goes to the chord variation its
// standard name gives (to the track its name gives after it, QdTracksOfFile);
// a chord variation that already holds data there is asked about
// (Initialize, Keep or Skip CV). With bReplace the files go into a new empty
// style named "New Style" (or rkstrNewName), which takes the open style's
// place once a file has been imported; when none was, the open style stays
// as it was.
int CQdBankDoc::ImportStyleFiles(const std::vector<std::string>& rkastrPaths, bool bReplace,
                                 const CQdImportOptions& rkoOptions, const std::string& rkstrNewName)
{
    return QdGuardCommand(m_roPrompt, QdDocText::IMPORT_STYLE, 0, [&] {
        if (!IsBankOpen() || !m_poEditIfc || m_iSelectedStyle < 0)
            return 0;
        const CQdWaitScope oWait(m_roPrompt);
        if (!rkastrPaths.empty())
            m_strSmfDir = QdDocText::DirectoryOf(rkastrPaths.front());
        std::vector<CQdImportReport> aoReports(rkastrPaths.size());
        CStyleBackup oBackup(*this);
        const int iImported = ImportStyleFilesInto(rkastrPaths, bReplace, rkoOptions, aoReports, true, rkstrNewName);
        oBackup.Keep();
        return iImported;
    });
}

// CQdBankDoc::ImportStyleFilesInto -- the work of ImportStyleFiles; the
// open style is edited in place when merging. A file is checked before the
// question about its chord variation, so that nobody is asked about a file
// that is refused; its time signature after it, since Initialize may leave
// the element without events, which then takes the file's. Each file is
// checked against the style as the files before it left it (in a replaced
// style the first file of an element sets its time signature). A file of
// some tracks is a duplicate only where those tracks hold data: the files
// of the tracks of one chord variation (as exported one by one) all go in
// without a question.
int CQdBankDoc::ImportStyleFilesInto(const std::vector<std::string>& rkastrPaths, bool bReplace,
                                     const CQdImportOptions& rkoOptions, std::vector<CQdImportReport>& raoReports,
                                     bool bOwnCommand, const std::string& rkstrNewName)
{
    std::unique_ptr<CNstEditIfc> poNewStyle;
    const std::string strNewName = ListNameOf(rkstrNewName, QdDocText::NEW_STYLE);
    if (bReplace)
    {
        poNewStyle = std::make_unique<CNstEditIfc>(nullptr, 0);
        poNewStyle->SetName(strNewName.c_str());
    }
    CNstEditIfc& roTarget = bReplace ? *poNewStyle : *m_poEditIfc;

    int iImported = 0;
    const int iTotal = int(rkastrPaths.size());
    for (int i = 0; i < iTotal; ++i)
    {
        const std::string& rkstrPath = rkastrPaths[std::size_t(i)];
        CQdImportReport& roReport = raoReports[std::size_t(i)];
        roReport.m_strPath = rkstrPath;
        const std::string strName = QdDocText::LowerCase(QdDocText::FileNameOf(rkstrPath));
        if (bOwnCommand)
            m_roPrompt.Progress(i, iTotal, strName);
        BYTE bySe = 0;
        BYTE byCv = 0;
        roReport.m_iChordVar = FindStandardName(strName);
        if (!StandardNameElement(roReport.m_iChordVar, bySe, byCv))
        {
            roReport.m_strCause = QdDocText::NO_STANDARD_NAME_CAUSE;
            m_roPrompt.TellFile(QdDocText::IMPORT_STYLE, "'" + strName + "'  is not a valid standard name!",
                                rkstrPath, roReport.m_strCause);
            continue;
        }
        const BYTE byTracks = QdTracksOfFile(rkoOptions, rkstrPath);
        CQdSmfImport oImport(m_roPrompt, m_roFileIo, rkoOptions, QdDocText::IMPORT_STYLE);
        if (!oImport.Check(rkstrPath, roReport) || !oImport.CheckTracks(byTracks, roReport))
            continue;
        bool bInitialize = false;
        if (HoldsEvents(roTarget, bySe, byCv, byTracks))
        {
            const int iAnswer = m_roPrompt.Ask(
                {QdDocText::IMPORT_STYLE,
                 "Warning! '" + strName + "' is a duplicate - Initialize/Keep Track Parameters?", "Initialize", "Keep",
                 "Skip CV"});
            if (iAnswer == QD_ANSWER_CANCEL)
            {
                roReport.m_eOutcome = QD_IMPORT_SKIPPED;
                continue;
            }
            bInitialize = iAnswer == QD_ANSWER_YES;
        }
        if (!oImport.CheckTarget(roTarget, bySe, byCv, bInitialize, byTracks, roReport))
            continue;
        oImport.Import(roTarget, bySe, byCv, bInitialize, byTracks, roReport);
        roReport.m_bNoEvents = roTarget.GetChordVarState(bySe, byCv) != NST_STATE_EVENTS;
        ++iImported;
    }
    if (bOwnCommand)
    {
        m_roPrompt.Progress(iTotal, iTotal, std::string());
        m_roPrompt.ShowImportReports(raoReports);
    }

    // Nothing imported: the style stays as it was, and unmodified.
    if (iImported == 0)
        return 0;
    EnsureFirstElement(bReplace ? *poNewStyle : *m_poEditIfc, QdDocText::IMPORT_STYLE);
    std::string strListName = bReplace ? strNewName : "";
    // From here on nothing can fail.
    if (bReplace)
    {
        // The new style holds nothing of a damaged one: writing it back
        // loses nothing that was read, so it is not asked about.
        m_poEditIfc = std::move(poNewStyle);
        m_astrStyleNames[std::size_t(m_iSelectedStyle)].swap(strListName);
        m_bOpenStyleDamaged = false;
    }
    m_bStyleModified = true;
    return iImported;
}

// CQdBankDoc::ImportSingleSmf -- Import Chord Variation from SMF: Initialize
// or Keep, then the file (any name).
bool CQdBankDoc::ImportSingleSmf(BYTE bySe, BYTE byCv) { return ImportSingleSmfFile(bySe, byCv, std::string()); }

// CQdBankDoc::ImportSingleSmfFile -- byTrack 0-7 (a file dropped on a track
// node): that track only, whatever the file's name; Initialize then gives
// the track the file's tick-0 parameters, Keep leaves the element's.
bool CQdBankDoc::ImportSingleSmfFile(BYTE bySe, BYTE byCv, const std::string& rkstrPath, BYTE byTrack)
{
    return QdGuardCommand(m_roPrompt, QdDocText::IMPORT_CV, false, [&] {
        m_roPrompt.StopPlayback();
        if (!IsChordVarNode(bySe, byCv))
            return false;
        const int iAnswer =
            m_roPrompt.Ask({QdDocText::IMPORT_CV, QdDocText::INITIALIZE_OR_KEEP, "Initialize", "Keep", "Cancel"});
        if (iAnswer == QD_ANSWER_CANCEL)
            return false;
        std::string strPath = rkstrPath;
        if (strPath.empty() && !m_roPrompt.ChooseOpenFile(QdDocText::MidiFileRequest("Open Standard Midi File", m_strSmfDir,
                                                                  StandardName(StandardNameIndex(bySe, byCv))),
                                       strPath))
            return false;
        CQdImportOptions oOptions = AskingOptions();
        if (byTrack < NST_NR_TRK)
            oOptions.m_byTracks = BYTE(1u << byTrack);
        return ImportChordVarFile(bySe, byCv, iAnswer != QD_ANSWER_NO, strPath, oOptions);
    });
}

// CQdBankDoc::ImportChordVarFile -- imports the file into the chord
// variation, or into the tracks QdTracksOfFile gives; a refused file leaves
// the style as it was, unmodified.
bool CQdBankDoc::ImportChordVarFile(BYTE bySe, BYTE byCv, bool bInitialize, const std::string& rkstrPath,
                                    const CQdImportOptions& rkoOptions)
{
    return QdGuardCommand(m_roPrompt, QdDocText::IMPORT_CV, false, [&] {
        if (!IsChordVarNode(bySe, byCv))
            return false;
        const CQdWaitScope oWait(m_roPrompt);
        m_strSmfDir = QdDocText::DirectoryOf(rkstrPath);
        std::vector<CQdImportReport> aoReports(1);
        CQdImportReport& roReport = aoReports.front();
        roReport.m_iChordVar = StandardNameIndex(bySe, byCv);
        const BYTE byTracks = QdTracksOfFile(rkoOptions, rkstrPath);
        CQdSmfImport oImport(m_roPrompt, m_roFileIo, rkoOptions, QdDocText::IMPORT_CV);
        if (!oImport.Check(rkstrPath, roReport) || !oImport.CheckTracks(byTracks, roReport) ||
            !oImport.CheckTarget(*m_poEditIfc, bySe, byCv, bInitialize, byTracks, roReport))
        {
            m_roPrompt.ShowImportReports(aoReports);
            return false;
        }
        CStyleBackup oBackup(*this);
        oImport.Import(*m_poEditIfc, bySe, byCv, bInitialize, byTracks, roReport);
        roReport.m_bNoEvents = m_poEditIfc->GetChordVarState(bySe, byCv) != NST_STATE_EVENTS;
        m_roPrompt.ShowImportReports(aoReports);
        oBackup.Keep();
        m_bStyleModified = true;
        return true;
    });
}
