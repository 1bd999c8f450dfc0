// QdBankDocTest.cpp -- opening, selecting, writing back and saving a style
// bank through the bank document, on real files in a temporary folder.
#include "DocFixtures.h"

#include "BankDoc/QdLoadedStyles.h"
#include "ChunkNav/ChunkNav.h"
#include "NlzdStyle/NstEditIfc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

using namespace DocFixtures;
using StyleBuilder::BankChunk;
using StyleBuilder::CTestBank;

namespace {

const char* const READ_ERROR = "File read error - File in use - or not a Velmar Qd50 Style File!";
const char* const CORRUPT = "File corrupt - Error!";
const char* const TOO_LARGE = "File too large for a Qd50 Style Bank!";
const char* const WRITE_ERROR = "File write error!";
const char* const NOT_A_BANK = "it does not start as a Qd50 style bank";

std::string StyleName(CQdBankDoc& roDoc)
{
    char szName[32] = {};
    roDoc.GetEditIfc()->GetName(szName, 31);
    return szName;
}

// A bank of iSlots small styles named "S1", "S2", ...; the slots from
// iCompressFrom on (1-based) compressed.
CTestBank ManySlotBank(int iSlots, int iCompressFrom)
{
    CTestBank oBank;
    for (int i = 1; i <= iSlots; ++i)
    {
        oBank.m_aoSlots.push_back(StyleBuilder::StyleSlot(SingleCvStyle("S" + std::to_string(i)),
                                                          BYTE(i >= iCompressFrom ? 3 : 0)));
        oBank.m_astrNames.push_back("S" + std::to_string(i));
    }
    return oBank;
}

// SlotData -- the data of every slot of a bank image, as it lies there.
std::vector<Bytes> SlotData(const Bytes& rkabyImage)
{
    std::vector<Bytes> aabySlots;
    for (const CTopChunk& rkoChunk : TopChunks(rkabyImage))
    {
        if ((rkoChunk.m_byFlags & (CNCF_ATTR | CNCF_FINAL)) != CNCF_ATTR)
            continue;
        const BYTE* pbyData = &rkabyImage[rkoChunk.m_dwOffset + 8];
        aabySlots.emplace_back(pbyData, pbyData + rkoChunk.m_dwLength);
    }
    return aabySlots;
}

} // namespace

// ---------------------------------------------------------------------------
// Opening
// ---------------------------------------------------------------------------

TEST_F(CBankDocTest, FileCheckRefusesWhatIsNoBank)
{
    const Bytes abyGood = StyleBuilder::BuildBankImage(ThreeStyleBank());
    struct CCase
    {
        const char* m_pszWhat;
        int m_iFlip;     // byte changed, -1: none
        int m_iTruncate; // bytes kept, -1: all
        const char* m_pszCause;
    };
    // Bytes 23-27 ("VLMF" and the zero) are checked although 0-11 match.
    const CCase aoCases[] = {
        {"mark V", 23, -1, NOT_A_BANK},
        {"mark L", 24, -1, NOT_A_BANK},
        {"mark M", 25, -1, NOT_A_BANK},
        {"mark F", 26, -1, NOT_A_BANK},
        {"mark zero", 27, -1, NOT_A_BANK},
        {"root flags", 3, -1, NOT_A_BANK},
        {"root id", 0, -1, NOT_A_BANK},
        {"first child flags", 11, -1, NOT_A_BANK},
        {"first child id", 8, -1, NOT_A_BANK},
        {"27 bytes", -1, 27, "27 bytes, too few for a style bank"},
        {"empty file", -1, 0, "the file is empty"},
    };
    const std::string strBad = m_oDir.Path("bad.sty");
    for (const CCase& rkoCase : aoCases)
    {
        Bytes abyFile = abyGood;
        if (rkoCase.m_iFlip >= 0)
            abyFile[std::size_t(rkoCase.m_iFlip)] ^= 0x40;
        if (rkoCase.m_iTruncate >= 0)
            abyFile.resize(std::size_t(rkoCase.m_iTruncate));
        WriteFile(strBad, abyFile);
        m_oPrompt.ClearRecords();
        EXPECT_FALSE(m_oDoc.OpenBankFile(strBad)) << rkoCase.m_pszWhat;
        EXPECT_FALSE(m_oDoc.IsBankOpen()) << rkoCase.m_pszWhat;
        EXPECT_EQ(m_oPrompt.m_aoTold, (decltype(m_oPrompt.m_aoTold){
                                          {"Open Style Bank", FileMessage(READ_ERROR, strBad, rkoCase.m_pszCause)}}))
            << rkoCase.m_pszWhat;
        EXPECT_FALSE(m_oDoc.WasRefusedAsCorrupt()) << rkoCase.m_pszWhat;
    }

    // The system's cause for a file that cannot be read.
    for (const char* pszName : {"missing.sty", ""})
    {
        const std::string strPath = pszName[0] ? m_oDir.Path(pszName) : m_oDir.Dir();
        m_oPrompt.ClearRecords();
        EXPECT_FALSE(m_oDoc.OpenBankFile(strPath));
        EXPECT_EQ(m_oPrompt.ToldTexts(),
                  std::vector<std::string>{FileMessage(READ_ERROR, strPath,
                                                       pszName[0] ? "no such file or directory" : "is a directory")});
    }

    WriteFile(m_oDir.Path("good.sty"), abyGood);
    m_oPrompt.ClearRecords();
    EXPECT_TRUE(m_oDoc.OpenBankFile(m_oDir.Path("good.sty")));
    EXPECT_TRUE(m_oPrompt.m_aoTold.empty());
    EXPECT_EQ(m_oDoc.GetBankFileName(), "good.sty");
    EXPECT_EQ(m_oDoc.GetStyleNames(), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    EXPECT_TRUE(m_oReports.Empty());
}

TEST_F(CBankDocTest, SixtyFourSlotsOpenQuietlyFurtherSlotsAreReportedAndLeftAlone)
{
    for (int iSlots : {64, 65, 66})
    {
        SCOPED_TRACE(iSlots);
        m_oReports.Clear();
        // Only the slots beyond the 64th are compressed: the block must keep
        // them exactly as the file holds them.
        const Bytes abyImage = StyleBuilder::BuildBankImage(ManySlotBank(iSlots, 65));
        WriteFile(m_oDir.Path("many.sty"), abyImage);
        ASSERT_TRUE(m_oDoc.OpenBankFile(m_oDir.Path("many.sty")));
        EXPECT_EQ(m_oDoc.GetStyleCount(), 64);
        EXPECT_EQ(m_oDoc.GetStyleNames().back(), "S64");
        EXPECT_EQ(Block(), abyImage);
        if (iSlots == 64)
            EXPECT_TRUE(m_oReports.Empty());
        else
            EXPECT_EQ(m_oReports.Texts(),
                      std::vector<std::string>{"Assert iIndex < 64 File:Qd50StyleToMidiMain Line:163"});
    }

    // A save leaves the extra slots out of the slot table too: they are
    // saved compressed and stay so in the block.
    m_oReports.Clear();
    ASSERT_TRUE(m_oDoc.SaveBankTo(m_oDir.Path("saved.sty")));
    const std::vector<CTopChunk> aoSaved = TopChunks(ReadFile(m_oDir.Path("saved.sty")));
    const std::vector<CTopChunk> aoInBlock = TopChunks(Block());
    ASSERT_EQ(aoInBlock.size(), aoSaved.size());
    EXPECT_EQ(aoInBlock[aoInBlock.size() - 2].m_byFlags & CNCF_COMPRESSED, CNCF_COMPRESSED);
    EXPECT_EQ(aoInBlock[aoInBlock.size() - 3].m_byFlags & CNCF_COMPRESSED, CNCF_COMPRESSED);
    EXPECT_EQ(aoInBlock[aoInBlock.size() - 4].m_byFlags & CNCF_COMPRESSED, 0);
}

TEST_F(CBankDocTest, FileBeyondTheBlockAndLyingRootLengthAreRefused)
{
    // A filler chunk makes the file exactly as large as the bank block.
    CTestBank oBank = ManySlotBank(2, 99);
    const std::size_t uWithoutFiller = StyleBuilder::BuildBankImage(oBank).size();
    oBank.m_aoMoreChunks = {BankChunk(3, true, Bytes(CQdBankDoc::BANK_BLOCK_SIZE - uWithoutFiller - 8, 0x77))};
    const Bytes abyFull = StyleBuilder::BuildBankImage(oBank);
    ASSERT_EQ(abyFull.size(), CQdBankDoc::BANK_BLOCK_SIZE);
    WriteFile(m_oDir.Path("full.sty"), abyFull);
    EXPECT_TRUE(m_oDoc.OpenBankFile(m_oDir.Path("full.sty")));
    EXPECT_EQ(m_oDoc.GetUsedSize(), CQdBankDoc::BANK_BLOCK_SIZE);

    struct CCase
    {
        const char* m_pszWhat;
        Bytes m_abyFile;
        const char* m_pszMessage;
        std::string m_strCause;
    };
    Bytes abyOneMore = abyFull;
    abyOneMore.push_back(0);
    QdWriteBE32(&abyOneMore[4], DWORD(abyOneMore.size() - 8)); // the root itself is sound
    const Bytes abySmall = StyleBuilder::BuildBankImage(ThreeStyleBank());
    Bytes abyLongRoot = abySmall;
    QdWriteBE32(&abyLongRoot[4], DWORD(abySmall.size() - 8 + 1));
    Bytes abyHugeRoot = abySmall;
    QdWriteBE32(&abyHugeRoot[4], 0xFFFFFFF0);
    Bytes abyCorruptSlot = abySmall;
    const CTopChunk oBeta = TopChunks(abySmall)[4]; // info, names, Alpha, empty, Beta
    ASSERT_EQ(oBeta.m_byFlags & CNCF_COMPRESSED, CNCF_COMPRESSED);
    abyCorruptSlot[oBeta.m_dwOffset + 8 + oBeta.m_dwLength / 2] ^= 0x5A;
    const std::string strSize = std::to_string(abySmall.size());
    const CCase aoCases[] = {
        {"one byte beyond the block", abyOneMore, TOO_LARGE, "3145729 bytes; a style bank holds at most 3145728"},
        {"root one byte longer than the file", abyLongRoot, CORRUPT,
         "its chunks claim " + std::to_string(abySmall.size() + 1) + " bytes, the file holds only " + strSize},
        {"root of 4 GB", abyHugeRoot, CORRUPT, "its chunks claim 4294967288 bytes, the file holds only " + strSize},
        {"slot that does not decompress", abyCorruptSlot, CORRUPT,
         "the style slot at byte " + std::to_string(oBeta.m_dwOffset) + " does not decompress"},
    };
    const std::string strBad = m_oDir.Path("bad.sty");
    for (const CCase& rkoCase : aoCases)
    {
        WriteFile(strBad, rkoCase.m_abyFile);
        m_oPrompt.ClearRecords();
        EXPECT_FALSE(m_oDoc.OpenBankFile(strBad)) << rkoCase.m_pszWhat;
        EXPECT_FALSE(m_oDoc.IsBankOpen()) << rkoCase.m_pszWhat;
        EXPECT_EQ(m_oPrompt.m_aoTold, (decltype(m_oPrompt.m_aoTold){
                                          {"Open Style Bank", FileMessage(rkoCase.m_pszMessage, strBad,
                                                                          rkoCase.m_strCause)}}))
            << rkoCase.m_pszWhat;
        EXPECT_EQ(m_oDoc.WasRefusedAsCorrupt(), rkoCase.m_pszMessage == CORRUPT) << rkoCase.m_pszWhat;
    }
    EXPECT_TRUE(m_oReports.Empty());
}

TEST_F(CBankDocTest, StyleListFollowsTheNameTableInStepWithTheSlots)
{
    // Without a name table the list is empty, the bank still open.
    CTestBank oBank = ThreeStyleBank();
    oBank.m_bNameTable = false;
    OpenBank(oBank);
    EXPECT_TRUE(m_oDoc.IsBankOpen());
    EXPECT_TRUE(m_oDoc.GetStyleNames().empty());

    // A record without its zero gives all 24 characters; a style whose
    // record lies beyond the table is listed without a name.
    oBank = ThreeStyleBank();
    oBank.m_astrNames = {"ABCDEFGHIJKLMNOPQRSTUVWX", "", "Beta", "Gamma"};
    oBank.m_oiNameRecords = 3;
    OpenBank(oBank);
    EXPECT_EQ(m_oDoc.GetStyleNames(), (std::vector<std::string>{"ABCDEFGHIJKLMNOPQRSTUVWX", "Beta", ""}));
    EXPECT_TRUE(m_oReports.Empty());
}

// ---------------------------------------------------------------------------
// Selection, renaming, undo
// ---------------------------------------------------------------------------

TEST_F(CBankDocTest, SelectionShowsUsedSizeForTheRootAndSlotLengthForAStyle)
{
    CTestBank oBank = ThreeStyleBank();
    OpenBank(oBank);
    // Every slot decompressed: the block is the bank as if stored uncompressed.
    for (StyleBuilder::CTestSlot& roSlot : oBank.m_aoSlots)
        roSlot.m_byVersion = 0;
    const Bytes abyPlain = StyleBuilder::BuildBankImage(oBank);
    EXPECT_EQ(Block(), abyPlain);

    EXPECT_EQ(m_oDoc.SelectStyle(-1), " Uncompressed Size: " + std::to_string(abyPlain.size()));
    EXPECT_EQ(m_oDoc.GetEditIfc(), nullptr);
    const std::size_t auSlotLengths[] = {oBank.m_aoSlots[0].m_abyContent.size(), oBank.m_aoSlots[2].m_abyContent.size(),
                                         oBank.m_aoSlots[3].m_abyContent.size()};
    for (int iStyle = 0; iStyle < 3; ++iStyle)
    {
        EXPECT_EQ(m_oDoc.SelectStyle(iStyle), " Uncompressed Size: " + std::to_string(auSlotLengths[iStyle]));
        EXPECT_EQ(m_oDoc.GetSelectedStyle(), iStyle);
        ASSERT_NE(m_oDoc.GetEditIfc(), nullptr);
        EXPECT_EQ(StyleName(m_oDoc), m_oDoc.GetStyleNames()[std::size_t(iStyle)]);
    }
    EXPECT_EQ(CvState(0, 0), NST_STATE_EVENTS);
    EXPECT_EQ(CvState(0, 1), NST_STATE_ABSENT); // Gamma has one chord variation
    EXPECT_TRUE(m_oReports.Empty());
}

TEST_F(CBankDocTest, RenameRulesAndUndoOfARename)
{
    OpenBank(ThreeStyleBank());
    EXPECT_EQ(m_oDoc.RenameStyle("No style open"), "");
    m_oDoc.SelectStyle(1);
    EXPECT_FALSE(m_oDoc.IsStyleModified());

    EXPECT_EQ(m_oDoc.RenameStyle(""), "Beta");
    EXPECT_EQ(m_oDoc.RenameStyle("Fifteen chars!!"), "Fifteen cha");
    EXPECT_EQ(m_oDoc.GetStyleNames()[1], "Fifteen cha");
    EXPECT_EQ(StyleName(m_oDoc), "Fifteen cha");
    EXPECT_EQ(m_oDoc.RenameStyle("Elevenchars"), "Elevenchars");
    EXPECT_TRUE(m_oDoc.IsStyleModified());
    EXPECT_EQ(m_oDoc.GetListInfoText(), " Uncompressed Size: ???");
    EXPECT_TRUE(m_oDoc.GetToolState(nullptr).m_bUndo);

    const Bytes abyBefore = Block();
    EXPECT_TRUE(m_oDoc.UndoStyle());
    EXPECT_TRUE(m_oPrompt.m_aoQuestions.empty());
    EXPECT_FALSE(m_oDoc.IsStyleModified());
    EXPECT_EQ(m_oDoc.GetSelectedStyle(), 1);
    EXPECT_EQ(m_oDoc.GetStyleNames()[1], "Beta");
    EXPECT_EQ(StyleName(m_oDoc), "Beta");
    EXPECT_EQ(Block(), abyBefore);
    m_oDoc.SelectStyle(-1);
    EXPECT_FALSE(m_oDoc.UndoStyle());
}

TEST_F(CBankDocTest, LeavingAModifiedStyleNoDropsYesWritesBackAndOpeningAnotherBankAsks)
{
    OpenBank(ThreeStyleBank());
    const std::string strSecond = WriteBank(ManySlotBank(2, 99), "second.sty");
    const Bytes abyOpened = Block();
    m_oDoc.SelectStyle(0);
    m_oDoc.RenameStyle("Dropped");

    m_oPrompt.m_aiAnswers = {QD_ANSWER_CANCEL};
    m_oDoc.SelectStyle(1);
    ASSERT_EQ(m_oPrompt.m_aoQuestions.size(), 1u);
    const CQdQuestion& rkoConfirm = m_oPrompt.m_aoQuestions[0];
    EXPECT_EQ(rkoConfirm.m_strCaption + "/" + rkoConfirm.m_strText, "Style modified/Confirm changes ?");
    EXPECT_EQ(rkoConfirm.m_strYes + "/" + rkoConfirm.m_strNo + "/" + rkoConfirm.m_strCancel, "Yes//No");
    EXPECT_EQ(m_oDoc.GetStyleNames()[0], "Alpha");
    EXPECT_FALSE(m_oDoc.HasUnsavedChanges());
    EXPECT_EQ(Block(), abyOpened);
    EXPECT_EQ(m_oDoc.GetSelectedStyle(), 1);

    // Yes: only the style's container in the block is replaced.
    m_oDoc.RenameStyle("Kept");
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    m_oDoc.SelectStyle(2);
    EXPECT_TRUE(m_oDoc.IsWrittenBack(1));
    EXPECT_FALSE(m_oDoc.IsWrittenBack(0));
    EXPECT_EQ(m_oDoc.GetStyleNames()[1], "Kept");
    const std::vector<Bytes> aabyBefore = SlotData(abyOpened);
    const std::vector<Bytes> aabyAfter = SlotData(Block());
    ASSERT_EQ(aabyAfter.size(), aabyBefore.size());
    for (std::size_t i = 0; i < aabyBefore.size(); ++i)
        EXPECT_EQ(aabyAfter[i] != aabyBefore[i], i == 2) << "slot " << i;
    m_oDoc.SelectStyle(1);
    EXPECT_EQ(StyleName(m_oDoc), "Kept");

    // The written-back style alone makes opening another bank ask; No (and
    // a cancelled dialog) keep the bank.
    m_oPrompt.ClearRecords();
    m_oPrompt.m_aiAnswers = {QD_ANSWER_CANCEL};
    EXPECT_FALSE(m_oDoc.OpenBank());
    EXPECT_EQ(m_oPrompt.AskedTexts(), std::vector<std::string>{"Ignore changes ?"});
    EXPECT_EQ(m_oPrompt.m_aoQuestions[0].m_strCaption, "Some Style modified");
    EXPECT_EQ(m_oDoc.GetBankFileName(), "bank.sty");
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    m_oPrompt.m_astrOpenFiles = {""};
    EXPECT_FALSE(m_oDoc.OpenBank());
    EXPECT_TRUE(m_oDoc.IsWrittenBack(1));
    m_oPrompt.m_aiAnswers = {QD_ANSWER_CANCEL};
    EXPECT_FALSE(m_oDoc.CanClose());

    // Given up: nothing is asked any more, undo is off.
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    m_oPrompt.m_astrOpenFiles = {strSecond};
    EXPECT_TRUE(m_oDoc.OpenBank());
    EXPECT_EQ(m_oDoc.GetBankFileName(), "second.sty");
    EXPECT_FALSE(m_oDoc.GetToolState(nullptr).m_bUndo);
    m_oPrompt.ClearRecords();
    EXPECT_TRUE(m_oDoc.CanClose());
    EXPECT_TRUE(m_oPrompt.m_aoQuestions.empty());
    EXPECT_TRUE(m_oReports.Empty());
}

TEST_F(CBankDocTest, UndoReopensTheBankBlockVersionWrittenBackChangesStay)
{
    OpenBank(ThreeStyleBank());
    m_oDoc.SelectStyle(0);
    ASSERT_EQ(CvState(0, 1), NST_STATE_EVENTS);
    ASSERT_TRUE(m_oDoc.DeleteCV(0, 1));
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    m_oDoc.SelectStyle(-1);
    ASSERT_TRUE(m_oDoc.IsWrittenBack(0));

    m_oDoc.SelectStyle(0);
    EXPECT_EQ(CvState(0, 1), NST_STATE_ABSENT);
    ASSERT_TRUE(m_oDoc.DeleteCV(4, 0));
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetStyleElemState(4), NST_STATE_ABSENT);
    EXPECT_TRUE(m_oDoc.UndoStyle());
    EXPECT_EQ(CvState(0, 0), NST_STATE_EVENTS);
    EXPECT_EQ(CvState(0, 1), NST_STATE_ABSENT);
    EXPECT_EQ(CvState(4, 0), NST_STATE_EVENTS);
    EXPECT_TRUE(m_oDoc.IsWrittenBack(0));
    EXPECT_FALSE(m_oDoc.IsStyleModified());
}

TEST_F(CBankDocTest, WriteBackThatDoesNotFitTheReserveKeepsTheStyleOpen)
{
    // First, with room to spare, how much the style grows when written back.
    CTestBank oBank = ManySlotBank(2, 99);
    const std::string strSmf = WriteSmf("v1cv1.mid", SmfNotes(9, 16, 36));
    auto fnGrowStyle = [&]() {
        m_oDoc.SelectStyle(0);
        m_oDoc.ImportChordVarFile(0, 0, false, strSmf);
        ASSERT_TRUE(m_oDoc.IsStyleModified());
    };
    OpenBank(oBank);
    const DWORD dwUsed = m_oDoc.GetUsedSize();
    fnGrowStyle();
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    m_oDoc.SelectStyle(-1);
    ASSERT_TRUE(m_oDoc.IsWrittenBack(0));
    const DWORD dwGrowth = m_oDoc.GetUsedSize() - dwUsed;
    ASSERT_GT(dwGrowth, 0u);

    // A reserve of exactly that growth takes it; one byte less refuses it.
    const std::size_t uWithoutFiller = StyleBuilder::BuildBankImage(oBank).size();
    for (DWORD dwReserve : {dwGrowth, dwGrowth - 1})
    {
        SCOPED_TRACE(dwReserve);
        oBank.m_aoMoreChunks = {
            BankChunk(3, true, Bytes(CQdBankDoc::BANK_BLOCK_SIZE - dwReserve - uWithoutFiller - 8, 0x77))};
        const std::string strPath = OpenBank(oBank, "tight.sty");
        const Bytes abyOpened = Block();
        fnGrowStyle();
        m_oPrompt.ClearRecords();
        m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
        m_oDoc.SelectStyle(1);
        if (dwReserve == dwGrowth)
        {
            EXPECT_TRUE(m_oPrompt.m_aoTold.empty());
            EXPECT_TRUE(m_oDoc.IsWrittenBack(0));
            EXPECT_EQ(m_oDoc.GetUsedSize(), CQdBankDoc::BANK_BLOCK_SIZE);
            continue;
        }
        EXPECT_EQ(m_oPrompt.m_aoTold, (decltype(m_oPrompt.m_aoTold){
                                          {"Style modified", "Style Bank full - changes not written back!"}}));
        EXPECT_EQ(m_oDoc.GetSelectedStyle(), 0);
        EXPECT_TRUE(m_oDoc.IsStyleModified());
        EXPECT_FALSE(m_oDoc.IsWrittenBack(0));
        EXPECT_EQ(CvState(0, 0), NST_STATE_EVENTS);
        EXPECT_EQ(Block(), abyOpened);

        // Saving is refused the same way; the file stays as it was.
        m_oPrompt.ClearRecords();
        m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
        EXPECT_FALSE(m_oDoc.SaveBank());
        EXPECT_EQ(m_oPrompt.ToldTexts(), std::vector<std::string>{"Style Bank full - changes not written back!"});
        EXPECT_EQ(ReadFile(strPath), abyOpened);
        EXPECT_TRUE(m_oDoc.IsStyleModified());
    }
    EXPECT_TRUE(m_oReports.Empty());
}

// ---------------------------------------------------------------------------
// Saving
// ---------------------------------------------------------------------------

TEST_F(CBankDocTest, SavingWithoutChangeCompressesEverySlotWithVersion3Method2)
{
    CTestBank oBank = ThreeStyleBank();
    OpenBank(oBank);
    const Bytes abyOpened = Block();
    m_oPrompt.m_astrSaveFiles = {m_oDir.Path("copy.sty")};
    ASSERT_TRUE(m_oDoc.SaveBank());
    EXPECT_EQ(m_oPrompt.m_aoRequests.at(0).m_strTitle, "Save Style Bank File");
    EXPECT_EQ(m_oPrompt.m_aoRequests.at(0).m_strFileName, "bank.sty");
    EXPECT_EQ(m_oDoc.GetBankFileName(), "copy.sty");

    const Bytes abySaved = ReadFile(m_oDir.Path("copy.sty"));
    const std::vector<CTopChunk> aoChunks = TopChunks(abySaved);
    int iSlots = 0;
    std::size_t uSlot = 0;
    for (const CTopChunk& rkoChunk : aoChunks)
    {
        if (rkoChunk.m_byId != 6 && rkoChunk.m_byId != 7)
            continue;
        const StyleBuilder::CTestSlot& rkoSlot = oBank.m_aoSlots[uSlot++];
        if (rkoChunk.m_byId == 7)
        {
            EXPECT_EQ(rkoChunk.m_byFlags & CNCF_COMPRESSED, 0);
            continue;
        }
        ++iSlots;
        EXPECT_EQ(rkoChunk.m_byFlags & CNCF_COMPRESSED, CNCF_COMPRESSED);
        EXPECT_EQ(std::memcmp(&abySaved[rkoChunk.m_dwOffset + 8], "OC32", 4), 0);
        EXPECT_EQ(DecompressedSlot(abySaved, rkoChunk.m_dwOffset), rkoSlot.m_abyContent);
    }
    EXPECT_EQ(iSlots, 3);

    // The bank goes on decompressed, unchanged, with nothing to save.
    EXPECT_EQ(SlotData(Block()), SlotData(abyOpened));
    EXPECT_EQ(m_oDoc.GetUsedSize(), abyOpened.size());
    EXPECT_FALSE(m_oDoc.HasUnsavedChanges());
    EXPECT_EQ(m_oDoc.GetStyleNames(), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    ASSERT_TRUE(m_oDoc.OpenBankFile(m_oDir.Path("copy.sty")));
    EXPECT_EQ(SlotData(Block()), SlotData(abyOpened));
    EXPECT_TRUE(m_oReports.Empty());
}

TEST_F(CBankDocTest, DirectoryEntriesAreTheOffsetsOfTheWrittenFile)
{
    CTestBank oBank = ThreeStyleBank();
    oBank.m_aoMoreChunks.push_back(BankChunk(0x40, false, StyleBuilder::Chunk(1, true, Bytes(10, 1))));
    // Chunks behind the directory are not listed.
    const Bytes abyTail = BankChunk(9, true, Bytes(5, 9));
    Bytes abyImage = StyleBuilder::BuildBankImage(oBank);
    abyImage.insert(abyImage.end(), abyTail.begin(), abyTail.end());
    QdWriteBE32(&abyImage[4], DWORD(abyImage.size() - 8));
    WriteFile(m_oDir.Path("bank.sty"), abyImage);
    ASSERT_TRUE(m_oDoc.OpenBankFile(m_oDir.Path("bank.sty")));
    m_oDoc.SelectStyle(0);
    m_oDoc.RenameStyle("Longer name");
    ASSERT_TRUE(m_oDoc.SaveBankTo(m_oDir.Path("bank.sty")));

    const Bytes abySaved = ReadFile(m_oDir.Path("bank.sty"));
    std::vector<DWORD> adwExpected;
    const CTopChunk* pkoDirectory = nullptr;
    const std::vector<CTopChunk> aoChunks = TopChunks(abySaved);
    for (const CTopChunk& rkoChunk : aoChunks)
    {
        if (rkoChunk.m_byId == 0xFE)
        {
            pkoDirectory = &rkoChunk;
            break;
        }
        if (rkoChunk.m_byId >= 3)
            adwExpected.push_back(rkoChunk.m_dwOffset);
    }
    ASSERT_NE(pkoDirectory, nullptr);
    ASSERT_EQ(adwExpected.size(), 7u); // names, four slots, id 3, id 0x40
    const BYTE* pbyData = &abySaved[pkoDirectory->m_dwOffset + 8];
    EXPECT_EQ(std::memcmp(pbyData, StyleBuilder::BANK_DIRECTORY_HEAD, 4), 0);
    for (std::size_t i = 0; i < adwExpected.size(); ++i)
        EXPECT_EQ(QdReadBE32(pbyData + 4 + 4 * i), adwExpected[i]) << "entry " << i;
    EXPECT_EQ(pbyData[4 + 4 * adwExpected.size()], StyleBuilder::BANK_DIRECTORY_FILL);
    EXPECT_TRUE(m_oReports.Empty());
}

TEST_F(CBankDocTest, DirectoryListNeverGrowsPastItsRoomNorPast100Entries)
{
    // The name table, the slot and 3 chunks make 5 listed entries, against
    // a room of 5, then of 4; then 101 listed chunks against the full room.
    struct CCase
    {
        int m_iMoreChunks;
        DWORD m_dwDirectoryLength;
        std::size_t m_uWritten;
        bool m_bReported;
    };
    const CCase aoCases[] = {{3, 4 + 4 * 5, 5, false}, {3, 4 + 4 * 4 + 3, 4, true}, {99, 4 + 4 * 100, 100, true}};
    for (const CCase& rkoCase : aoCases)
    {
        SCOPED_TRACE(rkoCase.m_dwDirectoryLength);
        CTestBank oBank = ManySlotBank(1, 99);
        for (int i = 0; i < rkoCase.m_iMoreChunks; ++i)
            oBank.m_aoMoreChunks.push_back(BankChunk(3, true, Bytes{BYTE(i)}));
        oBank.m_dwDirectoryLength = rkoCase.m_dwDirectoryLength;
        OpenBank(oBank);
        m_oReports.Clear();
        ASSERT_TRUE(m_oDoc.SaveBankTo(m_oDir.Path("out.sty")));
        EXPECT_EQ(!m_oReports.Empty(), rkoCase.m_bReported);

        const Bytes abySaved = ReadFile(m_oDir.Path("out.sty"));
        const std::vector<CTopChunk> aoChunks = TopChunks(abySaved);
        const CTopChunk& rkoDirectory = aoChunks.back();
        ASSERT_EQ(rkoDirectory.m_byId, 0xFE);
        EXPECT_EQ(rkoDirectory.m_dwLength, rkoCase.m_dwDirectoryLength);
        EXPECT_EQ(abySaved.size(), rkoDirectory.m_dwOffset + 8 + rkoCase.m_dwDirectoryLength);
        const BYTE* pbyList = &abySaved[rkoDirectory.m_dwOffset + 8 + 4];
        for (std::size_t i = 0; i < rkoCase.m_uWritten; ++i)
            EXPECT_EQ(QdReadBE32(pbyList + 4 * i), aoChunks[i + 1].m_dwOffset) << "entry " << i;
        // The bytes behind the written entries stay as they were.
        for (std::size_t i = 4 + 4 * rkoCase.m_uWritten; i < rkoCase.m_dwDirectoryLength; ++i)
            EXPECT_EQ(abySaved[rkoDirectory.m_dwOffset + 8 + i], StyleBuilder::BANK_DIRECTORY_FILL) << i;
    }
}

TEST_F(CBankDocTest, NameRecordGetsTheNameAndKeepsItsRemainingBytes)
{
    CTestBank oBank = ThreeStyleBank();
    oBank.m_astrNames[3] = "ABCDEFGHIJKLMNOPQRSTUVWX"; // a full record without its zero
    OpenBank(oBank);
    m_oDoc.SelectStyle(1);
    EXPECT_EQ(m_oDoc.RenameStyle("Eleven char"), "Eleven char");
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    m_oPrompt.m_astrSaveFiles = {m_oDir.Path("named.sty")};
    ASSERT_TRUE(m_oDoc.SaveBank());
    EXPECT_EQ(m_oDoc.GetStyleNames()[1], "Eleven char");
    EXPECT_FALSE(m_oDoc.IsWrittenBack(1));

    const Bytes abySaved = ReadFile(m_oDir.Path("named.sty"));
    const CTopChunk oTable = TopChunks(abySaved)[1];
    ASSERT_EQ(oTable.m_byId, 5);
    const BYTE* pbyRecords = &abySaved[oTable.m_dwOffset + 8];
    auto fnRecord = [&](int iSlot) { return Bytes(pbyRecords + 24 * iSlot, pbyRecords + 24 * iSlot + 24); };
    auto fnExpected = [](const std::string& rkstrName) {
        Bytes abyRecord(24);
        for (int i = 0; i < 24; ++i)
            abyRecord[std::size_t(i)] = StyleBuilder::NameRecordFill(i);
        std::memcpy(abyRecord.data(), rkstrName.c_str(), rkstrName.size() + 1);
        return abyRecord;
    };
    EXPECT_EQ(fnRecord(0), fnExpected("Alpha"));
    EXPECT_EQ(fnRecord(1), fnExpected("")); // the empty slot's record is not touched
    EXPECT_EQ(fnRecord(2), fnExpected("Eleven char"));
    EXPECT_EQ(fnRecord(3), fnExpected("ABCDEFGHIJKLMNOPQRSTUVW"));

    ASSERT_TRUE(m_oDoc.OpenBankFile(m_oDir.Path("named.sty")));
    EXPECT_EQ(m_oDoc.GetStyleNames(),
              (std::vector<std::string>{"Alpha", "Eleven char", "ABCDEFGHIJKLMNOPQRSTUVW"}));
}

TEST_F(CBankDocTest, FailedWriteLeavesTheOldFileAndKeepsTheBankOpen)
{
    const std::string strPath = OpenBank(ThreeStyleBank());
    const Bytes abyOriginal = ReadFile(strPath);
    m_oDoc.SelectStyle(2);
    m_oDoc.RenameStyle("Not on disk");
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    m_oDoc.SelectStyle(-1);
    const Bytes abyWrittenBack = Block();

    // The disk fills up after 200 bytes of the new file.
    m_oFileIo.m_lFailAfter = 200;
    m_oPrompt.ClearRecords();
    m_oPrompt.m_astrSaveFiles = {strPath};
    EXPECT_FALSE(m_oDoc.SaveBank());
    EXPECT_EQ(m_oPrompt.m_aoTold, (decltype(m_oPrompt.m_aoTold){
                                      {"Save Style Bank", FileMessage(WRITE_ERROR, strPath, "disk full")}}));
    EXPECT_EQ(ReadFile(strPath), abyOriginal);
    EXPECT_EQ(m_oDir.Files(), std::vector<std::string>{"bank.sty"});
    // Still open, decompressed as before, the change still to be saved.
    EXPECT_TRUE(m_oDoc.IsBankOpen());
    EXPECT_EQ(SlotData(Block()), SlotData(abyWrittenBack));
    EXPECT_EQ(m_oDoc.GetUsedSize(), abyWrittenBack.size());
    EXPECT_EQ(m_oDoc.GetBankFileName(), "bank.sty");
    EXPECT_TRUE(m_oDoc.IsWrittenBack(2));
    EXPECT_TRUE(m_oDoc.HasUnsavedChanges());
    EXPECT_EQ(m_oDoc.GetStyleNames()[2], "Not on disk");

    // Once the disk takes it, the same bank saves.
    m_oFileIo.m_lFailAfter = -1;
    ASSERT_TRUE(m_oDoc.SaveBankTo(strPath));
    EXPECT_FALSE(m_oDoc.HasUnsavedChanges());
    ASSERT_TRUE(m_oDoc.OpenBankFile(strPath));
    EXPECT_EQ(m_oDoc.GetStyleNames()[2], "Not on disk");
    EXPECT_EQ(SlotData(Block()), SlotData(abyWrittenBack));
    EXPECT_TRUE(m_oReports.Empty());
}

// A load kept from the open is handed out once, and only for the bytes it
// was made of: a style whose container changed (or a list shifted under
// the index) loads afresh.
TEST(QdLoadedStyles, HandsOutALoadOnlyForItsOwnBytesAndOnlyOnce)
{
    const std::vector<BYTE> abyOld = {1, 2, 3, 4}, abyChanged = {1, 2, 9, 4}, abyLonger = {1, 2, 3, 4, 5};
    CQdLoadedStyles oLoaded;
    const auto fnKeep = [&](std::size_t uStyle) {
        oLoaded.Keep(uStyle, abyOld.data(), DWORD(abyOld.size()), std::make_unique<CNstEditIfc>(nullptr, 0));
    };
    struct CCase
    {
        const char* m_pszWhat;
        const std::vector<BYTE>* m_pkabyNow;
        std::size_t m_uAsked;
        bool m_bHandedOut;
    } const aoCases[] = {
        {"same bytes", &abyOld, 3, true},
        {"a byte changed", &abyChanged, 3, false},
        {"bytes added", &abyLonger, 3, false},
        {"another style", &abyOld, 2, false},
        {"beyond every kept style", &abyOld, 9, false},
    };
    for (const CCase& rkoCase : aoCases)
    {
        oLoaded.Clear();
        fnKeep(3);
        const std::vector<BYTE>& rkabyNow = *rkoCase.m_pkabyNow;
        EXPECT_EQ(oLoaded.Take(rkoCase.m_uAsked, rkabyNow.data(), DWORD(rkabyNow.size())) != nullptr,
                  rkoCase.m_bHandedOut)
            << rkoCase.m_pszWhat;
        EXPECT_EQ(oLoaded.Take(3, abyOld.data(), DWORD(abyOld.size())) != nullptr, rkoCase.m_uAsked != 3)
            << rkoCase.m_pszWhat << ": asked for the style, its load is gone";
    }
}
