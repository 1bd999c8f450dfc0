// QdCmdRescue.cpp -- rescue: what can still be read of a damaged bank,
// exported chord variation by chord variation.
#include "QdCliCommands.h"
#include "QdCliPrompt.h"
#include "QdCliSession.h"

#include "BankDoc/QdBankRescue.h"

#include <cstdio>

// QdCmdRescue -- the document's rescue (BankDoc/QdBankRescue.h), its report
// on stdout: one line per style, what the bank lost beyond its styles, the
// verdict. The exit status follows the result: everything rescued, some
// lost (QD_EXIT_WARNINGS), nothing readable or a failed write.
int QdCmdRescue(CQdCliConsole& roConsole, const CQdRescueArgs& rkoArgs)
{
    CQdCliPrompt oPrompt(roConsole, CQdCliAnswers());
    CQdBankRescue oRescue(oPrompt);
    CQdRescueReport oReport;
    const EQdRescueResult eResult = oRescue.Run(rkoArgs.m_strBank, rkoArgs.m_strDir, oReport);
    if (!oReport.m_bBank)
        return QD_EXIT_REFUSED;

    int aiCount[3] = {};
    for (const CQdRescuedStyle& rkoStyle : oReport.m_aoStyles)
    {
        ++aiCount[rkoStyle.m_eState];
        roConsole.Output(std::to_string(rkoStyle.m_iPosition) + "\t" + rkoStyle.m_strName + "\t" +
                             CQdBankRescue::DescribeStyle(rkoStyle),
                         false);
    }
    const std::string strBank = CQdBankRescue::DescribeBank(oReport);
    if (!strBank.empty())
        roConsole.Output("bank: " + strBank, false);
    const std::size_t uStyles = oReport.m_aoStyles.size();
    roConsole.Output(std::to_string(uStyles) + (uStyles == 1 ? " style: " : " styles: ") +
                         std::to_string(aiCount[QD_RESCUE_COMPLETE]) + " complete, " +
                         std::to_string(aiCount[QD_RESCUE_DAMAGED]) + " damaged, " +
                         std::to_string(aiCount[QD_RESCUE_UNREADABLE]) + " unreadable",
                     false);
    switch (eResult)
    {
    case QD_RESCUE_ALL:
        return QD_EXIT_OK;
    case QD_RESCUE_SOME_LOST:
        return QD_EXIT_WARNINGS;
    case QD_RESCUE_NOTHING:
    case QD_RESCUE_FAILED:
        break;
    }
    return QD_EXIT_REFUSED;
}
