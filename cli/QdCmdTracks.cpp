// QdCmdTracks.cpp -- set-track: a track's voice (program, bank select,
// expression) in one element of a style or in all of them; and the line
// that show --tracks and set-track print per element and track.
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "BankDoc/QdDocText.h"
#include "BankDoc/QdGmPrograms.h"
#include "BankDoc/QdTrackParams.h"
#include "NlzdStyle/NlzdStyle.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

// IsNumber -- digits only, at most three of them.
bool IsNumber(const std::string& rkstr)
{
    return !rkstr.empty() && rkstr.size() <= 3 &&
           std::all_of(rkstr.begin(), rkstr.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// ProgramOf -- --program as a number 0-127 or a General MIDI name; -1 with
// the reason in rstrError.
int ProgramOf(const std::string& rkstrProgram, std::string& rstrError)
{
    if (IsNumber(rkstrProgram))
    {
        const int iProgram = std::stoi(rkstrProgram);
        if (iProgram <= QD_TRACK_PARAM_MAX)
            return iProgram;
    }
    std::vector<std::string> astrCandidates;
    const int iProgram = QdFindGmProgram(rkstrProgram, astrCandidates);
    if (iProgram >= 0)
        return iProgram;
    if (astrCandidates.empty())
    {
        rstrError = "'" + rkstrProgram + "' is no program: a number 0-127 or a General MIDI name";
        return -1;
    }
    rstrError = "'" + rkstrProgram + "' names several programs:";
    for (std::size_t u = 0; u < astrCandidates.size(); ++u)
        rstrError += (u == 0 ? " " : ", ") + astrCandidates[u];
    return -1;
}

// Value -- an optional value of the change from its argument (-1: not given).
std::optional<int> Value(int iValue)
{
    return iValue < 0 ? std::nullopt : std::optional<int>(iValue);
}

} // namespace

std::string QdCliTrackLine(BYTE bySe, BYTE byTrack, const CNstTrackParam& rkoParam)
{
    return std::string(CQdBankDoc::ElementShortName(bySe)) + "\t" + CQdBankDoc::TrackName(byTrack) + "\tprogram " +
           std::to_string(rkoParam.m_byProgram) + " (" + QdVoiceName(byTrack, rkoParam.m_byProgram) + ")" +
           "\tbank-msb " + std::to_string(rkoParam.m_byBankMsb) + "\tbank-lsb " +
           std::to_string(rkoParam.m_byBankLsb) + "\texpression " + std::to_string(rkoParam.m_byExpression);
}

bool QdCliParseSetTrack(CQdSetTrackArgs& roArgs, std::string& rstrError)
{
    if (QdDocText::LowerCase(roArgs.m_strElement) == "all")
        roArgs.m_iElement = CQdBankDoc::ALL_ELEMENTS;
    else
        roArgs.m_iElement = CQdBankDoc::FindElementShortName(roArgs.m_strElement);
    if (roArgs.m_iElement < 0)
    {
        rstrError = "'" + roArgs.m_strElement + "' is no element: v1 ... v4, i1, i2, f1, f2, e1, e2 or all";
        return false;
    }
    roArgs.m_iTrack = QdCliTrackNumber(roArgs.m_strTrack);
    if (roArgs.m_iTrack < 0 || roArgs.m_iTrack >= NST_NR_TRK)
    {
        rstrError = "'" + roArgs.m_strTrack + "' is no track: 0-7, drum, perc, bass, acc1 ... acc5";
        return false;
    }
    if (!roArgs.m_strProgram.empty())
    {
        roArgs.m_iProgram = ProgramOf(roArgs.m_strProgram, rstrError);
        if (roArgs.m_iProgram < 0)
            return false;
    }
    if (roArgs.m_iProgram < 0 && roArgs.m_iBankMsb < 0 && roArgs.m_iBankLsb < 0 && roArgs.m_iExpression < 0)
    {
        rstrError = "no value to set: give --program, --bank-msb, --bank-lsb or --expression";
        return false;
    }
    return true;
}

// QdCmdSetTrack -- the values into the track of the element or of every
// present element; prints the track's parameters afterwards, one line per
// element set.
int QdCmdSetTrack(CQdCliConsole& roConsole, const CQdSetTrackArgs& rkoArgs)
{
    CQdCliSession oSession(roConsole, QdCliForceAnswers(rkoArgs.m_bForce));
    if (!oSession.Open(rkoArgs.m_strBank) || !oSession.SelectStyle(rkoArgs.m_strStyle))
        return QD_EXIT_REFUSED;
    CQdTrackParamChange oChange;
    oChange.m_oiProgram = Value(rkoArgs.m_iProgram);
    oChange.m_oiBankMsb = Value(rkoArgs.m_iBankMsb);
    oChange.m_oiBankLsb = Value(rkoArgs.m_iBankLsb);
    oChange.m_oiExpression = Value(rkoArgs.m_iExpression);
    CQdBankDoc& roDoc = oSession.Doc();
    const BYTE byTrack = BYTE(rkoArgs.m_iTrack);
    if (!roDoc.SetTrackParams(BYTE(rkoArgs.m_iElement), byTrack, oChange))
        return QD_EXIT_REFUSED;
    for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
    {
        CNstTrackParam oParam;
        if ((rkoArgs.m_iElement == CQdBankDoc::ALL_ELEMENTS || bySe == rkoArgs.m_iElement) &&
            roDoc.GetTrackParams(bySe, byTrack, oParam))
            roConsole.Output(QdCliTrackLine(bySe, byTrack, oParam), false);
    }
    if (rkoArgs.m_bDryRun)
        return QD_EXIT_OK;
    return oSession.SaveTo(rkoArgs.m_strOut) ? QD_EXIT_OK : QD_EXIT_REFUSED;
}
