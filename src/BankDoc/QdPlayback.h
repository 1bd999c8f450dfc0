// QdPlayback.h -- test playback of a chord variation or of one of its tracks.
//
// The chord variation is exported to a temporary MIDI file that a media
// player opens and plays. Only one temporary file exists at a time: it is
// rewritten for every play and deleted when playback stops. The player
// itself is behind CQdMediaPlayer (the desktop uses FluidSynth; tests use a
// scripted one), so this logic runs and is tested without sound or windows.
#pragma once

#include "Base/QdTypes.h"

#include <string>

class CQdBankDoc;
class CQdDocPrompt;
struct CQdTreeNode;

// CQdMediaPlayer -- what playback needs of a player: open a MIDI file, play,
// stop, rewind, close, and the number and text of the last failure.
class CQdMediaPlayer
{
public:
    virtual ~CQdMediaPlayer() = default;
    virtual bool Open(const std::string& rkstrPath) = 0;
    virtual bool Play() = 0;
    virtual bool Stop() = 0;
    virtual bool Rewind() = 0;
    virtual void Close() = 0;
    virtual void GetLastError(int& riNumber, std::string& rstrText) const = 0;
};

// QdPlaybackTempo -- the tempo edit's text as the tempo used: read like a
// decimal integer (leading blanks and a sign allowed, reading stops at the
// first non-digit, no digits read as 0), then limited to 40..300.
int QdPlaybackTempo(const std::string& rkstrText);

class CQdPlayback
{
public:
    static constexpr int MIN_TEMPO = 40;
    static constexpr int MAX_TEMPO = 300;
    static constexpr const char* CAPTION_CONVERSION = "MediaPlayer SMF conversion";
    static constexpr const char* CAPTION_PLAYER = "MediaPlayer";

    // rkstrTempDir: where the temporary file is written (the user's
    // temporary directory; the start-up directory may be read-only).
    CQdPlayback(CQdBankDoc& roDoc, CQdDocPrompt& roPrompt, CQdMediaPlayer& roPlayer, const std::string& rkstrTempDir);
    // Stops playback: the temporary file does not outlive the window.
    ~CQdPlayback();
    CQdPlayback(const CQdPlayback&) = delete;
    CQdPlayback& operator=(const CQdPlayback&) = delete;

    // PlayNode -- sets iTempo as the open style's tempo (later exports use it
    // too), then plays the chord variation of a chord-variation node or the
    // one track of a track node; other nodes play nothing. True when playing.
    bool PlayNode(const CQdTreeNode& rkoNode, int iTempo);
    // PlayChordVar -- stops, exports the chord variation (byTrack 255) or one
    // track (0..7) to the temporary file and plays it. Failures are shown
    // ("SMF write error!", or the player's "Error n: text", or the
    // out-of-memory message under "MediaPlayer"); true when playing.
    bool PlayChordVar(BYTE bySe, BYTE byCv, BYTE byTrack);
    // Stop -- stops, rewinds and closes the player and deletes the temporary
    // file; nothing to do when no file was written.
    void Stop();

    bool HasTempFile() const { return !m_strTempFile.empty(); }
    // The file being played; empty while stopped.
    const std::string& GetTempFileName() const { return m_strTempFile; }
    // Where the next play writes its file.
    std::string TempFilePath() const;

private:
    // ShowPlayerError -- the player's last failure under the "MediaPlayer" caption.
    void ShowPlayerError();
    void DeleteTempFile();

    CQdBankDoc& m_roDoc;
    CQdDocPrompt& m_roPrompt;
    CQdMediaPlayer& m_roPlayer;
    std::string m_strTempDir;
    std::string m_strTempFile;
};
