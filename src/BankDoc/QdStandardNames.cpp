// QdStandardNames.cpp -- the names shown to the user and the 36 standard
// file names of chord variations.
#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdDocText.h"

#include "NlzdStyle/NlzdStyle.h"

#include <cctype>
#include <cstring>

namespace {

// Index -> element and chord variation: 0..23 the variations (six chord
// variations each), 24..35 intros, fills and endings (two each).
const char* const s_apszStandardNames[CQdBankDoc::NR_STANDARD_NAMES] = {
    "v1cv1", "v1cv2", "v1cv3", "v1cv4", "v1cv5", "v1cv6", "v2cv1", "v2cv2", "v2cv3", "v2cv4", "v2cv5", "v2cv6",
    "v3cv1", "v3cv2", "v3cv3", "v3cv4", "v3cv5", "v3cv6", "v4cv1", "v4cv2", "v4cv3", "v4cv4", "v4cv5", "v4cv6",
    "i1cv1", "i1cv2", "i2cv1", "i2cv2", "f1cv1", "f1cv2", "f2cv1", "f2cv2", "e1cv1", "e1cv2", "e2cv1", "e2cv2",
};

constexpr int NR_VARIATIONS = 4;
constexpr int CVS_OF_VARIATION = 6;
constexpr int CVS_OF_OTHER = 2;
constexpr int FIRST_OTHER_INDEX = NR_VARIATIONS * CVS_OF_VARIATION;

const char* const s_apszElementNames[NST_NR_STE] = {
    "Variation 1", "Variation 2", "Variation 3", "Variation 4", "Intro 1",
    "Intro 2",     "Fill 1",      "Fill 2",      "Ending 1",    "Ending 2",
};

// The element part of the standard names.
const char* const s_apszElementShortNames[NST_NR_STE] = {
    "v1", "v2", "v3", "v4", "i1", "i2", "f1", "f2", "e1", "e2",
};

const char* const s_apszTrackNames[NST_NR_TRK] = {
    "Drum", "Percussion", "Bass", "Acc. 1", "Acc. 2", "Acc. 3", "Acc. 4", "Acc. 5",
};

// The tracks' short names: the command line's and the file names'.
const char* const s_apszTrackShortNames[NST_NR_TRK] = {
    "drum", "perc", "bass", "acc1", "acc2", "acc3", "acc4", "acc5",
};

// FindLowerCase -- the index of the whole text, lower-cased, in a table of
// lower-case names; -1 when it is none of them.
template <std::size_t N>
int FindLowerCase(const std::string& rkstrName, const char* const (&rkapszTable)[N])
{
    const std::string strLower = QdDocText::LowerCase(rkstrName);
    for (std::size_t u = 0; u < N; ++u)
        if (strLower == rkapszTable[u])
            return int(u);
    return -1;
}

} // namespace

// CQdBankDoc::StandardName -- the standard name at an index.
const char* CQdBankDoc::StandardName(int iIndex)
{
    return iIndex >= 0 && iIndex < NR_STANDARD_NAMES ? s_apszStandardNames[iIndex] : nullptr;
}

// CQdBankDoc::StandardNameIndex -- variations 6e + cv, the others 2e + cv + 16.
int CQdBankDoc::StandardNameIndex(BYTE bySe, BYTE byCv)
{
    if (bySe < NR_VARIATIONS)
        return byCv < CVS_OF_VARIATION ? bySe * CVS_OF_VARIATION + byCv : -1;
    if (bySe < NST_NR_STE)
        return byCv < CVS_OF_OTHER ? FIRST_OTHER_INDEX + (bySe - NR_VARIATIONS) * CVS_OF_OTHER + byCv : -1;
    return -1;
}

// CQdBankDoc::StandardNameElement -- the reverse of StandardNameIndex.
bool CQdBankDoc::StandardNameElement(int iIndex, BYTE& rbySe, BYTE& rbyCv)
{
    if (iIndex < 0 || iIndex >= NR_STANDARD_NAMES)
        return false;
    if (iIndex < FIRST_OTHER_INDEX)
    {
        rbySe = BYTE(iIndex / CVS_OF_VARIATION);
        rbyCv = BYTE(iIndex % CVS_OF_VARIATION);
    }
    else
    {
        rbySe = BYTE(NR_VARIATIONS + (iIndex - FIRST_OTHER_INDEX) / CVS_OF_OTHER);
        rbyCv = BYTE((iIndex - FIRST_OTHER_INDEX) % CVS_OF_OTHER);
    }
    return true;
}

// CQdBankDoc::FindStandardName -- the first name of the table that occurs
// anywhere in the file name, whatever its case.
int CQdBankDoc::FindStandardName(const std::string& rkstrFileName)
{
    const std::string strLower = QdDocText::LowerCase(rkstrFileName);
    for (int i = 0; i < NR_STANDARD_NAMES; ++i)
        if (strLower.find(s_apszStandardNames[i]) != std::string::npos)
            return i;
    return -1;
}

// CQdBankDoc::ElementName -- "Variation 1" ... "Ending 2".
const char* CQdBankDoc::ElementName(BYTE bySe)
{
    return bySe < NST_NR_STE ? s_apszElementNames[bySe] : "";
}

// CQdBankDoc::ElementShortName -- "v1" ... "e2".
const char* CQdBankDoc::ElementShortName(BYTE bySe)
{
    return bySe < NST_NR_STE ? s_apszElementShortNames[bySe] : "";
}

// CQdBankDoc::FindElementShortName -- the whole text, lower-cased, against
// the table.
int CQdBankDoc::FindElementShortName(const std::string& rkstrName)
{
    return FindLowerCase(rkstrName, s_apszElementShortNames);
}

// CQdBankDoc::TrackName -- "Drum" ... "Acc. 5".
const char* CQdBankDoc::TrackName(BYTE byTrack)
{
    return byTrack < NST_NR_TRK ? s_apszTrackNames[byTrack] : "";
}

std::string CQdBankDoc::TrackNameList(BYTE byTracks)
{
    std::string strList;
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        if (byTracks >> byTrack & 1u)
            strList += (strList.empty() ? "" : ", ") + std::string(s_apszTrackNames[byTrack]);
    return strList;
}

const char* CQdBankDoc::TrackShortName(BYTE byTrack)
{
    return byTrack < NST_NR_TRK ? s_apszTrackShortNames[byTrack] : "";
}

int CQdBankDoc::FindTrackShortName(const std::string& rkstrName)
{
    return FindLowerCase(rkstrName, s_apszTrackShortNames);
}

std::string CQdBankDoc::StandardFileStem(BYTE bySe, BYTE byCv, BYTE byTrack)
{
    const char* pszName = StandardName(StandardNameIndex(bySe, byCv));
    if (!pszName)
        return std::string();
    std::string strStem = pszName;
    if (byTrack < NST_NR_TRK)
        strStem += std::string("-") + s_apszTrackShortNames[byTrack];
    return strStem;
}

// CQdBankDoc::FindTrackSuffix -- every place of the standard name in the
// file name is looked at, so that "v1cv1 v1cv1-bass.mid" is the bass too.
// The short name must end where it ends ("v1cv1-bassline.mid" names no
// track): a copy's decoration after it ("v1cv1-bass (2).mid") is allowed.
int CQdBankDoc::FindTrackSuffix(const std::string& rkstrFileName)
{
    const char* pszStandard = StandardName(FindStandardName(rkstrFileName));
    if (!pszStandard)
        return -1;
    const std::string strLower = QdDocText::LowerCase(rkstrFileName);
    const std::size_t uStandard = std::strlen(pszStandard);
    for (std::size_t uAt = strLower.find(pszStandard); uAt != std::string::npos;
         uAt = strLower.find(pszStandard, uAt + 1))
    {
        const std::size_t uDash = uAt + uStandard;
        if (uDash >= strLower.size() || strLower[uDash] != '-')
            continue;
        for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        {
            const std::size_t uEnd = uDash + 1 + std::strlen(s_apszTrackShortNames[byTrack]);
            if (strLower.compare(uDash + 1, uEnd - uDash - 1, s_apszTrackShortNames[byTrack]) == 0 &&
                (uEnd == strLower.size() || !std::isalnum(static_cast<unsigned char>(strLower[uEnd]))))
                return byTrack;
        }
    }
    return -1;
}
