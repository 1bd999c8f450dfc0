// QdPlayerTest.cpp -- test playback: rendering is audible, failures carry
// their numbers and texts, and every command order is safe with or without
// an audio device.
#include "QdPlayer.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include <unistd.h>

namespace
{
// Format 0, 96 ticks a quarter: piano, a C major chord held for two seconds.
const unsigned char kabChordSmf[] = {
    'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
    'M', 'T', 'r', 'k', 0, 0, 0, 32,
    0x00, 0xC0, 0x00,
    0x00, 0x90, 0x3C, 0x64, 0x00, 0x90, 0x40, 0x64, 0x00, 0x90, 0x43, 0x64,
    0x83, 0x00, 0x80, 0x3C, 0x40, 0x00, 0x80, 0x40, 0x40, 0x00, 0x80, 0x43, 0x40,
    0x00, 0xFF, 0x2F, 0x00,
};

// WriteFile -- the file in the temporary folder under a name of this process:
// CTest runs the tests of this suite in parallel processes, which must not
// rewrite each other's file while a player opens it.
std::string WriteFile(const std::string& rkstrName, const void* pvData, std::size_t nSize)
{
    std::string strPath = testing::TempDir() + std::to_string(getpid()) + "-" + rkstrName;
    std::ofstream oOut(strPath, std::ios::binary);
    oOut.write(static_cast<const char*>(pvData), std::streamsize(nSize));
    return strPath;
}

std::string WriteChordSmf()
{
    return WriteFile("qdplayer_chord.mid", kabChordSmf, sizeof kabChordSmf);
}

// ReadWaveSamples -- the 16-bit samples of a WAV file's data chunk.
std::vector<int16_t> ReadWaveSamples(const std::string& rkstrPath)
{
    std::ifstream oIn(rkstrPath, std::ios::binary);
    std::vector<unsigned char> abFile((std::istreambuf_iterator<char>(oIn)), std::istreambuf_iterator<char>());
    std::vector<int16_t> aiSamples;
    if (abFile.size() < 12 || std::string(abFile.begin(), abFile.begin() + 4) != "RIFF")
        return aiSamples;
    std::size_t nPos = 12;
    while (abFile.size() - nPos >= 8)
    {
        std::string strId(abFile.begin() + long(nPos), abFile.begin() + long(nPos) + 4);
        std::size_t nLen = abFile[nPos + 4] | abFile[nPos + 5] << 8 | abFile[nPos + 6] << 16 | std::size_t(abFile[nPos + 7]) << 24;
        nPos += 8;
        if (nLen > abFile.size() - nPos)
            nLen = abFile.size() - nPos;
        if (strId == "data")
        {
            for (std::size_t n = 0; n + 1 < nLen; n += 2)
                aiSamples.push_back(int16_t(abFile[nPos + n] | abFile[nPos + n + 1] << 8));
            break;
        }
        nPos += nLen + (nLen & 1);
    }
    return aiSamples;
}
} // namespace

TEST(QdPlayer, RenderedChordIsAudibleAndRenderFailuresAreNumbered)
{
    std::string strSoundFont = CQdPlayer::FindSoundFont();
    if (strSoundFont.empty())
        GTEST_SKIP() << "no General MIDI soundfont installed";
    std::string strMidi = WriteChordSmf();
    std::string strWave = testing::TempDir() + "qdplayer_chord.wav";
    std::string strText;
    ASSERT_EQ(CQdPlayer::RenderToWave(strMidi, strWave, strSoundFont, strText), QDPLAYER_OK) << strText;

    std::vector<int16_t> aiSamples = ReadWaveSamples(strWave);
    // Two seconds of stereo at 44.1 kHz at least: the player ran to the end, not one block.
    ASSERT_GE(aiSamples.size(), std::size_t(2 * 2 * 44100 * 9 / 10));
    double dSum = 0.0;
    int iPeak = 0;
    for (int16_t iSample : aiSamples)
    {
        dSum += double(iSample) * iSample;
        iPeak = std::max(iPeak, std::abs(int(iSample)));
    }
    double dRms = std::sqrt(dSum / double(aiSamples.size()));
    EXPECT_GT(iPeak, 1000);
    EXPECT_GT(dRms, 100.0);

    EXPECT_EQ(CQdPlayer::RenderToWave(strMidi, strWave, "/nonexistent/gm.sf2", strText), QDPLAYER_ERR_NO_SOUNDFONT);
    EXPECT_EQ(CQdPlayer::RenderToWave("/nonexistent/x.mid", strWave, strSoundFont, strText), QDPLAYER_ERR_FILE);
}

// StyleSmf -- format 0, 96 ticks a quarter: the tick-0 events a style's export
// writes (bank select MSB, LSB, program per channel), then the notes given as
// (channel, key) pairs at tick 0, all ending at tick 96 with the track.
std::vector<unsigned char> StyleSmf(const std::vector<std::array<int, 3>>& raiChannelMsbProgram,
                                    const std::vector<std::pair<int, int>>& raiNotes)
{
    std::vector<unsigned char> abTrack;
    for (const auto& raiSetup : raiChannelMsbProgram)
    {
        const unsigned char byStatus = static_cast<unsigned char>(0xB0 | raiSetup[0]);
        abTrack.insert(abTrack.end(), {0x00, byStatus, 0x00, static_cast<unsigned char>(raiSetup[1])});
        abTrack.insert(abTrack.end(), {0x00, byStatus, 0x20, 0x00});
        abTrack.insert(abTrack.end(), {0x00, static_cast<unsigned char>(0xC0 | raiSetup[0]),
                                       static_cast<unsigned char>(raiSetup[2])});
    }
    for (const auto& [iChannel, iKey] : raiNotes)
        abTrack.insert(abTrack.end(), {0x00, static_cast<unsigned char>(0x90 | iChannel),
                                       static_cast<unsigned char>(iKey), 0x64});
    for (std::size_t n = 0; n < raiNotes.size(); ++n)
        abTrack.insert(abTrack.end(), {static_cast<unsigned char>(n == 0 ? 0x60 : 0x00),
                                       static_cast<unsigned char>(0x80 | raiNotes[n].first),
                                       static_cast<unsigned char>(raiNotes[n].second), 0x40});
    abTrack.insert(abTrack.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<unsigned char> abFile = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
    for (int i = 3; i >= 0; --i)
        abFile.push_back(static_cast<unsigned char>(abTrack.size() >> (8 * i)));
    abFile.insert(abFile.end(), abTrack.begin(), abTrack.end());
    return abFile;
}

// The rhythm tracks (Drum on channel 10, Percussion on channel 11, counted
// from 1) sound as drum kits whatever their bank select says; another
// channel becomes a kit with MSB 120 and is melodic with 121 (the General
// MIDI bank). A file rendered in a loop lasts the loops times its length.
TEST(QdPlayer, StyleChannelsSoundAsTheirTracksAndLoopsRepeatTheFile)
{
    const std::string strSoundFont = CQdPlayer::FindSoundFont();
    if (strSoundFont.empty())
        GTEST_SKIP() << "no General MIDI soundfont installed";
    const std::vector<unsigned char> abSetup =
        StyleSmf({{9, 120, 0}, {10, 0, 25}, {8, 121, 32}, {3, 120, 0}, {4, 121, 48}}, {{10, 38}});
    const std::string strMidi = WriteFile("qdplayer_style.mid", abSetup.data(), abSetup.size());
    const std::string strWave = testing::TempDir() + std::to_string(getpid()) + "-qdplayer_style.wav";
    std::vector<CQdChannelPreset> aoPresets;
    CQdRenderOptions oOptions;
    oOptions.m_paoPresets = &aoPresets;
    std::string strText;
    ASSERT_EQ(CQdPlayer::RenderToWave(strMidi, strWave, strSoundFont, strText, oOptions), QDPLAYER_OK) << strText;
    ASSERT_EQ(aoPresets.size(), 16u);
    const std::vector<std::array<int, 3>> aiExpected = {
        {9, 128, 0}, {10, 128, 25}, {8, 0, 32}, {3, 128, 0}, {4, 0, 48}};
    for (const auto& raiChannel : aiExpected)
    {
        EXPECT_EQ(aoPresets[std::size_t(raiChannel[0])].m_iBank, raiChannel[1]) << "channel " << raiChannel[0];
        EXPECT_EQ(aoPresets[std::size_t(raiChannel[0])].m_iProgram, raiChannel[2]) << "channel " << raiChannel[0];
    }

    // The Percussion track alone, on its drum kit, is heard; three loops of a
    // quarter note at 120 beats per minute last 1.5 s.
    const std::vector<unsigned char> abPercussion = StyleSmf({{10, 120, 0}}, {{10, 38}, {10, 42}});
    const std::string strPercussion = WriteFile("qdplayer_percussion.mid", abPercussion.data(), abPercussion.size());
    oOptions.m_iLoops = 3;
    ASSERT_EQ(CQdPlayer::RenderToWave(strPercussion, strWave, strSoundFont, strText, oOptions), QDPLAYER_OK)
        << strText;
    const std::vector<int16_t> aiSamples = ReadWaveSamples(strWave);
    EXPECT_NEAR(double(aiSamples.size()) / 2 / 44100, 1.5, 0.05);
    int iPeak = 0;
    for (int16_t iSample : aiSamples)
        iPeak = std::max(iPeak, std::abs(int(iSample)));
    EXPECT_GT(iPeak, 1000);
    EXPECT_EQ(aoPresets[10].m_iBank, 128);

    oOptions.m_iLoops = 0;
    EXPECT_EQ(CQdPlayer::RenderToWave(strPercussion, strWave, strSoundFont, strText, oOptions),
              QDPLAYER_ERR_PLAYBACK);
}

TEST(QdPlayer, FailuresCarryNumberTextAndDiagnostics)
{
    EXPECT_EQ(CQdPlayer::FormatError(2, "No audio"), "Error 2: No audio");
    std::string strMidi = WriteChordSmf();
    int iNumber = -1;
    std::string strText;

    CQdPlayer oNoFont("/nonexistent/gm.sf2");
    EXPECT_FALSE(oNoFont.Open(strMidi));
    oNoFont.GetLastError(iNumber, strText);
    EXPECT_EQ(iNumber, QDPLAYER_ERR_NO_SOUNDFONT);
    EXPECT_NE(strText.find("soundfont"), std::string::npos) << strText;
    EXPECT_EQ(oNoFont.GetErrorMessage(), "Error 1: " + strText);
    EXPECT_FALSE(oNoFont.IsOpen());
    EXPECT_FALSE(oNoFont.Play());
    oNoFont.GetLastError(iNumber, strText);
    EXPECT_EQ(iNumber, QDPLAYER_ERR_PLAYBACK);

    // A file that exists but is no soundfont.
    CQdPlayer oBadFont(strMidi);
    EXPECT_FALSE(oBadFont.Open(strMidi));
    oBadFont.GetLastError(iNumber, strText);
    EXPECT_EQ(iNumber, QDPLAYER_ERR_NO_SOUNDFONT);
    EXPECT_NE(strText.find(strMidi), std::string::npos) << strText;
    EXPECT_FALSE(oBadFont.IsReady());

    // Missing, empty and non-MIDI files: the file error, whatever the soundfont.
    const char kachText[] = "plain text, no MIDI header";
    for (const std::string& rkstrPath : {std::string("/nonexistent/x.mid"), WriteFile("qdplayer_empty.mid", "", 0),
                                         WriteFile("qdplayer_text.mid", kachText, sizeof kachText)})
    {
        CQdPlayer oPlayer;
        EXPECT_FALSE(oPlayer.Open(rkstrPath)) << rkstrPath;
        oPlayer.GetLastError(iNumber, strText);
        EXPECT_EQ(iNumber, QDPLAYER_ERR_FILE) << rkstrPath;
        EXPECT_NE(strText.find(rkstrPath), std::string::npos) << strText;
    }
}

// RunCommandSequence -- every command in a sensible and a careless order.
static void RunCommandSequence(CQdPlayer& roPlayer, bool bAudioRequired)
{
    std::string strMidi = WriteChordSmf();
    int iNumber = -1;
    std::string strText;
    // Commands before any file: refused or harmless, never a crash.
    EXPECT_TRUE(roPlayer.Stop());
    EXPECT_FALSE(roPlayer.Rewind());
    roPlayer.Close();

    if (!roPlayer.Open(strMidi))
    {
        // No sound server or card (CI): the audio error, and the rest stays safe.
        roPlayer.GetLastError(iNumber, strText);
        EXPECT_FALSE(bAudioRequired) << strText;
        EXPECT_EQ(iNumber, QDPLAYER_ERR_NO_AUDIO) << strText;
        // FluidSynth's complaint about the driver lands in the diagnostics.
        EXPECT_FALSE(roPlayer.GetDiagnostics().empty());
        EXPECT_FALSE(roPlayer.IsReady());
        EXPECT_FALSE(roPlayer.Play());
        EXPECT_FALSE(roPlayer.IsPlaying());
        roPlayer.Close();
        return;
    }
    EXPECT_TRUE(roPlayer.IsReady());
    EXPECT_EQ(roPlayer.GetErrorMessage(), "");
    EXPECT_TRUE(roPlayer.Play());
    EXPECT_TRUE(roPlayer.IsPlaying());
    EXPECT_TRUE(roPlayer.Rewind());
    EXPECT_TRUE(roPlayer.Stop());
    EXPECT_FALSE(roPlayer.IsPlaying());
    EXPECT_TRUE(roPlayer.Rewind());
    EXPECT_TRUE(roPlayer.Play());
    roPlayer.Close();
    EXPECT_FALSE(roPlayer.IsOpen());
    EXPECT_FALSE(roPlayer.Play());
    // Reopened and left playing: the destructor releases everything.
    EXPECT_TRUE(roPlayer.Open(strMidi));
    EXPECT_TRUE(roPlayer.Play());
}

TEST(QdPlayer, CommandSequencesAreSafeWithOrWithoutAudio)
{
    if (CQdPlayer::FindSoundFont().empty())
        GTEST_SKIP() << "no General MIDI soundfont installed";
    {
        // The machine's own output; without one (CI) the audio error.
        CQdPlayer oPlayer;
        RunCommandSequence(oPlayer, false);
    }
    {
        // FluidSynth's "file" driver plays in real time into fluidsynth.wav in
        // the working directory, so the playing path runs everywhere.
        CQdPlayer oPlayer(std::string(), "file");
        RunCommandSequence(oPlayer, true);
    }
}

// The audio driver renders in a thread of its own and runs the player's
// callback there; a player deleted meanwhile (a new file, a rewind after a
// stop) would be freed under that thread. A file with thousands of events
// at its start keeps the callback busy while the player changes.
TEST(QdPlayer, ThePlayerChangesWhileTheDriverRenders)
{
    if (CQdPlayer::FindSoundFont().empty())
        GTEST_SKIP() << "no General MIDI soundfont installed";
    std::vector<unsigned char> abyBusy = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
                                          'M', 'T', 'r', 'k', 0, 0, 0, 0};
    for (int i = 0; i < 20000; ++i)
        abyBusy.insert(abyBusy.end(), {0x00, 0xB0, 0x07, static_cast<unsigned char>(i & 0x7F)});
    abyBusy.insert(abyBusy.end(), {0x00, 0xFF, 0x2F, 0x00});
    const std::size_t nTrack = abyBusy.size() - 22;
    for (int i = 0; i < 4; ++i)
        abyBusy[18 + i] = static_cast<unsigned char>(nTrack >> (24 - 8 * i));
    const std::string strMidi = WriteFile("qdplayer_busy.mid", abyBusy.data(), abyBusy.size());

    CQdPlayer oPlayer(std::string(), "file");
    for (int i = 0; i < 50; ++i)
    {
        ASSERT_TRUE(oPlayer.Open(strMidi)) << oPlayer.GetErrorMessage();
        ASSERT_TRUE(oPlayer.Play());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_TRUE(oPlayer.Stop());
        ASSERT_TRUE(oPlayer.Rewind());
    }
    oPlayer.Close();
}

// A note on its own (a note clicked in the piano roll): without a file the
// engine and an audio driver are made for it; its channel takes the voice as
// a file's tick-0 events set it, a drum kit on a rhythm track's channel and
// with bank select MSB 120; a file playing meanwhile does not hinder it.
TEST(QdPlayer, OneNoteSoundsWithItsTracksVoiceWithOrWithoutAFile)
{
    if (CQdPlayer::FindSoundFont().empty())
        GTEST_SKIP() << "no General MIDI soundfont installed";
    CQdPlayer oPlayer(std::string(), "file");
    const struct
    {
        int m_iChannel;
        int m_iProgram;
        int m_iMsb;
        int m_iBank;
    } akoNotes[] = {{8, 33, 121, 0}, {10, 25, -1, 128}, {11, 0, 120, 128}, {12, 48, 0, 0}};
    for (const auto& rkoNote : akoNotes)
    {
        CQdNoteSound oNote;
        oNote.m_byChannel = BYTE(rkoNote.m_iChannel);
        oNote.m_iProgram = rkoNote.m_iProgram;
        oNote.m_iBankMsb = rkoNote.m_iMsb;
        oNote.m_byKey = 40;
        oNote.m_iDurationMs = 150;
        ASSERT_TRUE(oPlayer.PlayNote(oNote)) << oPlayer.GetErrorMessage();
        const std::vector<CQdChannelPreset> aoPresets = oPlayer.GetChannelPresets();
        ASSERT_EQ(aoPresets.size(), 16u);
        EXPECT_EQ(aoPresets[std::size_t(rkoNote.m_iChannel)].m_iBank, rkoNote.m_iBank) << rkoNote.m_iChannel;
        EXPECT_EQ(aoPresets[std::size_t(rkoNote.m_iChannel)].m_iProgram, rkoNote.m_iProgram) << rkoNote.m_iChannel;
    }
    const std::string strMidi = WriteChordSmf();
    ASSERT_TRUE(oPlayer.Open(strMidi));
    ASSERT_TRUE(oPlayer.Play());
    EXPECT_TRUE(oPlayer.PlayNote(CQdNoteSound()));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    oPlayer.Close();
    // The note's own driver renders on after the file is closed; the
    // destructor stops it before the synthesizer goes.
    EXPECT_TRUE(oPlayer.PlayNote(CQdNoteSound()));
    CQdNoteSound oBeyond;
    oBeyond.m_byChannel = 16;
    EXPECT_FALSE(oPlayer.PlayNote(oBeyond));
}
