// QdCliSession.cpp -- opening, style and chord-variation lookup, saving.
#include "QdCliSession.h"

#include "BankDoc/QdCharset.h"
#include "BankDoc/QdDocText.h"
#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

// IsPosition -- a plain number: digits only.
bool IsPosition(const std::string& rkstr)
{
    return !rkstr.empty() &&
           std::all_of(rkstr.begin(), rkstr.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// EditDistance -- insertions, deletions and changes from one text to the
// other, letter case aside (one row of the table at a time).
std::size_t EditDistance(const std::string& rkstrA, const std::string& rkstrB)
{
    const std::string strA = QdDocText::LowerCase(rkstrA);
    const std::string strB = QdDocText::LowerCase(rkstrB);
    std::vector<std::size_t> auRow(strB.size() + 1);
    for (std::size_t j = 0; j <= strB.size(); ++j)
        auRow[j] = j;
    for (std::size_t i = 1; i <= strA.size(); ++i)
    {
        std::size_t uDiagonal = auRow[0];
        auRow[0] = i;
        for (std::size_t j = 1; j <= strB.size(); ++j)
        {
            const std::size_t uAbove = auRow[j];
            auRow[j] = std::min({auRow[j] + 1, auRow[j - 1] + 1, uDiagonal + (strA[i - 1] == strB[j - 1] ? 0 : 1)});
            uDiagonal = uAbove;
        }
    }
    return auRow[strB.size()];
}

} // namespace

std::string QdCliStandardNames()
{
    std::string strNames;
    for (int i = 0; i < CQdBankDoc::NR_STANDARD_NAMES; ++i)
        strNames += std::string(i == 0 ? "" : ", ") + CQdBankDoc::StandardName(i);
    return strNames;
}

int QdCliClosestName(const std::string& rkstrName, const std::vector<std::string>& rkastrNames)
{
    int iClosest = -1;
    std::size_t uBest = 0;
    for (std::size_t i = 0; i < rkastrNames.size(); ++i)
    {
        const std::size_t uDistance = EditDistance(rkstrName, rkastrNames[i]);
        if (iClosest < 0 || uDistance < uBest)
        {
            iClosest = int(i);
            uBest = uDistance;
        }
    }
    return iClosest;
}

int QdCliStandardNameIndex(const std::string& rkstrName)
{
    const std::string strLower = QdDocText::LowerCase(rkstrName);
    for (int i = 0; i < CQdBankDoc::NR_STANDARD_NAMES; ++i)
        if (strLower == CQdBankDoc::StandardName(i))
            return i;
    return -1;
}

CQdCliSession::CQdCliSession(CQdCliConsole& roConsole, const CQdCliAnswers& rkoAnswers)
    : m_roConsole(roConsole), m_oPrompt(roConsole, rkoAnswers), m_oDoc(m_oPrompt, CQdCliStdio::Instance())
{
}

// CQdCliSession::Open -- a bank refused as corrupt gets a pointer to the
// command that may still get its styles out.
bool CQdCliSession::Open(const std::string& rkstrBank)
{
    if (m_oDoc.OpenBankFile(rkstrBank))
    {
        const int iStyles = m_oDoc.GetStyleCount();
        m_roConsole.Detail(rkstrBank + ": " + std::to_string(iStyles) + (iStyles == 1 ? " style" : " styles"));
        return true;
    }
    if (m_oDoc.WasRefusedAsCorrupt())
        m_roConsole.Message("", "'qdstyle rescue' may still get styles out of '" + rkstrBank + "'.");
    return false;
}

// CQdCliSession::SelectStyle -- the style FindStyle finds; a style that
// does not load is refused.
bool CQdCliSession::SelectStyle(const std::string& rkstrStyle)
{
    int iStyle = -1;
    if (!FindStyle(rkstrStyle, iStyle))
        return false;
    m_oDoc.SelectStyle(iStyle);
    if (m_oDoc.GetSelectedStyle() != iStyle || !m_oDoc.GetEditIfc())
    {
        m_roConsole.Message("", "Style '" + m_oDoc.GetStyleNames()[std::size_t(iStyle)] + "' cannot be loaded!");
        return false;
    }
    return true;
}

// CQdCliSession::FindStyle -- the position or the first style of that name.
bool CQdCliSession::FindStyle(const std::string& rkstrStyle, int& riStyle)
{
    const std::vector<std::string>& rkastrNames = m_oDoc.GetStyleNames();
    const int iCount = int(rkastrNames.size());
    int iStyle = -1;
    if (IsPosition(rkstrStyle))
    {
        // Long digit strings are out of range, not an overflow.
        const std::string strDigits = rkstrStyle.substr(std::min(rkstrStyle.find_first_not_of('0'), rkstrStyle.size()));
        if (strDigits.size() <= 3)
            iStyle = std::atoi(rkstrStyle.c_str()) - 1;
        if (iStyle < 0 || iStyle >= iCount)
        {
            m_roConsole.Message("", "Style " + rkstrStyle + " not found - the Style Bank holds " +
                                        std::to_string(iCount) + (iCount == 1 ? " style!" : " styles!"));
            return false;
        }
    }
    else
    {
        auto it = std::find(rkastrNames.begin(), rkastrNames.end(), rkstrStyle);
        std::string strLatin1;
        if (it == rkastrNames.end() && QdUtf8ToLatin1(rkstrStyle, strLatin1))
            it = std::find(rkastrNames.begin(), rkastrNames.end(), strLatin1);
        const auto fnShownAsGiven = [&rkstrStyle](const std::string& rkstrName) {
            return QdShownLatin1(rkstrName) == rkstrStyle;
        };
        if (it == rkastrNames.end())
            it = std::find_if(rkastrNames.begin(), rkastrNames.end(), fnShownAsGiven);
        if (it == rkastrNames.end())
        {
            m_roConsole.Message("", "Style '" + rkstrStyle + "' not found in the Style Bank!");
            const int iClosest = QdCliClosestName(rkstrStyle, rkastrNames);
            if (iClosest >= 0)
                m_roConsole.Message("", "The closest name is '" + rkastrNames[std::size_t(iClosest)] + "' (style " +
                                            std::to_string(iClosest + 1) + ").");
            return false;
        }
        iStyle = int(it - rkastrNames.begin());
    }
    riStyle = iStyle;
    return true;
}

std::string CQdCliSession::StyleName() const
{
    const int iStyle = m_oDoc.GetSelectedStyle();
    return iStyle < 0 ? std::string() : m_oDoc.GetStyleNames()[std::size_t(iStyle)];
}

bool CQdCliSession::FindChordVar(const std::string& rkstrName, BYTE& rbySe, BYTE& rbyCv)
{
    const int iIndex = QdCliStandardNameIndex(rkstrName);
    if (iIndex < 0 || !CQdBankDoc::StandardNameElement(iIndex, rbySe, rbyCv))
    {
        const std::string strLower = QdDocText::LowerCase(rkstrName);
        m_roConsole.Message("", "'" + strLower + "'  is not a valid standard name!");
        m_roConsole.Message("", "Standard names: " + QdCliStandardNames() + ".");
        return false;
    }
    const CNstEditIfc* pkoEditIfc = m_oDoc.GetEditIfc();
    if (!pkoEditIfc || pkoEditIfc->GetChordVarState(rbySe, rbyCv) == NST_STATE_ABSENT)
    {
        m_roConsole.Message("", std::string("Chord Variation '") + CQdBankDoc::StandardName(iIndex) +
                                    "' not found in Style '" + StyleName() + "'!");
        return false;
    }
    return true;
}

bool CQdCliSession::SaveTo(const std::string& rkstrOut)
{
    return m_oDoc.SaveBankTo(rkstrOut, m_oPrompt.Answers().m_bForce);
}
