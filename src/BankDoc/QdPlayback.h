// QdPlayback.h -- test playback of a chord variation or of one of its tracks.
//
// The chord variation is exported to a temporary MIDI file that a media
// player opens and plays. Only one temporary file exists at a time: it is
// rewritten for every play and deleted when playback stops. The player
// itself is behind CQdMediaPlayer (the desktop uses FluidSynth; tests use a
// scripted one), so this logic runs and is tested without sound or windows.
//
// Decisions of the desktop's playback:
// - Loop: the player repeats the file until stopped, as the keyboard loops
//   a pattern; on by default. The setting goes to the player before each
//   play.
// - Mute: the player silences the muted tracks' channels, so that a track
//   is muted or heard again at once while the pattern goes on, without a
//   new export. The mutes belong to the chord variation that plays and are
//   cleared when another node is played.
// - Position: from the player's tick (the export's 384 ticks per quarter
//   note) by the element's time signature, bar and beat counted from 1,
//   within the chord variation's measures (a loop starts again at 1:1).
// - Audio export: the node's file rendered by the player into a WAV file,
//   with the tempo and, while loop is on, AUDIO_LOOPS passes.
// - Playhead: the piano roll's line follows the player's own tick (the
//   tick the sound has reached), not a clock of the window, wrapped within
//   the pattern as a loop plays it again.
// - One note: a note clicked in the roll sounds once on its track's channel
//   with the track's voice (program and bank select as the export sets them
//   at tick 0), for as long as it lasts at the tempo, within a floor that
//   keeps a drum stroke audible and a ceiling that keeps a held chord note
//   from ringing on.
#pragma once

#include "Base/QdTypes.h"

#include <cstdint>
#include <string>

class CQdBankDoc;
class CQdDocPrompt;
struct CQdRoll;
struct CQdRollNote;
struct CQdTreeNode;

// CQdNoteSound -- one note for a player to sound on its own: the channel
// set to the voice first (a value of -1 leaves that part as it is), then the
// note, ended after its duration.
struct CQdNoteSound
{
    BYTE m_byChannel = 0; // 0-based
    int m_iProgram = -1;
    int m_iBankMsb = -1;
    int m_iBankLsb = -1;
    BYTE m_byKey = 60;
    BYTE m_byVelocity = 100;
    int m_iDurationMs = 0;
    bool operator==(const CQdNoteSound& rkoOther) const = default;
};

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

    // What the desktop's playback adds; the defaults suit a player that
    // plays the file once, mutes nothing, knows no position and cannot
    // render.
    // SetLoop -- the next Play repeats the file until stopped.
    virtual void SetLoop(bool /*bLoop*/) {}
    // SetMutedChannels -- bit n set: MIDI channel n (0-based) is silent;
    // takes effect at once, also while playing.
    virtual void SetMutedChannels(std::uint16_t /*wMask*/) {}
    // GetTick -- the tick the playing file has reached; -1 when unknown.
    virtual long GetTick() const { return -1; }
    // PlayNote -- sounds one note now, also while a file plays; false
    // (nothing sounds) when the player cannot.
    virtual bool PlayNote(const CQdNoteSound& /*rkoNote*/) { return false; }
    // RenderToWave -- plays the MIDI file iLoops times into a WAV file
    // without a sound device; false with the reason in rstrError.
    virtual bool RenderToWave(const std::string& /*rkstrMidi*/, const std::string& /*rkstrWave*/, int /*iLoops*/,
                              std::string& rstrError)
    {
        rstrError = "This player cannot render audio";
        return false;
    }
};

// CQdPlayPosition -- where playback is: bar and beat counted from 1.
struct CQdPlayPosition
{
    int m_iBar = 1;
    int m_iBeat = 1;
};

// QdPlayPositionAt -- the bar and beat of a tick in a chord variation of
// byMeasures measures (0 taken as 1) in the time signature of byPacked
// (display code); the tick wraps around the chord variation's length.
CQdPlayPosition QdPlayPositionAt(long lTick, BYTE byPacked, BYTE byMeasures);

// QdNoteSoundOf -- how a note of the roll sounds on its own at iTempo
// (clamped to 40..300): its channel, key and velocity, its track's program
// and bank select from the roll (tick 0), its length in milliseconds held
// within CQdPlayback::MIN_NOTE_MS and MAX_NOTE_MS.
CQdNoteSound QdNoteSoundOf(const CQdRoll& rkoRoll, const CQdRollNote& rkoNote, int iTempo);

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
    static constexpr const char* CAPTION_EXPORT_AUDIO = "Export Audio";
    // The passes of the pattern an audio export renders while loop is on.
    static constexpr int AUDIO_LOOPS = 4;
    // The shortest and the longest a note clicked in the roll sounds.
    static constexpr int MIN_NOTE_MS = 150;
    static constexpr int MAX_NOTE_MS = 2000;

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
    // IsPlaying -- a file was started and not stopped since.
    bool IsPlaying() const { return HasTempFile(); }
    // The chord variation playing (or whose track plays); false when stopped.
    bool GetPlayingChordVar(BYTE& rbySe, BYTE& rbyCv) const;

    // Loop -- on by default; given to the player before each play.
    void SetLoop(bool bLoop);
    bool IsLooping() const { return m_bLoop; }
    // SetTrackMuted -- mutes or unmutes a track (0..7) of the chord
    // variation playing; the player hears of it at once.
    void SetTrackMuted(BYTE byTrack, bool bMuted);
    bool IsTrackMuted(BYTE byTrack) const { return byTrack < 8 && (m_byMutedTracks >> byTrack) & 1; }
    BYTE GetMutedTracks() const { return m_byMutedTracks; }
    // MutedChannels -- the MIDI channels of the muted tracks, as the player takes them.
    static std::uint16_t MutedChannels(BYTE byMutedTracks);
    // GetPosition -- where the playing chord variation is; false when
    // stopped or the player knows no position.
    bool GetPosition(CQdPlayPosition& roPosition);

    // GetPlayheadTick -- where the player is in the roll's pattern
    // (CQdRollGrid::LoopTick of its tick); false when the roll's chord
    // variation is not the one playing or the player knows no position.
    bool GetPlayheadTick(const CQdRoll& rkoRoll, TTICK& rtTick) const;
    // PlayRollNote -- the note of the roll sounds once (QdNoteSoundOf at
    // iTempo); false when the player cannot sound it. Nothing is told: a
    // click that makes no sound needs no message.
    bool PlayRollNote(const CQdRoll& rkoRoll, const CQdRollNote& rkoNote, int iTempo);

    // ExportAudio -- the Export Audio command: the file choice (a WAV file
    // named by the node's standard name), then RenderNode; a failure is
    // told. True when the file was written.
    bool ExportAudio(const CQdTreeNode& rkoNode, int iTempo);
    // RenderNode -- the chord variation or track of the node at iTempo,
    // looped as IsLooping says (AUDIO_LOOPS passes), into rkstrWave; the
    // temporary MIDI file goes after. False with the reason in rstrError.
    bool RenderNode(const CQdTreeNode& rkoNode, int iTempo, const std::string& rkstrWave, std::string& rstrError);
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
    // The chord variation of the file playing.
    BYTE m_bySe = 0;
    BYTE m_byCv = 0;
    bool m_bLoop = true;
    BYTE m_byMutedTracks = 0;
    // The WAV files' folder of the last audio export.
    std::string m_strWaveDir;
};
