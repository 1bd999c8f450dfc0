// QdCmdRescue.cpp -- rescue: what can still be read of a damaged bank,
// exported chord variation by chord variation.
#include "QdCliCommands.h"
#include "QdCliPrompt.h"
#include "QdCliSession.h"

#include "BankDoc/QdBankRescue.h"
#include "BankDoc/QdCharset.h"

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

    for (const CQdRescuedStyle& rkoStyle : oReport.m_aoStyles)
        roConsole.Output(std::to_string(rkoStyle.m_iPosition) + "\t" + QdShownLatin1(rkoStyle.m_strName) + "\t" +
                             CQdBankRescue::DescribeStyle(rkoStyle),
                         false);
    const std::string strBank = CQdBankRescue::DescribeBank(oReport);
    if (!strBank.empty())
        roConsole.Output("bank: " + strBank, false);
    roConsole.Output(CQdBankRescue::DescribeCounts(oReport), false);
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
