// QdCmdCheck.cpp -- check: every style of the bank loaded and every chord
// variation converted, counting what was reported on the way.
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "NlzdStyle/NstEditIfc.h"

#include <cstdio>

namespace {

// ExportAll -- every present chord variation to a MIDI file in memory; the
// number of chord variations, or -1 when one did not convert (told).
int ExportAll(CQdCliSession& roSession)
{
    CNstEditIfc& roEditIfc = *roSession.Doc().GetEditIfc();
    int iCount = 0;
    for (int i = 0; i < CQdBankDoc::NR_STANDARD_NAMES; ++i)
    {
        BYTE bySe = 0;
        BYTE byCv = 0;
        if (!CQdBankDoc::StandardNameElement(i, bySe, byCv) ||
            roEditIfc.GetChordVarState(bySe, byCv) == NST_STATE_ABSENT)
            continue;
        DWORD dwSize = 0;
        if (!roEditIfc.ExportToSmf(bySe, byCv, NST_ALL_TRACKS, dwSize) || dwSize == 0)
        {
            roSession.Console().Message("", std::string("Chord Variation '") + CQdBankDoc::StandardName(i) +
                                                "' of Style '" + roSession.StyleName() + "' does not convert!");
            return -1;
        }
        ++iCount;
    }
    return iCount;
}

} // namespace

// QdCmdCheck -- one line per style on stdout ("<n>\t<name>\t<k> chord
// variations"), one line per damaged style ("style <n> '<name>':
// <reports>"), then the verdict. The check is done whatever it finds: a
// bank that opens but reports anything on the way ends with
// QD_EXIT_WARNINGS, one that does not open with QD_EXIT_REFUSED.
int QdCmdCheck(CQdCliConsole& roConsole, const std::string& rkstrBank)
{
    CQdCliSession oSession(roConsole);
    if (!oSession.Open(rkstrBank))
        return QD_EXIT_REFUSED;
    const int iStyles = oSession.Doc().GetStyleCount();
    for (int i = 0; i < iStyles; ++i)
    {
        const std::string strPosition = std::to_string(i + 1);
        if (!oSession.SelectStyle(strPosition))
            continue;
        const int iChordVars = ExportAll(oSession);
        if (iChordVars >= 0)
            std::printf("%d\t%s\t%d chord variations\n", i + 1, oSession.StyleName().c_str(), iChordVars);
    }
    // Every style was loaded above, so the document knows each one's damage.
    const CQdBankDoc& rkoDoc = oSession.Doc();
    int iDamaged = 0;
    for (int i = 0; i < iStyles; ++i)
    {
        if (!rkoDoc.IsStyleDamaged(i))
            continue;
        ++iDamaged;
        std::printf("style %d '%s': %s\n", i + 1, rkoDoc.GetStyleNames()[std::size_t(i)].c_str(),
                    rkoDoc.GetStyleDamageText(i).c_str());
    }
    const int iProblems = roConsole.GetReportCount() + roConsole.GetMessageCount();
    if (iProblems == 0 && iDamaged == 0)
    {
        std::printf("%d styles checked, no problems\n", iStyles);
        return QD_EXIT_OK;
    }
    std::printf("%d styles checked, %d damaged, %d problems reported\n", iStyles, iDamaged, iProblems);
    return QD_EXIT_WARNINGS;
}
