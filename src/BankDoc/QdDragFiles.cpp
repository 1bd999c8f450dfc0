// QdDragFiles.cpp -- the temporary MIDI files of drags out of the window.
#include "BankDoc/QdDragFiles.h"

#include "BankDoc/QdBankDoc.h"
#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

CQdDragFiles::CQdDragFiles(CQdBankDoc& roDoc, std::string strTempDir)
    : m_roDoc(roDoc), m_strTempDir(std::move(strTempDir))
{
}

CQdDragFiles::~CQdDragFiles() { RemoveAll(); }

// CQdDragFiles::BaseNameOf -- the names the exports write
// (CQdBankDoc::StandardFileStem), which the imports read back.
std::string CQdDragFiles::BaseNameOf(const CQdTreeNode& rkoNode)
{
    if (rkoNode.m_byKind == CQdTreeNode::KIND_CHORD_VAR)
        return CQdBankDoc::StandardFileStem(rkoNode.m_bySe, rkoNode.m_byCv, NST_ALL_TRACKS);
    if (rkoNode.m_byKind == CQdTreeNode::KIND_TRACK && rkoNode.m_byTrack < NST_NR_TRK)
        return CQdBankDoc::StandardFileStem(rkoNode.m_bySe, rkoNode.m_byCv, rkoNode.m_byTrack);
    return std::string();
}

// CQdDragFiles::WriteNode -- the folder's name comes from mkdtemp: two
// windows, or two runs, never share it.
bool CQdDragFiles::WriteNode(const CQdTreeNode& rkoNode, std::string& rstrPath)
{
    const std::string strBase = BaseNameOf(rkoNode);
    if (strBase.empty())
        return false;
    if (m_strFolder.empty())
    {
        std::string strTemplate = (m_strTempDir.empty() ? std::string(".") : m_strTempDir) + "/qdstyletool-drag-XXXXXX";
        if (!mkdtemp(strTemplate.data()))
            return false;
        m_strFolder = strTemplate;
    }
    const std::string strPath = m_strFolder + "/" + strBase + ".mid";
    const BYTE byTrack = rkoNode.m_byKind == CQdTreeNode::KIND_TRACK ? rkoNode.m_byTrack : NST_ALL_TRACKS;
    if (!m_roDoc.ExportChordVarFile(rkoNode.m_bySe, rkoNode.m_byCv, byTrack, strPath))
        return false;
    if (std::find(m_astrFiles.begin(), m_astrFiles.end(), strPath) == m_astrFiles.end())
        m_astrFiles.push_back(strPath);
    rstrPath = strPath;
    return true;
}

void CQdDragFiles::RemoveAll() noexcept
{
    for (const std::string& rkstrFile : m_astrFiles)
        std::remove(rkstrFile.c_str());
    m_astrFiles.clear();
    if (!m_strFolder.empty())
        rmdir(m_strFolder.c_str());
    m_strFolder.clear();
}
