// QdPlayer.h -- test playback of a Standard MIDI File through FluidSynth and
// a General MIDI soundfont found on the system. No GUI: the window shows the
// error texts this class gives.
#ifndef QD_PLAYER_H
#define QD_PLAYER_H

#include "BankDoc/QdPlayback.h"
#include "QdChannelRouting.h"

#include <fluidsynth/types.h>

#include <mutex>
#include <string>
#include <vector>

// Error numbers of the player, shown as "Error " + number + ": " + text.
enum EQdPlayerError
{
    QDPLAYER_OK = 0,
    QDPLAYER_ERR_NO_SOUNDFONT = 1,  // no soundfont found, or it does not load
    QDPLAYER_ERR_NO_AUDIO = 2,      // no audio output device or server
    QDPLAYER_ERR_FILE = 3,          // the MIDI file is missing or not a MIDI file
    QDPLAYER_ERR_SYNTH = 4,         // the synthesizer could not be created
    QDPLAYER_ERR_PLAYBACK = 5,      // play, stop or rewind failed, or no file open
};

// A channel's sound as the synthesizer holds it: soundfont bank and program.
struct CQdChannelPreset
{
    int m_iBank = -1;
    int m_iProgram = -1;
};

// CQdRenderOptions -- how CQdPlayer::RenderToWave plays the file.
struct CQdRenderOptions
{
    // The file played this many times in a row (1 to MAX_LOOPS), as the
    // keyboard loops a pattern.
    int m_iLoops = 1;
    static constexpr int MAX_LOOPS = 100;
    // Channels that play no notes (bit n: channel n, 0-based).
    std::uint16_t m_wMutedChannels = 0;
    // When set, receives the 16 channels' presets after the rendering.
    std::vector<CQdChannelPreset>* m_paoPresets = nullptr;
};

// CQdPlayer -- owns the FluidSynth handles: settings, synthesizer, the player
// of the open file and the audio driver that renders it. They are created in
// that order by Open; Close releases player and driver, the destructor the rest.
// FluidSynth's log goes into the diagnostics list of the owner created last.
class CQdPlayer : public CQdMediaPlayer
{
public:
    // rkstrSoundFont empty: the soundfont is searched by FindSoundFont.
    // rkstrDriver empty: FluidSynth's default audio driver (PulseAudio, ALSA ...).
    explicit CQdPlayer(const std::string& rkstrSoundFont = std::string(), const std::string& rkstrDriver = std::string());
    ~CQdPlayer() override;
    CQdPlayer(const CQdPlayer&) = delete;
    CQdPlayer& operator=(const CQdPlayer&) = delete;

    bool Open(const std::string& rkstrPath) override;
    bool Play() override;
    bool Stop() override;
    bool Rewind() override;
    void Close() override;
    // SetLoop -- a file played repeats until stopped (FluidSynth's loop).
    void SetLoop(bool bLoop) override;
    void SetMutedChannels(std::uint16_t wMask) override;
    long GetTick() const override;
    // PlayNote -- the note through the live synthesizer: the voice routed as
    // a file's tick-0 events are (QdRouteEvent), the note-off scheduled by
    // FluidSynth's sequencer on the synthesizer's own clock. Without a file
    // open the engine and an audio driver are made for the note.
    bool PlayNote(const CQdNoteSound& rkoNote) override;
    // RenderToWave -- the static RenderToWave with this player's soundfont.
    bool RenderToWave(const std::string& rkstrMidi, const std::string& rkstrWave, int iLoops,
                      std::string& rstrError) override;
    // The presets of the live synthesizer's 16 channels (empty before the
    // first file): what the channels sound as while playing.
    std::vector<CQdChannelPreset> GetChannelPresets() const;

    bool IsOpen() const;
    bool IsPlaying() const;
    // Synthesizer, audio driver and soundfont are all there.
    bool IsReady() const;

    // The last failure; number 0 and empty text after a success.
    void GetLastError(int& riNumber, std::string& rstrText) const override;
    std::string GetErrorMessage() const;
    static std::string FormatError(int iNumber, const std::string& rkstrText);

    std::vector<std::string> GetDiagnostics() const;

    // The first General MIDI soundfont of the usual Debian places, or "".
    static std::string FindSoundFont();

    // Plays rkstrMidi into a 16-bit WAV file without an audio device; 0 or an
    // error number, with its text in rstrText.
    static int RenderToWave(const std::string& rkstrMidi, const std::string& rkstrWave,
                            const std::string& rkstrSoundFont, std::string& rstrText,
                            const CQdRenderOptions& rkoOptions = CQdRenderOptions());

private:
    bool Fail(int iNumber, const std::string& rkstrText);
    bool Succeed();
    bool CreateEngine();
    bool CreateFilePlayer();
    void DeletePlayer();
    bool CreateSequencer();
    void Release();
    static void LogToList(int iLevel, const char* pszMessage, void* pvData);

    std::string m_strSoundFont;
    std::string m_strDriver;
    std::string m_strPath;
    fluid_settings_t* m_poSettings = nullptr;
    fluid_synth_t* m_poSynth = nullptr;
    int m_iSoundFontId = -1;
    fluid_audio_driver_t* m_poDriver = nullptr;
    fluid_player_t* m_poPlayer = nullptr;
    // Ends the notes PlayNote starts; driven by the synthesizer's samples,
    // so it runs with whichever audio driver renders.
    fluid_sequencer_t* m_poSequencer = nullptr;
    fluid_seq_id_t m_iSynthClient = -1;
    bool m_bLoop = false;
    CQdRouting m_oRouting;

    int m_iErrNumber = QDPLAYER_OK;
    std::string m_strErrText;

    // FluidSynth may log from its audio and timer threads.
    mutable std::mutex m_oLogMutex;
    std::vector<std::string> m_astrDiagnostics;
};

#endif
