// make_seeds.cpp -- writes the seed inputs of the fuzz targets.
//
//   make_seeds DEMO.sty OUTDIR     writes OUTDIR/<target>/*.bin
//
// Seeds come from the demo bank and from a few blocks made here, each in the
// input layout of its target:
//   fuzz_cocomp       the compressed slot streams of the bank, and encoded
//                     blocks of every version and method
//   fuzz_cocomp_diff  the bank's slots decompressed, and short pieces in
//                     every shape the target makes blocks of
//   fuzz_chunknav     the decompressed bank block and each style container,
//                     behind the target's edit prefix
//   fuzz_bank_open    the demo bank, compressed as saved and decompressed,
//                     a decompressed bank per demo style, and a small bank
//                     of the test builder when the build has it
//   fuzz_midi_import  the MIDI file of every chord variation of the bank and
//                     a few hand-made files, behind the selector byte
//   fuzz_cdecprop     the compact event streams of every pattern and chord
//                     variation of the bank
#include "SmfBytes.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdFileIo.h"
#include "Base/Report.h"
#include "ChunkNav/ChunkNav.h"
#include "Kernel/Core/GlobalObj.h"
#include "MarkerAlg/MarkerAlg.h"
#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/QdRecords.h"
#include "compression/COComp.h"

#ifdef QD_SEEDS_WITH_STYLE_BUILDER
#include "StyleBuilder.h"
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;

// Largest seed of the targets other than the bank (their -max_len).
constexpr std::size_t MAX_SEED = 64 * 1024;

class CSeedWriter
{
public:
    explicit CSeedWriter(std::filesystem::path oDir) : m_oDir(std::move(oDir)) {}

    // Write -- one seed of a target; too long ones are left out.
    void Write(const std::string& rkstrTarget, const std::string& rkstrName, const Bytes& rkaby,
               std::size_t uMax = MAX_SEED)
    {
        if (rkaby.size() > uMax)
        {
            std::fprintf(stderr, "make_seeds: %s/%s left out (%zu bytes)\n", rkstrTarget.c_str(), rkstrName.c_str(),
                         rkaby.size());
            return;
        }
        const std::filesystem::path oFolder = m_oDir / rkstrTarget;
        std::filesystem::create_directories(oFolder);
        std::ofstream oOut(oFolder / (rkstrName + ".bin"), std::ios::binary);
        oOut.write(reinterpret_cast<const char*>(rkaby.data()), std::streamsize(rkaby.size()));
        if (!oOut)
        {
            std::fprintf(stderr, "make_seeds: cannot write %s/%s\n", rkstrTarget.c_str(), rkstrName.c_str());
            m_bFailed = true;
            return;
        }
        ++m_iWritten;
    }

    int m_iWritten = 0;
    bool m_bFailed = false;

private:
    std::filesystem::path m_oDir;
};

// A prefix of the chunk navigator target: reserve code and the edits (four
// bytes each: operation, three arguments).
Bytes ChunkNavSeed(BYTE byReserveCode, const std::vector<Bytes>& raoEdits, const Bytes& rkabyTree)
{
    Bytes aby = {BYTE(byReserveCode << 4 | raoEdits.size())};
    for (const Bytes& rkoEdit : raoEdits)
        aby.insert(aby.end(), rkoEdit.begin(), rkoEdit.end());
    aby.insert(aby.end(), rkabyTree.begin(), rkabyTree.end());
    return aby;
}

Bytes Prefixed(BYTE byFirst, const Bytes& rkaby)
{
    Bytes aby = {byFirst};
    aby.insert(aby.end(), rkaby.begin(), rkaby.end());
    return aby;
}

std::string Number(int i)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "%02d", i);
    return sz;
}

// CompressedStreams -- the data of every compressed depth-1 chunk of a bank file.
std::vector<Bytes> CompressedStreams(Bytes abyFile)
{
    std::vector<Bytes> aoStreams;
    CChunkNav oNav(abyFile.data(), DWORD(abyFile.size()));
    oNav.m_ofnRewind();
    while (oNav.m_ofnFind(CChunkId(), typeAny, typeAny, 0, 1))
        if (oNav.m_bfnIsCompressed())
            aoStreams.emplace_back(oNav.m_pbyfnData(), oNav.m_pbyfnData() + oNav.m_dwfnDataLength());
    return aoStreams;
}

// StyleContainers -- every style container (id 1 inside a slot) of a bank block.
std::vector<Bytes> StyleContainers(const BYTE* pkbyBlock, DWORD dwUsed)
{
    Bytes abyCopy(pkbyBlock, pkbyBlock + dwUsed);
    std::vector<Bytes> aoStyles;
    CChunkNav oNav(abyCopy.data(), dwUsed);
    oNav.m_ofnRewind();
    while (oNav.m_ofnFind(CChunkId(6), typeAny, typeNotFinal, 0, 1))
    {
        if (oNav.m_ofnEnter(CChunkId(1), typeAny, typeNotFinal))
        {
            aoStyles.emplace_back(oNav.m_pbyfnHeader(), oNav.m_pbyfnHeader() + oNav.m_dwfnSize());
            oNav.m_ofnLeave();
        }
    }
    return aoStyles;
}

// CompactStreams -- the event data of every pattern chunk (in the pattern
// container, id 2) and every chord variation chunk (id 3 in an element, id 3)
// of one style container.
std::vector<Bytes> CompactStreams(Bytes abyStyle)
{
    std::vector<Bytes> aoStreams;
    CChunkNav oNav(abyStyle.data(), DWORD(abyStyle.size()));
    oNav.m_ofnRewind();
    while (oNav.m_ofnFind(CChunkId(), typeAny, typeFinal, 0, 0))
    {
        if (oNav.m_wfnLevel() != 2)
            continue;
        const BYTE byParent = oNav.m_pofnCurrent()->m_poParent->m_poHeader->m_byId;
        const BYTE byId = oNav.m_pbyfnHeader()[0];
        if (byParent == 2 && byId >= 2)
        {
            PatternData oPattern(byId);
            if (oPattern.Parse(oNav.m_pbyfnData(), oNav.m_dwfnDataLength(), false) && oPattern.m_pbyEvents)
                aoStreams.emplace_back(oPattern.m_pbyEvents, oPattern.m_pbyEvents + oPattern.m_dwTotalEventsDim);
        }
        else if (byParent == 3 && byId == 3)
        {
            ChordVarData oChordVar;
            if (oChordVar.Parse(oNav.m_pbyfnData(), oNav.m_dwfnDataLength(), false) && oChordVar.m_pbyEvents)
                aoStreams.emplace_back(oChordVar.m_pbyEvents, oChordVar.m_pbyEvents + oChordVar.m_dwEventsDim);
        }
    }
    return aoStreams;
}

// SingleStyleBanks -- the bank block once per style slot, with every other
// style slot deleted: small banks that the fuzzer runs through faster.
std::vector<Bytes> SingleStyleBanks(const Bytes& rkabyBlock)
{
    // FindSlot -- the navigator on the n-th style slot (0-based).
    auto fnFindSlot = [](CChunkNav& roNav, int iNth) {
        roNav.m_ofnRewind();
        for (int i = 0; i <= iNth; ++i)
            if (!roNav.m_ofnFind(CChunkId(6), typeAny, typeNotFinal, 1, 1))
                return false;
        return true;
    };
    std::vector<Bytes> aoBanks;
    Bytes abyCount(rkabyBlock);
    CChunkNav oCount(abyCount.data(), DWORD(abyCount.size()));
    int iSlots = 0;
    while (fnFindSlot(oCount, iSlots))
        ++iSlots;
    for (int iKeep = 0; iKeep < iSlots; ++iKeep)
    {
        Bytes aby(rkabyBlock);
        CChunkNav oNav(aby.data(), DWORD(aby.size()));
        // The slots before the one kept, then those after it.
        for (int i = 0; i < iKeep && fnFindSlot(oNav, 0); ++i)
            oNav.m_ofnDelete();
        while (fnFindSlot(oNav, 1))
            oNav.m_ofnDelete();
        aby.resize(oNav.m_dwfnUsedSize());
        aoBanks.push_back(aby);
    }
    return aoBanks;
}

// Hand-made MIDI files: running status, system exclusive events (whole, in
// packets, long), meta events of many kinds, a cut-off track.
std::vector<std::pair<std::string, Bytes>> HandMadeSmfs()
{
    using QdFuzz::SmfFile;
    std::vector<std::pair<std::string, Bytes>> aoFiles;
    aoFiles.emplace_back("drum-bass", SmfFile(384, QdFuzz::DrumAndBassTrack()));
    aoFiles.emplace_back("running-status",
                         SmfFile(96, {0x00, 0x99, 0x24, 0x64, 0x18, 0x26, 0x64, 0x18, 0x24, 0x00, 0x18, 0x26, 0x00,
                                      0x00, 0xBB, 0x07, 0x64, 0x00, 0x0A, 0x40, 0x00, 0xFF, 0x01, 0x01, 'x',
                                      0x10, 0x07, 0x50, 0x00, 0xFF, 0x2F, 0x00}));
    aoFiles.emplace_back("sysex",
                         SmfFile(480, {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00, 0xF0, 0x03, 0x43, 0x10,
                                       0x4C, 0x10, 0xF7, 0x02, 0x00, 0xF7, 0x00, 0x9A, 0x3C, 0x64, 0x60, 0x8A,
                                       0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00}));
    aoFiles.emplace_back(
        "meta", SmfFile(384, {0x00, 0xFF, 0x03, 0x04, 'N', 'a', 'm', 'e', 0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18,
                              0x08, 0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0xFF, 0x59, 0x02, 0x00, 0x00,
                              0x00, 0xFF, 0x7F, 0x06, 0x43, 0x60, 0x03, 0x01, 0x00, 0x00, 0x00, 0xFF, 0x06, 0x01,
                              'M', 0x00, 0x9B, 0x30, 0x50, 0x8C, 0x00, 0x9B, 0x30, 0x00, 0x00, 0xFF, 0x2F, 0x00}));
    Bytes abyLong = {0x00, 0xF0, 0x81, 0x00};
    for (int i = 0; i < 127; ++i)
        abyLong.push_back(BYTE(i));
    abyLong.insert(abyLong.end(), {0xF7, 0x00, 0xE9, 0x00, 0x40, 0x00, 0xD9, 0x20, 0x00, 0xFF, 0x2F, 0x00});
    aoFiles.emplace_back("long-sysex", SmfFile(384, abyLong));
    aoFiles.emplace_back("cut-off", SmfFile(384, {0x00, 0x99, 0x24, 0x64, 0x83, 0x00, 0x89}));
    return aoFiles;
}

// Encoded blocks of every version and method.
std::vector<Bytes> EncodedBlocks()
{
    std::vector<Bytes> aoBlocks;
    std::vector<Bytes> aoSources;
    Bytes abyText;
    for (int i = 0; i < 40; ++i)
        for (const char* psz = "pattern chunk "; *psz; ++psz)
            abyText.push_back(BYTE(*psz + (i % 3)));
    aoSources.push_back(abyText);
    Bytes abyRuns(3000, 0);
    for (std::size_t i = 0; i < abyRuns.size(); ++i)
        abyRuns[i] = BYTE((i / 97) * 7 + (i % 5 == 0 ? i : 0));
    aoSources.push_back(abyRuns);
    Bytes abyNoise(600);
    DWORD dwState = 12345;
    for (BYTE& rby : abyNoise)
    {
        dwState = dwState * 1103515245u + 12345u;
        rby = BYTE(dwState >> 16);
    }
    aoSources.push_back(abyNoise);
    aoSources.push_back(Bytes(20, 0x41));
    for (std::size_t i = 0; i < aoSources.size(); ++i)
    {
        const Bytes& rkaby = aoSources[i];
        const BYTE byVersion = BYTE(2 + i % 2);
        const BYTE byMethod = BYTE(i % 3);
        Bytes abyOut(COComp::MaxEncodedSize(DWORD(rkaby.size())));
        COComp oCodec;
        const DWORD dw = oCodec.Encode(rkaby.data(), DWORD(rkaby.size()), abyOut.data(), DWORD(abyOut.size()),
                                       byVersion, byMethod);
        abyOut.resize(dw);
        if (dw != 0)
            aoBlocks.push_back(abyOut);
    }
    return aoBlocks;
}

// DiffSeeds -- blocks for the encoder comparison, behind the target's shape
// and size bytes: each slot of the bank decompressed as it is, and a piece
// of text repeated (short, and beyond 16-bit positions), echoed at the
// window's edge and folded.
std::vector<Bytes> DiffSeeds(const std::vector<Bytes>& rkaoStreams)
{
    std::vector<Bytes> aoSeeds;
    for (const Bytes& rkabyStream : rkaoStreams)
    {
        COComp oCodec;
        const DWORD dwSize = oCodec.ReadHeader(rkabyStream.data(), DWORD(rkabyStream.size()));
        Bytes abyPlain(dwSize);
        if (dwSize != 0 && oCodec.Decode(abyPlain.data(), dwSize, true) == dwSize)
        {
            abyPlain.insert(abyPlain.begin(), {0x00, 0x00});
            aoSeeds.push_back(abyPlain);
        }
    }
    const char szText[] = "Pop 8Beat 01 v1cv1 drum kick snare hat";
    const Bytes abyText(szText, szText + sizeof szText - 1);
    const Bytes aoPrefixes[] = {{0x01, 40}, {0xF1, 2}, {0x02, 7}, {0xF2, 9}, {0x07, 0}};
    for (const Bytes& rkabyPrefix : aoPrefixes)
    {
        Bytes aby = rkabyPrefix;
        aby.insert(aby.end(), abyText.begin(), abyText.end());
        aoSeeds.push_back(aby);
    }
    aoSeeds.push_back({0x01, 30, 0x00});
    aoSeeds.push_back({0x0D, 50, 0x90, 0x24, 0x64, 0x00, 0x60});
    return aoSeeds;
}

#ifdef QD_SEEDS_WITH_STYLE_BUILDER
// A small bank of the test builder: a flat style, an empty slot, the same
// style compressed with version 2, a further bank chunk and the directory.
Bytes BuilderBank()
{
    using StyleBuilder::Note;
    StyleBuilder::CTestStyle oStyle;
    oStyle.m_strName = "Seed";
    StyleBuilder::AddFlatChordVar(oStyle, 0, 0, 1536, {{0, {Note(0, 36, 192), Note(768, 38, 192)}}});
    StyleBuilder::AddFlatChordVar(oStyle, 0, 1, 1536, {{2, {Note(0, 40, 192), Note(384, 43, 192)}}});
    StyleBuilder::AddFlatChordVar(oStyle, 4, 0, 2304, {{0, {Note(0, 36, 192)}}, {3, {Note(0, 60, 384)}}});
    oStyle.m_aoElements[4]->m_bySignature = BYTE(3 << 3 | 2);
    StyleBuilder::CTestBank oBank;
    oBank.m_aoSlots = {StyleBuilder::StyleSlot(oStyle), StyleBuilder::EmptySlot(),
                       StyleBuilder::StyleSlot(oStyle, 2, 1)};
    oBank.m_astrNames = {"Seed", "", "Seed 2"};
    oBank.m_aoMoreChunks = {StyleBuilder::BankChunk(3, true, Bytes{1, 2, 3, 4})};
    return StyleBuilder::BuildBankImage(oBank);
}
#endif

// CQuietPrompt -- opening a bank asks nothing; no file is ever chosen.
class CQuietPrompt : public CQdDocPrompt
{
public:
    int Ask(const CQdQuestion&) override { return QD_ANSWER_NO; }
    void Tell(const std::string& rkstrCaption, const std::string& rkstrText) override
    {
        std::fprintf(stderr, "make_seeds: %s: %s\n", rkstrCaption.c_str(), rkstrText.c_str());
    }
    bool ChooseOpenFile(const CQdFileRequest&, std::string&) override { return false; }
    bool ChooseOpenFiles(const CQdFileRequest&, std::vector<std::string>&) override { return false; }
    bool ChooseSaveFile(const CQdFileRequest&, std::string&) override { return false; }
};

int Run(const std::string& rkstrDemo, const std::string& rkstrOut)
{
    CSeedWriter oSeeds(rkstrOut);
    Bytes abyDemo;
    if (!CQdFileIo::Default().ReadAll(rkstrDemo, CQdBankDoc::BANK_BLOCK_SIZE, abyDemo))
    {
        std::fprintf(stderr, "make_seeds: cannot read %s\n", rkstrDemo.c_str());
        return 1;
    }
    oSeeds.Write("fuzz_bank_open", "demo", abyDemo, 256 * 1024);
#ifdef QD_SEEDS_WITH_STYLE_BUILDER
    oSeeds.Write("fuzz_bank_open", "builder", BuilderBank(), 256 * 1024);
#endif

    int i = 0;
    for (const Bytes& rkaby : CompressedStreams(abyDemo))
        oSeeds.Write("fuzz_cocomp", "demo-slot" + Number(i++), rkaby);
    i = 0;
    for (const Bytes& rkaby : EncodedBlocks())
        oSeeds.Write("fuzz_cocomp", "encoded" + Number(i++), rkaby);
    i = 0;
    for (const Bytes& rkaby : DiffSeeds(CompressedStreams(abyDemo)))
        oSeeds.Write("fuzz_cocomp_diff", "block" + Number(i++), rkaby);

    CQuietPrompt oPrompt;
    CQdBankDoc oDoc(oPrompt);
    if (!oDoc.OpenBankFile(rkstrDemo))
        return 1;
    const Bytes abyBlock(oDoc.GetBankBlock(), oDoc.GetBankBlock() + oDoc.GetUsedSize());
    // The decompressed block is a bank too, whose styles the fuzzer can
    // change without breaking a compressed stream's check byte.
    oSeeds.Write("fuzz_bank_open", "demo-plain", abyBlock, 256 * 1024);
    i = 0;
    for (const Bytes& rkaby : SingleStyleBanks(abyBlock))
        oSeeds.Write("fuzz_bank_open", "demo-style" + Number(i++), rkaby, 256 * 1024);
    oSeeds.Write("fuzz_chunknav", "demo-block", ChunkNavSeed(4, {}, abyBlock));
    oSeeds.Write("fuzz_chunknav", "demo-block-edits",
                 ChunkNavSeed(9, {{0, 3, 0, 0}, {5, 0, 16, 0}, {12, 1, 2, 0}, {13, 1, 0, 0}, {4, 0, 0, 0}},
                              abyBlock));
    i = 0;
    for (const Bytes& rkabyStyle : StyleContainers(oDoc.GetBankBlock(), oDoc.GetUsedSize()))
    {
        const std::string strStyle = "style" + Number(i++);
        oSeeds.Write("fuzz_chunknav", strStyle, ChunkNavSeed(2, {}, rkabyStyle));
        oSeeds.Write("fuzz_chunknav", strStyle + "-edits",
                     ChunkNavSeed(6, {{0, 5, 0, 0}, {8, 2, 0, 0}, {15, 0, 0, 0}, {7, 5, 4, 9}, {10, 7, 3, 0}},
                                  rkabyStyle));
        int j = 0;
        for (const Bytes& rkabyStream : CompactStreams(rkabyStyle))
            oSeeds.Write("fuzz_cdecprop", strStyle + "-stream" + Number(j++), rkabyStream);
    }

    for (int iStyle = 0; iStyle < oDoc.GetStyleCount(); ++iStyle)
    {
        oDoc.SelectStyle(iStyle);
        CNstEditIfc* poEdit = oDoc.GetEditIfc();
        if (!poEdit)
            continue;
        for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
            for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
            {
                if (poEdit->GetChordVarState(bySe, byCv) == NST_STATE_ABSENT)
                    continue;
                DWORD dwSize = 0;
                const std::unique_ptr<BYTE[]> pbyFile = poEdit->ExportToSmf(bySe, byCv, NST_ALL_TRACKS, dwSize);
                if (!pbyFile)
                    continue;
                const BYTE bySelector = BYTE((bySe * NST_NR_CV + byCv) | (iStyle % 2 ? 0x40 : 0));
                oSeeds.Write("fuzz_midi_import", "demo-style" + Number(iStyle) + "-se" + Number(bySe) + "cv" + Number(byCv),
                             Prefixed(bySelector, Bytes(pbyFile.get(), pbyFile.get() + dwSize)));
            }
    }
    oDoc.SelectStyle(-1);

    i = 0;
    for (const auto& rkoFile : HandMadeSmfs())
        oSeeds.Write("fuzz_midi_import", "hand-" + rkoFile.first, Prefixed(BYTE(i++ * 37), rkoFile.second));

    std::printf("make_seeds: %d seeds written to %s\n", oSeeds.m_iWritten, rkstrOut.c_str());
    return oSeeds.m_bFailed ? 1 : 0;
}

} // namespace

int main(int iArgc, char** ppszArgv)
{
    if (iArgc != 3)
    {
        std::fprintf(stderr, "usage: make_seeds DEMO.sty OUTDIR\n");
        return 1;
    }
    // The bank's own reports are of no interest here.
    QdSetReportSink([](const char*) {});
    QdGlobalObjectsStart();
    const int iResult = Run(ppszArgv[1], ppszArgv[2]);
    return QdGlobalObjectsEnd() ? iResult : 1;
}
