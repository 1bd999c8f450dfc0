// QdDesktopTest.cpp -- what the desktop window's added commands leave to the
// document, headless: the recent files, the clipboard's payload and paste,
// the drag-out files, playback's loop, mutes, position and audio export,
// track parameters from a dialog's values, and the menus' enabled states.
#include "DocFixtures.h"

#include "BankDoc/QdClipPart.h"
#include "BankDoc/QdDragFiles.h"
#include "BankDoc/QdPlayback.h"
#include "BankDoc/QdRecentFiles.h"
#include "BankDoc/QdTrackParams.h"
#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <set>

using namespace DocFixtures;

namespace {

CQdTreeNode Node(BYTE byKind, BYTE bySe, BYTE byCv, BYTE byTrack = 0)
{
    CQdTreeNode oNode;
    oNode.m_byKind = byKind;
    oNode.m_bySe = bySe;
    oNode.m_byCv = byCv;
    oNode.m_byTrack = byTrack;
    return oNode;
}

// CLoopPlayer -- a player that records what the desktop's playback hands it.
class CLoopPlayer : public CQdMediaPlayer
{
public:
    bool Open(const std::string&) override { return true; }
    bool Play() override { return true; }
    bool Stop() override { return true; }
    bool Rewind() override { return true; }
    void Close() override {}
    void GetLastError(int& riNumber, std::string& rstrText) const override
    {
        riNumber = 0;
        rstrText.clear();
    }
    void SetLoop(bool bLoop) override { m_abLoops.push_back(bLoop); }
    void SetMutedChannels(std::uint16_t wMask) override { m_awMuted.push_back(wMask); }
    long GetTick() const override { return m_lTick; }
    bool RenderToWave(const std::string& rkstrMidi, const std::string& rkstrWave, int iLoops,
                      std::string& rstrError) override
    {
        m_iLoops = iLoops;
        m_abyMidi = ReadFile(rkstrMidi);
        WriteFile(rkstrWave, Bytes{'R', 'I', 'F', 'F'});
        rstrError = m_bFailRender ? "no soundfont" : "";
        return !m_bFailRender;
    }

    std::vector<bool> m_abLoops;
    std::vector<std::uint16_t> m_awMuted;
    long m_lTick = -1;
    int m_iLoops = 0;
    Bytes m_abyMidi;
    bool m_bFailRender = false;
};

class CDesktopTest : public CBankDocTest
{
protected:
    void SetUp() override
    {
        OpenBank(ThreeStyleBank());
        m_oDoc.SelectStyle(0);
        ASSERT_NE(m_oDoc.GetEditIfc(), nullptr);
    }

    CLoopPlayer m_oPlayer;
};

} // namespace

// --- Recent files -------------------------------------------------------------

TEST(QdRecentFiles, NewestFirstMovedToFrontCappedAtEightMissingOnesPruned)
{
    std::set<std::string> astrExisting;
    CQdRecentFiles oRecent([&](const std::string& rkstrPath) { return astrExisting.count(rkstrPath) > 0; });
    for (int i = 1; i <= 10; ++i)
        oRecent.Add("/b/" + std::to_string(i) + ".sty");
    oRecent.Add("");
    ASSERT_EQ(oRecent.Files().size(), CQdRecentFiles::MAX_FILES);
    EXPECT_EQ(oRecent.Files().front(), "/b/10.sty");
    EXPECT_EQ(oRecent.Files().back(), "/b/3.sty");
    oRecent.Add("/b/5.sty");
    EXPECT_EQ(oRecent.Files(), std::vector<std::string>({"/b/5.sty", "/b/10.sty", "/b/9.sty", "/b/8.sty",
                                                         "/b/7.sty", "/b/6.sty", "/b/4.sty", "/b/3.sty"}));
    astrExisting = {"/b/9.sty", "/b/4.sty"};
    EXPECT_TRUE(oRecent.Prune());
    EXPECT_EQ(oRecent.Files(), std::vector<std::string>({"/b/9.sty", "/b/4.sty"}));
    EXPECT_FALSE(oRecent.Prune());
    // As kept between runs: blanks and repeats left out, at most eight.
    oRecent.SetFiles({"/a.sty", "", "/a.sty", "/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8"});
    EXPECT_EQ(oRecent.Files(), std::vector<std::string>({"/a.sty", "/1", "/2", "/3", "/4", "/5", "/6", "/7"}));
}

TEST_F(CDesktopTest, RecentFilesAskTheFileSystemByDefault)
{
    CQdRecentFiles oRecent;
    oRecent.Add(m_oDoc.GetBankPath());
    oRecent.Add(m_oDir.Path("gone.sty"));
    EXPECT_TRUE(oRecent.Prune());
    EXPECT_EQ(oRecent.Files(), std::vector<std::string>({m_oDir.Path("bank.sty")}));
}

// --- Clipboard payload ------------------------------------------------------------

TEST(QdClipPart, RoundTripsAndRefusesEveryCutOrBentPayload)
{
    CQdClipPart oPart;
    oPart.m_oPart.m_bySe = 4;
    oPart.m_oPart.m_byCv = 1;
    oPart.m_byTracks = 0x05;
    oPart.m_strStyleName = "Alpha";
    oPart.m_abyStyle = {1, 2, 3, 4, 5};
    const Bytes abyPayload = QdWriteClipPart(oPart);
    CQdClipPart oBack;
    ASSERT_TRUE(QdReadClipPart(abyPayload.data(), abyPayload.size(), oBack));
    EXPECT_EQ(oBack.m_oPart.m_bySe, 4);
    EXPECT_EQ(oBack.m_oPart.m_byCv, 1);
    EXPECT_EQ(oBack.m_byTracks, 0x05);
    EXPECT_EQ(oBack.m_strStyleName, "Alpha");
    EXPECT_EQ(oBack.m_abyStyle, oPart.m_abyStyle);

    // Every shorter payload, and one with a byte more, is refused.
    for (std::size_t u = 0; u < abyPayload.size(); ++u)
        EXPECT_FALSE(QdReadClipPart(abyPayload.data(), u, oBack)) << u << " bytes";
    Bytes abyLonger = abyPayload;
    abyLonger.push_back(0);
    EXPECT_FALSE(QdReadClipPart(abyLonger.data(), abyLonger.size(), oBack));
    EXPECT_FALSE(QdReadClipPart(nullptr, 0, oBack));
    // Bent fields: magic, kind, element, chord variation, lengths.
    const struct
    {
        std::size_t m_uAt;
        BYTE m_byValue;
    } akoBent[] = {{0, 'X'}, {8, 3}, {9, NST_NR_STE}, {10, NST_NR_CV}, {12, 0xFF}, {15, 0x80}, {21, 0x10}};
    for (const auto& rkoBent : akoBent)
    {
        Bytes abyBent = abyPayload;
        abyBent[rkoBent.m_uAt] = rkoBent.m_byValue;
        EXPECT_FALSE(QdReadClipPart(abyBent.data(), abyBent.size(), oBack)) << "byte " << rkoBent.m_uAt;
    }
}

TEST_F(CDesktopTest, CopyAndPasteWithinAndBetweenDocumentsAskFirstAndUndo)
{
    Bytes abyPayload;
    Bytes abyMidi;
    // Only elements and chord variations are copied.
    EXPECT_FALSE(m_oDoc.CopyToClip(Node(CQdTreeNode::KIND_TRACK, 0, 0, 0), abyPayload, abyMidi));
    EXPECT_FALSE(m_oDoc.CopyToClip(Node(CQdTreeNode::KIND_STYLE, 0, 0), abyPayload, abyMidi));
    ASSERT_TRUE(m_oDoc.CopyToClip(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 1), abyPayload, abyMidi));
    EXPECT_FALSE(m_oDoc.IsStyleModified());
    ASSERT_GT(abyMidi.size(), 14u);
    EXPECT_EQ(std::string(abyMidi.begin(), abyMidi.begin() + 4), "MThd");

    // Into Beta's chord variation 1 of "Variation 1" in another document: asked, then copied.
    CScriptedPrompt oOtherPrompt;
    CQdBankDoc oOther(oOtherPrompt);
    ASSERT_TRUE(oOther.OpenBankFile(m_oDoc.GetBankPath()));
    oOther.SelectStyle(1);
    const CQdTreeNode oTarget = Node(CQdTreeNode::KIND_CHORD_VAR, 0, 0);
    oOtherPrompt.m_aiAnswers = {QD_ANSWER_CANCEL};
    EXPECT_FALSE(oOther.PasteFromClip(oTarget, abyPayload.data(), abyPayload.size()));
    EXPECT_FALSE(oOther.IsStyleModified());
    oOtherPrompt.m_aiAnswers = {QD_ANSWER_YES};
    ASSERT_TRUE(oOther.PasteFromClip(oTarget, abyPayload.data(), abyPayload.size()));
    EXPECT_EQ(oOtherPrompt.AskedTexts(),
              std::vector<std::string>({"Paste the chord variation v1cv2 of 'Alpha' over the chord variation v1cv1?",
                                        "Paste the chord variation v1cv2 of 'Alpha' over the chord variation v1cv1?"}));
    EXPECT_TRUE(oOther.IsStyleModified());
    DWORD dwSize = 0;
    const std::unique_ptr<BYTE[]> pbyPasted = oOther.GetEditIfc()->ExportToSmf(0, 0, NST_ALL_TRACKS, dwSize);
    EXPECT_EQ(Bytes(pbyPasted.get(), pbyPasted.get() + dwSize), abyMidi);
    EXPECT_TRUE(oOther.UndoStyle());
    EXPECT_FALSE(oOther.IsStyleModified());

    // An element over an element within the style, of the same time signature
    // only (Intro 1 is in 3/4); a chord variation over an element is refused.
    ASSERT_TRUE(m_oDoc.CopyToClip(Node(CQdTreeNode::KIND_ELEMENT, 0, 0), abyPayload, abyMidi));
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES, QD_ANSWER_YES};
    EXPECT_FALSE(m_oDoc.PasteFromClip(Node(CQdTreeNode::KIND_ELEMENT, 4, 0), abyPayload.data(), abyPayload.size()));
    EXPECT_FALSE(m_oDoc.IsStyleModified());
    EXPECT_TRUE(m_oDoc.PasteFromClip(Node(CQdTreeNode::KIND_ELEMENT, 0, 0), abyPayload.data(), abyPayload.size()));
    EXPECT_FALSE(m_oDoc.PasteFromClip(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 0), abyPayload.data(), abyPayload.size()));
    EXPECT_FALSE(m_oDoc.PasteFromClip(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 0), abyMidi.data(), abyMidi.size()));
    const std::vector<std::string> astrTold = m_oPrompt.ToldTexts();
    ASSERT_EQ(astrTold.size(), 3u);
    EXPECT_EQ(astrTold[0],
              "Time signatures differ: Variation 1 of 'Alpha' is 4/4, Intro 1 of 'Alpha' is 3/4 - nothing copied!");
    EXPECT_EQ(astrTold[1], "The clipboard holds the element Variation 1: a chord variation goes over a chord "
                           "variation, an element over an element - nothing pasted!");
    EXPECT_EQ(astrTold[2], "The clipboard holds no style element or chord variation - nothing pasted!");
}

TEST_F(CDesktopTest, PasteOfAnotherTimeSignatureIsRefusedWithAMessage)
{
    StyleBuilder::CTestBank oBank;
    oBank.m_aoSlots = {StyleBuilder::StyleSlot(SmallStyle("Waltz", 0x1A))};
    oBank.m_astrNames = {"Waltz"};
    CScriptedPrompt oWaltzPrompt;
    CQdBankDoc oWaltz(oWaltzPrompt);
    ASSERT_TRUE(oWaltz.OpenBankFile(WriteBank(oBank, "waltz.sty")));
    oWaltz.SelectStyle(0);
    Bytes abyPayload;
    Bytes abyMidi;
    ASSERT_TRUE(oWaltz.CopyToClip(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 0), abyPayload, abyMidi));

    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    EXPECT_FALSE(m_oDoc.PasteFromClip(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 0), abyPayload.data(), abyPayload.size()));
    EXPECT_FALSE(m_oDoc.IsStyleModified());
    ASSERT_EQ(m_oPrompt.ToldTexts().size(), 1u);
    EXPECT_NE(m_oPrompt.ToldTexts()[0].find("signature"), std::string::npos) << m_oPrompt.ToldTexts()[0];
}

// --- Drag files ------------------------------------------------------------------

TEST_F(CDesktopTest, DraggedNodesBecomeFilesByStandardNameRemovedAtTheEnd)
{
    std::string strFolder;
    {
        CQdDragFiles oDrag(m_oDoc, m_oDir.Dir());
        const struct
        {
            CQdTreeNode m_oNode;
            const char* m_pszName; // nullptr: no file
        } akoCases[] = {
            {Node(CQdTreeNode::KIND_CHORD_VAR, 0, 1), "v1cv2.mid"},
            {Node(CQdTreeNode::KIND_TRACK, 0, 0, 2), "v1cv1-bass.mid"},
            {Node(CQdTreeNode::KIND_TRACK, 4, 0, 1), "i1cv1-perc.mid"},
            {Node(CQdTreeNode::KIND_ELEMENT, 0, 0), nullptr},
            {Node(CQdTreeNode::KIND_STYLE, 0, 0), nullptr},
        };
        for (const auto& rkoCase : akoCases)
        {
            std::string strPath;
            ASSERT_EQ(oDrag.WriteNode(rkoCase.m_oNode, strPath), rkoCase.m_pszName != nullptr);
            if (!rkoCase.m_pszName)
                continue;
            EXPECT_EQ(std::filesystem::path(strPath).filename(), rkoCase.m_pszName);
            EXPECT_TRUE(std::filesystem::exists(strPath));
        }
        strFolder = oDrag.GetFolder();
        EXPECT_EQ(oDrag.GetFiles().size(), 3u);
        EXPECT_EQ(std::filesystem::path(strFolder).parent_path(), std::filesystem::path(m_oDir.Dir()));
    }
    EXPECT_FALSE(std::filesystem::exists(strFolder));
    EXPECT_FALSE(m_oDoc.IsStyleModified());
}

// --- Playback ----------------------------------------------------------------------

TEST(QdPlayPosition, BarAndBeatByTheSignatureWrappingAtTheLength)
{
    const BYTE byFourFour = 0x23;  // display code: (4 - 1) | 2 << 4
    const BYTE byThreeFour = 0x22;
    const BYTE bySixEight = 0x35;
    const struct
    {
        long m_lTick;
        BYTE m_bySig;
        BYTE m_byMeasures;
        int m_iBar;
        int m_iBeat;
    } akoCases[] = {
        {0, byFourFour, 4, 1, 1},       {383, byFourFour, 4, 1, 1},     {384, byFourFour, 4, 1, 2},
        {1536, byFourFour, 4, 2, 1},    {6143, byFourFour, 4, 4, 4},    {6144, byFourFour, 4, 1, 1},
        {1152, byThreeFour, 2, 2, 1},   {2304, byThreeFour, 2, 1, 1},   {192, bySixEight, 1, 1, 2},
        {-1, byFourFour, 4, 1, 1},      {384, byFourFour, 0, 1, 2},
    };
    for (const auto& rkoCase : akoCases)
    {
        const CQdPlayPosition oAt = QdPlayPositionAt(rkoCase.m_lTick, rkoCase.m_bySig, rkoCase.m_byMeasures);
        EXPECT_EQ(oAt.m_iBar, rkoCase.m_iBar) << rkoCase.m_lTick;
        EXPECT_EQ(oAt.m_iBeat, rkoCase.m_iBeat) << rkoCase.m_lTick;
    }
}

TEST_F(CDesktopTest, LoopMutesAndPositionReachThePlayer)
{
    CQdPlayback oPlayback(m_oDoc, m_oPrompt, m_oPlayer, m_oDir.Dir());
    EXPECT_TRUE(oPlayback.IsLooping());
    ASSERT_TRUE(oPlayback.PlayNode(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 1), 120));
    EXPECT_EQ(m_oPlayer.m_abLoops, std::vector<bool>({true}));
    EXPECT_EQ(m_oPlayer.m_awMuted, std::vector<std::uint16_t>({0}));

    // Bass (channel 9, 0-based 8) and Drum (0-based 9) muted, then Drum heard again.
    oPlayback.SetTrackMuted(2, true);
    oPlayback.SetTrackMuted(0, true);
    oPlayback.SetTrackMuted(0, false);
    EXPECT_EQ(m_oPlayer.m_awMuted, std::vector<std::uint16_t>({0, 0x0100, 0x0300, 0x0100}));
    EXPECT_TRUE(oPlayback.IsTrackMuted(2));
    EXPECT_FALSE(oPlayback.IsTrackMuted(0));

    CQdPlayPosition oPosition;
    EXPECT_FALSE(oPlayback.GetPosition(oPosition));
    m_oPlayer.m_lTick = 768;
    ASSERT_TRUE(oPlayback.GetPosition(oPosition));
    EXPECT_EQ(oPosition.m_iBar, 1);
    EXPECT_EQ(oPosition.m_iBeat, 3);

    // Played again, the mutes stay; another chord variation starts with none.
    oPlayback.SetLoop(false);
    ASSERT_TRUE(oPlayback.PlayNode(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 1), 120));
    EXPECT_EQ(m_oPlayer.m_awMuted.back(), 0x0100);
    ASSERT_TRUE(oPlayback.PlayNode(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 0), 120));
    EXPECT_EQ(m_oPlayer.m_awMuted.back(), 0);
    EXPECT_EQ(m_oPlayer.m_abLoops.back(), false);
    oPlayback.Stop();
    EXPECT_FALSE(oPlayback.GetPosition(oPosition));
}

TEST_F(CDesktopTest, ExportAudioRendersTheNodeWithTempoAndLoops)
{
    CQdPlayback oPlayback(m_oDoc, m_oPrompt, m_oPlayer, m_oDir.Dir());
    m_oPrompt.m_astrSaveFiles = {m_oDir.Path("groove.wav")};
    ASSERT_TRUE(oPlayback.ExportAudio(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 1), 96));
    ASSERT_EQ(m_oPrompt.m_aoRequests.size(), 1u);
    EXPECT_EQ(m_oPrompt.m_aoRequests[0].m_strFileName, "v1cv2");
    EXPECT_EQ(m_oPrompt.m_aoRequests[0].m_strDefaultExt, "wav");
    EXPECT_EQ(m_oPlayer.m_iLoops, CQdPlayback::AUDIO_LOOPS);
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetTempo(), 96);
    DWORD dwSize = 0;
    const std::unique_ptr<BYTE[]> pbyFile = m_oDoc.GetEditIfc()->ExportToSmf(0, 1, NST_ALL_TRACKS, dwSize);
    EXPECT_EQ(m_oPlayer.m_abyMidi, Bytes(pbyFile.get(), pbyFile.get() + dwSize));
    // Only the WAV file is left.
    std::vector<std::string> astrFiles = m_oDir.Files();
    EXPECT_EQ(std::count(astrFiles.begin(), astrFiles.end(), "groove.wav"), 1);
    EXPECT_EQ(std::count_if(astrFiles.begin(), astrFiles.end(),
                            [](const std::string& rkstr) { return rkstr.ends_with(".mid"); }),
              0);

    // Without loop one pass; a failed rendering is told with its cause.
    oPlayback.SetLoop(false);
    m_oPlayer.m_bFailRender = true;
    m_oPrompt.m_astrSaveFiles = {m_oDir.Path("bass.wav")};
    EXPECT_FALSE(oPlayback.ExportAudio(Node(CQdTreeNode::KIND_TRACK, 0, 1, 2), 120));
    EXPECT_EQ(m_oPrompt.m_aoRequests.back().m_strFileName, "v1cv2-bass");
    EXPECT_EQ(m_oPlayer.m_iLoops, 1);
    EXPECT_EQ(m_oPrompt.ToldTexts(),
              std::vector<std::string>({FileMessage("Audio export error!", m_oDir.Path("bass.wav"), "no soundfont")}));
}

// --- Track parameters and menu states ---------------------------------------------

TEST_F(CDesktopTest, DialogValuesChangeOnlyWhatDifferedAndUndoTakesThemBack)
{
    CNstTrackParam oBefore;
    ASSERT_TRUE(m_oDoc.GetTrackParams(0, 2, oBefore));
    CNstTrackParam oAfter = oBefore;
    EXPECT_TRUE(CQdTrackParamChange::Between(oBefore, oAfter).IsEmpty());
    oAfter.m_byProgram = 35;
    oAfter.m_byExpression = 90;
    const CQdTrackParamChange oChange = CQdTrackParamChange::Between(oBefore, oAfter);
    EXPECT_EQ(oChange.m_oiProgram, 35);
    EXPECT_EQ(oChange.m_oiExpression, 90);
    EXPECT_FALSE(oChange.m_oiBankMsb.has_value());
    EXPECT_FALSE(oChange.m_oiBankLsb.has_value());
    ASSERT_TRUE(m_oDoc.SetTrackParams(0, 2, oChange));
    EXPECT_EQ(m_oDoc.GetTrackVoiceText(Node(CQdTreeNode::KIND_TRACK, 0, 0, 2)),
              "Fretless Bass - program 35, bank " + std::to_string(oBefore.m_byBankMsb) + "/" +
                  std::to_string(oBefore.m_byBankLsb) + ", expression 90");
    EXPECT_TRUE(m_oDoc.IsStyleModified());
    EXPECT_TRUE(m_oDoc.UndoStyle());
    CNstTrackParam oUndone;
    ASSERT_TRUE(m_oDoc.GetTrackParams(0, 2, oUndone));
    EXPECT_EQ(oUndone, oBefore);
    EXPECT_NE(m_oDoc.GetTrackVoiceText(Node(CQdTreeNode::KIND_TRACK, 0, 0, 0)).find("drum kit"), std::string::npos);
    EXPECT_EQ(m_oDoc.GetTrackVoiceText(Node(CQdTreeNode::KIND_CHORD_VAR, 0, 0)), "");
}

TEST_F(CDesktopTest, MenuStatesFollowTheSelectedNode)
{
    const struct
    {
        CQdTreeNode m_oNode;
        bool m_bCopy;
        bool m_bTrackParams;
        bool m_bExportAudio;
    } akoCases[] = {
        {Node(CQdTreeNode::KIND_STYLE, 0, 0), false, false, false},
        {Node(CQdTreeNode::KIND_ELEMENT, 0, 0), true, true, false},
        {Node(CQdTreeNode::KIND_CHORD_VAR, 0, 0), true, true, true},
        {Node(CQdTreeNode::KIND_TRACK, 0, 0, 1), false, true, true},
    };
    for (const auto& rkoCase : akoCases)
    {
        const CQdToolState oState = m_oDoc.GetToolState(&rkoCase.m_oNode);
        EXPECT_TRUE(oState.m_bRename);
        EXPECT_TRUE(oState.m_bExportBank);
        EXPECT_EQ(oState.m_bCopy, rkoCase.m_bCopy) << int(rkoCase.m_oNode.m_byKind);
        EXPECT_EQ(oState.m_bPasteTarget, rkoCase.m_bCopy);
        EXPECT_EQ(oState.m_bTrackParams, rkoCase.m_bTrackParams);
        EXPECT_EQ(oState.m_bExportAudio, rkoCase.m_bExportAudio);
    }
    m_oDoc.SelectStyle(-1);
    const CQdToolState oRoot = m_oDoc.GetToolState(nullptr);
    EXPECT_FALSE(oRoot.m_bRename);
    EXPECT_TRUE(oRoot.m_bExportBank);
}

TEST_F(CDesktopTest, GivenFilesSkipTheDialogsButNotTheQuestions)
{
    // A bank given: the question about changes as Open asks it.
    m_oDoc.RenameStyle("Changed");
    m_oPrompt.m_aiAnswers = {QD_ANSWER_NO};
    EXPECT_FALSE(m_oDoc.OpenBankAsking(m_oDoc.GetBankPath()));
    EXPECT_EQ(m_oPrompt.AskedTexts(), std::vector<std::string>({"Ignore changes ?"}));
    EXPECT_TRUE(m_oPrompt.m_aoRequests.empty());

    // One MIDI file on a chord variation: the Initialize/Keep question, no dialog.
    const std::string strSmf = WriteSmf("drop.mid", SmfNotes(9, 8, 36));
    m_oPrompt.ClearRecords();
    m_oPrompt.m_aiAnswers = {QD_ANSWER_NO};
    EXPECT_TRUE(m_oDoc.ImportSingleSmfFile(0, 1, strSmf));
    EXPECT_EQ(m_oPrompt.AskedTexts(), std::vector<std::string>({"Initialize/Keep Track Parameters?"}));
    EXPECT_TRUE(m_oPrompt.m_aoRequests.empty());

    // Files by standard name on the style: Replace or Merge, no dialog.
    const std::string strNamed = WriteSmf("my-v2cv1.mid", SmfNotes(9, 8, 36));
    m_oPrompt.ClearRecords();
    m_oPrompt.m_aiAnswers = {QD_ANSWER_NO};
    EXPECT_TRUE(m_oDoc.ImportAllSmfFiles({strNamed}));
    EXPECT_EQ(m_oPrompt.AskedTexts(), std::vector<std::string>({"Replace current style or merge with SMF files?"}));
    EXPECT_TRUE(m_oPrompt.m_aoRequests.empty());
    EXPECT_EQ(CvState(1, 0), NST_STATE_EVENTS);
}

// --- A MIDI file dropped on a track ----------------------------------------------

// The window maps a file dropped on a track node to ImportSingleSmfFile with
// the track; a file named like a track's export ("v1cv1-bass.mid") dropped on
// its chord variation replaces that track alone too. The other tracks stay,
// the file's other tracks are left out and reported, and a file without events
// for the track is refused with the style unchanged.
TEST_F(CDesktopTest, AFileDroppedOnATrackReplacesThatTrackOnly)
{
    // Drum (channel 10) and Bass (channel 9) notes at tick 0, one measure.
    const Bytes abyTrack = {0x00, 0x99, 45, 100, 0x00, 0x98, 40, 100, 0x60, 0x89, 45, 64,
                            0x00, 0x88, 40, 64,  0x8B, 0x20, 0xFF, 0x2F, 0x00};
    Bytes abyDrumAndBass = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0x80, 'M', 'T', 'r', 'k', 0, 0, 0,
                            BYTE(abyTrack.size())};
    abyDrumAndBass.insert(abyDrumAndBass.end(), abyTrack.begin(), abyTrack.end());
    const struct
    {
        const char* m_pszFile;
        Bytes m_abyFile;
        BYTE m_byTrack; // the node dropped on: a track, or 0xFF for the chord variation
        bool m_bImported;
        BYTE m_byReplaced;
        DWORD m_dwLeftOut; // events of the other tracks
    } akoCases[] = {
        {"drop.mid", abyDrumAndBass, 0, true, 0, 1},
        {"v1cv1-bass.mid", abyDrumAndBass, 0xFF, true, 2, 1},
        {"bass only.mid", SmfNotes(8, 4, 40), 0, false, 0, 0},
    };
    for (const auto& rkoCase : akoCases)
    {
        SCOPED_TRACE(rkoCase.m_pszFile);
        const auto fnPatterns = [this] {
            std::vector<CNstPattern> aoPatterns;
            for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
                aoPatterns.push_back(*m_oDoc.GetEditIfc()->GetStyle().FindStyleElem(0)->FindChordVar(0)->FindPattern(byTrack));
            return aoPatterns;
        };
        const std::vector<CNstPattern> aoBefore = fnPatterns();
        m_oPrompt.ClearRecords();
        m_oPrompt.m_aaoReports.clear();
        m_oPrompt.m_aiAnswers = {QD_ANSWER_NO};
        const std::string strPath = WriteSmf(rkoCase.m_pszFile, rkoCase.m_abyFile);
        EXPECT_EQ(m_oDoc.ImportSingleSmfFile(0, 0, strPath, rkoCase.m_byTrack), rkoCase.m_bImported);
        EXPECT_EQ(m_oPrompt.AskedTexts(), std::vector<std::string>({"Initialize/Keep Track Parameters?"}));
        EXPECT_EQ(m_oDoc.IsStyleModified(), rkoCase.m_bImported);
        ASSERT_EQ(m_oPrompt.m_aaoReports.size(), 1u);
        const CQdImportReport& rkoReport = m_oPrompt.m_aaoReports.front().front();
        if (!rkoCase.m_bImported)
        {
            EXPECT_EQ(m_oPrompt.ToldTexts(), std::vector<std::string>({FileMessage(
                                                 "SMF holds nothing for the tracks to import!", strPath,
                                                 "the file holds no notes and no other events for Drum (its "
                                                 "events are on channel 9)")}));
            EXPECT_EQ(m_oDoc.GetEditIfc()->GetPatternState(0, 0, 2), NST_STATE_ABSENT);
            continue;
        }
        EXPECT_EQ(rkoReport.m_byTracks, 1u << rkoCase.m_byReplaced);
        EXPECT_EQ(std::accumulate(rkoReport.m_adwNoTrack.begin(), rkoReport.m_adwNoTrack.end(), DWORD(0)),
                  rkoCase.m_dwLeftOut);
        EXPECT_TRUE(rkoReport.HasLosses());
        EXPECT_EQ(m_oDoc.GetEditIfc()->GetPatternState(0, 0, rkoCase.m_byReplaced), NST_STATE_EVENTS);
        const std::vector<CNstPattern> aoAfter = fnPatterns();
        for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        {
            if (byTrack == rkoCase.m_byReplaced)
                continue;
            EXPECT_EQ(aoAfter[byTrack].IsUntouched(), aoBefore[byTrack].IsUntouched()) << int(byTrack);
            EXPECT_EQ(Bytes(aoAfter[byTrack].GetData(), aoAfter[byTrack].GetData() + aoAfter[byTrack].GetDataLength()),
                      Bytes(aoBefore[byTrack].GetData(), aoBefore[byTrack].GetData() + aoBefore[byTrack].GetDataLength()))
                << int(byTrack);
        }
        m_oDoc.UndoStyle();
    }
}
