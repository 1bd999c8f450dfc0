// QdCmdEdit.cpp -- the commands that change a style or save the bank:
// import, import-cv, delete-cv, rename and save. Each writes the changed
// style back and saves the whole bank to OUT.
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "BankDoc/QdDocText.h"

// QdCmdImport -- the whole-style import by standard names. Refused files
// are told and skipped; OUT is written when at least one file went in, and
// any refusal still ends with QD_EXIT_REFUSED.
int QdCmdImport(CQdCliConsole& roConsole, const CQdImportArgs& rkoArgs)
{
    CQdCliAnswers oAnswers;
    oAnswers.m_bReplace = rkoArgs.m_bReplace;
    oAnswers.m_bInitialize = rkoArgs.m_bInitialize;
    oAnswers.m_bForce = rkoArgs.m_bForce;
    CQdCliSession oSession(roConsole, oAnswers);
    if (!oSession.Open(rkoArgs.m_strBank) || !oSession.SelectStyle(rkoArgs.m_strStyle))
        return QD_EXIT_REFUSED;
    const int iImported = oSession.Doc().ImportStyleFiles(rkoArgs.m_astrFiles, rkoArgs.m_bReplace);
    if (iImported == 0)
    {
        roConsole.Message(QdDocText::IMPORT_STYLE, "No file imported - '" + rkoArgs.m_strOut + "' not written!");
        return QD_EXIT_REFUSED;
    }
    if (!oSession.SaveTo(rkoArgs.m_strOut))
        return QD_EXIT_REFUSED;
    return iImported == int(rkoArgs.m_astrFiles.size()) ? QD_EXIT_OK : QD_EXIT_REFUSED;
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
    if (!oSession.Doc().ImportChordVarFile(bySe, byCv, !rkoArgs.m_bKeep, rkoArgs.m_strFile))
        return QD_EXIT_REFUSED;
    return oSession.SaveTo(rkoArgs.m_strOut) ? QD_EXIT_OK : QD_EXIT_REFUSED;
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
    return oSession.SaveTo(rkoArgs.m_strOut) ? QD_EXIT_OK : QD_EXIT_REFUSED;
}

// QdCmdRename -- the style list's rules: an empty name keeps the old one,
// a longer one is cut to 11 characters.
int QdCmdRename(CQdCliConsole& roConsole, const CQdRenameArgs& rkoArgs)
{
    CQdCliSession oSession(roConsole, QdCliForceAnswers(rkoArgs.m_bForce));
    if (!oSession.Open(rkoArgs.m_strBank) || !oSession.SelectStyle(rkoArgs.m_strStyle))
        return QD_EXIT_REFUSED;
    oSession.Doc().RenameStyle(rkoArgs.m_strNewName);
    return oSession.SaveTo(rkoArgs.m_strOut) ? QD_EXIT_OK : QD_EXIT_REFUSED;
}

// QdCmdSave -- opens and saves: every style slot compressed afresh, the
// directory and the name table rewritten.
int QdCmdSave(CQdCliConsole& roConsole, const std::string& rkstrBank, const std::string& rkstrOut)
{
    CQdCliSession oSession(roConsole);
    if (!oSession.Open(rkstrBank))
        return QD_EXIT_REFUSED;
    return oSession.SaveTo(rkstrOut) ? QD_EXIT_OK : QD_EXIT_REFUSED;
}
