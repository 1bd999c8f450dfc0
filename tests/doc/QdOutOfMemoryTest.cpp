// QdOutOfMemoryTest.cpp -- the bank document's commands when memory runs
// out, at every allocation they make.
//
// This executable replaces the global operator new with one that can be
// told to fail the n-th allocation from now, once (the allocations after it
// succeed again, as they would once the failing command has let go of what
// it held). For each command the sweep runs n = 1, 2, 3 ... on a fresh
// document until the command completes without reaching its n-th
// allocation. At each n that fails, the command must report its failure
// with the out-of-memory message and nothing else, give every pool record
// back, end its wait, write no file, and leave the document as it was:
// the same block, list, selection, open style (each chord variation
// exported to the same bytes) and marks. A command that first writes a
// changed style back may instead be left right after that step.
#include "DocFixtures.h"

#include "BankDoc/QdBankImport.h"
#include "BankDoc/QdCopyPart.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdTrackParams.h"
#include "Kernel/RTEvents/EvBuffer.h"
#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/SeqBase/NoteInfoPool.h"
#include "NlzdStyle/NstEditIfc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>

namespace {

// The countdown: allocations left up to and including the one that fails;
// 0 while no failure is asked for. Saving compresses on helper threads, so
// the countdown is shared by every thread that allocates.
std::atomic<long> g_lAllocationsLeft{0};
std::atomic<bool> g_bStruck{false};
// Reports are kept in memory, as the front ends keep or show them; one whose
// allocation fails is lost, and the work that reported goes on.
std::atomic<bool> g_bInReport{false};
std::atomic<bool> g_bStruckInReport{false};

bool FailsNow()
{
    long lLeft = g_lAllocationsLeft.load();
    do
    {
        if (lLeft == 0)
            return false;
    } while (!g_lAllocationsLeft.compare_exchange_weak(lLeft, lLeft - 1));
    if (lLeft != 1)
        return false;
    g_bStruck = true;
    g_bStruckInReport = g_bInReport.load();
    return true;
}

void FailAllocation(long lNumber)
{
    g_bStruck = false;
    g_bStruckInReport = false;
    g_lAllocationsLeft = lNumber;
}

// StopFailing -- true when the asked-for allocation did fail.
bool StopFailing()
{
    g_lAllocationsLeft = 0;
    return g_bStruck;
}

} // namespace

// The replacements stay out of line, so that the compiler never pairs an
// inlined malloc or free with the standard operators it knows.
#define QD_OUT_OF_LINE __attribute__((noinline))

QD_OUT_OF_LINE void* operator new(std::size_t uSize)
{
    if (FailsNow())
        throw std::bad_alloc();
    if (void* pvBlock = std::malloc(uSize != 0 ? uSize : 1))
        return pvBlock;
    throw std::bad_alloc();
}

QD_OUT_OF_LINE void* operator new[](std::size_t uSize)
{
    return ::operator new(uSize);
}

QD_OUT_OF_LINE void* operator new(std::size_t uSize, const std::nothrow_t&) noexcept
{
    return FailsNow() ? nullptr : std::malloc(uSize != 0 ? uSize : 1);
}

QD_OUT_OF_LINE void* operator new[](std::size_t uSize, const std::nothrow_t& rkoTag) noexcept
{
    return ::operator new(uSize, rkoTag);
}

QD_OUT_OF_LINE void operator delete(void* pvBlock) noexcept
{
    std::free(pvBlock);
}

QD_OUT_OF_LINE void operator delete[](void* pvBlock) noexcept
{
    std::free(pvBlock);
}

QD_OUT_OF_LINE void operator delete(void* pvBlock, std::size_t) noexcept
{
    std::free(pvBlock);
}

QD_OUT_OF_LINE void operator delete[](void* pvBlock, std::size_t) noexcept
{
    std::free(pvBlock);
}

using namespace DocFixtures;

namespace {

typedef std::pair<std::string, std::string> Message;

const char* const NOT_WRITTEN_BACK = "Out of memory - changes not written back!";

// CWorld -- one document over its scripted prompt.
struct CWorld
{
    CScriptedPrompt m_oPrompt;
    CFailingFileIo m_oFileIo;
    CQdBankDoc m_oDoc{m_oPrompt, m_oFileIo};
};

// CDocState -- what a command may change of a document.
struct CDocState
{
    bool m_bOpen = false;
    std::string m_strFileName;
    Bytes m_abyBlock;
    std::vector<std::string> m_astrNames;
    std::vector<bool> m_abWrittenBack;
    int m_iSelected = -1;
    bool m_bModified = false;
    std::string m_strInfo;
    std::vector<std::string> m_astrTree;
    std::vector<Bytes> m_aabyExports;

    bool operator==(const CDocState& rkoOther) const = default;
};

CDocState StateOf(CQdBankDoc& roDoc)
{
    CDocState oState;
    oState.m_bOpen = roDoc.IsBankOpen();
    oState.m_strFileName = roDoc.GetBankFileName();
    if (roDoc.GetBankBlock())
        oState.m_abyBlock.assign(roDoc.GetBankBlock(), roDoc.GetBankBlock() + roDoc.GetUsedSize());
    oState.m_astrNames = roDoc.GetStyleNames();
    for (int i = 0; i < roDoc.GetStyleCount(); ++i)
        oState.m_abWrittenBack.push_back(roDoc.IsWrittenBack(i));
    oState.m_iSelected = roDoc.GetSelectedStyle();
    oState.m_bModified = roDoc.IsStyleModified();
    oState.m_strInfo = roDoc.GetListInfoText();
    for (const CQdTreeNode& rkoNode : roDoc.BuildElementTree())
    {
        oState.m_astrTree.push_back(rkoNode.m_strText);
        if (rkoNode.m_byKind != CQdTreeNode::KIND_CHORD_VAR)
            continue;
        DWORD dwSize = 0;
        const std::unique_ptr<BYTE[]> pbySmf =
            roDoc.GetEditIfc()->ExportToSmf(rkoNode.m_bySe, rkoNode.m_byCv, NST_ALL_TRACKS, dwSize);
        oState.m_aabyExports.push_back(pbySmf ? Bytes(pbySmf.get(), pbySmf.get() + dwSize) : Bytes());
    }
    return oState;
}

// One command of the sweep: its caption, whether it first writes the open
// style's changes back, how its document is prepared and how it runs (true
// when it was done).
struct CCommand
{
    const char* m_pszName;
    const char* m_pszCaption;
    bool m_bWritesBack;
    std::function<void(CWorld&)> m_fnPrepare;
    std::function<bool(CWorld&)> m_fnRun;
};

// CReportKeeper -- the reports, in memory, for the lifetime of the object.
class CReportKeeper
{
public:
    CReportKeeper()
    {
        m_fnPrevious = QdSetReportSink([this](const char* pszText) {
            const CInReport oInReport;
            m_astrTexts.emplace_back(pszText);
        });
    }
    ~CReportKeeper() { QdSetReportSink(std::move(m_fnPrevious)); }
    CReportKeeper(const CReportKeeper&) = delete;
    CReportKeeper& operator=(const CReportKeeper&) = delete;

private:
    struct CInReport
    {
        CInReport() { g_bInReport = true; }
        ~CInReport() { g_bInReport = false; }
    };

    QdReportSink m_fnPrevious;
    std::vector<std::string> m_astrTexts;
};

struct CPoolCounts
{
    int m_iEvents;
    int m_iBuffers;
    int m_iFreeNotes;

    bool operator==(const CPoolCounts& rkoOther) const = default;
};

CPoolCounts PoolCounts()
{
    return {EventsPool().GetCount(), EvBuffersPool().GetBlocksAllocated(), NoteInfoPool().GetFreeCount()};
}

// DenseSmf -- a format-0 file, 384 ticks per quarter: a text event of 200
// bytes (more than the buffers pool's blocks hold), then 16 measures of
// 32nd notes on the channel, enough to make the coders' buffers grow.
Bytes DenseSmf(BYTE byChannel)
{
    Bytes abyTrack = {0x00, 0xFF, 0x01, 0x81, 0x48};
    abyTrack.insert(abyTrack.end(), 200, 'x');
    for (int i = 0; i < 16 * 32; ++i)
    {
        const BYTE byKey = BYTE(36 + (i * 7) % 48);
        abyTrack.insert(abyTrack.end(), {0x00, BYTE(0x90 | byChannel), byKey, 100, 48, BYTE(0x80 | byChannel), byKey, 0});
    }
    abyTrack.insert(abyTrack.end(), {0x00, 0xFF, 0x2F, 0x00});
    const BYTE abyHeaders[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0x80, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
    Bytes abyFile(sizeof abyHeaders + abyTrack.size());
    std::copy(std::begin(abyHeaders), std::end(abyHeaders), abyFile.begin());
    QdWriteBE32(&abyFile[18], DWORD(abyTrack.size()));
    std::copy(abyTrack.begin(), abyTrack.end(), abyFile.begin() + sizeof abyHeaders);
    return abyFile;
}

} // namespace

TEST(QdOutOfMemory, EveryFailedAllocationLeavesTheDocumentAsItWas)
{
    const auto tStart = std::chrono::steady_clock::now();
    const CReportKeeper oReports;
    CTempDir oDir;
    CTempDir oOut;
    const std::string strBank = oDir.Path("bank.sty");
    WriteFile(strBank, StyleBuilder::BuildBankImage(ThreeStyleBank()));
    const std::string strSmf = oDir.Path("v1cv2.mid");
    WriteFile(strSmf, DenseSmf(8));
    const std::string strSmf2 = oDir.Path("i1cv1.mid");
    WriteFile(strSmf2, SmfNotes(9, 2, 36));
    const std::vector<std::string> astrStyleFiles = {strSmf, strSmf2};
    // Style folders for the bank import: the dense file for "Alpha", the
    // small one for "Gamma".
    const std::string strFolders = oDir.Path("folders");
    std::filesystem::create_directories(strFolders + "/01-Alpha");
    std::filesystem::create_directories(strFolders + "/03-Gamma");
    std::filesystem::copy_file(strSmf, strFolders + "/01-Alpha/v1cv2.mid");
    std::filesystem::copy_file(strSmf2, strFolders + "/03-Gamma/i1cv1.mid");
    const std::string strSaved = oOut.Path("saved.sty");
    const std::string strExported = oOut.Path("v1cv2.mid");

    const auto fnOpen = [&](CWorld& roWorld) { ASSERT_TRUE(roWorld.m_oDoc.OpenBankFile(strBank)); };
    const auto fnOpenStyle = [&](CWorld& roWorld) {
        fnOpen(roWorld);
        roWorld.m_oDoc.SelectStyle(0);
    };
    // A style with a chord variation that is long once encoded; renamed too.
    const auto fnDense = [&](CWorld& roWorld) {
        fnOpenStyle(roWorld);
        ASSERT_TRUE(roWorld.m_oDoc.ImportChordVarFile(0, 1, true, strSmf));
    };
    const auto fnRenamed = [&](CWorld& roWorld) {
        fnDense(roWorld);
        roWorld.m_oDoc.RenameStyle("Renamed");
        roWorld.m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    };
    const CCommand aoCommands[] = {
        {"open", QdDocText::OPEN_BANK, false, [](CWorld&) {},
         [&](CWorld& roWorld) { return roWorld.m_oDoc.OpenBankFile(strBank); }},
        {"select leaving a changed style", QdDocText::SELECT_STYLE, true, fnRenamed,
         [](CWorld& roWorld) {
             roWorld.m_oDoc.SelectStyle(2);
             return roWorld.m_oDoc.GetSelectedStyle() == 2 && roWorld.m_oDoc.GetEditIfc();
         }},
        {"import chord variation", QdDocText::IMPORT_CV, false, fnOpenStyle,
         [&](CWorld& roWorld) { return roWorld.m_oDoc.ImportChordVarFile(0, 1, true, strSmf); }},
        {"import style, merging", QdDocText::IMPORT_STYLE, false,
         [&](CWorld& roWorld) {
             fnOpenStyle(roWorld);
             roWorld.m_oPrompt.m_aiAnswers = {QD_ANSWER_NO, QD_ANSWER_YES};
         },
         [&](CWorld& roWorld) { return roWorld.m_oDoc.ImportStyleFiles(astrStyleFiles, false) == 2; }},
        {"delete chord variation", QdDocText::DELETE_CV, false, fnDense,
         [](CWorld& roWorld) { return roWorld.m_oDoc.DeleteCV(0, 1); }},
        {"undo", QdDocText::UNDO_STYLE, false, fnRenamed,
         [](CWorld& roWorld) { return roWorld.m_oDoc.UndoStyle(); }},
        {"export", QdDocText::EXPORT_CV, false, fnDense,
         [&](CWorld& roWorld) { return roWorld.m_oDoc.ExportChordVarFile(0, 1, NST_ALL_TRACKS, strExported); }},
        {"save with a changed style", QdDocText::SAVE_BANK, true, fnRenamed,
         [&](CWorld& roWorld) { return roWorld.m_oDoc.SaveBankTo(strSaved); }},
        {"set track parameters", "Set Track Parameters", false, fnDense,
         [](CWorld& roWorld) {
             CQdTrackParamChange oChange;
             oChange.m_oiProgram = 40;
             return roWorld.m_oDoc.SetTrackParams(CQdBankDoc::ALL_ELEMENTS, 2, oChange);
         }},
        {"copy a style over the open one", "Copy", false, fnDense,
         [](CWorld& roWorld) {
             std::unique_ptr<CNstEditIfc> poSource;
             CQdCopyReport oReport;
             return roWorld.m_oDoc.CopyOfStyle(1, poSource) &&
                    roWorld.m_oDoc.CopyPart(*poSource, CQdCopyRequest(), oReport);
         }},
        {"import bank with a changed style", "Import Bank from SMF Folders", true, fnRenamed,
         [&](CWorld& roWorld) {
             std::vector<CQdBankImportStyle> aoStyles;
             return roWorld.m_oDoc.ImportBankFolder(strFolders, false, CQdImportOptions(), aoStyles) == 2;
         }},
    };

    const CPoolCounts oPoolsAtStart = PoolCounts();
    for (const CCommand& rkoCommand : aoCommands)
    {
        SCOPED_TRACE(rkoCommand.m_pszName);
        // The document before the command, and right after writing its
        // changed style back (for the commands that do that first).
        CWorld oBefore;
        rkoCommand.m_fnPrepare(oBefore);
        const CDocState oStateBefore = StateOf(oBefore.m_oDoc);
        const bool bWritesBack = rkoCommand.m_bWritesBack;
        CWorld oWrittenBack;
        rkoCommand.m_fnPrepare(oWrittenBack);
        if (bWritesBack)
        {
            ASSERT_EQ(oWrittenBack.m_oDoc.WriteBackStyle(), QD_WRITEBACK_DONE);
        }
        const CDocState oStateWrittenBack = StateOf(oWrittenBack.m_oDoc);

        long lFailures = 0;
        for (long lNumber = 1;; ++lNumber)
        {
            for (const std::string& rkstrFile : oOut.Files())
                std::remove(oOut.Path(rkstrFile).c_str());
            CWorld oWorld;
            rkoCommand.m_fnPrepare(oWorld);
            oWorld.m_oPrompt.ClearRecords();
            FailAllocation(lNumber);
            const bool bDone = rkoCommand.m_fnRun(oWorld);
            if (!StopFailing())
            {
                EXPECT_TRUE(bDone) << "without a failed allocation";
                break;
            }
            ++lFailures;
            SCOPED_TRACE("allocation " + std::to_string(lNumber) + " failed");
            EXPECT_EQ(PoolCounts(), oPoolsAtStart);
            if (g_bStruckInReport)
            {
                EXPECT_TRUE(bDone) << "a report lost for memory stops nothing";
                continue;
            }
            EXPECT_FALSE(bDone);
            EXPECT_EQ(oWorld.m_oPrompt.m_iWaitDepth, 0);
            EXPECT_TRUE(oOut.Files().empty());
            ASSERT_EQ(oWorld.m_oPrompt.m_aoTold.size(), 1u);
            const Message& rkoTold = oWorld.m_oPrompt.m_aoTold[0];
            const CDocState oState = StateOf(oWorld.m_oDoc);
            if (rkoTold.second == NOT_WRITTEN_BACK)
            {
                EXPECT_TRUE(bWritesBack);
                EXPECT_TRUE(oState == oStateBefore);
            }
            else
            {
                EXPECT_EQ(rkoTold, Message(rkoCommand.m_pszCaption, QdDocText::OUT_OF_MEMORY));
                EXPECT_TRUE(oState == oStateBefore || (bWritesBack && oState == oStateWrittenBack));
            }
            if (::testing::Test::HasFailure())
                return;
        }
        EXPECT_GT(lFailures, 10);
        std::printf("%-32s %ld allocations\n", rkoCommand.m_pszName, lFailures);
    }
    std::printf("sweep: %lld ms\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                               std::chrono::steady_clock::now() - tStart)
                                                               .count()));
}
