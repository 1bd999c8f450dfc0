// QdCmdRoll.cpp -- roll: a chord variation, or one of its tracks, as a piano
// roll in an SVG file.
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "BankDoc/QdCharset.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdRoll.h"
#include "BankDoc/QdRollLayout.h"
#include "BankDoc/QdRollSvg.h"
#include "NlzdStyle/NstEditIfc.h"

namespace {

// RollTitle -- "Slow Waltz v1cv1, all tracks, 3/4, 4 measures": the style's
// name in UTF-8, as the JSON output gives it.
std::string RollTitle(const std::string& rkstrStyle, const std::string& rkstrChordVar, const CQdRoll& rkoRoll)
{
    const CQdRollGrid& rkoGrid = rkoRoll.m_oGrid;
    const CNstTimeSig& rkoTimeSig = rkoGrid.m_oTimeSig;
    const std::string strTracks =
        rkoRoll.m_byTrack < NST_NR_TRK ? std::string(CQdBankDoc::TrackName(rkoRoll.m_byTrack)) : "all tracks";
    return QdLatin1ToUtf8(rkstrStyle) + " " + rkstrChordVar + ", " + strTracks + ", " +
           std::to_string(rkoTimeSig.m_byNumerator) + "/" + std::to_string(rkoTimeSig.GetDenominator()) + ", " +
           std::to_string(rkoGrid.m_dwMeasures) + (rkoGrid.m_dwMeasures == 1 ? " measure" : " measures");
}

} // namespace

// QdCmdRoll -- the document's roll of the chord variation, laid out at the
// width asked for and written as SVG, atomically ("-": stdout). The bank
// is not changed.
int QdCmdRoll(CQdCliConsole& roConsole, const CQdRollArgs& rkoArgs)
{
    const int iTrack = QdCliTrackNumber(rkoArgs.m_strTrack);
    if (iTrack < 0)
    {
        roConsole.Message("", "'" + rkoArgs.m_strTrack + "' is no track: 0-7, drum, perc, bass, acc1 ... acc5");
        return QD_EXIT_USAGE;
    }
    CQdCliSession oSession(roConsole);
    BYTE bySe = 0;
    BYTE byCv = 0;
    if (!oSession.Open(rkoArgs.m_strBank) || !oSession.SelectStyle(rkoArgs.m_strStyle) ||
        !oSession.FindChordVar(rkoArgs.m_strChordVar, bySe, byCv))
        return QD_EXIT_REFUSED;

    const std::string strName = QdDocText::LowerCase(rkoArgs.m_strChordVar);
    CQdRoll oRoll;
    if (!oSession.Doc().BuildRoll(bySe, byCv, BYTE(iTrack), oRoll))
    {
        roConsole.Message("", strName + ": the chord variation could not be converted");
        return QD_EXIT_REFUSED;
    }
    roConsole.Detail(strName + ": " + std::to_string(oRoll.m_aoNotes.size()) + " notes, " +
                     std::to_string(oRoll.m_aoLanes.size()) + " lanes, " + std::to_string(oRoll.m_oGrid.m_tLength) +
                     " ticks");

    CQdRollLayoutOptions oOptions;
    oOptions.m_iWidth = rkoArgs.m_iWidth;
    const CQdRollLayout oLayout(oRoll, oOptions);
    const std::string strSvg = QdRollSvg(oLayout, RollTitle(oSession.StyleName(), strName, oRoll));
    CQdFileIo& roFileIo = CQdCliStdio::Instance();
    roFileIo.ClearLastError();
    if (!roFileIo.WriteAtomic(rkoArgs.m_strSvg, reinterpret_cast<const BYTE*>(strSvg.data()), DWORD(strSvg.size())))
    {
        const std::string strCause = CQdFileIo::ErrorText(roFileIo.GetLastError());
        roConsole.Message("", rkoArgs.m_strSvg + ": " + (strCause.empty() ? "the file cannot be written" : strCause));
        return QD_EXIT_REFUSED;
    }
    if (!CQdCliStdio::IsStdio(rkoArgs.m_strSvg))
        roConsole.Output(rkoArgs.m_strSvg, false);
    return QD_EXIT_OK;
}
