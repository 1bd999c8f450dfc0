// QdCmdExport.cpp -- export: chord variations of a style to MIDI files (or
// one to stdout); export-bank: every style's into a folder of its own, with
// bank.json, the bank's facts, beside them.
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "BankDoc/QdCharset.h"
#include "BankDoc/QdDocText.h"
#include "NlzdStyle/NstEditIfc.h"
#include "QdJson.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

// One file to write: the chord variation and its standard name.
struct CQdExportItem
{
    BYTE m_bySe;
    BYTE m_byCv;
    std::string m_strName;
};

// ChosenChordVars -- the named chord variations (each once, in the order
// given), or every present one in standard-name order. False when a name is
// refused.
bool ChosenChordVars(CQdCliSession& roSession, const std::vector<std::string>& rkastrNames,
                     std::vector<CQdExportItem>& raoItems)
{
    if (rkastrNames.empty())
    {
        const CNstEditIfc& rkoEditIfc = *roSession.Doc().GetEditIfc();
        for (int i = 0; i < CQdBankDoc::NR_STANDARD_NAMES; ++i)
        {
            BYTE bySe = 0;
            BYTE byCv = 0;
            if (CQdBankDoc::StandardNameElement(i, bySe, byCv) &&
                rkoEditIfc.GetChordVarState(bySe, byCv) != NST_STATE_ABSENT)
                raoItems.push_back({bySe, byCv, CQdBankDoc::StandardName(i)});
        }
        return true;
    }
    for (const std::string& rkstrName : rkastrNames)
    {
        CQdExportItem oItem{0, 0, QdDocText::LowerCase(rkstrName)};
        if (!roSession.FindChordVar(rkstrName, oItem.m_bySe, oItem.m_byCv))
            return false;
        const bool bTwice = std::any_of(raoItems.begin(), raoItems.end(), [&oItem](const CQdExportItem& rkoItem) {
            return rkoItem.m_strName == oItem.m_strName;
        });
        if (!bTwice)
            raoItems.push_back(oItem);
    }
    return true;
}

} // namespace

const std::vector<std::string>& QdCliTrackNames()
{
    static const std::vector<std::string> s_astrNames = [] {
        std::vector<std::string> astrNames;
        for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            astrNames.emplace_back(CQdBankDoc::TrackShortName(byTrack));
        return astrNames;
    }();
    return s_astrNames;
}

int QdCliTrackNumber(const std::string& rkstrTrack)
{
    if (rkstrTrack.empty())
        return NST_ALL_TRACKS;
    if (rkstrTrack.size() == 1 && rkstrTrack[0] >= '0' && rkstrTrack[0] < char('0' + NST_NR_TRK))
        return rkstrTrack[0] - '0';
    return CQdBankDoc::FindTrackShortName(rkstrTrack);
}

BYTE QdCliTrackMask(const std::vector<std::string>& rkastrTracks)
{
    BYTE byMask = 0;
    for (const std::string& rkstrTrack : rkastrTracks)
    {
        const int iTrack = QdCliTrackNumber(rkstrTrack);
        if (iTrack >= 0 && iTrack < NST_NR_TRK)
            byMask = BYTE(byMask | 1u << iTrack);
    }
    return byMask;
}

// QdCmdExport -- DIR/<standard name>.mid per chord variation, with --track
// DIR/<standard name>-<track>.mid (CQdBankDoc::StandardFileStem, the names
// the imports read back), written atomically; DIR is created when missing.
// DIR "-" is stdout, for the one chord variation the parser let through.
// The style is not changed.
int QdCmdExport(CQdCliConsole& roConsole, const CQdExportArgs& rkoArgs)
{
    const int iTrack = QdCliTrackNumber(rkoArgs.m_strTrack);
    if (iTrack < 0)
    {
        roConsole.Message("", "'" + rkoArgs.m_strTrack + "' is no track: 0-7, drum, perc, bass, acc1 ... acc5");
        return QD_EXIT_USAGE;
    }
    CQdCliSession oSession(roConsole);
    if (!oSession.Open(rkoArgs.m_strBank) || !oSession.SelectStyle(rkoArgs.m_strStyle))
        return QD_EXIT_REFUSED;
    std::vector<CQdExportItem> aoItems;
    if (!ChosenChordVars(oSession, rkoArgs.m_astrChordVars, aoItems))
        return QD_EXIT_REFUSED;

    const bool bStdout = CQdCliStdio::IsStdio(rkoArgs.m_strDir);
    std::error_code oError;
    if (!bStdout)
        std::filesystem::create_directories(rkoArgs.m_strDir, oError);
    CQdBankDoc& roDoc = oSession.Doc();
    roDoc.GetEditIfc()->SetTempo(std::clamp(rkoArgs.m_iTempo, QD_CLI_MIN_TEMPO, QD_CLI_MAX_TEMPO));
    const int iTotal = int(aoItems.size());
    for (int i = 0; i < iTotal; ++i)
    {
        const CQdExportItem& rkoItem = aoItems[std::size_t(i)];
        const std::string strFile = CQdBankDoc::StandardFileStem(rkoItem.m_bySe, rkoItem.m_byCv, BYTE(iTrack)) + ".mid";
        const std::string strPath =
            bStdout ? rkoArgs.m_strDir : (std::filesystem::path(rkoArgs.m_strDir) / strFile).string();
        if (!bStdout)
            roConsole.Progress(i, iTotal, strFile);
        if (!roDoc.ExportChordVarFile(rkoItem.m_bySe, rkoItem.m_byCv, BYTE(iTrack), strPath))
        {
            // The session's document writes through the default file access,
            // which keeps the cause; without one the conversion gave no file.
            const std::string strCause = CQdFileIo::ErrorText(CQdCliStdio::Instance().GetLastError());
            roConsole.Message("", strPath + ": " +
                                      (strCause.empty() ? "the chord variation could not be converted" : strCause));
            return QD_EXIT_REFUSED;
        }
        if (!bStdout)
            roConsole.Output(strPath, false);
    }
    roConsole.Progress(iTotal, iTotal, std::string());
    return QD_EXIT_OK;
}

// QdCmdExportBank -- the document's export of every style
// (CQdBankDoc::ExportBank), one line per style on stdout (its folder and
// what went in), then DIR/bank.json with the bank's facts and the styles'
// trees, written atomically. A chord variation that did not convert is
// told and makes the exit status 3; a failed write ends the command (2).
int QdCmdExportBank(CQdCliConsole& roConsole, const CQdExportBankArgs& rkoArgs)
{
    CQdCliSession oSession(roConsole);
    CQdBankFacts oBank;
    if (!oSession.Open(rkoArgs.m_strBank) || !oSession.Doc().GetBankFacts(oBank))
        return QD_EXIT_REFUSED;
    std::error_code oError;
    std::filesystem::create_directories(rkoArgs.m_strDir, oError);
    std::vector<CQdExportedStyle> aoStyles;
    if (!oSession.Doc().ExportBank(rkoArgs.m_strDir, aoStyles))
        return QD_EXIT_REFUSED;
    for (const CQdExportedStyle& rkoStyle : aoStyles)
    {
        const CQdStyleFacts& rkoFacts = rkoStyle.m_oFacts;
        const CQdStyleFiles& rkoFiles = rkoStyle.m_oFiles;
        const std::size_t uFiles = rkoFiles.m_astrExported.size();
        std::string strLine = std::to_string(rkoFacts.m_iPosition) + "\t" + QdShownLatin1(rkoFacts.m_strName) + "\t" +
                              std::to_string(uFiles) + (uFiles == 1 ? " chord variation" : " chord variations");
        if (!rkoFiles.m_strFolder.empty())
            strLine += " in " + rkoFiles.m_strFolder;
        for (const std::string& rkstrName : rkoFiles.m_astrNotExported)
            roConsole.Message("", "Chord Variation '" + rkstrName + "' of Style '" + rkoFacts.m_strName +
                                      "' does not convert!");
        if (!rkoFacts.m_bLoaded)
            roConsole.Message("", "Style '" + rkoFacts.m_strName + "' cannot be loaded!");
        roConsole.Output(strLine, false);
    }
    const std::string strJson = QdJsonSerialize(QdJsonBankExport(oBank, aoStyles));
    const std::string strPath = (std::filesystem::path(rkoArgs.m_strDir) / "bank.json").string();
    CQdFileIo& roFileIo = CQdCliStdio::Instance();
    roFileIo.ClearLastError();
    if (!roFileIo.WriteAtomic(strPath, reinterpret_cast<const BYTE*>(strJson.data()), DWORD(strJson.size())))
    {
        const std::string strCause = CQdFileIo::ErrorText(roFileIo.GetLastError());
        roConsole.Message("", strPath + ": " + (strCause.empty() ? "the file cannot be written" : strCause));
        return QD_EXIT_REFUSED;
    }
    roConsole.Output(strPath, false);
    return QD_EXIT_OK;
}
