// QdPlayback.cpp -- test playback through a temporary MIDI file.
#include "BankDoc/QdPlayback.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdDragFiles.h"
#include "BankDoc/QdRoll.h"
#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstTimeSig.h"

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

CQdPlayPosition QdPlayPositionAt(long lTick, BYTE byPacked, BYTE byMeasures)
{
    CQdPlayPosition oPosition;
    const CNstTimeSig oSig = CNstTimeSig::FromPacked(byPacked);
    const long lMeasure = long(oSig.GetTicksPerMeasure());
    const long lBeat = oSig.m_byDenomExp <= 10 ? long(NST_TICKS_PER_WHOLE >> oSig.m_byDenomExp) : 0;
    if (lTick < 0 || lMeasure <= 0 || lBeat <= 0)
        return oPosition;
    const long lLength = lMeasure * std::max<long>(byMeasures, 1);
    const long lAt = lTick % lLength;
    oPosition.m_iBar = int(lAt / lMeasure) + 1;
    oPosition.m_iBeat = int((lAt % lMeasure) / lBeat) + 1;
    return oPosition;
}

namespace
{
constexpr BYTE CTRL_BANK_MSB = 0;
constexpr BYTE CTRL_BANK_LSB = 32;
constexpr long MS_PER_MINUTE = 60000;

// StartValue -- the value a controller of the track is set to at tick 0; -1
// when it is not.
int StartValue(const CQdRoll& rkoRoll, BYTE byTrack, BYTE byController)
{
    for (const CQdRollLane& rkoLane : rkoRoll.m_aoLanes)
        if (rkoLane.m_byTrack == byTrack && rkoLane.m_eKind == QD_LANE_CONTROLLER &&
            rkoLane.m_byController == byController && !rkoLane.m_aoPoints.empty() &&
            rkoLane.m_aoPoints.front().m_tTick == 0)
            return rkoLane.m_aoPoints.front().m_iValue;
    return -1;
}
} // namespace

CQdNoteSound QdNoteSoundOf(const CQdRoll& rkoRoll, const CQdRollNote& rkoNote, int iTempo)
{
    CQdNoteSound oSound;
    oSound.m_byChannel = rkoNote.m_byChannel;
    oSound.m_byKey = rkoNote.m_byKey;
    oSound.m_byVelocity = rkoNote.m_byVelocity;
    if (rkoNote.m_byTrack < NST_NR_TRK)
    {
        oSound.m_iProgram = rkoRoll.m_aiProgram[rkoNote.m_byTrack];
        oSound.m_iBankMsb = StartValue(rkoRoll, rkoNote.m_byTrack, CTRL_BANK_MSB);
        oSound.m_iBankLsb = StartValue(rkoRoll, rkoNote.m_byTrack, CTRL_BANK_LSB);
    }
    // Ticks per quarter note times quarter notes per minute: ticks per minute.
    const long long llTicksPerMinute = (long long)(std::max<TTICK>(rkoRoll.m_oGrid.m_tTicksPerQuarter, 1)) *
                                       std::clamp(iTempo, CQdPlayback::MIN_TEMPO, CQdPlayback::MAX_TEMPO);
    const long long llMs = (long long)(rkoNote.GetLength()) * MS_PER_MINUTE / llTicksPerMinute;
    oSound.m_iDurationMs = int(std::clamp<long long>(llMs, CQdPlayback::MIN_NOTE_MS, CQdPlayback::MAX_NOTE_MS));
    return oSound;
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
        // Mutes belong to the chord variation they were set for.
        if (bySe != m_bySe || byCv != m_byCv)
            m_byMutedTracks = 0;
        m_bySe = bySe;
        m_byCv = byCv;
        m_roPlayer.SetLoop(m_bLoop);
        m_roPlayer.SetMutedChannels(byTrack == NST_ALL_TRACKS ? MutedChannels(m_byMutedTracks) : 0);
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

bool CQdPlayback::GetPlayingChordVar(BYTE& rbySe, BYTE& rbyCv) const
{
    if (!IsPlaying())
        return false;
    rbySe = m_bySe;
    rbyCv = m_byCv;
    return true;
}

void CQdPlayback::SetLoop(bool bLoop)
{
    m_bLoop = bLoop;
    m_roPlayer.SetLoop(bLoop);
}

std::uint16_t CQdPlayback::MutedChannels(BYTE byMutedTracks)
{
    std::uint16_t wMask = 0;
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        if ((byMutedTracks >> byTrack) & 1)
            wMask = std::uint16_t(wMask | (1u << NST_TRACK_CHANNELS[byTrack]));
    return wMask;
}

void CQdPlayback::SetTrackMuted(BYTE byTrack, bool bMuted)
{
    if (byTrack >= NST_NR_TRK)
        return;
    const BYTE byBit = BYTE(1u << byTrack);
    m_byMutedTracks = BYTE(bMuted ? m_byMutedTracks | byBit : m_byMutedTracks & ~byBit);
    m_roPlayer.SetMutedChannels(MutedChannels(m_byMutedTracks));
}

// CQdPlayback::GetPosition -- the element and chord variation are present
// while they play (every command stops playback first), so the queries
// create nothing.
bool CQdPlayback::GetPosition(CQdPlayPosition& roPosition)
{
    CNstEditIfc* poEditIfc = m_roDoc.GetEditIfc();
    const long lTick = IsPlaying() ? m_roPlayer.GetTick() : -1;
    if (!poEditIfc || lTick < 0 || poEditIfc->GetChordVarState(m_bySe, m_byCv) == NST_STATE_ABSENT)
        return false;
    roPosition = QdPlayPositionAt(lTick, poEditIfc->GetPackedSignature(m_bySe), poEditIfc->GetMeasures(m_bySe, m_byCv));
    return true;
}

bool CQdPlayback::GetPlayheadTick(const CQdRoll& rkoRoll, TTICK& rtTick) const
{
    if (!IsPlaying() || rkoRoll.m_bySe != m_bySe || rkoRoll.m_byCv != m_byCv)
        return false;
    const long lTick = m_roPlayer.GetTick();
    if (lTick < 0)
        return false;
    rtTick = rkoRoll.m_oGrid.LoopTick(lTick);
    return true;
}

bool CQdPlayback::PlayRollNote(const CQdRoll& rkoRoll, const CQdRollNote& rkoNote, int iTempo)
{
    return QdGuardCommand(m_roPrompt, CAPTION_PLAYER, false,
                          [&] { return m_roPlayer.PlayNote(QdNoteSoundOf(rkoRoll, rkoNote, iTempo)); });
}

bool CQdPlayback::ExportAudio(const CQdTreeNode& rkoNode, int iTempo)
{
    return QdGuardCommand(m_roPrompt, CAPTION_EXPORT_AUDIO, false, [&] {
        Stop();
        if (!m_roDoc.GetEditIfc() ||
            (rkoNode.m_byKind != CQdTreeNode::KIND_CHORD_VAR && rkoNode.m_byKind != CQdTreeNode::KIND_TRACK))
            return false;
        CQdFileRequest oRequest;
        oRequest.m_strTitle = "Export Audio File";
        oRequest.m_strFilter = "Wave|*.wav";
        oRequest.m_strDefaultExt = "wav";
        oRequest.m_strInitialDir = m_strWaveDir;
        oRequest.m_strFileName = CQdDragFiles::BaseNameOf(rkoNode);
        std::string strWave;
        if (!m_roPrompt.ChooseSaveFile(oRequest, strWave))
            return false;
        m_strWaveDir = QdDocText::DirectoryOf(strWave);
        const CQdWaitScope oWait(m_roPrompt);
        std::string strError;
        if (RenderNode(rkoNode, iTempo, strWave, strError))
            return true;
        m_roPrompt.TellFile(CAPTION_EXPORT_AUDIO, "Audio export error!", strWave, strError);
        return false;
    });
}

bool CQdPlayback::RenderNode(const CQdTreeNode& rkoNode, int iTempo, const std::string& rkstrWave,
                             std::string& rstrError)
{
    return QdGuardCommand(m_roPrompt, CAPTION_EXPORT_AUDIO, false, [&] {
        CNstEditIfc* poEditIfc = m_roDoc.GetEditIfc();
        if (!poEditIfc ||
            (rkoNode.m_byKind != CQdTreeNode::KIND_CHORD_VAR && rkoNode.m_byKind != CQdTreeNode::KIND_TRACK))
        {
            rstrError = "no chord variation or track chosen";
            return false;
        }
        poEditIfc->SetTempo(std::clamp(iTempo, MIN_TEMPO, MAX_TEMPO));
        std::string strMidi = TempFilePath();
        strMidi.insert(strMidi.size() - 4, "-render");
        const BYTE byTrack = rkoNode.m_byKind == CQdTreeNode::KIND_TRACK ? rkoNode.m_byTrack : NST_ALL_TRACKS;
        if (!m_roDoc.ExportChordVarFile(rkoNode.m_bySe, rkoNode.m_byCv, byTrack, strMidi))
        {
            rstrError = "the chord variation could not be converted";
            return false;
        }
        const bool bRendered = m_roPlayer.RenderToWave(strMidi, rkstrWave, m_bLoop ? AUDIO_LOOPS : 1, rstrError);
        std::remove(strMidi.c_str());
        return bRendered;
    });
}
