// StyleBuilder.cpp -- assembling style chunk subtrees for tests.
#include "StyleBuilder.h"

#include "COCompReference.h"

#include "ChunkNav/ChunkNav.h"
#include "MemCoder/MaEncoder.h"
#include "compression/COComp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace StyleBuilder {

Bytes MakeCompactStream(const std::vector<CEvRec>& raoEvents, TTICK tEnd)
{
    std::vector<CInputGroup> aoGroups;
    for (const CEvRec& rkoEvent : raoEvents)
    {
        if (aoGroups.empty() || aoGroups.back().m_tTick != rkoEvent.m_tTick ||
            aoGroups.back().m_aoEvents.front().m_byClass != rkoEvent.m_byClass)
            aoGroups.push_back({rkoEvent.m_tTick, {}});
        aoGroups.back().m_aoEvents.push_back(rkoEvent);
    }
    CMemEncoder oEncoder;
    oEncoder.Open();
    const bool bOk = EncodeGroups(oEncoder, aoGroups) && oEncoder.SetEnd(tEnd);
    oEncoder.Close();
    if (!bOk)
        ADD_FAILURE() << "test stream could not be encoded";
    return Bytes(oEncoder.GetBufferStart(), oEncoder.GetBufferStart() + oEncoder.GetBytesWritten());
}

TrackParamData DefaultTrackParams()
{
    static const BYTE s_abyMsb[8] = {120, 120, 121, 121, 121, 121, 121, 121};
    static const BYTE s_abyProgram[8] = {0, 64, 32, 0, 0, 0, 0, 0};
    TrackParamData oParams;
    for (int i = 0; i < 8; ++i)
    {
        oParams.m_aabyParams[i][0] = 100;
        oParams.m_aabyParams[i][1] = s_abyMsb[i];
        oParams.m_aabyParams[i][2] = 0;
        oParams.m_aabyParams[i][3] = s_abyProgram[i];
        oParams.m_aabyParams[i][4] = 21;
        oParams.m_aabyParams[i][5] = 108;
    }
    return oParams;
}

BYTE DefaultPatternType(BYTE byTrack)
{
    return byTrack < 2 ? 0 : byTrack == 2 ? 1 : 2;
}

Bytes Chunk(BYTE byId, bool bFinal, const Bytes& rkoData, BYTE byParam2)
{
    Bytes abyChunk = {byId, 0, byParam2, BYTE(bFinal ? 0x08 : 0x00), 0, 0, 0, 0};
    QdWriteBE32(&abyChunk[4], DWORD(rkoData.size()));
    abyChunk.insert(abyChunk.end(), rkoData.begin(), rkoData.end());
    return abyChunk;
}

Bytes ResizeChunk(const Bytes& rkoStyleChunk, const std::vector<int>& raiPath, DWORD dwNewLength)
{
    Bytes abyBlock(rkoStyleChunk);
    abyBlock.resize(abyBlock.size() + dwNewLength + 8);
    CChunkNav oNav(abyBlock.data(), DWORD(abyBlock.size()));
    for (int iPosition : raiPath)
    {
        bool bFound = bool(oNav.m_ofnEnter());
        for (int i = 0; bFound && i < iPosition; ++i)
            bFound = bool(oNav.m_ofnNext());
        if (!bFound)
        {
            ADD_FAILURE() << "no chunk at the path given";
            return rkoStyleChunk;
        }
    }
    const DWORD dwOldLength = oNav.m_dwfnDataLength();
    oNav.m_fnSetDataLength(dwNewLength);
    if (dwNewLength > dwOldLength)
        std::fill_n(oNav.m_pbyfnData() + dwOldLength, dwNewLength - dwOldLength, BYTE(0));
    abyBlock.resize(oNav.m_dwfnUsedSize());
    return abyBlock;
}

namespace {

template <class TRecord> Bytes Written(const TRecord& rkoRecord)
{
    Bytes abyData(rkoRecord.Size());
    rkoRecord.Write(abyData.data(), DWORD(abyData.size()));
    return abyData;
}

void Append(Bytes& roTo, const Bytes& rkoFrom)
{
    roTo.insert(roTo.end(), rkoFrom.begin(), rkoFrom.end());
}

Bytes PatternRecord(const CTestPattern& rkoPattern)
{
    Bytes abyData(8);
    QdWriteBE32(&abyData[0], rkoPattern.m_dwTicks);
    QdWriteBE32(&abyData[4], rkoPattern.m_odwEventsDim.value_or(DWORD(rkoPattern.m_abyEvents.size())));
    Append(abyData, rkoPattern.m_abyEvents);
    if (rkoPattern.m_byChunkId != 2)
    {
        abyData.push_back(rkoPattern.m_byAttr1);
        abyData.push_back(rkoPattern.m_byAttr2);
    }
    return abyData;
}

} // namespace

Bytes BuildStyleChunk(const CTestStyle& rkoStyle)
{
    StyleInfoData oInfo;
    oInfo.m_strName = rkoStyle.m_strName;
    oInfo.m_wTrackModes = rkoStyle.m_wTrackModes;
    oInfo.m_byTrackFlags = rkoStyle.m_byTrackFlags;
    WORD wMask = 0;
    for (int i = 0; i < 10; ++i)
        if (rkoStyle.m_aoElements[i])
            wMask |= WORD(1u << i);
    oInfo.m_wElementMask = rkoStyle.m_owElementMask.value_or(wMask);

    PatInfoData oPatInfo;
    oPatInfo.m_wTotalPatterns = rkoStyle.m_owTotalPatterns.value_or(WORD(rkoStyle.m_aoPatterns.size()));
    oPatInfo.m_wTotalCvPatterns = WORD(rkoStyle.m_awRefs.size());
    oPatInfo.m_awRefs = rkoStyle.m_awRefs;

    Bytes abyPatterns = Chunk(1, true, Written(oPatInfo));
    for (const CTestPattern& rkoPattern : rkoStyle.m_aoPatterns)
        Append(abyPatterns, Chunk(rkoPattern.m_byChunkId, true, PatternRecord(rkoPattern), rkoPattern.m_byParam2));

    Bytes abyStyle = Chunk(1, true, Written(oInfo));
    Append(abyStyle, Chunk(2, false, abyPatterns));

    for (const std::optional<CTestElement>& rkoElement : rkoStyle.m_aoElements)
    {
        if (!rkoElement)
            continue;
        StyleElementInfoData oElemInfo;
        BYTE byCvMask = 0;
        for (int i = 0; i < 6; ++i)
            if (rkoElement->m_aoCvs[i])
                byCvMask |= BYTE(1u << i);
        oElemInfo.m_byCvMask = rkoElement->m_obyCvMask.value_or(byCvMask);
        oElemInfo.m_byMode = rkoElement->m_byMode;
        oElemInfo.m_bySignature = rkoElement->m_bySignature;
        oElemInfo.m_byCVTabLength = BYTE(rkoElement->m_abyChordTable.size());
        oElemInfo.m_abyChordTable = rkoElement->m_abyChordTable;

        Bytes abyElement = Chunk(1, true, Written(oElemInfo));
        Append(abyElement, Chunk(2, true, Written(rkoElement->m_oParams)));
        for (const std::optional<CTestChordVar>& rkoCv : rkoElement->m_aoCvs)
        {
            if (!rkoCv)
                continue;
            ChordVarData oCvData;
            oCvData.m_dwTotalTicks = rkoCv->m_dwTicks;
            oCvData.m_dwEventsDim = DWORD(rkoCv->m_abyEvents.size());
            oCvData.m_pbyEvents = rkoCv->m_abyEvents.data();
            oCvData.m_byNrPatterns = BYTE(rkoCv->m_aoPatterns.size());
            oCvData.m_poCvPatInfo = rkoCv->m_aoPatterns;
            Bytes abyCvData = Written(oCvData);
            if (rkoCv->m_odwEventsDim)
                QdWriteBE32(&abyCvData[4], *rkoCv->m_odwEventsDim);
            Append(abyElement, Chunk(3, true, abyCvData));
        }
        Append(abyStyle, Chunk(3, false, abyElement));
    }
    return Chunk(1, false, abyStyle);
}

void AddFlatChordVar(CTestStyle& roStyle, int iSe, int iCv, DWORD dwTicks, const std::vector<CTestTrack>& raoTracks,
                     const std::vector<CEvRec>& raoKeptMarkers)
{
    std::optional<CTestElement>& roElement = roStyle.m_aoElements.at(iSe);
    if (!roElement)
    {
        roElement.emplace();
        roElement->m_oParams = DefaultTrackParams();
    }
    CTestChordVar oCv;
    oCv.m_dwTicks = dwTicks;
    std::vector<CEvRec> aoMarkers;
    for (std::size_t i = 0; i < raoTracks.size(); ++i)
    {
        const CTestTrack& rkoTrack = raoTracks[i];
        const BYTE byType = rkoTrack.m_byType == 0xFF ? DefaultPatternType(rkoTrack.m_byTrack) : rkoTrack.m_byType;
        const DWORD dwPatternTicks = rkoTrack.m_dwTicks ? rkoTrack.m_dwTicks : dwTicks;
        CTestPattern oPattern;
        oPattern.m_byChunkId = BYTE(byType + 2);
        oPattern.m_dwTicks = dwPatternTicks;
        oPattern.m_abyEvents = MakeCompactStream(rkoTrack.m_aoEvents, dwPatternTicks);
        roStyle.m_aoPatterns.push_back(std::move(oPattern));
        roStyle.m_awRefs.push_back(WORD(roStyle.m_aoPatterns.size()));
        oCv.m_aoPatterns.push_back({byType, rkoTrack.m_byTrack});
        aoMarkers.push_back(StartMarker(0, BYTE(i)));
    }
    aoMarkers.insert(aoMarkers.end(), raoKeptMarkers.begin(), raoKeptMarkers.end());
    std::stable_sort(aoMarkers.begin(), aoMarkers.end(),
                     [](const CEvRec& a, const CEvRec& b) { return a.m_tTick < b.m_tTick; });
    oCv.m_abyEvents = MakeCompactStream(aoMarkers, dwTicks);
    roElement->m_aoCvs.at(iCv) = std::move(oCv);
}

WORD AddPattern(CTestStyle& roStyle, BYTE byChunkId, DWORD dwTicks, const std::vector<CEvRec>& raoEvents,
                BYTE byAttr1, BYTE byAttr2)
{
    CTestPattern oPattern;
    oPattern.m_byChunkId = byChunkId;
    oPattern.m_dwTicks = dwTicks;
    oPattern.m_abyEvents = MakeCompactStream(raoEvents, dwTicks);
    oPattern.m_byAttr1 = byAttr1;
    oPattern.m_byAttr2 = byAttr2;
    roStyle.m_aoPatterns.push_back(std::move(oPattern));
    return WORD(roStyle.m_aoPatterns.size());
}

void AddStoredChordVar(CTestStyle& roStyle, int iSe, int iCv, DWORD dwTicks, const std::vector<CvPatInfo>& raoInfo,
                       const std::vector<WORD>& rawRefs, const std::vector<CEvRec>& raoMarkers)
{
    std::optional<CTestElement>& roElement = roStyle.m_aoElements.at(iSe);
    if (!roElement)
    {
        roElement.emplace();
        roElement->m_oParams = DefaultTrackParams();
    }
    CTestChordVar oCv;
    oCv.m_dwTicks = dwTicks;
    oCv.m_aoPatterns = raoInfo;
    oCv.m_abyEvents = MakeCompactStream(raoMarkers, dwTicks);
    roStyle.m_awRefs.insert(roStyle.m_awRefs.end(), rawRefs.begin(), rawRefs.end());
    roElement->m_aoCvs.at(iCv) = std::move(oCv);
}

Bytes CTestBank::BankInfoData()
{
    Bytes abyInfo(16, 0);
    const char szMark[] = "VLMF";
    std::memcpy(&abyInfo[7], szMark, 5); // with its zero byte
    return abyInfo;
}

Bytes BankChunk(BYTE byId, bool bFinal, const Bytes& rkoData)
{
    Bytes abyChunk = Chunk(byId, bFinal, rkoData);
    abyChunk[3] |= CNCF_ATTR;
    return abyChunk;
}

CTestSlot StyleSlot(const CTestStyle& rkoStyle, BYTE byVersion, BYTE byMethod)
{
    CTestSlot oSlot;
    oSlot.m_abyContent = BuildStyleChunk(rkoStyle);
    oSlot.m_byVersion = byVersion;
    oSlot.m_byMethod = byMethod;
    return oSlot;
}

CTestSlot EmptySlot()
{
    CTestSlot oSlot;
    oSlot.m_byId = 7;
    oSlot.m_abyContent = Chunk(1, true, Bytes{0xE0, 0xE1, 0xE2, 0xE3});
    return oSlot;
}

// ExpectEncodedAsReference -- the slot encoder's stream of a style slot's
// data is the reference encoder's: every bank a test builds compares them
// on its slots, whether the bank stores them compressed or a save will.
void ExpectEncodedAsReference(const Bytes& rkoData)
{
    const DWORD dwLength = DWORD(rkoData.size());
    Bytes abyNew(COComp::MaxEncodedSize(dwLength)), abyReference(abyNew.size());
    const DWORD dwNew = COComp().Encode(rkoData.data(), dwLength, abyNew.data(), DWORD(abyNew.size()), 3, 2);
    const DWORD dwReference =
        COCompReferenceEncode(rkoData.data(), dwLength, abyReference.data(), DWORD(abyReference.size()), 3, 2);
    abyNew.resize(dwNew);
    abyReference.resize(dwReference);
    EXPECT_TRUE(abyNew == abyReference) << "the slot encoder differs from the reference encoder on a slot of "
                                        << dwLength << " bytes";
}

Bytes BuildBankImage(const CTestBank& rkoBank)
{
    for (const CTestSlot& rkoSlot : rkoBank.m_aoSlots)
        if (rkoSlot.m_byId == 6)
            ExpectEncodedAsReference(rkoSlot.m_abyContent);

    Bytes abyTree = Chunk(2, true, rkoBank.m_abyInfo);
    abyTree[3] = 0x18;

    if (rkoBank.m_bNameTable)
    {
        const int iRecords = rkoBank.m_oiNameRecords.value_or(int(rkoBank.m_aoSlots.size()));
        Bytes abyTable;
        for (int i = 0; i < iRecords; ++i)
        {
            Bytes abyRecord(24);
            for (int j = 0; j < 24; ++j)
                abyRecord[std::size_t(j)] = NameRecordFill(j);
            const std::string strName =
                std::size_t(i) < rkoBank.m_astrNames.size() ? rkoBank.m_astrNames[std::size_t(i)] : std::string();
            const std::size_t uLength = std::min<std::size_t>(strName.size(), 24);
            std::memcpy(abyRecord.data(), strName.data(), uLength);
            if (uLength < 24)
                abyRecord[uLength] = 0;
            Append(abyTable, abyRecord);
        }
        Append(abyTree, BankChunk(5, true, abyTable));
    }
    for (const CTestSlot& rkoSlot : rkoBank.m_aoSlots)
        Append(abyTree, BankChunk(rkoSlot.m_byId, false, rkoSlot.m_abyContent));
    for (const Bytes& rkoChunk : rkoBank.m_aoMoreChunks)
        Append(abyTree, rkoChunk);
    if (rkoBank.m_bDirectory)
    {
        Bytes abyDirectory(rkoBank.m_dwDirectoryLength, BANK_DIRECTORY_FILL);
        std::memcpy(abyDirectory.data(), BANK_DIRECTORY_HEAD, std::min<std::size_t>(4, abyDirectory.size()));
        Append(abyTree, BankChunk(0xFE, true, abyDirectory));
    }
    Bytes abyImage = Chunk(1, false, abyTree);
    abyImage[2] = 0x01;
    abyImage[3] = 0x14;

    // Compression in place, slot by slot, as the instrument stores them.
    bool bAnyCompressed = false;
    for (const CTestSlot& rkoSlot : rkoBank.m_aoSlots)
        bAnyCompressed = bAnyCompressed || rkoSlot.m_byVersion != 0;
    if (!bAnyCompressed)
        return abyImage;
    Bytes abyBlock(abyImage);
    abyBlock.resize(abyImage.size() + 4096 + abyImage.size() / 4);
    CChunkNavComp oNav(abyBlock.data(), DWORD(abyBlock.size()));
    for (const CTestSlot& rkoSlot : rkoBank.m_aoSlots)
    {
        if (!oNav.m_ofnFind(CChunkId(), typeFinal, typeNotFinal, 0, 1))
        {
            ADD_FAILURE() << "bank image: slot not found";
            break;
        }
        if (rkoSlot.m_byVersion != 0 && !oNav.m_bfnCompress(rkoSlot.m_byVersion, rkoSlot.m_byMethod))
            ADD_FAILURE() << "bank image: slot does not compress";
    }
    abyBlock.resize(oNav.m_dwfnUsedSize());
    return abyBlock;
}

} // namespace StyleBuilder
