// QdCmdEdit.cpp -- the commands that change a style or save the bank:
// import, import-cv, delete-cv, rename and save. Each writes the changed
// style back and saves the whole bank to OUT; with --dry-run everything
// runs and reports, and nothing is written.
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "BankDoc/QdCharset.h"
#include "BankDoc/QdDocText.h"
#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <cctype>

namespace {

// Finish -- the save that ends a command that changed the style, unless it
// is a dry run.
int Finish(CQdCliSession& roSession, const std::string& rkstrOut, bool bDryRun)
{
    if (bDryRun)
        return QD_EXIT_OK;
    return roSession.SaveTo(rkstrOut) ? QD_EXIT_OK : QD_EXIT_REFUSED;
}

// ChannelNumber -- 1-16 from its digits, else 0.
int ChannelNumber(const std::string& rkstr)
{
    if (rkstr.empty() || rkstr.size() > 2 ||
        !std::all_of(rkstr.begin(), rkstr.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return 0;
    const int iChannel = std::stoi(rkstr);
    return iChannel >= 1 && iChannel <= 16 ? iChannel : 0;
}

// TrackOfMapValue -- the track a TRACK of --map names: its short name, or
// the 1-based channel that carries it; -1 for anything else.
int TrackOfMapValue(const std::string& rkstrTrack)
{
    const int iNamed = CQdBankDoc::FindTrackShortName(rkstrTrack);
    if (iNamed >= 0)
        return iNamed;
    const int iChannel = ChannelNumber(rkstrTrack);
    for (BYTE byTrack = 0; iChannel > 0 && byTrack < NST_NR_TRK; ++byTrack)
        if (NST_TRACK_CHANNELS[byTrack] == iChannel - 1)
            return byTrack;
    return -1;
}

} // namespace

// QdCliImportOptions -- the command line never asks (CQdCliPrompt): what
// would change the music a file holds is refused unless a flag says to go
// on.
CQdImportOptions QdCliImportOptions(const CQdImportFileArgs& rkoArgs, bool bForce)
{
    CQdImportOptions oOptions;
    oOptions.m_eDamaged = rkoArgs.m_bPartial ? QD_DAMAGED_IMPORT : QD_DAMAGED_REFUSE;
    oOptions.m_bLeaveOutChannels = rkoArgs.m_bPartial;
    oOptions.m_eOtherTimeSig = bForce ? QD_TIME_SIG_IMPORT : QD_TIME_SIG_REFUSE;
    oOptions.m_oMap = rkoArgs.m_oMap;
    oOptions.m_byTracks = QdCliTrackMask(rkoArgs.m_astrTracks);
    return oOptions;
}

std::string QdCliBankText(const std::string& rkstrArgument)
{
    std::string strLatin1;
    return QdUtf8ToLatin1(rkstrArgument, strLatin1) ? strLatin1 : rkstrArgument;
}

bool QdCliParseMap(const std::vector<std::string>& rkastrValues, CQdTrackMap& roMap, std::string& rstrError)
{
    roMap = CQdTrackMap();
    for (const std::string& rkstrValue : rkastrValues)
    {
        const std::size_t uEquals = rkstrValue.find('=');
        const int iChannel = uEquals == std::string::npos ? 0 : ChannelNumber(rkstrValue.substr(0, uEquals));
        const int iTrack = uEquals == std::string::npos ? -1 : TrackOfMapValue(rkstrValue.substr(uEquals + 1));
        if (iChannel == 0 || iTrack < 0)
        {
            rstrError = "'" + rkstrValue +
                        "' is no SRC=TRACK: SRC a channel 1-16, TRACK drum, perc, bass, acc1 ... acc5 or 9-16";
            return false;
        }
        BYTE& rbyTrack = roMap.m_abyTrack[std::size_t(iChannel - 1)];
        if (rbyTrack != CQdTrackMap::KEEP)
        {
            rstrError = "channel " + std::to_string(iChannel) + " is mapped twice";
            return false;
        }
        rbyTrack = BYTE(iTrack);
    }
    return true;
}

// QdCmdImport -- the whole-style import by standard names. Refused files
// are told and skipped; OUT is written when at least one file went in (the
// refusals then make the exit status 3), and not at all when none did.
int QdCmdImport(CQdCliConsole& roConsole, const CQdImportArgs& rkoArgs)
{
    CQdCliAnswers oAnswers;
    oAnswers.m_bReplace = rkoArgs.m_bReplace;
    oAnswers.m_bInitialize = rkoArgs.m_bInitialize;
    oAnswers.m_bForce = rkoArgs.m_bForce;
    CQdCliSession oSession(roConsole, oAnswers);
    if (!oSession.Open(rkoArgs.m_strBank) || !oSession.SelectStyle(rkoArgs.m_strStyle))
        return QD_EXIT_REFUSED;
    const int iImported = oSession.Doc().ImportStyleFiles(rkoArgs.m_astrFiles, rkoArgs.m_bReplace,
                                                          QdCliImportOptions(rkoArgs.m_oFiles, rkoArgs.m_bForce),
                                                          QdCliBankText(rkoArgs.m_strName));
    if (iImported == 0)
    {
        roConsole.Message(QdDocText::IMPORT_STYLE,
                          rkoArgs.m_bDryRun ? std::string("No file imported!")
                                            : "No file imported - '" + rkoArgs.m_strOut + "' not written!");
        return QD_EXIT_REFUSED;
    }
    return Finish(oSession, rkoArgs.m_strOut, rkoArgs.m_bDryRun);
}

// QdCmdImportCv -- one file of any name into a present chord variation.
int QdCmdImportCv(CQdCliConsole& roConsole, const CQdImportCvArgs& rkoArgs)
{
    CQdCliSession oSession(roConsole, QdCliForceAnswers(rkoArgs.m_bForce));
    BYTE bySe = 0;
    BYTE byCv = 0;
    if (!oSession.Open(rkoArgs.m_strBank) || !oSession.SelectStyle(rkoArgs.m_strStyle) ||
        !oSession.FindChordVar(rkoArgs.m_strName, bySe, byCv))
        return QD_EXIT_REFUSED;
    if (!oSession.Doc().ImportChordVarFile(bySe, byCv, !rkoArgs.m_bKeep, rkoArgs.m_strFile,
                                           QdCliImportOptions(rkoArgs.m_oFiles, rkoArgs.m_bForce)))
        return QD_EXIT_REFUSED;
    return Finish(oSession, rkoArgs.m_strOut, rkoArgs.m_bDryRun);
}

// QdCmdDeleteCv -- deletes a present chord variation (and its element
// when nothing else is left in it).
int QdCmdDeleteCv(CQdCliConsole& roConsole, const CQdDeleteCvArgs& rkoArgs)
{
    CQdCliSession oSession(roConsole, QdCliForceAnswers(rkoArgs.m_bForce));
    BYTE bySe = 0;
    BYTE byCv = 0;
    if (!oSession.Open(rkoArgs.m_strBank) || !oSession.SelectStyle(rkoArgs.m_strStyle) ||
        !oSession.FindChordVar(rkoArgs.m_strName, bySe, byCv) || !oSession.Doc().DeleteCV(bySe, byCv))
        return QD_EXIT_REFUSED;
    return Finish(oSession, rkoArgs.m_strOut, rkoArgs.m_bDryRun);
}

// QdCmdRename -- the style list's rules: an empty name keeps the old one,
// a longer one is cut to 11 characters.
int QdCmdRename(CQdCliConsole& roConsole, const CQdRenameArgs& rkoArgs)
{
    CQdCliSession oSession(roConsole, QdCliForceAnswers(rkoArgs.m_bForce));
    if (!oSession.Open(rkoArgs.m_strBank) || !oSession.SelectStyle(rkoArgs.m_strStyle))
        return QD_EXIT_REFUSED;
    oSession.Doc().RenameStyle(rkoArgs.m_strNewName);
    return Finish(oSession, rkoArgs.m_strOut, rkoArgs.m_bDryRun);
}

// QdCmdSave -- opens and saves: every style slot compressed afresh, the
// directory and the name table rewritten; --force writes over a read-only OUT.
int QdCmdSave(CQdCliConsole& roConsole, const std::string& rkstrBank, const std::string& rkstrOut, bool bForce)
{
    CQdCliSession oSession(roConsole, QdCliForceAnswers(bForce));
    if (!oSession.Open(rkstrBank))
        return QD_EXIT_REFUSED;
    return oSession.SaveTo(rkstrOut) ? QD_EXIT_OK : QD_EXIT_REFUSED;
}
