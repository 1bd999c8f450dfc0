// QdFaultInjectionTest.cpp -- the bank document when the world fails it:
// folders that refuse the file it writes, files that declare sizes far
// beyond what they hold or what the bank block takes, and input beyond its
// fixed pools. Each ends with the user's message and an orderly stop; the
// files stay as they were and the open bank keeps its changes.
#include "DocFixtures.h"

#include "ChunkNav/ChunkNav.h"
#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/SeqBase/NoteInfoPool.h"
#include "MemCoder/MaEncoder.h"
#include "MidiInOut/MidiInOut.h"
#include "NlzdStyle/NstEditIfc.h"
#include "SmfEventText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define QD_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QD_TEST_ASAN 1
#endif
#endif

using namespace DocFixtures;
using StyleBuilder::BankChunk;
using StyleBuilder::CTestBank;

namespace {

typedef std::vector<std::pair<std::string, std::string>> Told;

// SaveFailed -- the save's message: the classic text, then the file and the cause.
Told SaveFailed(const std::string& rkstrPath, const std::string& rkstrCause)
{
    return {{"Save Style Bank", FileMessage("File write error!", rkstrPath, rkstrCause)}};
}
// ExportFailed -- the export's message: the classic text, then the file and the cause.
Told ExportFailed(const std::string& rkstrPath, const std::string& rkstrCause)
{
    return {{"Export Chord Variation to SMF", "SMF write error!\n" + rkstrPath + ": " + rkstrCause}};
}
const char* const CORRUPT = "File corrupt - Error!";
const char* const TOO_LARGE = "File too large for a Qd50 Style Bank!";

// CWithoutDacOverride -- root passes over folder permissions by its
// CAP_DAC_OVERRIDE. While this object lives the capability is off in the
// effective set (it stays permitted and comes back at the end), so that a
// read-only folder refuses root as it refuses any user. Nothing to do for
// other users.
class CWithoutDacOverride
{
public:
    CWithoutDacOverride()
    {
        if (::geteuid() != 0)
            return;
        m_oHeader.version = _LINUX_CAPABILITY_VERSION_3;
        m_oHeader.pid = 0;
        if (::syscall(SYS_capget, &m_oHeader, m_aoSaved) != 0)
        {
            m_bOk = false;
            return;
        }
        __user_cap_data_struct aoReduced[2] = {m_aoSaved[0], m_aoSaved[1]};
        aoReduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        m_bChanged = ::syscall(SYS_capset, &m_oHeader, aoReduced) == 0;
        m_bOk = m_bChanged;
    }
    ~CWithoutDacOverride()
    {
        if (m_bChanged)
            (void)::syscall(SYS_capset, &m_oHeader, m_aoSaved);
    }
    CWithoutDacOverride(const CWithoutDacOverride&) = delete;
    CWithoutDacOverride& operator=(const CWithoutDacOverride&) = delete;

    bool Ok() const { return m_bOk; }

private:
    __user_cap_header_struct m_oHeader{};
    __user_cap_data_struct m_aoSaved[2]{};
    bool m_bChanged = false;
    bool m_bOk = true;
};

// CReadOnlyFolder -- the folder (none for an empty path) is read-only while
// this object lives.
class CReadOnlyFolder
{
public:
    explicit CReadOnlyFolder(const std::string& rkstrDir) : m_strDir(rkstrDir)
    {
        if (!m_strDir.empty() && ::chmod(m_strDir.c_str(), 0555) != 0)
            ADD_FAILURE() << "cannot make " << m_strDir << " read-only";
    }
    ~CReadOnlyFolder()
    {
        if (!m_strDir.empty())
            (void)::chmod(m_strDir.c_str(), 0755);
    }
    CReadOnlyFolder(const CReadOnlyFolder&) = delete;
    CReadOnlyFolder& operator=(const CReadOnlyFolder&) = delete;

private:
    std::string m_strDir;
};

// CanCreateIn -- a new file can be made in the folder (removed again).
bool CanCreateIn(const std::string& rkstrDir)
{
    const std::string strProbe = rkstrDir + "/probe";
    const int iFd = ::open(strProbe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (iFd < 0)
        return false;
    ::close(iFd);
    ::unlink(strProbe.c_str());
    return true;
}

// FilesIn -- the names in a folder, sorted.
std::vector<std::string> FilesIn(const std::string& rkstrDir)
{
    std::vector<std::string> astrNames;
    for (const auto& rkoEntry : std::filesystem::directory_iterator(rkstrDir))
        astrNames.push_back(rkoEntry.path().filename().string());
    std::sort(astrNames.begin(), astrNames.end());
    return astrNames;
}

void AppendVarLength(Bytes& rabyTo, DWORD dwValue)
{
    BYTE abyGroups[5];
    int iCount = 0;
    do
    {
        abyGroups[iCount++] = BYTE(dwValue & 0x7F);
        dwValue >>= 7;
    } while (dwValue != 0);
    while (iCount-- > 0)
        rabyTo.push_back(BYTE(abyGroups[iCount] | (iCount > 0 ? 0x80 : 0)));
}

// SmfFile -- a format-0 file, 384 ticks per quarter, around the track's
// bytes; the track's length as declared (its real length when 0).
Bytes SmfFile(const Bytes& rkabyTrack, DWORD dwDeclaredLength = 0)
{
    const BYTE abyHeaders[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0x80, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
    Bytes abyFile(sizeof abyHeaders + rkabyTrack.size());
    std::copy(std::begin(abyHeaders), std::end(abyHeaders), abyFile.begin());
    std::copy(rkabyTrack.begin(), rkabyTrack.end(), abyFile.begin() + sizeof abyHeaders);
    QdWriteBE32(&abyFile[18], dwDeclaredLength != 0 ? dwDeclaredLength : DWORD(rkabyTrack.size()));
    return abyFile;
}

// HeldNotesSmf -- iNotes notes on the channel, all struck at tick 0 and
// released together at tick 384.
Bytes HeldNotesSmf(BYTE byChannel, int iNotes)
{
    Bytes abyTrack;
    for (int i = 0; i < iNotes; ++i)
        abyTrack.insert(abyTrack.end(), {0x00, BYTE(0x90 | byChannel), BYTE(20 + i), 100});
    for (int i = 0; i < iNotes; ++i)
    {
        AppendVarLength(abyTrack, i == 0 ? 384 : 0);
        abyTrack.insert(abyTrack.end(), {BYTE(0x80 | byChannel), BYTE(20 + i), 0});
    }
    abyTrack.insert(abyTrack.end(), {0x00, 0xFF, 0x2F, 0x00});
    return SmfFile(abyTrack);
}

// NoteOnLines -- the note-ons of a MIDI file as the decoder reads them.
std::vector<std::string> NoteOnLines(const Bytes& rkabyFile)
{
    Bytes abyCopy(rkabyFile);
    CMidiIn oIn(abyCopy.data(), DWORD(abyCopy.size()));
    std::vector<std::string> astrLines;
    if (!oIn.Open() || !oIn.GetDecoder())
        return astrLines;
    for (const std::string& rkstrLine : SmfDrainDecoder(*oIn.GetDecoder()).m_aLines)
        if (rkstrLine.find("note_on") != std::string::npos)
            astrLines.push_back(rkstrLine);
    return astrLines;
}

// FullBank -- ThreeStyleBank with a filler chunk that makes the file exactly
// as large as the bank block; its style slots compressed or stored plain.
Bytes FullBank(bool bCompressedSlot)
{
    CTestBank oBank = ThreeStyleBank();
    for (StyleBuilder::CTestSlot& roSlot : oBank.m_aoSlots)
        if (roSlot.m_byId == 6)
            roSlot.m_byVersion = BYTE(bCompressedSlot ? 3 : 0);
    const std::size_t uWithoutFiller = StyleBuilder::BuildBankImage(oBank).size();
    oBank.m_aoMoreChunks.push_back(BankChunk(3, true, Bytes(CQdBankDoc::BANK_BLOCK_SIZE - uWithoutFiller - 8, 0x77)));
    return StyleBuilder::BuildBankImage(oBank);
}

// StyleSlotData -- the data of the first style slot of a bank image.
Bytes StyleSlotData(const Bytes& rkabyImage)
{
    for (const CTopChunk& rkoChunk : TopChunks(rkabyImage))
    {
        if (rkoChunk.m_byId != 6)
            continue;
        const BYTE* pkbyData = &rkabyImage[rkoChunk.m_dwOffset + 8];
        return Bytes(pkbyData, pkbyData + rkoChunk.m_dwLength);
    }
    return Bytes();
}

// CompressedSlotClaiming -- ThreeStyleBank with the decoded size in the
// header of Beta's compressed stream replaced.
Bytes CompressedSlotClaiming(DWORD dwDecodedSize)
{
    Bytes abyImage = StyleBuilder::BuildBankImage(ThreeStyleBank());
    const CTopChunk oBeta = TopChunks(abyImage)[4]; // info, names, Alpha, empty, Beta
    BYTE* pbyStream = &abyImage[oBeta.m_dwOffset + 8];
    for (int i = 0; i < 4; ++i)
        pbyStream[4 + i] = BYTE(dwDecodedSize >> (8 * i));
    return abyImage;
}

// CDeclaredSizes -- files that declare sizes far beyond what they hold.
struct CDeclaredSizes
{
    std::string m_strSlot4G, m_strRoot4G, m_strFull, m_strOneMore, m_strSparse; // banks refused
    std::string m_strBank;                                                      // a good bank
    std::string m_strTrack2G, m_strMeta256M;                                    // MIDI files
    std::string m_strSaved;                                                     // where the bank is saved
};

#ifndef QD_TEST_ASAN
// LimitAddressSpace -- the process's address space to what it uses now and
// uiHeadroom bytes more; false when the limit could not be set or does not hold.
bool LimitAddressSpace(rlim_t uiHeadroom)
{
    long lPages = 0;
    std::FILE* pFile = std::fopen("/proc/self/statm", "r");
    if (pFile == nullptr)
        return false;
    const bool bRead = std::fscanf(pFile, "%ld", &lPages) == 1;
    std::fclose(pFile);
    struct rlimit oLimit;
    if (!bRead || ::getrlimit(RLIMIT_AS, &oLimit) != 0)
        return false;
    oLimit.rlim_cur = rlim_t(lPages) * rlim_t(::sysconf(_SC_PAGESIZE)) + uiHeadroom;
    if (::setrlimit(RLIMIT_AS, &oLimit) != 0)
        return false;
    // The limit holds: one allocation beyond the headroom is refused.
    void* (*volatile fnAllocate)(std::size_t) = std::malloc;
    void* pProbe = fnAllocate(std::size_t(uiHeadroom) + (std::size_t(64) << 20));
    std::free(pProbe);
    return pProbe == nullptr;
}
#endif

// ReadDeclaredSizesAndExit -- a child process's work: the readers over the
// files, each check that fails printed; exit status 0 when all held.
[[noreturn]] void ReadDeclaredSizesAndExit(CQdBankDoc& roDoc, CScriptedPrompt& roPrompt, const CDeclaredSizes& rkoFiles)
{
    int iFailures = 0;
    auto fnCheck = [&](bool bOk, const std::string& rkstrWhat) {
        if (!bOk)
        {
            std::fprintf(stderr, "failed: %s\n", rkstrWhat.c_str());
            ++iFailures;
        }
    };
#ifndef QD_TEST_ASAN
    fnCheck(LimitAddressSpace(rlim_t(200) << 20), "address space limited");
#endif
    // The message, then the file and a cause.
    auto fnRefused = [&](const std::string& rkstrPath, const char* pszMessage) {
        roPrompt.ClearRecords();
        fnCheck(!roDoc.OpenBankFile(rkstrPath) && !roDoc.IsBankOpen(), rkstrPath + " refused");
        const std::string strStart = FileMessage(pszMessage, rkstrPath, "");
        const std::vector<std::string> astrTold = roPrompt.ToldTexts();
        fnCheck(astrTold.size() == 1 && astrTold[0].size() > strStart.size() && astrTold[0].starts_with(strStart),
                rkstrPath + ": " + pszMessage);
    };
    fnRefused(rkoFiles.m_strSlot4G, CORRUPT);
    fnRefused(rkoFiles.m_strRoot4G, CORRUPT);
    fnRefused(rkoFiles.m_strFull, CORRUPT);
    fnRefused(rkoFiles.m_strOneMore, TOO_LARGE);
    fnRefused(rkoFiles.m_strSparse, TOO_LARGE);

    // The 2 GB track is read from its bytes; the meta event ends the track
    // where the file ends.
    fnCheck(roDoc.OpenBankFile(rkoFiles.m_strBank), "bank opens");
    roDoc.SelectStyle(0);
    // Both files are cut short (their tracks claim more than they hold):
    // refused as they are, read as far as they go when that is asked for.
    CQdImportOptions oPartial;
    oPartial.m_eDamaged = QD_DAMAGED_IMPORT;
    fnCheck(!roDoc.ImportChordVarFile(0, 1, true, rkoFiles.m_strTrack2G), "2 GB track refused");
    fnCheck(roDoc.ImportChordVarFile(0, 1, true, rkoFiles.m_strTrack2G, oPartial), "2 GB track imported");
    roDoc.ImportChordVarFile(0, 0, true, rkoFiles.m_strMeta256M, oPartial);
    fnCheck(EventsPool().GetCount() == 0, "events pool given back");
    fnCheck(NoteInfoPool().GetFreeCount() == CNoteInfoPool::NR_NOTES, "note pool given back");
    roPrompt.m_aiAnswers = {QD_ANSWER_YES};
    fnCheck(roDoc.SaveBankTo(rkoFiles.m_strSaved), "bank saves");
    std::exit(iFailures == 0 ? 0 : 1);
}

} // namespace

// ---------------------------------------------------------------------------
// Writes that a folder refuses
// ---------------------------------------------------------------------------

// A full disk halfway through the file is covered beside the commands'
// other tests; here the folder itself refuses the file. Root is refused by
// a read-only folder too once its override capability is off.
TEST_F(CBankDocTest, SaveAndExportIntoAFolderThatRefusesTheFileLeaveEveryFileAsItWas)
{
    const std::string strBank = OpenBank(ThreeStyleBank());
    const Bytes abyBankFile = ReadFile(strBank);
    // A folder with an earlier save and an earlier export in it.
    const std::string strOut = m_oDir.Path("out");
    ASSERT_EQ(::mkdir(strOut.c_str(), 0755), 0);
    WriteFile(strOut + "/bank.sty", abyBankFile);
    const Bytes abyOldSmf = SmfNotes(9, 2, 40);
    WriteFile(strOut + "/v1cv1.mid", abyOldSmf);
    WriteFile(m_oDir.Path("plain"), Bytes{1, 2, 3});

    // The export's message names the file and the system's cause.
    struct CCase
    {
        const char* m_pszWhat;
        std::string m_strFolder;
        bool m_bReadOnly;
        const char* m_pszCause;
    };
    const CCase aoCases[] = {
        {"read-only folder", strOut, true, "permission denied"},
        {"folder that does not exist", m_oDir.Path("missing"), false, "no such file or directory"},
        {"folder that is a file", m_oDir.Path("plain"), false, "not a directory"},
    };
    int iRound = 0;
    for (const CCase& rkoCase : aoCases)
    {
        SCOPED_TRACE(rkoCase.m_pszWhat);
        const std::string strName = "Changed " + std::to_string(++iRound);
        m_oDoc.SelectStyle(0);
        ASSERT_EQ(m_oDoc.RenameStyle(strName), strName);
        m_oPrompt.ClearRecords();

        {
            const CReadOnlyFolder oReadOnly(rkoCase.m_bReadOnly ? strOut : std::string());
            const CWithoutDacOverride oNoOverride;
            ASSERT_TRUE(oNoOverride.Ok()) << "root's CAP_DAC_OVERRIDE cannot be set aside";
            ASSERT_FALSE(CanCreateIn(rkoCase.m_strFolder)) << "the folder takes new files";

            // The export leaves the open style and its change as they were.
            const std::string strSmf = rkoCase.m_strFolder + "/v1cv1.mid";
            m_oPrompt.m_astrSaveFiles = {strSmf};
            EXPECT_FALSE(m_oDoc.ExportSingleSmf(0, 0));
            EXPECT_EQ(m_oPrompt.m_aoTold, ExportFailed(strSmf, rkoCase.m_pszCause));
            EXPECT_TRUE(m_oDoc.IsStyleModified());
            EXPECT_EQ(m_oDoc.GetSelectedStyle(), 0);

            // The save writes the change back first, then fails.
            m_oPrompt.ClearRecords();
            m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
            m_oPrompt.m_astrSaveFiles = {rkoCase.m_strFolder + "/bank.sty"};
            EXPECT_FALSE(m_oDoc.SaveBank());
            EXPECT_EQ(m_oPrompt.m_aoTold, SaveFailed(rkoCase.m_strFolder + "/bank.sty", rkoCase.m_pszCause));
        }

        EXPECT_TRUE(m_oDoc.IsBankOpen());
        EXPECT_TRUE(m_oDoc.IsWrittenBack(0));
        EXPECT_TRUE(m_oDoc.HasUnsavedChanges());
        EXPECT_EQ(m_oDoc.GetStyleNames()[0], strName);
        EXPECT_EQ(m_oDoc.GetBankFileName(), "bank.sty");
        EXPECT_EQ(ReadFile(strBank), abyBankFile);
        EXPECT_EQ(ReadFile(strOut + "/bank.sty"), abyBankFile);
        EXPECT_EQ(ReadFile(strOut + "/v1cv1.mid"), abyOldSmf);
        EXPECT_EQ(m_oDir.Files(), (std::vector<std::string>{"bank.sty", "out", "plain"}));
        EXPECT_EQ(FilesIn(strOut), (std::vector<std::string>{"bank.sty", "v1cv1.mid"}));
    }

    // Nothing was lost: the last change saves and reads back.
    ASSERT_TRUE(m_oDoc.SaveBankTo(strOut + "/bank.sty"));
    ASSERT_TRUE(m_oDoc.OpenBankFile(strOut + "/bank.sty"));
    EXPECT_EQ(m_oDoc.GetStyleNames()[0], "Changed 3");
    EXPECT_TRUE(m_oReports.Empty());
}

// ---------------------------------------------------------------------------
// Sizes that files declare
// ---------------------------------------------------------------------------

// A bank that fills the block exactly opens and saves (the save compresses
// the slots and decompresses them again inside the full block); one whose
// compressed slot needs room that the block no longer has is refused whole.
TEST_F(CBankDocTest, BankOfExactlyTheBlockSizeOpensOnlyWhenItsSlotsNeedNoReserve)
{
    const Bytes abyPlain = FullBank(false);
    const Bytes abyCompressed = FullBank(true);
    ASSERT_EQ(abyPlain.size(), CQdBankDoc::BANK_BLOCK_SIZE);
    ASSERT_EQ(abyCompressed.size(), CQdBankDoc::BANK_BLOCK_SIZE);

    const std::string strFull = m_oDir.Path("full.sty");
    WriteFile(strFull, abyCompressed);
    EXPECT_FALSE(m_oDoc.OpenBankFile(strFull));
    EXPECT_FALSE(m_oDoc.IsBankOpen());
    DWORD dwFirstCompressed = 0;
    for (const CTopChunk& rkoChunk : TopChunks(abyCompressed))
        if ((rkoChunk.m_byFlags & CNCF_COMPRESSED) && dwFirstCompressed == 0)
            dwFirstCompressed = rkoChunk.m_dwOffset;
    EXPECT_EQ(m_oPrompt.m_aoTold,
              (Told{{"Open Style Bank",
                     FileMessage(CORRUPT, strFull,
                                 "the style slot at byte " + std::to_string(dwFirstCompressed) +
                                     " needs more room decompressed than the bank block has")}}));

    m_oPrompt.ClearRecords();
    WriteFile(m_oDir.Path("full.sty"), abyPlain);
    ASSERT_TRUE(m_oDoc.OpenBankFile(m_oDir.Path("full.sty")));
    ASSERT_TRUE(m_oDoc.SaveBankTo(m_oDir.Path("saved.sty")));
    EXPECT_LT(ReadFile(m_oDir.Path("saved.sty")).size(), abyPlain.size());
    EXPECT_EQ(m_oDoc.GetUsedSize(), CQdBankDoc::BANK_BLOCK_SIZE);
    ASSERT_TRUE(m_oDoc.OpenBankFile(m_oDir.Path("saved.sty")));
    EXPECT_EQ(m_oDoc.GetUsedSize(), CQdBankDoc::BANK_BLOCK_SIZE);
    EXPECT_EQ(m_oDoc.GetStyleNames(), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    m_oDoc.SelectStyle(1);
    EXPECT_EQ(CvState(0, 1), NST_STATE_EVENTS);
    EXPECT_TRUE(m_oPrompt.m_aoTold.empty());
    EXPECT_TRUE(m_oReports.Empty());
}

// Sizes that banks and MIDI files declare (a slot's stream of 4 GB, a root
// of 4 GB, a 6 GB file, a track of 2 GB, a meta event of 256 MB) must be
// refused, or read from the bytes that are there, without ever allocating
// for them. A child process runs the real readers with its address space
// limited to 200 MB above what it already uses: an allocation for a
// declared size throws there and fails the child.
TEST_F(CBankDocTest, DeclaredSizesAreNeverAllocatedForInABoundedAddressSpace)
{
    auto fnFile = [&](const char* pszName, const Bytes& rkabyData) {
        WriteFile(m_oDir.Path(pszName), rkabyData);
        return m_oDir.Path(pszName);
    };
    CDeclaredSizes oFiles;
    oFiles.m_strSlot4G = fnFile("slot-4g.sty", CompressedSlotClaiming(0xFFFFFFFF));
    Bytes abyRoot4G = StyleBuilder::BuildBankImage(ThreeStyleBank());
    QdWriteBE32(&abyRoot4G[4], 0xFFFFFFF0);
    oFiles.m_strRoot4G = fnFile("root-4g.sty", abyRoot4G);
    oFiles.m_strFull = fnFile("full.sty", FullBank(true));
    Bytes abyOneMore = FullBank(false);
    abyOneMore.push_back(0);
    QdWriteBE32(&abyOneMore[4], DWORD(abyOneMore.size() - 8));
    oFiles.m_strOneMore = fnFile("one-more.sty", abyOneMore);
    // A bank's first bytes, then a hole up to 6 GB (no disk space taken).
    oFiles.m_strSparse = fnFile("sparse.sty", StyleBuilder::BuildBankImage(ThreeStyleBank()));
    ASSERT_EQ(::truncate(oFiles.m_strSparse.c_str(), off_t(6) << 30), 0);
    oFiles.m_strBank = WriteBank(ThreeStyleBank());
    const Bytes abyNotes = {0x00, 0x99, 0x24, 0x64, 0x83, 0x00, 0x89, 0x24, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    oFiles.m_strTrack2G = WriteSmf("track-2g.mid", SmfFile(abyNotes, 0x80000000));
    oFiles.m_strMeta256M = WriteSmf(
        "meta-256m.mid", SmfFile({0x00, 0x99, 0x24, 0x64, 0x00, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x7F, 0x41}, 0xFFFFFFFF));
    oFiles.m_strSaved = m_oDir.Path("saved.sty");
#ifdef QD_TEST_ASAN
    // The address sanitizer reserves terabytes of shadow address space at
    // start, so no limit on the address space can hold: the readers run
    // without it (the sanitizer still checks every access they make).
    std::printf("address space not limited: built with the address sanitizer\n");
#endif

    EXPECT_EXIT(ReadDeclaredSizesAndExit(m_oDoc, m_oPrompt, oFiles), ::testing::ExitedWithCode(0), "");
}

// ---------------------------------------------------------------------------
// The fixed pools: 1024 event records, 64 open notes
// ---------------------------------------------------------------------------

// More events at one tick than the events pool holds: the import stops
// with the pool's report, gives every record back, and the style, the rest
// of its chord variations and the bank go on as before.
TEST_F(CBankDocTest, ImportOfMoreEventsAtOneTickThanThePoolHoldsStopsInOrder)
{
    OpenBank(ThreeStyleBank());
    m_oDoc.SelectStyle(0);
    DWORD dwSize = 0;
    auto fnExport = [&](BYTE bySe, BYTE byCv) {
        const std::unique_ptr<BYTE[]> pbySmf = m_oDoc.GetEditIfc()->ExportToSmf(bySe, byCv, NST_ALL_TRACKS, dwSize);
        return pbySmf ? Bytes(pbySmf.get(), pbySmf.get() + dwSize) : Bytes();
    };
    const Bytes abyFirst = fnExport(0, 0);
    const Bytes abyIntro = fnExport(4, 0);

    // 1100 strokes of one drum key at tick 0, each one released at once.
    Bytes abyTrack;
    for (int i = 0; i < 1100; ++i)
        abyTrack.insert(abyTrack.end(), {0x00, 0x99, 0x24, 0x64, 0x00, 0x99, 0x24, 0x00});
    abyTrack.insert(abyTrack.end(), {0x83, 0x00, 0xFF, 0x2F, 0x00});
    m_oDoc.ImportChordVarFile(0, 1, true, WriteSmf("crowd.mid", SmfFile(abyTrack)));
    EXPECT_TRUE(m_oReports.Has("CEventPool::GetNewEvent() - Pool of events is exhausted"));
    EXPECT_EQ(EventsPool().GetCount(), 0);
    EXPECT_EQ(NoteInfoPool().GetFreeCount(), CNoteInfoPool::NR_NOTES);
    EXPECT_TRUE(m_oDoc.IsStyleModified());
    EXPECT_EQ(fnExport(0, 0), abyFirst);
    EXPECT_EQ(fnExport(4, 0), abyIntro);

    m_oReports.Clear();
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    ASSERT_TRUE(m_oDoc.SaveBankTo(m_oDir.Path("saved.sty")));
    ASSERT_TRUE(m_oDoc.OpenBankFile(m_oDir.Path("saved.sty")));
    m_oDoc.SelectStyle(0);
    EXPECT_EQ(fnExport(0, 0), abyFirst);
    EXPECT_EQ(fnExport(4, 0), abyIntro);
    EXPECT_TRUE(m_oReports.Empty());
}

// The note tracer holds 64 open notes. A stored pattern that holds more at
// once (written with its durations, as the instrument may) cannot be
// re-encoded: its export leaves the track's notes out and its write-back is
// refused, each with the pool's report, and the bank keeps the style as it
// was. A MIDI file that holds more imports the notes the tracer could take.
TEST_F(CBankDocTest, MoreThanSixtyFourNotesHeldAtOnceInOneTrack)
{
    // 70 drum notes struck together at tick 0, each 768 ticks long.
    std::vector<CEvRec> aoChord;
    for (int i = 0; i < 70; ++i)
        aoChord.push_back(StyleBuilder::Note(0, BYTE(20 + i), 768));
    CMemEncoder oEncoder(true);
    ASSERT_TRUE(oEncoder.Open());
    ASSERT_TRUE(EncodeGroups(oEncoder, {{0, aoChord}}) && oEncoder.SetEnd(1536));
    ASSERT_TRUE(oEncoder.Close());
    StyleBuilder::CTestStyle oStyle = SingleCvStyle("Cluster");
    oStyle.m_aoPatterns.at(0).m_abyEvents.assign(oEncoder.GetBufferStart(),
                                                 oEncoder.GetBufferStart() + oEncoder.GetBytesWritten());
    CTestBank oBank;
    oBank.m_aoSlots = {StyleBuilder::StyleSlot(oStyle)};
    oBank.m_astrNames = {"Cluster"};
    OpenBank(oBank);
    const Bytes abyOpened = Block();
    const std::vector<std::string> astrPoolReports = {"CNoteInfoPool::GetNewNote() - Pool of notes is exhausted",
                                                      "CEncoderProp::Close() - EOT not found"};

    m_oDoc.SelectStyle(0);
    const std::string strExported = m_oDir.Path("cluster.mid");
    EXPECT_TRUE(m_oDoc.ExportChordVarFile(0, 0, NST_ALL_TRACKS, strExported));
    EXPECT_EQ(m_oReports.Texts(), astrPoolReports);
    EXPECT_TRUE(NoteOnLines(ReadFile(strExported)).empty());
    EXPECT_EQ(NoteInfoPool().GetFreeCount(), CNoteInfoPool::NR_NOTES);

    m_oReports.Clear();
    m_oDoc.RenameStyle("Renamed");
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    EXPECT_FALSE(m_oDoc.SaveBankTo(m_oDir.Path("saved.sty")));
    EXPECT_EQ(m_oPrompt.m_aoTold, (Told{{"Save Style Bank", "Style conversion error - changes not written back!"}}));
    EXPECT_TRUE(m_oReports.Has(astrPoolReports[0]));
    EXPECT_EQ(NoteInfoPool().GetFreeCount(), CNoteInfoPool::NR_NOTES);
    EXPECT_TRUE(m_oDoc.IsStyleModified());
    EXPECT_EQ(Block(), abyOpened);
    // Undo gives the change up; the bank saves with the style as it was.
    ASSERT_TRUE(m_oDoc.UndoStyle());
    ASSERT_TRUE(m_oDoc.SaveBankTo(m_oDir.Path("saved.sty")));
    EXPECT_EQ(StyleSlotData(Block()), StyleSlotData(abyOpened));

    // A MIDI file of the same 70 notes: 64 fit the tracer.
    m_oReports.Clear();
    m_oDoc.SelectStyle(0);
    EXPECT_TRUE(m_oDoc.ImportChordVarFile(0, 0, true, WriteSmf("held.mid", HeldNotesSmf(9, 70))));
    EXPECT_TRUE(m_oReports.Has(astrPoolReports[0]));
    EXPECT_EQ(EventsPool().GetCount(), 0);
    EXPECT_EQ(NoteInfoPool().GetFreeCount(), CNoteInfoPool::NR_NOTES);
    m_oReports.Clear();
    ASSERT_TRUE(m_oDoc.ExportChordVarFile(0, 0, NST_ALL_TRACKS, strExported));
    EXPECT_EQ(NoteOnLines(ReadFile(strExported)).size(), 64u);
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    EXPECT_TRUE(m_oDoc.SaveBankTo(m_oDir.Path("saved.sty")));
    EXPECT_TRUE(m_oReports.Empty());
}
