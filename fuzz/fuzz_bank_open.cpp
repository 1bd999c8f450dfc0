// fuzz_bank_open.cpp -- a whole bank opened through the bank document.
//
// The input is the bank file, served from memory through a CQdFileIo of
// the target's own. Opening checks the file and decompresses every slot;
// then every style is selected (loaded and flattened into the edit
// interface), its element tree and info lines are built, and every present
// chord variation is exported with all tracks and track by track. The first
// style that opens is renamed and written back (built in stored form with
// markers), the bank is saved into memory, and the saved bank must open
// again: a bank the tool wrote is one it reads. When that style loaded and
// was written back without a single report, its chord variations must
// export from the saved bank exactly as they did before (once tidied as the
// writer tidies every style): shared patterns,
// sub-patterns and markers change how a style is stored, never what it
// plays.
#include "FuzzSupport.h"

#include "BankDoc/QdBankDoc.h"
#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// CMemoryFileIo -- one readable file (the input), and the last file written.
class CMemoryFileIo : public CQdFileIo
{
public:
    explicit CMemoryFileIo(std::vector<BYTE> abyFile) : m_abyFile(std::move(abyFile)) {}

    bool ReadPrefix(const std::string&, DWORD dwCount, std::vector<BYTE>& rabyData) override
    {
        rabyData.assign(m_abyFile.begin(), m_abyFile.begin() + std::min<std::size_t>(dwCount, m_abyFile.size()));
        return true;
    }
    bool FileSize(const std::string&, std::uint64_t& rqwSize) override
    {
        rqwSize = m_abyFile.size();
        return true;
    }
    bool ReadAll(const std::string&, DWORD dwLimit, std::vector<BYTE>& rabyData) override
    {
        if (m_abyFile.size() > dwLimit)
            return false;
        rabyData = m_abyFile;
        return true;
    }
    bool WriteAtomic(const std::string&, const BYTE* pbyData, DWORD dwLength) override
    {
        m_abyWritten.assign(pbyData, pbyData + dwLength);
        return true;
    }

    std::vector<BYTE> m_abyFile;
    std::vector<BYTE> m_abyWritten;
};

// CFixedPrompt -- "Yes" to every question (keep changes, ignore changes),
// never a file.
class CFixedPrompt : public CQdDocPrompt
{
public:
    int Ask(const CQdQuestion&) override { return QD_ANSWER_YES; }
    void Tell(const std::string& rkstrCaption, const std::string& rkstrText) override
    {
        if (QdFuzz::ShowReports())
            std::fprintf(stderr, "told: %s: %s\n", rkstrCaption.c_str(), rkstrText.c_str());
    }
    bool ChooseOpenFile(const CQdFileRequest&, std::string&) override { return false; }
    bool ChooseOpenFiles(const CQdFileRequest&, std::vector<std::string>&) override { return false; }
    bool ChooseSaveFile(const CQdFileRequest&, std::string&) override { return false; }
};

// The exports of a style by element, chord variation and track (NST_NR_TRK
// for all tracks).
typedef std::map<int, std::vector<BYTE>> CExports;

// IsStorable -- a chord variation that the bank can hold: any of the four
// Variations, the first two of every other element.
bool IsStorable(BYTE bySe, BYTE byCv)
{
    return bySe < 4 || byCv < 2;
}

// ExportAll -- every present chord variation, all tracks and each track
// that is in use. Gives back the files of the storable chord variations
// that hold events.
CExports ExportAll(CNstEditIfc& roEdit)
{
    CExports oExports;
    for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
    {
        for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
        {
            const int iState = roEdit.GetChordVarState(bySe, byCv);
            if (iState == NST_STATE_ABSENT)
                continue;
            for (BYTE byTrack = 0; byTrack <= NST_NR_TRK; ++byTrack)
            {
                const BYTE byPNr = byTrack == NST_NR_TRK ? NST_ALL_TRACKS : byTrack;
                if (byPNr != NST_ALL_TRACKS && roEdit.GetPatternState(bySe, byCv, byPNr) == 0)
                    continue;
                DWORD dwSize = 0;
                const std::unique_ptr<BYTE[]> pbyFile = roEdit.ExportToSmf(bySe, byCv, byPNr, dwSize);
                QdFuzz::Require((pbyFile != nullptr) == (dwSize != 0), "ExportToSmf: block and size disagree");
                if (pbyFile && iState == NST_STATE_EVENTS && IsStorable(bySe, byCv))
                    oExports[bySe * 100 + byCv * 10 + byTrack].assign(pbyFile.get(), pbyFile.get() + dwSize);
            }
        }
    }
    return oExports;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QdFuzz::Start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbyInput, std::size_t uSize)
{
    if (uSize > CQdBankDoc::BANK_BLOCK_SIZE)
        return 0;
    QdFuzz::CPoolBalance oBalance;
    CFixedPrompt oPrompt;
    CMemoryFileIo oFileIo(std::vector<BYTE>(pbyInput, pbyInput + uSize));
    std::vector<BYTE> abySaved;
    int iWrittenStyle = -1;
    bool bCleanWrite = false;
    CExports oWrittenExports;
    {
        CQdBankDoc oDoc(oPrompt, oFileIo);
        if (!oDoc.OpenBankFile("fuzz.sty"))
            return 0;
        QdFuzz::Require(oDoc.GetUsedSize() <= CQdBankDoc::BANK_BLOCK_SIZE, "used size beyond the bank block");

        for (int iStyle = 0; iStyle < oDoc.GetStyleCount(); ++iStyle)
        {
            const long lReports = QdFuzz::s_lReports;
            oDoc.SelectStyle(iStyle);
            CNstEditIfc* poEdit = oDoc.GetEditIfc();
            if (poEdit == nullptr)
                continue;
            for (const CQdTreeNode& rkoNode : oDoc.BuildElementTree())
            {
                (void)oDoc.GetTreeInfoText(rkoNode);
                (void)oDoc.GetToolState(&rkoNode);
            }
            if (iWrittenStyle < 0)
            {
                // Building the bank data tidies the style as the write-back
                // will (patterns in use but empty are cleared), so that the
                // exports compared afterwards are those of the tidied style.
                DWORD dwBank = 0;
                (void)poEdit->BuildBankData(true, dwBank);
            }
            CExports oExports = ExportAll(*poEdit);
            if (iWrittenStyle < 0)
            {
                iWrittenStyle = iStyle;
                oDoc.RenameStyle("Fuzzed");
                // Leaving the style asks, and "Yes" writes it back.
                oDoc.SelectStyle(-1);
                bCleanWrite = QdFuzz::s_lReports == lReports && oDoc.IsWrittenBack(iStyle);
                oWrittenExports = std::move(oExports);
            }
        }
        oDoc.SelectStyle(-1);
        if (oDoc.SaveBankTo("saved.sty"))
            abySaved = oFileIo.m_abyWritten;
    }

    // What the tool saved, it opens again, and the style written back plays
    // as it did.
    if (!abySaved.empty())
    {
        CMemoryFileIo oSavedIo(abySaved);
        CQdBankDoc oDoc(oPrompt, oSavedIo);
        QdFuzz::Require(oDoc.OpenBankFile("saved.sty"), "a saved bank does not open again");
        if (bCleanWrite)
        {
            const long lReports = QdFuzz::s_lReports;
            oDoc.SelectStyle(iWrittenStyle);
            QdFuzz::Require(oDoc.GetEditIfc() != nullptr, "the style written back does not open");
            const CExports oExports = ExportAll(*oDoc.GetEditIfc());
            if (QdFuzz::s_lReports == lReports)
                QdFuzz::Require(oExports == oWrittenExports, "the style written back exports other MIDI files");
        }
    }
    return 0;
}
