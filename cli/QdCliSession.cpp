// QdCliSession.cpp -- opening, style and chord-variation lookup, saving.
#include "QdCliSession.h"

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

} // namespace

int QdCliStandardNameIndex(const std::string& rkstrName)
{
    const std::string strLower = QdDocText::LowerCase(rkstrName);
    for (int i = 0; i < CQdBankDoc::NR_STANDARD_NAMES; ++i)
        if (strLower == CQdBankDoc::StandardName(i))
            return i;
    return -1;
}

CQdCliSession::CQdCliSession(CQdCliConsole& roConsole, const CQdCliAnswers& rkoAnswers)
    : m_roConsole(roConsole), m_oPrompt(roConsole, rkoAnswers), m_oDoc(m_oPrompt)
{
}

// CQdCliSession::Open -- a bank refused as corrupt gets a pointer to the
// command that may still get its styles out.
bool CQdCliSession::Open(const std::string& rkstrBank)
{
    if (m_oDoc.OpenBankFile(rkstrBank))
        return true;
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
        const auto it = std::find(rkastrNames.begin(), rkastrNames.end(), rkstrStyle);
        if (it == rkastrNames.end())
        {
            m_roConsole.Message("", "Style '" + rkstrStyle + "' not found in the Style Bank!");
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
    return m_oDoc.SaveBankTo(rkstrOut);
}
