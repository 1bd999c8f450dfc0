// QdCmdCheck.cpp -- check: every style of the bank loaded and every chord
// variation converted, counting what was reported on the way; the findings
// (BankDoc/QdBankFacts.h: CQdCheckFacts) as text or JSON.
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "BankDoc/QdCharset.h"
#include "BankDoc/QdReportRecorder.h"
#include "NlzdStyle/NstEditIfc.h"
#include "QdJson.h"

#include <algorithm>
#include <string>

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

// CheckText -- one line per style that converted ("<n>\t<name>\t<k> chord
// variations"), one per damaged style ("style <n> '<name>': <reports>"),
// the verdict.
std::string CheckText(const CQdCheckFacts& rkoCheck)
{
    std::string strText;
    for (const CQdCheckedStyle& rkoStyle : rkoCheck.m_aoStyles)
        if (rkoStyle.m_bConverted)
            strText += std::to_string(rkoStyle.m_iPosition) + "\t" + QdShownLatin1(rkoStyle.m_strName) + "\t" +
                       std::to_string(rkoStyle.m_iChordVars) + " chord variations\n";
    for (const CQdCheckedStyle& rkoStyle : rkoCheck.m_aoStyles)
        if (rkoStyle.m_bDamaged)
            strText += "style " + std::to_string(rkoStyle.m_iPosition) + " '" + QdShownLatin1(rkoStyle.m_strName) +
                       "': " + QdShownText(QdReportSummary(rkoStyle.m_astrDamage)) + "\n";
    const std::string strStyles = std::to_string(rkoCheck.m_aoStyles.size()) + " styles checked, ";
    if (rkoCheck.IsClean())
        return strText + strStyles + "no problems\n";
    return strText + strStyles + std::to_string(rkoCheck.m_iDamaged) + " damaged, " +
           std::to_string(rkoCheck.m_iProblems) + " problems reported\n";
}

} // namespace

// QdCmdCheck -- the check is done whatever it finds: a bank that opens but
// reports anything on the way ends with QD_EXIT_WARNINGS, one that does
// not open with QD_EXIT_REFUSED.
int QdCmdCheck(CQdCliConsole& roConsole, const CQdBankArgs& rkoArgs)
{
    CQdCliSession oSession(roConsole);
    if (!oSession.Open(rkoArgs.m_strBank))
        return QD_EXIT_REFUSED;
    CQdCheckFacts oCheck;
    oCheck.m_strFile = rkoArgs.m_strBank;
    const int iStyles = oSession.Doc().GetStyleCount();
    for (int i = 0; i < iStyles; ++i)
    {
        CQdCheckedStyle oStyle;
        oStyle.m_iPosition = i + 1;
        oStyle.m_bLoaded = oSession.SelectStyle(std::to_string(i + 1));
        if (oStyle.m_bLoaded)
        {
            oStyle.m_iChordVars = ExportAll(oSession);
            oStyle.m_bConverted = oStyle.m_iChordVars >= 0;
            oStyle.m_iChordVars = std::max(oStyle.m_iChordVars, 0);
        }
        oCheck.m_aoStyles.push_back(std::move(oStyle));
    }
    // Every style was loaded above, so the document knows each one's damage.
    const CQdBankDoc& rkoDoc = oSession.Doc();
    for (CQdCheckedStyle& roStyle : oCheck.m_aoStyles)
    {
        const int iStyle = roStyle.m_iPosition - 1;
        roStyle.m_strName = rkoDoc.GetStyleNames()[std::size_t(iStyle)];
        roStyle.m_bDamaged = rkoDoc.IsStyleDamaged(iStyle);
        roStyle.m_astrDamage = rkoDoc.GetStyleDamage(iStyle);
        oCheck.m_iDamaged += roStyle.m_bDamaged ? 1 : 0;
    }
    oCheck.m_iProblems = roConsole.GetReportCount() + roConsole.GetMessageCount();
    roConsole.Print(rkoArgs.m_bJson ? QdJsonSerialize(QdJsonCheck(oCheck)) : CheckText(oCheck));
    return oCheck.IsClean() ? QD_EXIT_OK : QD_EXIT_WARNINGS;
}
