// QdRescueCommand.cpp -- the desktop's way to the rescue of a bank that does
// not open: offered right after the bank was refused as corrupt.
//
// The offer is a question of its own after the "File corrupt - Error!"
// message, not a button in that message: the message is the same for both
// front ends (qdstyle prints it and points to its `rescue` command), while
// the question, the folder dialog and the report are the desktop's. The
// rescue reads the refused file and writes only into the chosen folder
// (QdBankRescue.h); no bank is open before or after.
#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdBankRescue.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"

// CQdBankDoc::OfferRescue -- the question, the folder (starting beside the
// bank), the rescue and its report. A file that turns out to be no bank
// when the rescue reads it again was told by the rescue and gets no report.
bool CQdBankDoc::OfferRescue()
{
    return QdGuardCommand(m_roPrompt, QdDocText::RESCUE_STYLES, false, [&] {
        if (!m_bRefusedAsCorrupt || m_strRefusedBank.empty())
            return false;
        if (m_roPrompt.Ask({QdDocText::RESCUE_STYLES, QdDocText::RESCUE_OFFER, QdDocText::RESCUE_OFFER_BUTTON, "",
                            "Cancel"}) != QD_ANSWER_YES)
            return false;
        CQdFileRequest oRequest;
        oRequest.m_strTitle = QdDocText::RESCUE_FOLDER_TITLE;
        oRequest.m_strInitialDir = QdDocText::DirectoryOf(m_strRefusedBank);
        std::string strDir;
        if (!m_roPrompt.ChooseFolder(oRequest, strDir))
            return false;
        CQdBankRescue oRescue(m_roPrompt, m_roFileIo);
        CQdRescueReport oReport;
        oRescue.Run(m_strRefusedBank, strDir, oReport);
        if (oReport.m_bBank)
            m_roPrompt.ShowRescueReport(oReport);
        return true;
    });
}
