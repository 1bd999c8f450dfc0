// QdCmdCopy.cpp -- copy: a style, an element or a chord variation over
// another, within a bank or from a second one (BankDoc/QdCopyPart.h).
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "BankDoc/QdCharset.h"
#include "BankDoc/QdCopyPart.h"
#include "BankDoc/QdDocText.h"
#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

// A copy's side as the command line names it: STYLE[:PART].
struct CQdCliPart
{
    std::string m_strStyle;
    CQdPart m_oPart;
};

bool IsDigits(const std::string& rkstr)
{
    return !rkstr.empty() &&
           std::all_of(rkstr.begin(), rkstr.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// SplitPart -- STYLE:PART when what follows the last colon is an element's
// short name or a standard name; otherwise the whole text is STYLE (a style
// name may hold a colon), unless STYLE is a position: then the part is
// wrong, false with the reason in rstrError.
bool SplitPart(const std::string& rkstrText, CQdCliPart& roPart, std::string& rstrError)
{
    roPart = CQdCliPart();
    roPart.m_strStyle = rkstrText;
    const std::size_t uColon = rkstrText.rfind(':');
    if (uColon == std::string::npos)
        return true;
    const std::string strStyle = rkstrText.substr(0, uColon);
    const std::string strPart = rkstrText.substr(uColon + 1);
    const int iElement = CQdBankDoc::FindElementShortName(strPart);
    const int iChordVar = QdCliStandardNameIndex(strPart);
    BYTE bySe = 0;
    BYTE byCv = 0;
    if (iElement >= 0)
        roPart.m_oPart.m_bySe = BYTE(iElement);
    else if (CQdBankDoc::StandardNameElement(iChordVar, bySe, byCv))
        roPart.m_oPart = {bySe, byCv};
    else if (IsDigits(strStyle))
    {
        rstrError = "'" + strPart + "' is no part: an element v1 ... v4, i1, i2, f1, f2, e1, e2 or a chord "
                                    "variation v1cv1 ... e2cv2";
        return false;
    }
    else
        return true;
    roPart.m_strStyle = strStyle;
    return true;
}

// StepLine -- "<destination chord variation><TAB>what it became".
std::string StepLine(const CQdCopyStep& rkoStep, const CQdCopyReport& rkoReport, const std::string& rkstrSource)
{
    const std::string strFrom = QdChordVarName(rkoStep.m_bySeFrom, rkoStep.m_byCvFrom);
    std::string strLine = QdChordVarName(rkoStep.m_bySeTo, rkoStep.m_byCvTo) + "\t";
    const bool bAll = rkoReport.m_byTracks == NST_ALL_TRACKS_MASK;
    switch (rkoStep.m_eStep)
    {
    case QD_COPY_COPIED:
        strLine += "from '" + rkstrSource + "' " + strFrom;
        return bAll ? strLine : strLine + ": " + CQdBankDoc::TrackNameList(rkoReport.m_byTracks);
    case QD_COPY_DELETED:
        return strLine + "deleted: no " + strFrom + " in '" + rkstrSource + "'";
    case QD_COPY_CLEARED:
        return strLine + CQdBankDoc::TrackNameList(rkoReport.m_byTracks) + " cleared: no " + strFrom + " in '" + rkstrSource + "'";
    }
    return strLine;
}

// SameFile -- both paths name one file (the same bank given twice).
bool SameFile(const std::string& rkstrA, const std::string& rkstrB)
{
    std::error_code oError;
    return std::filesystem::equivalent(rkstrA, rkstrB, oError) && !oError;
}

} // namespace

bool QdCliCheckCopy(const CQdCopyArgs& rkoArgs, std::string& rstrError)
{
    CQdCliPart oSource;
    CQdCliPart oTarget;
    if (!SplitPart(rkoArgs.m_strSource, oSource, rstrError) || !SplitPart(rkoArgs.m_strTarget, oTarget, rstrError))
        return false;
    if (oSource.m_oPart.IsStyle() != oTarget.m_oPart.IsStyle() ||
        oSource.m_oPart.IsElement() != oTarget.m_oPart.IsElement())
    {
        rstrError = "SRC and DST name different kinds of parts: a style goes over a style, an element over an "
                    "element, a chord variation over a chord variation";
        return false;
    }
    return true;
}

// QdCmdCopy -- the source bank is only read; it is the destination's own
// document when both name one file, so that a copy within a bank sees the
// style as it is in the bank being changed.
int QdCmdCopy(CQdCliConsole& roConsole, const CQdCopyArgs& rkoArgs)
{
    CQdCliPart oSource;
    CQdCliPart oTarget;
    std::string strError;
    SplitPart(rkoArgs.m_strSource, oSource, strError);
    SplitPart(rkoArgs.m_strTarget, oTarget, strError);
    const bool bSameBank = SameFile(rkoArgs.m_strSourceBank, rkoArgs.m_strTargetBank);

    CQdCliSession oSourceSession(roConsole);
    CQdCliSession oSession(roConsole, QdCliForceAnswers(rkoArgs.m_bForce));
    const CNstEditIfc* pkoSource = nullptr;
    std::unique_ptr<CNstEditIfc> poSourceCopy;
    std::string strSourceName;
    if (bSameBank)
    {
        int iSource = -1;
        if (!oSession.Open(rkoArgs.m_strTargetBank) || !oSession.FindStyle(oSource.m_strStyle, iSource) ||
            !oSession.SelectStyle(oTarget.m_strStyle))
            return QD_EXIT_REFUSED;
        strSourceName = oSession.Doc().GetStyleNames()[std::size_t(iSource)];
        if (!oSession.Doc().CopyOfStyle(iSource, poSourceCopy))
        {
            roConsole.Message("", "Style '" + strSourceName + "' cannot be loaded!");
            return QD_EXIT_REFUSED;
        }
        pkoSource = poSourceCopy.get();
    }
    else
    {
        if (!oSourceSession.Open(rkoArgs.m_strSourceBank) || !oSourceSession.SelectStyle(oSource.m_strStyle) ||
            !oSession.Open(rkoArgs.m_strTargetBank) || !oSession.SelectStyle(oTarget.m_strStyle))
            return QD_EXIT_REFUSED;
        strSourceName = oSourceSession.StyleName();
        pkoSource = oSourceSession.Doc().GetEditIfc();
    }

    CQdCopyRequest oRequest;
    oRequest.m_oFrom = oSource.m_oPart;
    oRequest.m_oTo = oTarget.m_oPart;
    const BYTE byTracks = QdCliTrackMask(rkoArgs.m_astrTracks);
    oRequest.m_byTracks = byTracks != 0 ? byTracks : NST_ALL_TRACKS_MASK;
    oRequest.m_strSourceName = strSourceName;
    CQdCopyReport oReport;
    if (!oSession.Doc().CopyPart(*pkoSource, oRequest, oReport))
        return QD_EXIT_REFUSED;
    for (const CQdCopyStep& rkoStep : oReport.m_aoSteps)
        roConsole.Output(StepLine(rkoStep, oReport, QdShownLatin1(strSourceName)), false);
    // What the bank cannot keep is written without it: a warning, exit status 3.
    for (const std::string& rkstrLine : oReport.m_astrLeftOut)
        roConsole.Output(rkstrLine, true);
    if (rkoArgs.m_bDryRun)
        return QD_EXIT_OK;
    return oSession.SaveTo(rkoArgs.m_strOut) ? QD_EXIT_OK : QD_EXIT_REFUSED;
}
