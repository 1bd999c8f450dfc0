// QdImportOptions.cpp -- track maps and the track names of MIDI files.
#include "BankDoc/QdImportOptions.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdDocText.h"

#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>

bool CQdTrackMap::IsEmpty() const
{
    return std::all_of(m_abyTrack.begin(), m_abyTrack.end(), [](BYTE byTrack) { return byTrack == KEEP; });
}

// QdTrackOfName -- compared with the names of the element tree, lower-cased.
int QdTrackOfName(const std::string& rkstrName)
{
    const std::size_t uFirst = rkstrName.find_first_not_of(" \t");
    if (uFirst == std::string::npos)
        return -1;
    const std::size_t uLast = rkstrName.find_last_not_of(" \t");
    const std::string strName = QdDocText::LowerCase(rkstrName.substr(uFirst, uLast - uFirst + 1));
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        if (strName == QdDocText::LowerCase(CQdBankDoc::TrackName(byTrack)))
            return byTrack;
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
