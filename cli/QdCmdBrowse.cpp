// QdCmdBrowse.cpp -- list, show and info: what the two trees of the desktop
// show, the track parameters of a style's elements, and the bank's facts; as
// text, or with --json as one JSON document (json/QdJson.h). Text and JSON
// come from the same facts of the document (BankDoc/QdBankFacts.h). Names
// are shown as the bank's 8-bit text in UTF-8, control characters escaped
// (QdShownLatin1), so that every line stays one line of valid UTF-8.
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "BankDoc/QdCharset.h"
#include "BankDoc/QdDocText.h"
#include "NlzdStyle/NlzdStyle.h"
#include "QdJson.h"

#include <string>

namespace {

// Tabbed -- the fields joined by tabs, as one line.
std::string Tabbed(std::initializer_list<std::string> ilstrFields)
{
    std::string strLine;
    for (const std::string& rkstrField : ilstrFields)
        strLine += (strLine.empty() ? "" : "\t") + rkstrField;
    return strLine + "\n";
}

// ShowText -- the element tree, two blanks of indent per level, with the
// element tree's info texts: the style's uncompressed size, an element's
// signature, a chord variation's standard name and length.
std::string ShowText(const CQdStyleFacts& rkoStyle, const std::string& rkstrStyleInfo)
{
    std::string strText = Tabbed({QdShownLatin1(rkoStyle.m_strName), rkstrStyleInfo});
    for (const CQdElementFacts& rkoElement : rkoStyle.m_aoElements)
    {
        strText += Tabbed({"  " + rkoElement.m_strName, "Signature: " + std::to_string(rkoElement.m_byNumerator) +
                                                            " / " + std::to_string(rkoElement.m_dwDenominator)});
        for (const CQdChordVarFacts& rkoChordVar : rkoElement.m_aoChordVars)
        {
            // A chord variation beyond the element's standard names has none.
            const std::string strName =
                rkoChordVar.m_strStandardName.empty() ? "no standard name" : rkoChordVar.m_strStandardName;
            strText += Tabbed({"    Chord Var " + std::to_string(rkoChordVar.m_byCv + 1) + " (" + strName + ")",
                               "Length in measures: " + std::to_string(rkoChordVar.m_byMeasures)});
            for (const CQdTrackFacts& rkoTrack : rkoChordVar.m_aoTracks)
                strText += "      " + rkoTrack.m_strName + "\n";
        }
    }
    return strText;
}

// InfoText -- "key<TAB>value" lines, then a line per style slot.
std::string InfoText(const CQdBankFacts& rkoBank)
{
    std::string strText = Tabbed({"file", QdShownText(rkoBank.m_strFile)});
    strText += Tabbed({"file size", std::to_string(rkoBank.m_qwFileSize)});
    strText += Tabbed({"used size", std::to_string(rkoBank.m_dwUsedSize)});
    strText +=
        Tabbed({"free room", std::to_string(rkoBank.m_dwFreeRoom) + " of " + std::to_string(rkoBank.m_dwBlockSize)});
    strText += Tabbed({"slots", std::to_string(rkoBank.m_aoSlots.size()) + ", " + std::to_string(rkoBank.m_iStyles) +
                                    " with a style"});
    const CQdDirectoryFacts& rkoDirectory = rkoBank.m_oDirectory;
    strText +=
        Tabbed({"directory", !rkoDirectory.m_bPresent ? std::string("none")
                                                      : std::to_string(rkoDirectory.m_iEntries) + " entries of " +
                                                            std::to_string(rkoDirectory.m_iCapacity) +
                                                            (rkoDirectory.m_bCurrent ? ", as a save writes them"
                                                                                     : ", not as a save writes them")});
    const CQdNameTableFacts& rkoNames = rkoBank.m_oNameTable;
    std::string strNames = "none";
    if (rkoNames.m_bPresent)
        strNames = std::to_string(rkoNames.m_iRecords) + " records of " + std::to_string(CQdBankDoc::NAME_RECORD_SIZE) +
                   " bytes" +
                   (rkoNames.m_iStylesWithout > 0
                        ? ", " + std::to_string(rkoNames.m_iStylesWithout) + " style slots without one"
                        : std::string());
    strText += Tabbed({"name table", strNames});
    for (const CQdSlotFacts& rkoSlot : rkoBank.m_aoSlots)
    {
        if (!rkoSlot.m_bStyle)
            continue;
        strText += Tabbed({"style", std::to_string(rkoSlot.m_iPosition), QdShownLatin1(rkoSlot.m_strName),
                           "slot " + std::to_string(rkoSlot.m_iSlot),
                           "stored " + std::to_string(rkoSlot.m_dwStoredSize) +
                               (rkoSlot.m_bCompressed ? " bytes compressed" : " bytes"),
                           "uncompressed " + std::to_string(rkoSlot.m_dwSize) + " bytes"});
    }
    return strText;
}

// OpenFacts -- the bank opened and its facts; false when refused (told).
bool OpenFacts(CQdCliSession& roSession, const std::string& rkstrBank, CQdBankFacts& roFacts)
{
    return roSession.Open(rkstrBank) && roSession.Doc().GetBankFacts(roFacts);
}

} // namespace

// QdCmdList -- "<n>\t<name>" per present style, in slot order.
int QdCmdList(CQdCliConsole& roConsole, const CQdBankArgs& rkoArgs)
{
    CQdCliSession oSession(roConsole);
    CQdBankFacts oFacts;
    if (!OpenFacts(oSession, rkoArgs.m_strBank, oFacts))
        return QD_EXIT_REFUSED;
    if (rkoArgs.m_bJson)
    {
        roConsole.Print(QdJsonSerialize(QdJsonList(oFacts)));
        return QD_EXIT_OK;
    }
    std::string strText;
    const std::vector<std::string>& rkastrNames = oSession.Doc().GetStyleNames();
    for (std::size_t i = 0; i < rkastrNames.size(); ++i)
        strText += Tabbed({std::to_string(i + 1), QdShownLatin1(rkastrNames[i])});
    roConsole.Print(strText);
    return QD_EXIT_OK;
}

// QdCmdShow -- the open style's facts as the element tree or as JSON; with
// --tracks instead every track's parameters in every present element
// (QdCliTrackLine), the eight tracks of each, in use or not, since each
// element keeps them all.
int QdCmdShow(CQdCliConsole& roConsole, const CQdStyleArgs& rkoArgs)
{
    CQdCliSession oSession(roConsole);
    if (!oSession.Open(rkoArgs.m_strBank) || !oSession.SelectStyle(rkoArgs.m_strStyle))
        return QD_EXIT_REFUSED;
    if (rkoArgs.m_bTracks)
    {
        std::string strText;
        for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
            for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            {
                CNstTrackParam oParam;
                if (oSession.Doc().GetTrackParams(bySe, byTrack, oParam))
                    strText += QdCliTrackLine(bySe, byTrack, oParam) + "\n";
            }
        roConsole.Print(strText);
        return QD_EXIT_OK;
    }
    CQdStyleFacts oStyle;
    if (!oSession.Doc().GetStyleFacts(oStyle))
        return QD_EXIT_REFUSED;
    if (rkoArgs.m_bJson)
        roConsole.Print(QdJsonSerialize(QdJsonShow(rkoArgs.m_strBank, oStyle)));
    else
        roConsole.Print(
            ShowText(oStyle, std::string(QdDocText::USED_SIZE).substr(1) + std::to_string(oStyle.m_dwSize)));
    return QD_EXIT_OK;
}

// QdCmdInfo -- the bank's facts.
int QdCmdInfo(CQdCliConsole& roConsole, const CQdBankArgs& rkoArgs)
{
    CQdCliSession oSession(roConsole);
    CQdBankFacts oFacts;
    if (!OpenFacts(oSession, rkoArgs.m_strBank, oFacts))
        return QD_EXIT_REFUSED;
    roConsole.Print(rkoArgs.m_bJson ? QdJsonSerialize(QdJsonInfo(oFacts)) : InfoText(oFacts));
    return QD_EXIT_OK;
}
