// QdPlayer.cpp -- test playback through FluidSynth: the engine (settings,
// synthesizer, soundfont, audio driver), the player of one file, the error
// numbers and texts, and rendering into a WAV file without an audio device.
#include "QdPlayer.h"

#include "QdChannelRouting.h"

#include <fluidsynth.h>

#include <sys/stat.h>

#include <algorithm>

namespace
{
// FluidSynth's log function is process-wide: it is installed once and hands
// each line to the owner registered last; without one the line is dropped,
// never printed.
std::mutex g_oOwnerMutex;
CQdPlayer* g_poLogOwner = nullptr;
bool g_bLogInstalled = false;

// Rendering stops after this much audio even if the file never ends.
const int kiMaxRenderSeconds = 600;

// IsReadableFile -- a regular file that exists.
bool IsReadableFile(const std::string& rkstrPath)
{
    struct stat oStat;
    return !rkstrPath.empty() && stat(rkstrPath.c_str(), &oStat) == 0 && S_ISREG(oStat.st_mode);
}

constexpr int NR_MIDI_CHANNELS = 16;
constexpr int CTRL_BANK_MSB = 0;
constexpr int CTRL_BANK_LSB = 32;

// Route -- a channel message into the synthesizer the way the playback
// callback passes a file's events on, so that a note's voice is set as the
// file would set it (a drum kit on the rhythm tracks and with MSB 120).
void Route(CQdRouting& roRouting, int iChannel, int iType, int iData1, int iData2)
{
    fluid_midi_event_t* poEvent = new_fluid_midi_event();
    if (poEvent == nullptr)
        return;
    fluid_midi_event_set_type(poEvent, iType);
    fluid_midi_event_set_channel(poEvent, iChannel);
    if (iType == 0xC0)
        fluid_midi_event_set_program(poEvent, iData1);
    else
    {
        fluid_midi_event_set_control(poEvent, iData1);
        fluid_midi_event_set_value(poEvent, iData2);
    }
    QdRouteEvent(&roRouting, poEvent);
    delete_fluid_midi_event(poEvent);
}

// AddLoops -- the file iLoops times into the player's play list: the
// player plays them back to back, each from its own tick 0, as the keyboard
// repeats a pattern.
bool AddLoops(fluid_player_t* poPlayer, const std::string& rkstrMidi, int iLoops)
{
    for (int i = 0; i < iLoops; ++i)
        if (fluid_player_add(poPlayer, rkstrMidi.c_str()) != FLUID_OK)
            return false;
    return true;
}

// PlayRouted -- starts the player with the rhythm tracks' channels as drum
// kits and the bank select MSB routing the other channels.
bool PlayRouted(fluid_player_t* poPlayer, CQdRouting& roRouting)
{
    QdResetChannelTypes(roRouting.m_poSynth);
    fluid_player_set_playback_callback(poPlayer, &QdRouteEvent, &roRouting);
    return fluid_player_play(poPlayer) == FLUID_OK;
}

// SetCommonSettings -- settings both the live player and the renderer need.
void SetCommonSettings(fluid_settings_t* poSettings)
{
    // Locking the sample memory needs privileges a desktop user lacks.
    fluid_settings_setint(poSettings, "synth.lock-memory", 0);
    QdPrepareRoutingSettings(poSettings);
}
} // namespace

// CQdPlayer::CQdPlayer -- nothing created yet; this owner receives FluidSynth's log.
CQdPlayer::CQdPlayer(const std::string& rkstrSoundFont, const std::string& rkstrDriver)
    : m_strSoundFont(rkstrSoundFont), m_strDriver(rkstrDriver)
{
    std::lock_guard<std::mutex> oLock(g_oOwnerMutex);
    if (!g_bLogInstalled)
    {
        for (int iLevel = FLUID_PANIC; iLevel < LAST_LOG_LEVEL; ++iLevel)
            fluid_set_log_function(iLevel, &CQdPlayer::LogToList, nullptr);
        g_bLogInstalled = true;
    }
    g_poLogOwner = this;
}

// CQdPlayer::~CQdPlayer -- handles released in reverse, then the log detached.
CQdPlayer::~CQdPlayer()
{
    Release();
    std::lock_guard<std::mutex> oLock(g_oOwnerMutex);
    if (g_poLogOwner == this)
        g_poLogOwner = nullptr;
}

// CQdPlayer::LogToList -- FluidSynth's log callback: one line per message.
void CQdPlayer::LogToList(int iLevel, const char* pszMessage, void* /*pvData*/)
{
    static const char* const kapszLevel[] = {"panic", "error", "warning", "info", "debug"};
    std::lock_guard<std::mutex> oLock(g_oOwnerMutex);
    if (g_poLogOwner == nullptr || pszMessage == nullptr)
        return;
    std::string strLine = (iLevel >= 0 && iLevel < 5) ? kapszLevel[iLevel] : "log";
    strLine += ": ";
    strLine += pszMessage;
    std::lock_guard<std::mutex> oListLock(g_poLogOwner->m_oLogMutex);
    g_poLogOwner->m_astrDiagnostics.push_back(strLine);
}

// CQdPlayer::GetDiagnostics -- a copy of the lines FluidSynth logged so far.
std::vector<std::string> CQdPlayer::GetDiagnostics() const
{
    std::lock_guard<std::mutex> oLock(m_oLogMutex);
    return m_astrDiagnostics;
}

// CQdPlayer::FindSoundFont -- the first General MIDI soundfont of the Debian
// packages (default-GM is the alternatives link any of them may provide).
std::string CQdPlayer::FindSoundFont()
{
    static const char* const kapszPaths[] = {
        "/usr/share/sounds/sf2/default-GM.sf2",
        "/usr/share/sounds/sf2/TimGM6mb.sf2",
        "/usr/share/sounds/sf3/default-GM.sf3",
        "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    };
    for (const char* pszPath : kapszPaths)
        if (IsReadableFile(pszPath))
            return pszPath;
    return std::string();
}

// CQdPlayer::FormatError -- the text the window shows under "MediaPlayer".
std::string CQdPlayer::FormatError(int iNumber, const std::string& rkstrText)
{
    return "Error " + std::to_string(iNumber) + ": " + rkstrText;
}

// CQdPlayer::GetLastError -- number and text of the last failure (0, "" after a success).
void CQdPlayer::GetLastError(int& riNumber, std::string& rstrText) const
{
    riNumber = m_iErrNumber;
    rstrText = m_strErrText;
}

// CQdPlayer::GetErrorMessage -- the last failure formatted, "" after a success.
std::string CQdPlayer::GetErrorMessage() const
{
    return m_iErrNumber == QDPLAYER_OK ? std::string() : FormatError(m_iErrNumber, m_strErrText);
}

// CQdPlayer::Fail -- records a failure; always false, for "return Fail(...)".
bool CQdPlayer::Fail(int iNumber, const std::string& rkstrText)
{
    m_iErrNumber = iNumber;
    m_strErrText = rkstrText;
    return false;
}

// CQdPlayer::Succeed -- clears the last failure; always true.
bool CQdPlayer::Succeed()
{
    m_iErrNumber = QDPLAYER_OK;
    m_strErrText.clear();
    return true;
}

// CQdPlayer::IsOpen -- a file is loaded into a player.
bool CQdPlayer::IsOpen() const
{
    return m_poPlayer != nullptr;
}

// CQdPlayer::IsReady -- synthesizer, audio driver and soundfont are all there.
bool CQdPlayer::IsReady() const
{
    return m_poSynth != nullptr && m_poDriver != nullptr && m_iSoundFontId >= 0;
}

// CQdPlayer::IsPlaying -- the player runs and has not reached the file's end.
bool CQdPlayer::IsPlaying() const
{
    return m_poPlayer != nullptr && fluid_player_get_status(m_poPlayer) == FLUID_PLAYER_PLAYING;
}

// CQdPlayer::CreateEngine -- settings, synthesizer and soundfont, in that
// order; kept across files once all are there. The audio driver comes with
// each file player (CreateFilePlayer).
bool CQdPlayer::CreateEngine()
{
    if (m_poSynth != nullptr && m_iSoundFontId >= 0)
        return true;
    Release();
    std::string strSoundFont = m_strSoundFont.empty() ? FindSoundFont() : m_strSoundFont;
    if (strSoundFont.empty())
        return Fail(QDPLAYER_ERR_NO_SOUNDFONT,
                    "No General MIDI soundfont found (install timgm6mb-soundfont or fluid-soundfont-gm)");
    if (!IsReadableFile(strSoundFont))
        return Fail(QDPLAYER_ERR_NO_SOUNDFONT, "No soundfont found at " + strSoundFont);
    // Checked before loading: the loaders of other formats complain on stderr.
    if (!fluid_is_soundfont(strSoundFont.c_str()))
        return Fail(QDPLAYER_ERR_NO_SOUNDFONT, strSoundFont + " is not a soundfont");

    m_poSettings = new_fluid_settings();
    if (m_poSettings == nullptr)
        return Fail(QDPLAYER_ERR_SYNTH, "The synthesizer settings could not be created");
    SetCommonSettings(m_poSettings);
    if (!m_strDriver.empty())
        fluid_settings_setstr(m_poSettings, "audio.driver", m_strDriver.c_str());
    m_poSynth = new_fluid_synth(m_poSettings);
    if (m_poSynth == nullptr)
    {
        Release();
        return Fail(QDPLAYER_ERR_SYNTH, "The synthesizer could not be created");
    }
    m_iSoundFontId = fluid_synth_sfload(m_poSynth, strSoundFont.c_str(), 1);
    if (m_iSoundFontId == FLUID_FAILED)
    {
        Release();
        return Fail(QDPLAYER_ERR_NO_SOUNDFONT, "The soundfont " + strSoundFont + " could not be loaded");
    }
    return true;
}

// CQdPlayer::DeletePlayer -- the audio driver stops first, then the file
// player goes. FluidSynth forbids creating or deleting a player while a
// driver renders its synthesizer: the driver's thread walks the player's
// timer and calls into the player, so it would go on through a timer freed
// under it. The driver therefore never runs while the player changes.
void CQdPlayer::DeletePlayer()
{
    if (m_poDriver != nullptr)
    {
        delete_fluid_audio_driver(m_poDriver);
        m_poDriver = nullptr;
    }
    if (m_poPlayer != nullptr)
    {
        delete_fluid_player(m_poPlayer);
        m_poPlayer = nullptr;
    }
}

// CQdPlayer::CreateFilePlayer -- a fresh player of m_strPath, at its start,
// then the audio driver that renders it. FluidSynth's player forgets a file
// once it has played to the end, so a new one is the reliable way back to
// the start.
bool CQdPlayer::CreateFilePlayer()
{
    DeletePlayer();
    m_poPlayer = new_fluid_player(m_poSynth);
    if (m_poPlayer == nullptr)
        return Fail(QDPLAYER_ERR_PLAYBACK, "The MIDI player could not be created");
    // The engine outlives its files: each file starts from the rhythm
    // tracks' drum channels alone.
    QdResetChannelTypes(m_poSynth);
    m_oRouting.m_poSynth = m_poSynth;
    fluid_player_set_playback_callback(m_poPlayer, &QdRouteEvent, &m_oRouting);
    fluid_player_set_loop(m_poPlayer, m_bLoop ? -1 : 1);
    if (fluid_player_add(m_poPlayer, m_strPath.c_str()) != FLUID_OK)
    {
        DeletePlayer();
        return Fail(QDPLAYER_ERR_FILE, "The file " + m_strPath + " could not be loaded");
    }
    m_poDriver = new_fluid_audio_driver(m_poSettings, m_poSynth);
    if (m_poDriver == nullptr)
    {
        DeletePlayer();
        return Fail(QDPLAYER_ERR_NO_AUDIO, "No audio output available (no sound server or sound card)");
    }
    return true;
}

// CQdPlayer::Open -- loads a Standard MIDI File, ready to play from its start.
bool CQdPlayer::Open(const std::string& rkstrPath)
{
    Close();
    // Checked first: a bad file is reported as such even without audio.
    if (!IsReadableFile(rkstrPath) || !fluid_is_midifile(rkstrPath.c_str()))
        return Fail(QDPLAYER_ERR_FILE, "The file " + rkstrPath + " is missing or not a MIDI file");
    if (!CreateEngine())
        return false;
    m_strPath = rkstrPath;
    if (!CreateFilePlayer())
    {
        m_strPath.clear();
        return false;
    }
    return Succeed();
}

// CQdPlayer::Play -- starts the open file; after Stop or the file's end it
// begins again at the start (FluidSynth reports both as "done").
bool CQdPlayer::Play()
{
    if (m_poPlayer == nullptr)
        return Fail(QDPLAYER_ERR_PLAYBACK, "No file is open");
    if (fluid_player_get_status(m_poPlayer) == FLUID_PLAYER_DONE && !CreateFilePlayer())
        return false;
    if (fluid_player_play(m_poPlayer) != FLUID_OK)
        return Fail(QDPLAYER_ERR_PLAYBACK, "Playback could not be started");
    return Succeed();
}

// CQdPlayer::Stop -- halts the player and silences every channel; no file open is no failure.
bool CQdPlayer::Stop()
{
    if (m_poPlayer == nullptr)
        return true;
    fluid_player_stop(m_poPlayer);
    // The player leaves sounding notes on; they would ring on.
    fluid_synth_all_notes_off(m_poSynth, -1);
    return Succeed();
}

// CQdPlayer::Rewind -- back to the start of the file; a running player goes on from there.
bool CQdPlayer::Rewind()
{
    if (m_poPlayer == nullptr)
        return Fail(QDPLAYER_ERR_PLAYBACK, "No file is open");
    bool bWasPlaying = IsPlaying();
    if (bWasPlaying)
    {
        if (fluid_player_seek(m_poPlayer, 0) != FLUID_OK)
            return Fail(QDPLAYER_ERR_PLAYBACK, "The player could not return to the start");
        return Succeed();
    }
    if (!CreateFilePlayer())
        return false;
    return Succeed();
}

// CQdPlayer::SetLoop -- kept for the players made later (each file, each
// play after the end gets a new one) and given to the one there is.
void CQdPlayer::SetLoop(bool bLoop)
{
    m_bLoop = bLoop;
    if (m_poPlayer != nullptr)
        fluid_player_set_loop(m_poPlayer, bLoop ? -1 : 1);
}

// CQdPlayer::SetMutedChannels -- the notes sounding on a channel muted now
// stop at once; the callback holds back the next ones.
void CQdPlayer::SetMutedChannels(std::uint16_t wMask)
{
    const std::uint16_t wBefore = m_oRouting.m_wMuted.exchange(wMask);
    if (m_poSynth == nullptr)
        return;
    for (int iChannel = 0; iChannel < NR_MIDI_CHANNELS; ++iChannel)
        if (((wMask & ~wBefore) >> iChannel) & 1)
            fluid_synth_all_notes_off(m_poSynth, iChannel);
}

long CQdPlayer::GetTick() const
{
    return m_poPlayer != nullptr ? long(fluid_player_get_current_tick(m_poPlayer)) : -1;
}

// CQdPlayer::CreateSequencer -- once per synthesizer; the sequencer counts
// milliseconds (its default scale) on the samples the synthesizer renders.
bool CQdPlayer::CreateSequencer()
{
    if (m_poSequencer != nullptr)
        return true;
    m_poSequencer = new_fluid_sequencer2(0);
    if (m_poSequencer == nullptr)
        return false;
    m_iSynthClient = fluid_sequencer_register_fluidsynth(m_poSequencer, m_poSynth);
    if (m_iSynthClient == FLUID_FAILED)
    {
        delete_fluid_sequencer(m_poSequencer);
        m_poSequencer = nullptr;
        return false;
    }
    return true;
}

bool CQdPlayer::PlayNote(const CQdNoteSound& rkoNote)
{
    if (rkoNote.m_byChannel >= NR_MIDI_CHANNELS || !CreateEngine())
        return false;
    if (m_poDriver == nullptr)
    {
        // Nothing plays: the channels start as a file's do.
        QdResetChannelTypes(m_poSynth);
        m_oRouting.m_poSynth = m_poSynth;
        m_poDriver = new_fluid_audio_driver(m_poSettings, m_poSynth);
        if (m_poDriver == nullptr)
            return Fail(QDPLAYER_ERR_NO_AUDIO, "No audio output available (no sound server or sound card)");
    }
    if (!CreateSequencer())
        return Fail(QDPLAYER_ERR_SYNTH, "The note sequencer could not be created");
    const int iChannel = rkoNote.m_byChannel;
    if (rkoNote.m_iBankMsb >= 0)
        Route(m_oRouting, iChannel, 0xB0, CTRL_BANK_MSB, rkoNote.m_iBankMsb & 0x7F);
    if (rkoNote.m_iBankLsb >= 0)
        Route(m_oRouting, iChannel, 0xB0, CTRL_BANK_LSB, rkoNote.m_iBankLsb & 0x7F);
    if (rkoNote.m_iProgram >= 0)
        Route(m_oRouting, iChannel, 0xC0, rkoNote.m_iProgram & 0x7F, 0);
    // Straight to the synthesizer: a note asked for sounds also on a muted channel.
    if (fluid_synth_noteon(m_poSynth, iChannel, rkoNote.m_byKey & 0x7F, std::max<int>(rkoNote.m_byVelocity & 0x7F, 1)) !=
        FLUID_OK)
        return Fail(QDPLAYER_ERR_PLAYBACK, "The note could not be played");
    fluid_event_t* poOff = new_fluid_event();
    if (poOff == nullptr)
        return Fail(QDPLAYER_ERR_SYNTH, "The note's end could not be scheduled");
    fluid_event_set_source(poOff, -1);
    fluid_event_set_dest(poOff, m_iSynthClient);
    fluid_event_noteoff(poOff, iChannel, short(rkoNote.m_byKey & 0x7F));
    const int iSent = fluid_sequencer_send_at(m_poSequencer, poOff, unsigned(std::max(rkoNote.m_iDurationMs, 1)), 0);
    delete_fluid_event(poOff);
    if (iSent != FLUID_OK)
    {
        fluid_synth_noteoff(m_poSynth, iChannel, rkoNote.m_byKey & 0x7F);
        return Fail(QDPLAYER_ERR_SYNTH, "The note's end could not be scheduled");
    }
    return Succeed();
}

bool CQdPlayer::RenderToWave(const std::string& rkstrMidi, const std::string& rkstrWave, int iLoops,
                             std::string& rstrError)
{
    CQdRenderOptions oOptions;
    oOptions.m_iLoops = iLoops;
    const std::string strSoundFont = m_strSoundFont.empty() ? FindSoundFont() : m_strSoundFont;
    if (strSoundFont.empty())
    {
        rstrError = "No General MIDI soundfont found (install timgm6mb-soundfont or fluid-soundfont-gm)";
        return false;
    }
    return RenderToWave(rkstrMidi, rkstrWave, strSoundFont, rstrError, oOptions) == QDPLAYER_OK;
}

std::vector<CQdChannelPreset> CQdPlayer::GetChannelPresets() const
{
    std::vector<CQdChannelPreset> aoPresets;
    if (m_poSynth == nullptr)
        return aoPresets;
    aoPresets.assign(NR_MIDI_CHANNELS, CQdChannelPreset());
    for (int iChannel = 0; iChannel < NR_MIDI_CHANNELS; ++iChannel)
    {
        int iSoundFont = -1;
        CQdChannelPreset& roPreset = aoPresets[std::size_t(iChannel)];
        fluid_synth_get_program(m_poSynth, iChannel, &iSoundFont, &roPreset.m_iBank, &roPreset.m_iProgram);
    }
    return aoPresets;
}

// CQdPlayer::Close -- stops and forgets the file; the engine stays for the
// next one (and a driver made for notes alone goes on rendering them).
void CQdPlayer::Close()
{
    if (m_poPlayer != nullptr)
    {
        fluid_player_stop(m_poPlayer);
        DeletePlayer();
        fluid_synth_all_notes_off(m_poSynth, -1);
    }
    m_strPath.clear();
}

// CQdPlayer::Release -- driver and player, the note sequencer, synthesizer
// (with its soundfont), settings: the reverse of their creation. The driver
// goes first also when it renders notes alone: nothing may render a
// synthesizer being deleted.
void CQdPlayer::Release()
{
    Close();
    DeletePlayer();
    if (m_poSequencer != nullptr)
    {
        delete_fluid_sequencer(m_poSequencer);
        m_poSequencer = nullptr;
        m_iSynthClient = -1;
    }
    if (m_poSynth != nullptr)
    {
        delete_fluid_synth(m_poSynth);
        m_poSynth = nullptr;
    }
    m_iSoundFontId = -1;
    if (m_poSettings != nullptr)
    {
        delete_fluid_settings(m_poSettings);
        m_poSettings = nullptr;
    }
}

// CQdPlayer::RenderToWave -- the whole file through the soundfont into a
// 16-bit WAV file. The player is driven by the rendered samples, not by the
// clock, so this runs as fast as the machine allows.
int CQdPlayer::RenderToWave(const std::string& rkstrMidi, const std::string& rkstrWave,
                            const std::string& rkstrSoundFont, std::string& rstrText,
                            const CQdRenderOptions& rkoOptions)
{
    if (rkoOptions.m_iLoops < 1 || rkoOptions.m_iLoops > CQdRenderOptions::MAX_LOOPS)
    {
        rstrText = "The loop count " + std::to_string(rkoOptions.m_iLoops) + " is not 1 to " +
                   std::to_string(CQdRenderOptions::MAX_LOOPS);
        return QDPLAYER_ERR_PLAYBACK;
    }
    if (!IsReadableFile(rkstrSoundFont) || !fluid_is_soundfont(rkstrSoundFont.c_str()))
    {
        rstrText = "No soundfont found at " + rkstrSoundFont;
        return QDPLAYER_ERR_NO_SOUNDFONT;
    }
    if (!IsReadableFile(rkstrMidi) || !fluid_is_midifile(rkstrMidi.c_str()))
    {
        rstrText = "The file " + rkstrMidi + " is missing or not a MIDI file";
        return QDPLAYER_ERR_FILE;
    }

    int iResult = QDPLAYER_OK;
    rstrText.clear();
    fluid_settings_t* poSettings = new_fluid_settings();
    fluid_synth_t* poSynth = nullptr;
    fluid_player_t* poPlayer = nullptr;
    fluid_file_renderer_t* poRenderer = nullptr;
    CQdRouting oRouting;
    if (poSettings == nullptr)
    {
        rstrText = "The synthesizer settings could not be created";
        return QDPLAYER_ERR_SYNTH;
    }
    SetCommonSettings(poSettings);
    fluid_settings_setstr(poSettings, "audio.file.name", rkstrWave.c_str());
    fluid_settings_setstr(poSettings, "audio.file.type", "wav");
    fluid_settings_setstr(poSettings, "audio.file.format", "s16");
    fluid_settings_setstr(poSettings, "player.timing-source", "sample");
    // The loops play on as one performance, as the keyboard repeats a
    // pattern: the synthesizer is not reset between them, and its channels
    // keep what the tick-0 events set.
    fluid_settings_setint(poSettings, "player.reset-synth", 0);

    poSynth = new_fluid_synth(poSettings);
    oRouting.m_poSynth = poSynth;
    oRouting.m_wMuted = rkoOptions.m_wMutedChannels;
    if (poSynth == nullptr)
    {
        rstrText = "The synthesizer could not be created";
        iResult = QDPLAYER_ERR_SYNTH;
    }
    else if (fluid_synth_sfload(poSynth, rkstrSoundFont.c_str(), 1) == FLUID_FAILED)
    {
        rstrText = "The soundfont " + rkstrSoundFont + " could not be loaded";
        iResult = QDPLAYER_ERR_NO_SOUNDFONT;
    }
    else if ((poPlayer = new_fluid_player(poSynth)) == nullptr || !AddLoops(poPlayer, rkstrMidi, rkoOptions.m_iLoops))
    {
        rstrText = "The file " + rkstrMidi + " could not be loaded";
        iResult = QDPLAYER_ERR_FILE;
    }
    else if ((poRenderer = new_fluid_file_renderer(poSynth)) == nullptr)
    {
        rstrText = "The file renderer could not write " + rkstrWave;
        iResult = QDPLAYER_ERR_PLAYBACK;
    }
    else if (!PlayRouted(poPlayer, oRouting))
    {
        rstrText = "Playback could not be started";
        iResult = QDPLAYER_ERR_PLAYBACK;
    }
    else
    {
        double dRate = 44100.0;
        int iPeriod = 64;
        fluid_settings_getnum(poSettings, "synth.sample-rate", &dRate);
        fluid_settings_getint(poSettings, "audio.period-size", &iPeriod);
        long lMaxBlocks = long(dRate * kiMaxRenderSeconds) / (iPeriod > 0 ? iPeriod : 64);
        long lBlock = 0;
        // FluidSynth's player goes on for seconds after the last file's end
        // of track: the rendering ends at that tick instead, so that the
        // audio lasts exactly the loops. A file of the play list begins when
        // the player's tick falls back.
        int iLoopsDone = 0;
        int iLastTick = 0;
        while (fluid_player_get_status(poPlayer) == FLUID_PLAYER_PLAYING && lBlock < lMaxBlocks)
        {
            if (fluid_file_renderer_process_block(poRenderer) != FLUID_OK)
            {
                rstrText = "Writing " + rkstrWave + " failed";
                iResult = QDPLAYER_ERR_PLAYBACK;
                break;
            }
            ++lBlock;
            const int iTick = fluid_player_get_current_tick(poPlayer);
            if (iTick < iLastTick)
                ++iLoopsDone;
            iLastTick = iTick;
            if (iLoopsDone >= rkoOptions.m_iLoops - 1 && iTick >= fluid_player_get_total_ticks(poPlayer))
                break;
        }
    }

    if (rkoOptions.m_paoPresets != nullptr && poSynth != nullptr)
    {
        rkoOptions.m_paoPresets->assign(NR_MIDI_CHANNELS, CQdChannelPreset());
        for (int iChannel = 0; iChannel < NR_MIDI_CHANNELS; ++iChannel)
        {
            int iSoundFont = -1;
            CQdChannelPreset& roPreset = (*rkoOptions.m_paoPresets)[std::size_t(iChannel)];
            fluid_synth_get_program(poSynth, iChannel, &iSoundFont, &roPreset.m_iBank, &roPreset.m_iProgram);
        }
    }

    // Reverse order of creation.
    if (poRenderer != nullptr)
        delete_fluid_file_renderer(poRenderer);
    if (poPlayer != nullptr)
        delete_fluid_player(poPlayer);
    if (poSynth != nullptr)
        delete_fluid_synth(poSynth);
    delete_fluid_settings(poSettings);
    return iResult;
}
