// QdPlaybackTest.cpp -- test playback: the tempo rules, the temporary file's
// life and the messages of failures, with a scripted media player.
#include "DocFixtures.h"

#include "BankDoc/QdPlayback.h"
#include "BankDoc/QdRoll.h"
#include "NlzdStyle/NstEditIfc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace DocFixtures;

namespace {

// CScriptedPlayer -- records the calls; each step fails when told to.
class CScriptedPlayer : public CQdMediaPlayer
{
public:
    bool Open(const std::string& rkstrPath) override
    {
        m_astrCalls.push_back("open");
        m_strOpened = rkstrPath;
        m_abyOpened = ReadAll(rkstrPath);
        return Step(m_bFailOpen, 3, "cannot load");
    }
    bool Play() override { return m_astrCalls.push_back("play"), Step(false, 0, ""); }
    bool Stop() override { return m_astrCalls.push_back("stop"), Step(m_bFailStop, 5, "stop failed"); }
    bool Rewind() override { return m_astrCalls.push_back("rewind"), Step(m_bFailStop, 5, "rewind failed"); }
    void Close() override { m_astrCalls.push_back("close"); }
    long GetTick() const override { return m_lTick; }
    bool PlayNote(const CQdNoteSound& rkoNote) override
    {
        m_aoNotes.push_back(rkoNote);
        return m_bSoundsNotes;
    }
    void GetLastError(int& riNumber, std::string& rstrText) const override
    {
        riNumber = m_iError;
        rstrText = m_strError;
    }

    static Bytes ReadAll(const std::string& rkstrPath)
    {
        std::ifstream oIn(rkstrPath, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(oIn), std::istreambuf_iterator<char>());
    }

    bool m_bFailOpen = false;
    bool m_bFailStop = false;
    long m_lTick = -1;
    bool m_bSoundsNotes = true;
    std::vector<CQdNoteSound> m_aoNotes;
    std::vector<std::string> m_astrCalls;
    std::string m_strOpened;
    Bytes m_abyOpened;

private:
    bool Step(bool bFail, int iNumber, const char* pszText)
    {
        m_iError = bFail ? iNumber : 0;
        m_strError = bFail ? pszText : "";
        return !bFail;
    }
    int m_iError = 0;
    std::string m_strError;
};

class CPlaybackTest : public CBankDocTest
{
protected:
    void SetUp() override
    {
        OpenBank(ThreeStyleBank());
        m_oDoc.SelectStyle(0);
        ASSERT_NE(m_oDoc.GetEditIfc(), nullptr);
    }

    static CQdTreeNode Node(BYTE byKind, BYTE bySe, BYTE byCv, BYTE byTrack = 0)
    {
        CQdTreeNode oNode;
        oNode.m_byKind = byKind;
        oNode.m_bySe = bySe;
        oNode.m_byCv = byCv;
        oNode.m_byTrack = byTrack;
        return oNode;
    }

    Bytes Exported(BYTE bySe, BYTE byCv, BYTE byTrack)
    {
        DWORD dwSize = 0;
        std::unique_ptr<BYTE[]> pbySmf = m_oDoc.GetEditIfc()->ExportToSmf(bySe, byCv, byTrack, dwSize);
        return pbySmf ? Bytes(pbySmf.get(), pbySmf.get() + dwSize) : Bytes();
    }

    CScriptedPlayer m_oPlayer;
};

} // namespace

TEST(QdPlaybackTempo, ReadsLikeADecimalNumberAndLimitsTo40To300)
{
    const struct { const char* pszText; int iTempo; } akoCases[] = {
        {"120", 120}, {"20", 40},      {"500", 300},   {"abc", 40},  {"", 40},
        {"  +150bpm", 150}, {"-90", 40}, {"40", 40}, {"300", 300}, {"99999999999999999999", 300},
        {"1 50", 40},
    };
    for (const auto& rkoCase : akoCases)
        EXPECT_EQ(QdPlaybackTempo(rkoCase.pszText), rkoCase.iTempo) << '"' << rkoCase.pszText << '"';
}

TEST_F(CPlaybackTest, PlaysTheChordVariationOrOneTrackFromATemporaryFileDeletedOnStop)
{
    CQdPlayback oPlayback(m_oDoc, m_oPrompt, m_oPlayer, m_oDir.Dir());

    // Root and element nodes play nothing, but the tempo is set all the same.
    EXPECT_FALSE(oPlayback.PlayNode(Node(CQdTreeNode::KIND_ELEMENT, 0, 0), 95));
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetTempo(), 95);
    EXPECT_TRUE(m_oPlayer.m_astrCalls.empty());

    ASSERT_TRUE(oPlayback.PlayNode(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 1), 140));
    const std::string strFile = oPlayback.GetTempFileName();
    EXPECT_EQ(strFile, m_oPlayer.m_strOpened);
    EXPECT_EQ(std::filesystem::path(strFile).parent_path(), std::filesystem::path(m_oDir.Dir()));
    EXPECT_TRUE(std::filesystem::exists(strFile));
    // The file holds the export at the tempo asked for.
    EXPECT_EQ(m_oPlayer.m_abyOpened, Exported(0, 1, NST_ALL_TRACKS));
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetTempo(), 140);

    // A track node: the same file, rewritten with that track alone.
    ASSERT_TRUE(oPlayback.PlayNode(Node(CQdTreeNode::KIND_TRACK, 0, 1, 2), 140));
    EXPECT_EQ(oPlayback.GetTempFileName(), strFile);
    EXPECT_EQ(m_oPlayer.m_abyOpened, Exported(0, 1, 2));

    oPlayback.Stop();
    EXPECT_FALSE(std::filesystem::exists(strFile));
    EXPECT_FALSE(oPlayback.HasTempFile());
    const std::vector<std::string> astrExpected = {"open", "play", "stop", "rewind", "close",
                                                   "open", "play", "stop", "rewind", "close"};
    EXPECT_EQ(m_oPlayer.m_astrCalls, astrExpected);
    // Stopping again has nothing to do.
    oPlayback.Stop();
    EXPECT_EQ(m_oPlayer.m_astrCalls.size(), astrExpected.size());
    EXPECT_TRUE(m_oPrompt.m_aoTold.empty());
}

TEST_F(CPlaybackTest, FailuresAreToldAndLeaveNoTemporaryFile)
{
    {
        // The player refuses the file: its error number and text, nothing kept.
        m_oPlayer.m_bFailOpen = true;
        CQdPlayback oPlayback(m_oDoc, m_oPrompt, m_oPlayer, m_oDir.Dir());
        EXPECT_FALSE(oPlayback.PlayNode(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 0), 120));
        EXPECT_FALSE(oPlayback.HasTempFile());
        EXPECT_FALSE(std::filesystem::exists(m_oPlayer.m_strOpened));
        ASSERT_EQ(m_oPrompt.m_aoTold.size(), 1u);
        EXPECT_EQ(m_oPrompt.m_aoTold[0], std::make_pair(std::string("MediaPlayer"), std::string("Error 3: cannot load")));
    }
    m_oPrompt.ClearRecords();
    m_oPlayer.m_bFailOpen = false;
    {
        // Stopping fails: told once, the file goes all the same.
        CQdPlayback oPlayback(m_oDoc, m_oPrompt, m_oPlayer, m_oDir.Dir());
        ASSERT_TRUE(oPlayback.PlayNode(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 0), 120));
        m_oPlayer.m_bFailStop = true;
        oPlayback.Stop();
        EXPECT_FALSE(std::filesystem::exists(m_oPlayer.m_strOpened));
        EXPECT_EQ(m_oPrompt.ToldTexts(), std::vector<std::string>{"Error 5: stop failed"});
    }
    m_oPrompt.ClearRecords();
    m_oPlayer.m_astrCalls.clear();
    {
        // The temporary folder cannot take the file: nothing reaches the player.
        CQdPlayback oPlayback(m_oDoc, m_oPrompt, m_oPlayer, m_oDir.Path("missing/folder"));
        EXPECT_FALSE(oPlayback.PlayNode(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 0), 120));
        ASSERT_EQ(m_oPrompt.m_aoTold.size(), 1u);
        EXPECT_EQ(m_oPrompt.m_aoTold[0],
                  std::make_pair(std::string("MediaPlayer SMF conversion"), std::string("SMF write error!")));
        EXPECT_TRUE(m_oPlayer.m_astrCalls.empty());
    }
}

TEST_F(CPlaybackTest, ThePlaybackEndsWithItsOwner)
{
    std::string strFile;
    {
        CQdPlayback oPlayback(m_oDoc, m_oPrompt, m_oPlayer, m_oDir.Dir());
        ASSERT_TRUE(oPlayback.PlayNode(Node(CQdTreeNode::KIND_CHORD_VAR, 4, 0), 120));
        strFile = oPlayback.GetTempFileName();
        EXPECT_TRUE(std::filesystem::exists(strFile));
    }
    EXPECT_FALSE(std::filesystem::exists(strFile));
}

TEST_F(CPlaybackTest, AClickedNoteSoundsOnItsChannelWithItsTracksVoice)
{
    CQdPlayback oPlayback(m_oDoc, m_oPrompt, m_oPlayer, m_oDir.Dir());
    CQdRoll oRoll;
    ASSERT_TRUE(m_oDoc.BuildRoll(0, 1, NST_ALL_TRACKS, oRoll));
    ASSERT_FALSE(oRoll.m_aoNotes.empty());
    for (const CQdRollNote& rkoNote : {oRoll.m_aoNotes.front(), oRoll.m_aoNotes.back()})
    {
        ASSERT_TRUE(oPlayback.PlayRollNote(oRoll, rkoNote, 120));
        const CQdNoteSound& rkoSound = m_oPlayer.m_aoNotes.back();
        // The voice is the element's track parameters, as the export sets them.
        CNstTrackParam oParam;
        ASSERT_TRUE(m_oDoc.GetTrackParams(0, rkoNote.m_byTrack, oParam));
        EXPECT_EQ(rkoSound.m_byChannel, NST_TRACK_CHANNELS[rkoNote.m_byTrack]);
        EXPECT_EQ(rkoSound.m_byKey, rkoNote.m_byKey);
        EXPECT_EQ(rkoSound.m_byVelocity, rkoNote.m_byVelocity);
        EXPECT_EQ(rkoSound.m_iProgram, oParam.m_byProgram);
        EXPECT_EQ(rkoSound.m_iBankMsb, oParam.m_byBankMsb);
        EXPECT_EQ(rkoSound.m_iBankLsb, oParam.m_byBankLsb);
    }
    EXPECT_EQ(m_oPlayer.m_aoNotes.size(), 2u);
    EXPECT_TRUE(m_oPlayer.m_astrCalls.empty());
    // A player that cannot sound notes: no sound, no message.
    m_oPlayer.m_bSoundsNotes = false;
    EXPECT_FALSE(oPlayback.PlayRollNote(oRoll, oRoll.m_aoNotes.front(), 120));
    EXPECT_TRUE(m_oPrompt.m_aoTold.empty());

    // As long as the note lasts at the tempo, within 150 ms and 2 s.
    const struct
    {
        TTICK m_tLength;
        int m_iTempo;
        int m_iMs;
    } akoLengths[] = {{384, 120, 500}, {384, 60, 1000}, {576, 90, 1000}, {24, 120, 150},
                      {0, 120, 150},   {3072, 120, 2000}, {384, 10, 1500}, {384, 900, 200}};
    CQdRoll oGrid;
    for (const auto& rkoCase : akoLengths)
        EXPECT_EQ(QdNoteSoundOf(oGrid, {2, 8, 40, 90, 0, rkoCase.m_tLength}, rkoCase.m_iTempo).m_iDurationMs,
                  rkoCase.m_iMs)
            << rkoCase.m_tLength << " at " << rkoCase.m_iTempo;
    // Without a program or bank select at tick 0 the channel keeps its own.
    const CQdNoteSound oBare = QdNoteSoundOf(oGrid, {2, 8, 40, 90, 0, 384}, 120);
    EXPECT_EQ(oBare.m_iProgram, -1);
    EXPECT_EQ(oBare.m_iBankMsb, -1);
}

TEST_F(CPlaybackTest, ThePlayheadIsThePlayersTickInThePlayingChordVariation)
{
    CQdPlayback oPlayback(m_oDoc, m_oPrompt, m_oPlayer, m_oDir.Dir());
    CQdRoll oPlayed;
    CQdRoll oOther;
    ASSERT_TRUE(m_oDoc.BuildRoll(0, 1, NST_ALL_TRACKS, oPlayed));
    ASSERT_TRUE(m_oDoc.BuildRoll(0, 0, NST_ALL_TRACKS, oOther));
    const TTICK tLength = oPlayed.m_oGrid.m_tLength;
    ASSERT_GT(tLength, 100u);
    m_oPlayer.m_lTick = 100;
    TTICK tAt = 0;
    EXPECT_FALSE(oPlayback.GetPlayheadTick(oPlayed, tAt)); // stopped

    ASSERT_TRUE(oPlayback.PlayNode(Node(CQdTreeNode::KIND_TRACK, 0, 1, 2), 120));
    const struct
    {
        long m_lTick;
        bool m_bShown;
        TTICK m_tAt;
    } akoTicks[] = {{100, true, 100}, {long(tLength) + 50, true, 50}, {-1, false, 0}};
    for (const auto& rkoCase : akoTicks)
    {
        m_oPlayer.m_lTick = rkoCase.m_lTick;
        tAt = 0;
        EXPECT_EQ(oPlayback.GetPlayheadTick(oPlayed, tAt), rkoCase.m_bShown) << rkoCase.m_lTick;
        EXPECT_EQ(tAt, rkoCase.m_tAt);
    }
    m_oPlayer.m_lTick = 100;
    EXPECT_FALSE(oPlayback.GetPlayheadTick(oOther, tAt));
    oPlayback.Stop();
    EXPECT_FALSE(oPlayback.GetPlayheadTick(oPlayed, tAt));
}
