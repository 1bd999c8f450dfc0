// DemoBank.cpp -- demo styles through the edit interface, the bank laid out
// around them and saved by the bank document.
#include "DemoBank.h"

#include "DemoStyles.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdDocPrompt.h"
#include "BankDoc/QdFileIo.h"
#include "Base/Report.h"
#include "ChunkNav/ChunkNav.h"
#include "MakeMarker/MakeMark.h"
#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace {

constexpr int NR_SLOTS = CQdBankDoc::MAX_SLOTS;
constexpr DWORD CHUNK_HEADER_SIZE = 8;

// Depth-1 chunks of the bank (all carry CNCF_ATTR).
constexpr BYTE ID_ROOT = 1;
constexpr BYTE ID_BANK_INFO = 2;
constexpr BYTE ID_NAME_TABLE = 5;
constexpr BYTE ID_STYLE_SLOT = 6;
constexpr BYTE ID_EMPTY_SLOT = 7;
constexpr BYTE ID_DIRECTORY = 0xFE;
// The root's flags: CNCF_ATTR and the bank file bit 0x04.
constexpr BYTE ROOT_FLAGS = CNCF_ATTR | 0x04;
// Data of the directory: four leading bytes and room for 100 entries.
constexpr DWORD DIRECTORY_SIZE = 4 + 4 * CQdBankDoc::MAX_DIRECTORY_ENTRIES;

// The bank info chunk's data: "VLMF" and a zero at data bytes 7-11, as the
// file check wants; the other bytes are ours.
const BYTE s_abyBankInfo[16] = {0, 1, 0, 0, 0, 0, 0, 'V', 'L', 'M', 'F', 0, 0, 0, 0, 0};

// Where the demo styles sit in the bundled bank.
const int s_aiDemoSlots[] = {0, 2, 3, 7, 12};

// AppendChunk -- header (id, parameters, flags, big-endian length) and data.
void AppendChunk(std::vector<BYTE>& rabyOut, BYTE byId, BYTE byParam1, BYTE byParam2, BYTE byFlags,
                 const std::vector<BYTE>& rkabyData)
{
    const BYTE abyHeader[4] = {byId, byParam1, byParam2, byFlags};
    rabyOut.insert(rabyOut.end(), abyHeader, abyHeader + 4);
    BYTE abyLength[4];
    QdWriteBE32(abyLength, DWORD(rkabyData.size()));
    rabyOut.insert(rabyOut.end(), abyLength, abyLength + 4);
    rabyOut.insert(rabyOut.end(), rkabyData.begin(), rkabyData.end());
}

// CDemoReports -- collects every report while it lives.
class CDemoReports
{
public:
    explicit CDemoReports(std::vector<std::string>& rastrTexts)
    {
        m_fnPrevious = QdSetReportSink([&rastrTexts](const char* pszText) { rastrTexts.push_back(pszText); });
    }
    ~CDemoReports() { QdSetReportSink(m_fnPrevious); }
    CDemoReports(const CDemoReports&) = delete;
    CDemoReports& operator=(const CDemoReports&) = delete;

private:
    QdReportSink m_fnPrevious;
};

// CDemoPrompt -- the bank document's messages become problems; nothing is asked.
class CDemoPrompt : public CQdDocPrompt
{
public:
    explicit CDemoPrompt(std::vector<std::string>& rastrProblems) : m_rastrProblems(rastrProblems) {}

    int Ask(const CQdQuestion& rkoQuestion) override
    {
        m_rastrProblems.push_back("unexpected question: " + rkoQuestion.m_strText);
        return QD_ANSWER_CANCEL;
    }
    void Tell(const std::string& rkstrCaption, const std::string& rkstrText) override
    {
        m_rastrProblems.push_back(rkstrCaption + ": " + rkstrText);
    }
    bool ChooseOpenFile(const CQdFileRequest&, std::string&) override { return false; }
    bool ChooseOpenFiles(const CQdFileRequest&, std::vector<std::string>&) override { return false; }
    bool ChooseSaveFile(const CQdFileRequest&, std::string&) override { return false; }

private:
    std::vector<std::string>& m_rastrProblems;
};

// CDemoMemoryFiles -- the bank document's file access on files held in
// memory, so that a bank is built and saved without touching the disk.
class CDemoMemoryFiles : public CQdFileIo
{
public:
    bool ReadPrefix(const std::string& rkstrPath, DWORD dwCount, std::vector<BYTE>& rabyData) override
    {
        const std::vector<BYTE>* pkabyFile = Find(rkstrPath);
        if (!pkabyFile)
            return false;
        rabyData.assign(pkabyFile->begin(), pkabyFile->begin() + std::min<std::size_t>(dwCount, pkabyFile->size()));
        return true;
    }
    bool FileSize(const std::string& rkstrPath, std::uint64_t& rqwSize) override
    {
        const std::vector<BYTE>* pkabyFile = Find(rkstrPath);
        rqwSize = pkabyFile ? pkabyFile->size() : 0;
        return pkabyFile != nullptr;
    }
    bool ReadAll(const std::string& rkstrPath, DWORD dwLimit, std::vector<BYTE>& rabyData) override
    {
        const std::vector<BYTE>* pkabyFile = Find(rkstrPath);
        if (!pkabyFile || pkabyFile->size() > dwLimit)
            return false;
        rabyData = *pkabyFile;
        return true;
    }
    bool WriteAtomic(const std::string& rkstrPath, const BYTE* pbyData, DWORD dwLength) override
    {
        m_aoFiles[rkstrPath].assign(pbyData, pbyData + dwLength);
        return true;
    }

    std::map<std::string, std::vector<BYTE>> m_aoFiles;

private:
    const std::vector<BYTE>* Find(const std::string& rkstrPath) const
    {
        const auto it = m_aoFiles.find(rkstrPath);
        return it == m_aoFiles.end() ? nullptr : &it->second;
    }
};

// BankImage -- the bank as the instrument lays it out, every slot still
// uncompressed and the directory's list still empty.
std::vector<BYTE> BankImage(const std::vector<CDemoSlot>& rkaoSlots, const std::vector<std::vector<BYTE>>& rkaoChunks)
{
    std::vector<BYTE> abyNames(std::size_t(NR_SLOTS) * CQdBankDoc::NAME_RECORD_SIZE, 0);
    std::vector<BYTE> abyChildren;
    AppendChunk(abyChildren, ID_BANK_INFO, 0, 0, CNCF_ATTR | CNCF_FINAL,
                std::vector<BYTE>(std::begin(s_abyBankInfo), std::end(s_abyBankInfo)));
    for (std::size_t i = 0; i < rkaoSlots.size(); ++i)
    {
        if (rkaoChunks[i].empty())
            continue;
        const std::string& rkstrName = rkaoSlots[i].m_strName;
        std::memcpy(&abyNames[i * CQdBankDoc::NAME_RECORD_SIZE], rkstrName.data(),
                    std::min<std::size_t>(rkstrName.size(), CQdBankDoc::NAME_RECORD_SIZE - 1));
    }
    AppendChunk(abyChildren, ID_NAME_TABLE, 0, 0, CNCF_ATTR | CNCF_FINAL, abyNames);
    for (std::size_t i = 0; i < rkaoSlots.size(); ++i)
    {
        if (rkaoChunks[i].empty())
            AppendChunk(abyChildren, ID_EMPTY_SLOT, 0, 0, CNCF_ATTR, {});
        else
            AppendChunk(abyChildren, ID_STYLE_SLOT, 0, 0, CNCF_ATTR, rkaoChunks[i]);
    }
    AppendChunk(abyChildren, ID_DIRECTORY, 0, 0, CNCF_ATTR | CNCF_FINAL, std::vector<BYTE>(DIRECTORY_SIZE, 0));

    std::vector<BYTE> abyImage;
    AppendChunk(abyImage, ID_ROOT, 0, 1, ROOT_FLAGS, abyChildren);
    return abyImage;
}

} // namespace

// DemoBankSlots -- five styles in slots 1, 3, 4, 8 and 13 (1-based).
std::vector<CDemoSlot> DemoBankSlots()
{
    std::vector<CDemoSlot> aoSlots(NR_SLOTS);
    for (int i = 0; i < DemoStyleCount(); ++i)
    {
        CDemoSlot& roSlot = aoSlots[std::size_t(s_aiDemoSlots[i])];
        roSlot.m_iStyle = i;
        roSlot.m_strName = DemoStyle(i).m_strName;
    }
    return aoSlots;
}

// DemoFullBankSlots -- every slot holds a demo style, named with its slot number.
std::vector<CDemoSlot> DemoFullBankSlots()
{
    std::vector<CDemoSlot> aoSlots(NR_SLOTS);
    std::vector<std::string> astrNames;
    for (int i = 0; i < DemoStyleCount(); ++i)
        astrNames.push_back(DemoStyle(i).m_strName);
    for (int i = 0; i < NR_SLOTS; ++i)
    {
        char szNumber[8];
        std::snprintf(szNumber, sizeof szNumber, " %02d", i + 1);
        aoSlots[std::size_t(i)].m_iStyle = i % DemoStyleCount();
        aoSlots[std::size_t(i)].m_strName = astrNames[std::size_t(i % DemoStyleCount())] + szNumber;
    }
    return aoSlots;
}

// DemoBuildStyleChunk -- every chord variation imported into a new style,
// then the bank data.
bool DemoBuildStyleChunk(const CDemoStyle& rkoStyle, const std::string& rkstrName, bool bStoredForm,
                         std::vector<BYTE>& rabyChunk)
{
    rabyChunk.clear();
    CNstEditIfc oEditIfc(nullptr, 0);
    oEditIfc.SetName(rkstrName.c_str());
    for (const CDemoChordVar& rkoCv : rkoStyle.m_aoChordVars)
        if (!oEditIfc.ImportFromSmf(rkoCv.m_abySmf.data(), DWORD(rkoCv.m_abySmf.size()), rkoCv.m_bySe,
                                    rkoCv.m_byCv, NST_ALL_TRACKS, false))
            return false;
    DWORD dwSize = 0;
    const std::unique_ptr<BYTE[]> pbyData = oEditIfc.BuildBankData(bStoredForm, dwSize);
    if (!pbyData || dwSize == 0)
        return false;
    rabyChunk.assign(pbyData.get(), pbyData.get() + dwSize);
    return true;
}

// DemoMarkerStats -- the steps of marker making run on a copy of the flat
// form, counting what each did.
CDemoStyleStats DemoMarkerStats(const std::vector<BYTE>& rkabyFlatChunk)
{
    CDemoStyleStats oStats;
    // Marker making edits in place; the copy gets the room it may need.
    const DWORD dwCapacity = DWORD(rkabyFlatChunk.size()) * 2 + 0x10000;
    std::vector<BYTE> abyBlock(dwCapacity, 0);
    std::memcpy(abyBlock.data(), rkabyFlatChunk.data(), rkabyFlatChunk.size());
    CChunkNav oNav(abyBlock.data(), dwCapacity);
    const DWORD dwFirst = MakeMarkMergePatterns(oNav);
    oStats.m_dwFlatPatterns = dwFirst >> 16;
    oStats.m_dwSubPatterns = DWORD(MakeMarkMakeMarkers(oNav, MA_SUBPATTERN_TARGET));
    const DWORD dwSecond = MakeMarkMergePatterns(oNav);
    oStats.m_dwShared = (dwFirst & 0xFFFF) + (dwSecond & 0xFFFF);
    oStats.m_dwStoredPatterns = (dwSecond >> 16) - (dwSecond & 0xFFFF);
    return oStats;
}

// DemoBuildBank -- the styles, the bank image, then open and save through
// the bank document on memory files.
bool DemoBuildBank(const std::vector<CDemoSlot>& rkaoSlots, std::vector<BYTE>& rabyFile,
                   std::vector<std::string>& rastrProblems)
{
    rabyFile.clear();
    const CDemoReports oReports(rastrProblems);
    std::vector<CDemoStyle> aoStyles;
    for (int i = 0; i < DemoStyleCount(); ++i)
        aoStyles.push_back(DemoStyle(i));

    std::vector<std::vector<BYTE>> aoChunks(rkaoSlots.size());
    for (std::size_t i = 0; i < rkaoSlots.size(); ++i)
    {
        const int iStyle = rkaoSlots[i].m_iStyle;
        if (iStyle < 0)
            continue;
        if (iStyle >= int(aoStyles.size()) ||
            !DemoBuildStyleChunk(aoStyles[std::size_t(iStyle)], rkaoSlots[i].m_strName, true, aoChunks[i]))
        {
            rastrProblems.push_back("style '" + rkaoSlots[i].m_strName + "' could not be built");
            return false;
        }
    }
    if (!rastrProblems.empty())
        return false;
    return DemoSaveBank(rkaoSlots, aoChunks, rabyFile, rastrProblems);
}

// DemoSaveBank -- the bank image in a memory file, opened and saved by the
// bank document.
bool DemoSaveBank(const std::vector<CDemoSlot>& rkaoSlots, const std::vector<std::vector<BYTE>>& rkaoChunks,
                  std::vector<BYTE>& rabyFile, std::vector<std::string>& rastrProblems)
{
    rabyFile.clear();
    if (rkaoChunks.size() != rkaoSlots.size())
    {
        rastrProblems.push_back("a chunk for every slot is needed");
        return false;
    }
    const CDemoReports oReports(rastrProblems);
    CDemoMemoryFiles oFiles;
    oFiles.m_aoFiles["image.sty"] = BankImage(rkaoSlots, rkaoChunks);
    CDemoPrompt oPrompt(rastrProblems);
    CQdBankDoc oDoc(oPrompt, oFiles);
    if (!oDoc.OpenBankFile("image.sty") || !oDoc.SaveBankTo("demo.sty") || !rastrProblems.empty())
        return false;
    rabyFile = oFiles.m_aoFiles["demo.sty"];
    return true;
}
