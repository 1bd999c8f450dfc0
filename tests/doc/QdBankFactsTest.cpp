// QdBankFactsTest.cpp -- the document's facts: the bank's as the file was
// opened and as it was saved, the open style's tree with what it holds,
// and the export of every style into its folder.
#include "DocFixtures.h"

#include "BankDoc/QdBankFacts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace DocFixtures;

// The three-style bank's directory holds fill bytes: not what a save writes
// until the bank is saved; the slots' stored sizes follow the file.
TEST_F(CBankDocTest, BankFactsAsOpenedAndAsSaved)
{
    const std::string strPath = OpenBank(ThreeStyleBank());
    CQdBankFacts oFacts;
    ASSERT_TRUE(m_oDoc.GetBankFacts(oFacts));
    EXPECT_EQ(oFacts.m_strFile, strPath);
    EXPECT_EQ(oFacts.m_qwFileSize, ReadFile(strPath).size());
    EXPECT_EQ(oFacts.m_dwUsedSize, m_oDoc.GetUsedSize());
    EXPECT_EQ(oFacts.m_dwFreeRoom, CQdBankDoc::BANK_BLOCK_SIZE - oFacts.m_dwUsedSize);
    EXPECT_EQ(oFacts.m_iStyles, 3);
    ASSERT_EQ(oFacts.m_aoSlots.size(), 4u);
    std::vector<std::string> astrSlots;
    for (const CQdSlotFacts& rkoSlot : oFacts.m_aoSlots)
        astrSlots.push_back(std::to_string(rkoSlot.m_iSlot) + " " + std::to_string(rkoSlot.m_byId) + " " +
                            std::to_string(rkoSlot.m_iPosition) + " " + rkoSlot.m_strName +
                            (rkoSlot.m_bCompressed ? " compressed" : ""));
    EXPECT_EQ(astrSlots,
              (std::vector<std::string>{"1 6 1 Alpha", "2 7 0 ", "3 6 2 Beta compressed", "4 6 3 Gamma compressed"}));
    // Listed: the name table, the four slots and the further chunk.
    EXPECT_TRUE(oFacts.m_oDirectory.m_bPresent);
    EXPECT_EQ(oFacts.m_oDirectory.m_iCapacity, 100);
    EXPECT_EQ(oFacts.m_oDirectory.m_iEntries, 6);
    EXPECT_FALSE(oFacts.m_oDirectory.m_bCurrent);
    EXPECT_EQ(oFacts.m_oNameTable.m_iRecords, 4);
    EXPECT_EQ(oFacts.m_oNameTable.m_iStylesWithout, 0);

    const std::string strSaved = m_oDir.Path("saved.sty");
    ASSERT_TRUE(m_oDoc.SaveBankTo(strSaved));
    ASSERT_TRUE(m_oDoc.GetBankFacts(oFacts));
    EXPECT_EQ(oFacts.m_strFile, strSaved);
    const Bytes abySaved = ReadFile(strSaved);
    EXPECT_EQ(oFacts.m_qwFileSize, abySaved.size());
    EXPECT_TRUE(oFacts.m_oDirectory.m_bCurrent);
    std::vector<DWORD> adwStored;
    for (const CTopChunk& rkoChunk : TopChunks(abySaved))
        if (rkoChunk.m_byId == 6 || rkoChunk.m_byId == 7)
            adwStored.push_back(rkoChunk.m_dwLength + 8);
    ASSERT_EQ(adwStored.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
    {
        EXPECT_EQ(oFacts.m_aoSlots[i].m_dwStoredSize, adwStored[i]);
        EXPECT_EQ(oFacts.m_aoSlots[i].m_bCompressed, oFacts.m_aoSlots[i].m_bStyle);
    }
    EXPECT_TRUE(m_oReports.Empty());
}

// Alpha: Variation 1 with the drum in v1cv1 and the bass in v1cv2, Intro 1
// (3/4) with drum and Acc. 1 in i1cv1.
TEST_F(CBankDocTest, StyleFactsAndTheBankExport)
{
    OpenBank(ThreeStyleBank());
    CQdStyleFacts oStyle;
    EXPECT_FALSE(m_oDoc.GetStyleFacts(oStyle));
    m_oDoc.SelectStyle(0);
    ASSERT_TRUE(m_oDoc.GetStyleFacts(oStyle));
    EXPECT_EQ(oStyle.m_strName, "Alpha");
    EXPECT_EQ(oStyle.m_iSlot, 1);
    EXPECT_FALSE(oStyle.m_bDamaged);
    std::vector<std::string> astrTree;
    for (const CQdElementFacts& rkoElement : oStyle.m_aoElements)
        for (const CQdChordVarFacts& rkoChordVar : rkoElement.m_aoChordVars)
            for (const CQdTrackFacts& rkoTrack : rkoChordVar.m_aoTracks)
                astrTree.push_back(rkoElement.m_strName + " " + std::to_string(rkoElement.m_byNumerator) + "/" +
                                   std::to_string(rkoElement.m_dwDenominator) + " " + rkoChordVar.m_strStandardName +
                                   " " + rkoTrack.m_strName + " ch" + std::to_string(rkoTrack.m_byChannel) + " " +
                                   std::to_string(rkoTrack.m_dwNotes));
    EXPECT_EQ(astrTree,
              (std::vector<std::string>{"Variation 1 4/4 v1cv1 Drum ch10 2", "Variation 1 4/4 v1cv2 Bass ch9 2",
                                        "Intro 1 3/4 i1cv1 Drum ch10 1", "Intro 1 3/4 i1cv1 Acc. 1 ch12 1"}));

    std::vector<CQdExportedStyle> aoStyles;
    ASSERT_TRUE(m_oDoc.ExportBank(m_oDir.Path("out"), aoStyles));
    ASSERT_EQ(aoStyles.size(), 3u);
    EXPECT_EQ(aoStyles[2].m_oFacts.m_strName, "Gamma");
    EXPECT_EQ(aoStyles[2].m_oFiles.m_strFolder, m_oDir.Path("out/03-Gamma"));
    EXPECT_EQ(aoStyles[0].m_oFiles.m_astrExported, (std::vector<std::string>{"v1cv1", "v1cv2", "i1cv1"}));
    EXPECT_EQ(aoStyles[0].m_oFacts.m_aoElements.size(), oStyle.m_aoElements.size());
    EXPECT_FALSE(ReadFile(m_oDir.Path("out/02-Beta/i1cv1.mid")).empty());
    // The selection stays.
    EXPECT_EQ(m_oDoc.GetSelectedStyle(), 0);
    EXPECT_TRUE(m_oReports.Empty());
}
