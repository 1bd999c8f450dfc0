// QdImportOptions.cpp -- track maps and the track names of MIDI files.
#include "BankDoc/QdImportOptions.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdDocText.h"

#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <cstddef>

bool CQdTrackMap::IsEmpty() const
{
    return std::all_of(m_abyTrack.begin(), m_abyTrack.end(), [](BYTE byTrack) { return byTrack == KEEP; });
}

// QdTrackOfName -- the name lower-cased, an accompaniment's number brought
// to the --map form ("acc. 1", "acc 1" and "acc.1" become "acc1"), then
// compared with the names each track goes by.
int QdTrackOfName(const std::string& rkstrName)
{
    const std::size_t uFirst = rkstrName.find_first_not_of(" \t");
    if (uFirst == std::string::npos)
        return -1;
    const std::size_t uLast = rkstrName.find_last_not_of(" \t");
    std::string strName = QdDocText::LowerCase(rkstrName.substr(uFirst, uLast - uFirst + 1));
    static const std::string s_strAcc = "acc";
    if (strName.compare(0, s_strAcc.size(), s_strAcc) == 0)
        strName.erase(std::remove_if(strName.begin() + std::ptrdiff_t(s_strAcc.size()), strName.end(),
                                     [](char c) { return c == '.' || c == ' '; }),
                      strName.end());
    struct CTrackName
    {
        const char* m_pszName;
        BYTE m_byTrack;
    };
    static const CTrackName s_aoNames[] = {{"drum", 0}, {"drums", 0}, {"percussion", 1}, {"perc", 1},
                                           {"bass", 2}, {"acc1", 3},  {"acc2", 4},       {"acc3", 5},
                                           {"acc4", 6}, {"acc5", 7}};
    for (const CTrackName& rkoName : s_aoNames)
        if (strName == rkoName.m_pszName)
            return rkoName.m_byTrack;
    return -1;
}

std::string QdChannelList(WORD wChannels)
{
    std::string strList;
    for (int iChannel = 0; iChannel < CQdTrackMap::CHANNELS; ++iChannel)
    {
        if (!(wChannels & (1u << iChannel)))
            continue;
        if (!strList.empty())
            strList += ", ";
        strList += std::to_string(iChannel + 1);
    }
    return strList;
}

BYTE QdTracksOfFile(const CQdImportOptions& rkoOptions, const std::string& rkstrPath)
{
    if (rkoOptions.m_byTracks != 0)
        return rkoOptions.m_byTracks;
    const int iTrack = CQdBankDoc::FindTrackSuffix(QdDocText::FileNameOf(rkstrPath));
    return iTrack >= 0 ? BYTE(1u << iTrack) : NST_ALL_TRACKS_MASK;
}

std::string QdChannelsText(WORD wChannels)
{
    const bool bOne = (wChannels & (wChannels - 1)) == 0;
    return (bOne ? "channel " : "channels ") + QdChannelList(wChannels);
}
