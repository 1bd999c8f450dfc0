// QdCopyPartTest.cpp -- copies with a track choice, into an empty style and
// into an element that holds fewer chord variations, each saved to a file
// and read back from it as the next session would see it.
#include "DocFixtures.h"

#include "BankDoc/QdCopyPart.h"
#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

#include <gtest/gtest.h>

#include <functional>

using namespace DocFixtures;
using StyleBuilder::KeptMarker;
using StyleBuilder::Note;

namespace {

constexpr BYTE DRUM_AND_BASS = 1u << 0 | 1u << 2;
constexpr BYTE BASS_ONLY = 1u << 2;

// "Src": Variation 1 with chord variations 4 and 5 only (v1cv4, v1cv5);
// Variation 2 of mode 3, one measure per chord variation, Bass only, its
// chord table naming chord variation 1 as well; every track of mode 1,
// tracks 0-3 flagged. "Dst": Variation 1 of four measures with a marker,
// Drum only; Ending 1 with two chord variations on Acc. 1; no Variation 2.
// "Empty": Variation 1 whose only chord variation holds an empty pattern.
StyleBuilder::CTestBank CopyBank()
{
    StyleBuilder::CTestStyle oSource;
    oSource.m_strName = "Src";
    oSource.m_wTrackModes = 0x5555;
    oSource.m_byTrackFlags = 0x0F;
    StyleBuilder::AddFlatChordVar(oSource, 0, 3, 1536, {{0, {Note(0, 36, 96)}}});
    StyleBuilder::AddFlatChordVar(oSource, 0, 4, 1536, {{0, {Note(384, 38, 96)}}});
    StyleBuilder::AddFlatChordVar(oSource, 1, 0, 1536, {{2, {Note(0, 40, 96)}}});
    StyleBuilder::AddFlatChordVar(oSource, 1, 1, 1536, {{2, {Note(0, 41, 96)}}});
    oSource.m_aoElements[1]->m_byMode = 3;
    oSource.m_aoElements[1]->m_abyChordTable[1] = 1;
    oSource.m_aoElements[1]->m_abyChordTable[2] = 1;

    StyleBuilder::CTestStyle oTarget;
    oTarget.m_strName = "Dst";
    StyleBuilder::AddFlatChordVar(oTarget, 0, 0, 6144, {{0, {Note(0, 36, 96)}}}, {KeptMarker(1536, {1})});
    oTarget.m_aoElements[0]->m_byMode = 1;
    for (int iCv = 0; iCv < 2; ++iCv)
        StyleBuilder::AddFlatChordVar(oTarget, 8, iCv, 1536, {{3, {Note(0, BYTE(60 + iCv), 96)}}});

    StyleBuilder::CTestStyle oEmpty;
    oEmpty.m_strName = "Empty";
    StyleBuilder::AddFlatChordVar(oEmpty, 0, 0, 1536, {{0, {}}});

    StyleBuilder::CTestBank oBank;
    oBank.m_aoSlots = {StyleBuilder::StyleSlot(oSource), StyleBuilder::StyleSlot(oTarget),
                       StyleBuilder::StyleSlot(oEmpty)};
    oBank.m_astrNames = {"Src", "Dst", "Empty"};
    return oBank;
}

const CNstChordVar* Cv(const CNstStyle& rkoStyle, BYTE bySe, BYTE byCv)
{
    const CNstStyleElem* pkoElement = rkoStyle.FindStyleElem(bySe);
    return pkoElement ? pkoElement->FindChordVar(byCv) : nullptr;
}

std::vector<BYTE> Table(const CNstStyle& rkoStyle, BYTE bySe)
{
    const BYTE* pkbyTable = rkoStyle.FindStyleElem(bySe)->GetChordTable();
    return std::vector<BYTE>(pkbyTable, pkbyTable + QDI_MAX_CHORD);
}

// The table of Variation 2 of "Src": chords 1 and 2 play chord variation 1.
const std::vector<BYTE> kabySourceTable = {0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

CQdTreeNode ElementNode(BYTE bySe)
{
    CQdTreeNode oNode;
    oNode.m_byKind = CQdTreeNode::KIND_ELEMENT;
    oNode.m_bySe = bySe;
    oNode.m_iLevel = 1;
    return oNode;
}

class CCopyPartTest : public CBankDocTest
{
};

} // namespace

TEST_F(CCopyPartTest, EachPartIsJudgedBeforeTheCopyAndWhatDoesNotFitIsReported)
{
    struct CCase
    {
        const char* m_pszName;
        int m_iTarget; // the style copied into; "Src" is the source
        CQdPart m_oFrom;
        CQdPart m_oTo;
        BYTE m_byTracks;
        std::vector<std::string> m_astrLeftOut;
        std::function<void(const CNstStyle&)> m_fnCheck; // the target style as read back
    };
    const CCase kaoCases[] = {
        // Drum and Bass into a chord variation whose events were all Drum:
        // it keeps its four measures and marker, the one-measure Bass
        // repeats in it, the Drum is cleared.
        {"tracks into a chord variation", 1, {1, 1}, {0, 0}, DRUM_AND_BASS, {},
         [](const CNstStyle& rkoStyle) {
             const CNstChordVar* pkoCv = Cv(rkoStyle, 0, 0);
             ASSERT_TRUE(pkoCv);
             EXPECT_EQ(pkoCv->GetLength(), 6144u);
             EXPECT_GT(pkoCv->GetMetaPatternLength(), 0u);
             EXPECT_FALSE(pkoCv->IsPatternInUse(0));
             EXPECT_EQ(NstCountPattern(*pkoCv->FindPattern(2)).m_dwNotes, 4u);
         }},
        // The same into the element: its mode stays; chord variation 2 is
        // new and takes the source's length.
        {"tracks into an element", 1, {1, NST_NR_CV}, {0, NST_NR_CV}, DRUM_AND_BASS, {},
         [](const CNstStyle& rkoStyle) {
             EXPECT_EQ(rkoStyle.FindStyleElem(0)->GetMode(), 1);
             EXPECT_EQ(Cv(rkoStyle, 0, 0)->GetLength(), 6144u);
             EXPECT_EQ(Cv(rkoStyle, 0, 1)->GetLength(), 1536u);
         }},
        // Into an element the style lacks: the source's table, whose
        // chord variation 1 the copy makes.
        {"tracks into a new element", 1, {1, NST_NR_CV}, {1, NST_NR_CV}, DRUM_AND_BASS, {},
         [](const CNstStyle& rkoStyle) {
             EXPECT_EQ(rkoStyle.FindStyleElem(1)->GetMode(), 3);
             EXPECT_EQ(Table(rkoStyle, 1), kabySourceTable);
         }},
        // A whole style: the same table; the chosen tracks' modes only.
        {"tracks of a whole style", 1, {}, {}, DRUM_AND_BASS, {},
         [](const CNstStyle& rkoStyle) {
             EXPECT_EQ(Table(rkoStyle, 1), kabySourceTable);
             const BYTE kabyModes[NST_NR_TRK] = {1, 0, 1, 2, 2, 2, 2, 2};
             for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
                 EXPECT_EQ(rkoStyle.GetTrackStyle(byTrack)->m_byMode, kabyModes[byTrack]);
             EXPECT_TRUE(Cv(rkoStyle, 8, 0) && Cv(rkoStyle, 8, 1));
         }},
        // Into a style without events: every track's mode and flag, and
        // its name stays.
        {"one track into an empty style", 2, {1, 0}, {0, 0}, BASS_ONLY, {},
         [](const CNstStyle& rkoStyle) {
             EXPECT_STREQ(rkoStyle.GetName(), "Empty");
             for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
             {
                 EXPECT_EQ(rkoStyle.GetTrackStyle(byTrack)->m_byMode, 1);
                 EXPECT_EQ(rkoStyle.GetTrackStyle(byTrack)->m_byFlag, byTrack < 4 ? 1 : 0);
             }
         }},
        // v1cv4 and v1cv5 into Ending 1, which holds 2: reported; the
        // element stays, written without chord variations.
        {"chord variations beyond the element's", 1, {0, NST_NR_CV}, {8, NST_NR_CV}, NST_ALL_TRACKS_MASK,
         {"left out: v1cv4, v1cv5 (Ending 1 holds 2)"},
         [](const CNstStyle& rkoStyle) {
             ASSERT_TRUE(rkoStyle.HasStyleElem(8));
             for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
                 EXPECT_FALSE(rkoStyle.HasChordVar(8, byCv)) << int(byCv);
             EXPECT_EQ(Table(rkoStyle, 8), std::vector<BYTE>(QDI_MAX_CHORD, 0));
             EXPECT_TRUE(Cv(rkoStyle, 0, 0));
         }},
    };
    const std::string strBank = WriteBank(CopyBank());
    for (const CCase& rkoCase : kaoCases)
    {
        SCOPED_TRACE(rkoCase.m_pszName);
        ASSERT_TRUE(m_oDoc.OpenBankFile(strBank));
        std::unique_ptr<CNstEditIfc> poSource;
        ASSERT_TRUE(m_oDoc.CopyOfStyle(0, poSource));
        m_oDoc.SelectStyle(rkoCase.m_iTarget);
        CQdCopyRequest oRequest;
        oRequest.m_oFrom = rkoCase.m_oFrom;
        oRequest.m_oTo = rkoCase.m_oTo;
        oRequest.m_byTracks = rkoCase.m_byTracks;
        oRequest.m_strSourceName = "Src";
        CQdCopyReport oReport;
        ASSERT_TRUE(m_oDoc.CopyPart(*poSource, oRequest, oReport));
        EXPECT_EQ(oReport.m_astrLeftOut, rkoCase.m_astrLeftOut);
        const std::string strSaved = m_oDir.Path("saved.sty");
        ASSERT_TRUE(m_oDoc.SaveBankTo(strSaved));

        m_oReports.Clear();
        ASSERT_TRUE(m_oDoc.OpenBankFile(strSaved));
        m_oDoc.SelectStyle(rkoCase.m_iTarget);
        EXPECT_FALSE(m_oDoc.IsStyleDamaged(rkoCase.m_iTarget));
        EXPECT_TRUE(m_oReports.Empty()) << m_oReports.Texts().front();
        rkoCase.m_fnCheck(m_oDoc.GetEditIfc()->GetStyle());
    }
    EXPECT_TRUE(m_oPrompt.ToldTexts().empty());

    // The window's paste tells what does not fit.
    m_oDoc.SelectStyle(0);
    Bytes abyPayload;
    Bytes abyMidi;
    ASSERT_TRUE(m_oDoc.CopyToClip(ElementNode(0), abyPayload, abyMidi));
    m_oDoc.SelectStyle(1);
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    ASSERT_TRUE(m_oDoc.PasteFromClip(ElementNode(8), abyPayload.data(), abyPayload.size()));
    EXPECT_EQ(m_oPrompt.ToldTexts(), std::vector<std::string>{"left out: v1cv4, v1cv5 (Ending 1 holds 2)"});
}
