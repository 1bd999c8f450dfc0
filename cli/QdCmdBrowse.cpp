// QdCmdBrowse.cpp -- list and show: what the two trees of the desktop show,
// and the track parameters of a style's elements.
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "NlzdStyle/NlzdStyle.h"

#include <cstdio>

namespace {

// InfoColumn -- an info line without its leading blank, after a tab.
std::string InfoColumn(const std::string& rkstrInfo)
{
    const std::size_t uStart = rkstrInfo.find_first_not_of(' ');
    return uStart == std::string::npos ? std::string() : std::string("\t").append(rkstrInfo, uStart);
}

} // namespace

// QdCmdList -- "<n>\t<name>" per present style, in slot order.
int QdCmdList(CQdCliConsole& roConsole, const std::string& rkstrBank)
{
    CQdCliSession oSession(roConsole);
    if (!oSession.Open(rkstrBank))
        return QD_EXIT_REFUSED;
    const std::vector<std::string>& rkastrNames = oSession.Doc().GetStyleNames();
    for (std::size_t i = 0; i < rkastrNames.size(); ++i)
        std::printf("%zu\t%s\n", i + 1, rkastrNames[i].c_str());
    return QD_EXIT_OK;
}

// QdCmdShow -- the element tree, two blanks of indent per level; elements
// with their time signature, chord variations with their standard name and
// length, tracks that hold events. The style line carries its slot's size.
// With --tracks instead: every track's parameters in every present element
// (QdCliTrackLine), the eight tracks of each, in use or not, since each
// element keeps them all.
int QdCmdShow(CQdCliConsole& roConsole, const CQdStyleArgs& rkoArgs)
{
    CQdCliSession oSession(roConsole);
    if (!oSession.Open(rkoArgs.m_strBank) || !oSession.SelectStyle(rkoArgs.m_strStyle))
        return QD_EXIT_REFUSED;
    CQdBankDoc& roDoc = oSession.Doc();
    if (rkoArgs.m_bTracks)
    {
        for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
            for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            {
                CNstTrackParam oParam;
                if (roDoc.GetTrackParams(bySe, byTrack, oParam))
                    std::printf("%s\n", QdCliTrackLine(bySe, byTrack, oParam).c_str());
            }
        return QD_EXIT_OK;
    }
    for (const CQdTreeNode& rkoNode : roDoc.BuildElementTree())
    {
        std::string strLine(std::size_t(rkoNode.m_iLevel) * 2, ' ');
        strLine += rkoNode.m_strText;
        if (rkoNode.m_byKind == CQdTreeNode::KIND_STYLE)
            strLine += InfoColumn(roDoc.GetListInfoText());
        if (rkoNode.m_byKind == CQdTreeNode::KIND_CHORD_VAR)
        {
            // A chord variation beyond the element's standard names has none.
            const char* pszName =
                CQdBankDoc::StandardName(CQdBankDoc::StandardNameIndex(rkoNode.m_bySe, rkoNode.m_byCv));
            strLine += std::string(" (") + (pszName ? pszName : "no standard name") + ")";
        }
        strLine += InfoColumn(roDoc.GetTreeInfoText(rkoNode));
        std::printf("%s\n", strLine.c_str());
    }
    return QD_EXIT_OK;
}
