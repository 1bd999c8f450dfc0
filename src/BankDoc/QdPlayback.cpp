// QdPlayback.cpp -- test playback through a temporary MIDI file.
#include "BankDoc/QdPlayback.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdCommandGuard.h"
#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <unistd.h>

int QdPlaybackTempo(const std::string& rkstrText)
{
    std::size_t u = 0;
    while (u < rkstrText.size() && std::isspace(static_cast<unsigned char>(rkstrText[u])))
        ++u;
    bool bNegative = false;
    if (u < rkstrText.size() && (rkstrText[u] == '+' || rkstrText[u] == '-'))
        bNegative = rkstrText[u++] == '-';
    // Saturates instead of overflowing: any long number is above the limit anyway.
    long lValue = 0;
    for (; u < rkstrText.size() && std::isdigit(static_cast<unsigned char>(rkstrText[u])); ++u)
        lValue = std::min(lValue * 10 + (rkstrText[u] - '0'), 1000000L);
    if (bNegative)
        lValue = -lValue;
    return int(std::clamp<long>(lValue, CQdPlayback::MIN_TEMPO, CQdPlayback::MAX_TEMPO));
}

CQdPlayback::CQdPlayback(CQdBankDoc& roDoc, CQdDocPrompt& roPrompt, CQdMediaPlayer& roPlayer,
                         const std::string& rkstrTempDir)
    : m_roDoc(roDoc), m_roPrompt(roPrompt), m_roPlayer(roPlayer), m_strTempDir(rkstrTempDir)
{
}

CQdPlayback::~CQdPlayback() { Stop(); }

std::string CQdPlayback::TempFilePath() const
{
    // The process id keeps two running windows from playing (and deleting)
    // each other's file in the shared temporary directory.
    std::string strPath = m_strTempDir.empty() ? std::string(".") : m_strTempDir;
    if (strPath.back() != '/')
        strPath += '/';
    return strPath + "qdtemp-" + std::to_string(long(getpid())) + ".mid";
}

bool CQdPlayback::PlayNode(const CQdTreeNode& rkoNode, int iTempo)
{
    return QdGuardCommand(m_roPrompt, CAPTION_PLAYER, false, [&] {
        CNstEditIfc* poEditIfc = m_roDoc.GetEditIfc();
        if (!poEditIfc)
            return false;
        poEditIfc->SetTempo(std::clamp(iTempo, MIN_TEMPO, MAX_TEMPO));
        if (rkoNode.m_byKind == CQdTreeNode::KIND_CHORD_VAR)
            return PlayChordVar(rkoNode.m_bySe, rkoNode.m_byCv, NST_ALL_TRACKS);
        if (rkoNode.m_byKind == CQdTreeNode::KIND_TRACK)
            return PlayChordVar(rkoNode.m_bySe, rkoNode.m_byCv, rkoNode.m_byTrack);
        return false;
    });
}

// CQdPlayback::PlayChordVar -- the file, once written, is named in
// m_strTempFile by a move, so that a later Stop deletes it whatever fails
// after it.
bool CQdPlayback::PlayChordVar(BYTE bySe, BYTE byCv, BYTE byTrack)
{
    return QdGuardCommand(m_roPrompt, CAPTION_PLAYER, false, [&] {
        Stop();
        if (!m_roDoc.GetEditIfc())
            return false;
        std::string strPath = TempFilePath();
        if (!m_roDoc.ExportChordVarFile(bySe, byCv, byTrack, strPath))
        {
            m_roPrompt.Tell(CAPTION_CONVERSION, "SMF write error!");
            return false;
        }
        m_strTempFile = std::move(strPath);
        if (!m_roPlayer.Open(m_strTempFile) || !m_roPlayer.Play())
        {
            ShowPlayerError();
            // Nothing plays: the file goes at once rather than at the next stop.
            m_roPlayer.Close();
            DeleteTempFile();
            return false;
        }
        return true;
    });
}

// CQdPlayback::Stop -- runs from the destructor too, so it lets nothing
// through: a player error that cannot be shown for memory is left out.
void CQdPlayback::Stop()
{
    if (m_strTempFile.empty())
        return;
    // Every step is tried; the first failure is shown once, and the file is
    // deleted whatever the player said.
    (void)QdRanOutOfMemory([&] {
        const bool bStopped = m_roPlayer.Stop() && m_roPlayer.Rewind();
        if (!bStopped)
            ShowPlayerError();
    });
    m_roPlayer.Close();
    DeleteTempFile();
}

void CQdPlayback::DeleteTempFile()
{
    std::remove(m_strTempFile.c_str());
    m_strTempFile.clear();
}

void CQdPlayback::ShowPlayerError()
{
    int iNumber = 0;
    std::string strText;
    m_roPlayer.GetLastError(iNumber, strText);
    m_roPrompt.Tell(CAPTION_PLAYER, "Error " + std::to_string(iNumber) + ": " + strText);
}
