// NstQdIfcTest.cpp -- the bank-backed style: reading a style's subtree in
// flat form, writing a normalized style back, and the two together.
#include "NlzdStyle/NstQdIfc.h"

#include "MarkerAlg/MarkerAlg.h"
#include "MemCoder/MaEncoder.h"
#include "ReportCapture.h"
#include "StyleBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <sstream>

namespace {

using namespace StyleBuilder;
typedef std::vector<CEvRec> Evs;
const std::string kSource = "NlzdStyle/NstQdIfc";

// ReadBytes -- the style read from a block of exactly the bytes' size, so a
// read past them is caught; the navigator must end on the style container.
std::unique_ptr<CNstQdIfc> ReadBytes(const Bytes& rkoBytes)
{
    std::unique_ptr<BYTE[]> pbyBlock(new BYTE[rkoBytes.size() + 1]);
    std::copy(rkoBytes.begin(), rkoBytes.end(), pbyBlock.get());
    CChunkNav oNav(pbyBlock.get(), DWORD(rkoBytes.size()));
    auto poStyle = std::make_unique<CNstQdIfc>(&oNav);
    EXPECT_EQ(oNav.m_wfnLevel(), 0);
    return poStyle;
}

Bytes Used(const CNstBankData& rkoData) { return Bytes(rkoData.GetData(), rkoData.GetData() + rkoData.GetUsedSize()); }
Evs Events(const BYTE* pbyData, DWORD dwLength) { return DecodeBlock(Bytes(pbyData, pbyData + dwLength)).Events(); }
Evs Events(const CNstPattern* pkoPattern) { return Events(pkoPattern->GetData(), pkoPattern->GetDataLength()); }
Bytes Table(const CNstStyleElem* pkoElem) { return Bytes(pkoElem->GetChordTable(), pkoElem->GetChordTable() + 22); }

const CNstChordVar* Cv(const CNstStyle& rkoStyle, BYTE bySe, BYTE byCv)
{
    const CNstStyleElem* pkoElem = rkoStyle.FindStyleElem(bySe);
    return pkoElem ? pkoElem->FindChordVar(byCv) : nullptr;
}

// Key of the track's first note; 0 when the track is not in use.
int Key(const CNstStyle& rkoStyle, BYTE bySe, BYTE byCv, BYTE byPNr)
{
    const CNstChordVar* pkoCv = Cv(rkoStyle, bySe, byCv);
    if (!pkoCv || !pkoCv->IsPatternInUse(byPNr))
        return 0;
    const Evs aoEvents = Events(pkoCv->FindPattern(byPNr));
    return aoEvents.empty() || !aoEvents[0].IsNote() ? -1 : int(BYTE(aoEvents[0].m_dwWord1 >> 16));
}

CNstPattern* SetPattern(CNstChordVar* poCv, BYTE byPNr, const Evs& raoEvents, TTICK tTicks, int iType = -1)
{
    CNstPattern* poPattern = poCv->GetPattern(byPNr);
    if (iType >= 0)
        poPattern->SetType(BYTE(iType));
    const Bytes abyStream = MakeCompactStream(raoEvents, tTicks);
    poPattern->SetData(abyStream.data(), DWORD(abyStream.size()), tTicks);
    return poPattern;
}

TEST(NstQdIfcDefaults, EmptyStyleAndNewParts)
{
    CNstQdIfc oStyle;
    EXPECT_STREQ(oStyle.GetName(), "New Style");
    const BYTE kabyMode[8] = {0, 0, 2, 2, 2, 2, 2, 2}, kabyFlag[8] = {0, 0, 0, 1, 1, 1, 1, 1};
    const BYTE kabyMsb[8] = {120, 120, 121, 121, 121, 121, 121, 121}, kabyProgram[8] = {0, 64, 32, 0, 0, 0, 0, 0};
    const BYTE kabyType[8] = {0, 0, 1, 2, 2, 2, 2, 2};
    const BYTE kabyElemMode[10] = {1, 1, 1, 1, 3, 1, 1, 1, 3, 1}, kabyMeasures[10] = {2, 2, 2, 2, 2, 2, 1, 1, 2, 2};
    for (BYTE by = 0; by < 8; ++by)
        EXPECT_EQ(*oStyle.GetTrackStyle(by), (CNstTrackStyle{kabyMode[by], kabyFlag[by]}));
    EXPECT_TRUE(oStyle.IsEmpty() && !oStyle.HasStyleElem(0));
    for (BYTE bySe = 0; bySe < 10; ++bySe)
    {
        CNstStyleElem* poElem = oStyle.GetStyleElem(bySe);
        EXPECT_EQ(poElem->GetMode(), kabyElemMode[bySe]);
        EXPECT_EQ(poElem->GetChordVar(0)->GetLength(), 1536u * kabyMeasures[bySe]);
        for (BYTE by = 0; by < 8; ++by)
        {
            EXPECT_EQ(*poElem->GetTrackParam(by), (CNstTrackParam{100, kabyMsb[by], 0, kabyProgram[by], 21, 108}));
            EXPECT_EQ(poElem->GetChordVar(0)->GetPattern(by)->GetType(), kabyType[by]);
        }
    }
}

// ---------------------------------------------------------------------------
// Reader
// ---------------------------------------------------------------------------

TEST(NstQdIfcReader, LayoutFieldsAndNumbering)
{
    CTestStyle oStyle;
    oStyle.m_strName = "";
    oStyle.m_wTrackModes = 0x1BE4; // tracks 0-7: 0, 1, 2, 3, 3, 2, 1, 0
    oStyle.m_byTrackFlags = 0xA5;  // tracks 0-7: 1, 0, 1, 0, 0, 1, 0, 1
    // Element mask bits 0 and 4, CV mask bits 3 and 5; three CV patterns each.
    AddFlatChordVar(oStyle, 0, 3, 6144, {{0, {Note(0, 30, 9)}}, {1, {Note(0, 31, 9)}}, {2, {Note(0, 32, 9)}, 768}},
                    {KeptMarker(100, {7, 8})});
    AddFlatChordVar(oStyle, 0, 5, 6144, {{5, {Note(0, 35, 9)}}, {6, {Note(0, 36, 9)}}, {7, {Note(0, 37, 9)}}});
    AddFlatChordVar(oStyle, 4, 0, 3456, {{3, {Note(0, 43, 9)}}});
    oStyle.m_aoPatterns[2].m_byAttr1 = 0x12; // the type-1 Bass pattern's attribute bytes
    oStyle.m_aoPatterns[2].m_byAttr2 = 0x34;
    oStyle.m_aoElements[0]->m_abyChordTable = {2, 0, 1};
    oStyle.m_aoElements[0]->m_oParams.m_aabyParams[7][5] = 99;
    oStyle.m_aoElements[4]->m_abyChordTable = {};
    oStyle.m_aoElements[4]->m_bySignature = 0x33; // 6/8

    CReportCapture oReports;
    const auto poStyle = ReadBytes(BuildStyleChunk(oStyle));
    EXPECT_TRUE(oReports.Empty());
    EXPECT_STREQ(poStyle->GetName(), "");
    const BYTE kabyMode[8] = {0, 1, 2, 3, 3, 2, 1, 0}, kabyFlag[8] = {1, 0, 1, 0, 0, 1, 0, 1};
    for (BYTE by = 0; by < 8; ++by)
        EXPECT_EQ(*poStyle->GetTrackStyle(by), (CNstTrackStyle{kabyMode[by], kabyFlag[by]}));
    for (BYTE bySe = 0; bySe < 10; ++bySe)
        for (BYTE byCv = 0; byCv < 6; ++byCv)
            EXPECT_EQ(poStyle->HasChordVar(bySe, byCv),
                      (bySe == 0 && (byCv == 3 || byCv == 5)) || (bySe == 4 && !byCv));
    Bytes abyTable(22, 2);
    abyTable[1] = 0;
    abyTable[2] = 1;
    EXPECT_EQ(Table(poStyle->FindStyleElem(0)), abyTable); // 2, 0, 1 and nineteen 2s
    EXPECT_EQ(Table(poStyle->FindStyleElem(4)), Bytes(22, 0));
    EXPECT_EQ(poStyle->FindStyleElem(0)->GetTrackParam(7)->m_byNoteHigh, 99);
    // Signature 0x22: 4/4, 6144 ticks are 4 measures; 0x33: 6/8, 3456 are 3.
    EXPECT_EQ(Cv(*poStyle, 0, 3)->GetTimeSig(), (CNstTimeSig{4, 2}));
    EXPECT_EQ(Cv(*poStyle, 0, 3)->GetMeasures(), 4);
    EXPECT_EQ(Cv(*poStyle, 4, 0)->GetTicksPerMeasure(), 1152u);
    EXPECT_EQ(Cv(*poStyle, 4, 0)->FindPattern(3)->GetMeasures(), 3);
    // Patterns in chunk order; type 0 without attribute bytes, type 1 with.
    const int kaiKeys[8] = {30, 31, 32, 0, 0, 35, 36, 37};
    for (BYTE by = 0; by < 8; ++by)
        EXPECT_EQ(Key(*poStyle, 0, by < 3 ? 3 : 5, by), kaiKeys[by]);
    EXPECT_EQ(Key(*poStyle, 4, 0, 3), 43);
    const CNstPattern* pkoBass = Cv(*poStyle, 0, 3)->FindPattern(2);
    EXPECT_EQ((std::vector<int>{pkoBass->GetType(), pkoBass->GetAttribute1(), pkoBass->GetAttribute2()}),
              (std::vector<int>{1, 0x12, 0x34}));
    EXPECT_EQ(pkoBass->GetNrTicks(), 768u);
    EXPECT_EQ(Cv(*poStyle, 0, 3)->FindPattern(0)->GetAttribute1(), 0);
    const CNstChordVar* pkoCv = Cv(*poStyle, 0, 3);
    EXPECT_EQ(Events(pkoCv->GetMetaPatternData(), pkoCv->GetMetaPatternLength()),
              (Evs{KeptMarker(100, {7, 8}), CEvRec::EndOfTrack(383616)}));

    // A name beyond 31 characters is cut; numerator 0 counts no measure.
    oStyle.m_strName = std::string(31, 'x') + "yz";
    oStyle.m_aoElements[4]->m_bySignature = 0x02;
    const auto poOther = ReadBytes(BuildStyleChunk(oStyle));
    EXPECT_EQ(std::string(poOther->GetName()), std::string(31, 'x'));
    EXPECT_EQ(Cv(*poOther, 4, 0)->GetMeasures(), 0);
}

// Damaged layouts: the report each gives and what is still read. The base
// style has element 0 with chord variations 0 (tracks 0, 2) and 1 (track
// 0), element 1 with chord variation 0 (track 3); each note key names its
// pattern chunk.
TEST(NstQdIfcReaderDamage, ReportsAndWhatIsStillRead)
{
    struct CCase
    {
        const char* m_pszReport;
        std::function<Bytes(CTestStyle&)> m_fnDamage;
        std::vector<int> m_aiKeys; // tracks 0 and 2 of 0/0, 0 of 0/1, 3 of 1/0
    };
    auto Cut = [](std::vector<int> aiPath, DWORD dwLength) {
        return [=](CTestStyle& ro) { return ResizeChunk(BuildStyleChunk(ro), aiPath, dwLength); };
    };
    // Retag -- the chunk at the path (child positions from the root) gets
    // another id, as a damaged byte gives it.
    auto Retag = [](std::vector<int> aiPath, BYTE byId) {
        return [=](CTestStyle& ro) {
            Bytes aby = BuildStyleChunk(ro);
            CChunkNav oNav(aby.data(), DWORD(aby.size()));
            for (int iStep : aiPath)
            {
                oNav.m_ofnEnter();
                for (int i = 0; i < iStep; ++i)
                    oNav.m_ofnNext();
            }
            oNav.m_pbyfnHeader()[0] = byId;
            return aby;
        };
    };
    const CCase kaoCases[] = {
        // Chunks whose id was damaged are passed over: what the masks name
        // and no chunk holds is reported.
        {"iElementsRead >= iElementsInMask", Retag({3}, 2), {40, 41, 42, 0}},
        {"iChordVarsRead >= iChordVarsInMask", Retag({2, 3}, 2), {40, 41, 0, 42}},
        {"iCurSe < 10", [](CTestStyle& ro) { ro.m_owElementMask = 0x0001; return BuildStyleChunk(ro); },
         {40, 41, 42, 0}},
        {"iCurSe < 10", [](CTestStyle& ro) { ro.m_owElementMask = 0x0C00; return BuildStyleChunk(ro); }, {0, 0, 0, 0}},
        // A chord variation without a mask bit still uses up its patterns.
        {"iCurCv < 6", [](CTestStyle& ro) { ro.m_aoElements[0]->m_obyCvMask = 1; return BuildStyleChunk(ro); },
         {40, 41, 0, 43}},
        {"oStyleElementInfoData.m_byCVTabLength <= QDI_MAX_CHORD",
         [](CTestStyle& ro) { ro.m_aoElements[0]->m_abyChordTable = Bytes(30, 1); return BuildStyleChunk(ro); },
         {40, 41, 42, 43}},
        {"oPatInfoData.m_wTotalPatterns == oPatInfoData.m_wTotalCvPatterns",
         [](CTestStyle& ro) { ro.m_owTotalPatterns = 2; return BuildStyleChunk(ro); }, {40, 41, 42, 43}},
        {"oId", [](CTestStyle& ro) { ro.m_aoPatterns.resize(2); return BuildStyleChunk(ro); }, {40, 41, 0, 0}},
        {"byTrackNr < 8", [](CTestStyle& ro) { ro.m_aoElements[0]->m_aoCvs[0]->m_aoPatterns[0].m_byTrack = 8;
                                               return BuildStyleChunk(ro); }, {0, 41, 42, 43}},
        // A chunk id that does not match: stored with the chunk's own type.
        {"oId.ID() == (oChordVarData.m_poCvPatInfo[i].m_byType + 2)",
         [](CTestStyle& ro) { ro.m_aoPatterns[1].m_byChunkId = 2; return BuildStyleChunk(ro); }, {40, 41, 42, 43}},
        {"IsPatternChunkId(oId.m_byId)",
         [](CTestStyle& ro) { ro.m_aoPatterns[1].m_byChunkId = 7; return BuildStyleChunk(ro); }, {40, 0, 42, 43}},
        {"bStyleInfoParsed", Cut({0}, 3), {0, 0, 0, 0}},
        {"bPatInfoParsed", Cut({1, 0}, 3), {40, 41, 42, 43}},
        {"bElemInfoParsed", Cut({2, 0}, 3), {0, 0, 0, 43}},
        {"bTrackParamsParsed", Cut({2, 1}, 47), {40, 41, 42, 43}},
        // Its CV patterns unknown, its pattern is taken by the next one.
        {"bChordVarParsed", Cut({2, 3}, 10), {40, 41, 0, 42}},
        {"bChordVarParsed", [](CTestStyle& ro) { ro.m_aoElements[1]->m_aoCvs[0]->m_odwEventsDim = 1000;
                                                 return BuildStyleChunk(ro); }, {40, 41, 42, 0}},
        // A pattern record whose events pass its chunk is refused by the record.
        {"dwLength >= dwFixedSize && dwEventsDim <= dwLength - dwFixedSize",
         [](CTestStyle& ro) { ro.m_aoPatterns[1].m_odwEventsDim = 0xFFFFFFF0; return BuildStyleChunk(ro); },
         {40, 0, 42, 43}},
        // A block shorter than its root says: nothing is entered.
        {"oId", [](CTestStyle& ro) { Bytes aby = BuildStyleChunk(ro); aby.pop_back(); return aby; }, {0, 0, 0, 0}},
    };
    for (const CCase& rkoCase : kaoCases)
    {
        SCOPED_TRACE(rkoCase.m_pszReport);
        CTestStyle oStyle;
        AddFlatChordVar(oStyle, 0, 0, 1536, {{0, {Note(0, 40, 9)}}, {2, {Note(0, 41, 9)}}});
        AddFlatChordVar(oStyle, 0, 1, 1536, {{0, {Note(0, 42, 9)}}});
        AddFlatChordVar(oStyle, 1, 0, 1536, {{3, {Note(0, 43, 9)}}});
        oStyle.m_aoElements[0]->m_oParams.m_aabyParams[0][0] = 77;
        const Bytes abyStyle = rkoCase.m_fnDamage(oStyle);
        CReportCapture oReports;
        const auto poStyle = ReadBytes(abyStyle);
        const std::string strFile = rkoCase.m_pszReport[0] == 'd' ? "MarkerAlg/MarkerAlg" : kSource;
        EXPECT_TRUE(oReports.HasAssert(rkoCase.m_pszReport, strFile));
        const std::vector<int> aiKeys = {Key(*poStyle, 0, 0, 0), Key(*poStyle, 0, 0, 2), Key(*poStyle, 0, 1, 0),
                                         Key(*poStyle, 1, 0, 3)};
        EXPECT_EQ(aiKeys, rkoCase.m_aiKeys);
        if (const CNstStyleElem* pkoElem = poStyle->FindStyleElem(0))
        {
            const bool bParamsLost = rkoCase.m_pszReport == std::string("bTrackParamsParsed");
            EXPECT_EQ(pkoElem->GetTrackParam(0)->m_byExpression, bParamsLost ? 100 : 77);
        }
    }

    // Ten CV patterns: the ninth and tenth are used up unstored, reported once.
    CTestStyle oStyle;
    std::vector<CTestTrack> aoTracks;
    for (BYTE by = 0; by < 10; ++by)
        aoTracks.push_back({BYTE(by % 8), {Note(0, BYTE(30 + by), 9)}});
    AddFlatChordVar(oStyle, 0, 0, 1536, aoTracks);
    AddFlatChordVar(oStyle, 0, 1, 1536, {{4, {Note(0, 60, 9)}}});
    CReportCapture oReports;
    const auto poStyle = ReadBytes(BuildStyleChunk(oStyle));
    EXPECT_EQ(oReports.Texts().size(), 1u);
    EXPECT_TRUE(oReports.HasAssert("i < 8", kSource));
    EXPECT_EQ(Key(*poStyle, 0, 0, 7), 37);
    EXPECT_EQ(Key(*poStyle, 0, 1, 4), 60);
}

// ---------------------------------------------------------------------------
// Writer
// ---------------------------------------------------------------------------

TEST(NstQdIfcWriter, SmallStyleExactBytes)
{
    CNstQdIfc oStyle;
    oStyle.SetName("Ab");
    CNstChordVar* poCv = oStyle.GetStyleElem(0)->GetChordVar(0);
    poCv->SetLength(1536);
    SetPattern(poCv, 0, {Note(0, 36, 96, 100)}, 1536);
    CReportCapture oReports;
    const auto poData = CNstQdIfc::WriteStyle(oStyle);
    ASSERT_TRUE(poData);
    EXPECT_TRUE(oReports.Empty());

    Bytes abyExpected = {
        0x01, 0, 0, 0x00, 0, 0, 0, 0xC4,                  // style container
        0x01, 0, 0, 0x08, 0, 0, 0, 0x08,                  // style info:
        0x02, 'A', 'b', 0xAA, 0xA0, 0xF8, 0x00, 0x01,     //   name, modes, flags, element mask
        0x02, 0, 0, 0x00, 0, 0, 0, 0x29,                  // pattern container
        0x01, 0, 0, 0x08, 0, 0, 0, 0x06, 0, 1, 0, 1, 0, 1, // pattern info: totals, reference 1
        0x02, 0, 0, 0x08, 0, 0, 0, 0x13,                  // type-0 pattern: 1536 ticks, 11 bytes:
        0, 0, 0x06, 0x00, 0, 0, 0, 0x0B,                  //   note 36 (short form) at 0, end at 1536
        0x28, 0xE4, 0x00, 0x60, 0xC0, 0x8C, 0x80, 0x09, 0x2F, 0x00, 0x00,
        0x03, 0, 0, 0x00, 0, 0, 0, 0x7B,                  // element container
        0x01, 0, 0, 0x08, 0, 0, 0, 0x1A, 0x01, 0x01, 0x22, 0x16, // CV mask, mode, 4/4, 22 entries
    };
    abyExpected.insert(abyExpected.end(), 22, 0x00);
    abyExpected.insert(abyExpected.end(), {0x02, 0, 0, 0x08, 0, 0, 0, 0x30}); // track parameters
    const BYTE kabyMsb[8] = {120, 120, 121, 121, 121, 121, 121, 121}, kabyProgram[8] = {0, 64, 32, 0, 0, 0, 0, 0};
    for (int i = 0; i < 8; ++i)
        abyExpected.insert(abyExpected.end(), {100, kabyMsb[i], 0, kabyProgram[i], 21, 108});
    abyExpected.insert(abyExpected.end(), {
        0x03, 0, 0, 0x08, 0, 0, 0, 0x19,                  // chord variation: 1536 ticks, 14 bytes:
        0, 0, 0x06, 0x00, 0, 0, 0, 0x0E,                  //   start marker 0 at 0, end at 1536
        0x09, 0x7E, 0x00, 0x04, 0x03, 0x00, 0x00, 0x00, 0x8C, 0x80, 0x09, 0x2F, 0x00, 0x00,
        0x01, 0x00, 0x00});                               //   one CV pattern: type 0, track 0
    EXPECT_EQ(Used(*poData), abyExpected);
    // The navigator on the style container, the spare room behind it; the
    // buffer outlives the navigator and goes to the caller.
    EXPECT_EQ(poData->GetNav()->m_pbyfnHeader(), poData->GetData());
    EXPECT_GE(poData->GetCapacity() - poData->GetUsedSize(), QDI_SIZE_SPARE);
    DWORD dwUsed = 0;
    const std::unique_ptr<BYTE[]> pbyBuffer = poData->TakeBuffer(dwUsed);
    EXPECT_EQ(Bytes(pbyBuffer.get(), pbyBuffer.get() + dwUsed), abyExpected);
    EXPECT_TRUE(!poData->GetNav() && !poData->GetData());
}

TEST(NstQdIfcWriter, TidyingLengtheningCleaningAndMarkers)
{
    CNstQdIfc oStyle;
    // Variation 2: a Drum pattern in use but empty, a Bass pattern of type 2
    // repeated from 1536 to 4000 ticks, an Acc. 1 pattern of an unknown type.
    CNstChordVar* poV2 = oStyle.GetStyleElem(1)->GetChordVar(1);
    poV2->SetLength(4000);
    poV2->GetPattern(0);
    SetPattern(poV2, 2, {Note(0, 40, 100), Note(900, 41, 200), Note(1000, 42, 50)}, 1536, 2);
    SetPattern(poV2, 3, {Note(0, 60, 10)}, 4000, 7);
    const Bytes abyMeta = MakeCompactStream(
        {KeptMarker(100, {1}), KeptMarker(3999, {2}), KeptMarker(4000, {3}), KeptMarker(5000, {4})}, 6000);
    poV2->SetMetaPattern(abyMeta.data(), DWORD(abyMeta.size()));
    // Intro 1 with chord variations 0-2, its table naming 2 and 5; Fill 1
    // empty; Ending 1 holding only chord variation 3.
    CNstStyleElem* poIntro = oStyle.GetStyleElem(4);
    for (BYTE byCv = 0; byCv < 3; ++byCv)
        SetPattern(poIntro->GetChordVar(byCv), 3, {Note(0, BYTE(50 + byCv), 10)}, 1536);
    poIntro->SetChordEntry(0, 1);
    poIntro->SetChordEntry(1, 2);
    poIntro->SetChordEntry(2, 5);
    oStyle.GetStyleElem(6)->GetChordVar(0);
    SetPattern(oStyle.GetStyleElem(8)->GetChordVar(3), 0, {Note(0, 36, 10)}, 1536);

    CReportCapture oReports;
    const auto poData = CNstQdIfc::WriteStyle(oStyle);
    ASSERT_TRUE(poData);
    EXPECT_EQ(oReports.Texts(), (std::vector<std::string>{oReports.Texts().front()}));
    EXPECT_TRUE(oReports.HasAssert("poPattern->GetType() <= QDI_MAX_PATTERN_TYPE", kSource));
    oReports.Clear();
    const auto poRead = ReadBytes(Used(*poData));
    EXPECT_TRUE(oReports.Empty()) << "read back with a report: " << oReports.Texts().front();

    // The model is tidied and reads back as tidied; Variation 1 gets chord
    // variation 1 with an empty Drum pattern of type 0. Ending 1 held events
    // only beyond its two chord variations: it stays, without any.
    const CNstStyle* const kapkoStyles[] = {&oStyle, poRead.get()};
    for (const CNstStyle* pkoStyle : kapkoStyles)
    {
        for (BYTE bySe = 0; bySe < 10; ++bySe)
        {
            EXPECT_EQ(pkoStyle->HasStyleElem(bySe), bySe == 0 || bySe == 1 || bySe == 4 || bySe == 8);
            for (BYTE byCv = 0; byCv < 6; ++byCv)
                EXPECT_EQ(pkoStyle->HasChordVar(bySe, byCv), (bySe == 0 && !byCv) || (bySe == 1 && byCv == 1) ||
                                                                 (bySe == 4 && byCv < 2));
        }
        const CNstPattern* pkoDrum = Cv(*pkoStyle, 0, 0)->FindPattern(0);
        EXPECT_TRUE(Cv(*pkoStyle, 0, 0)->IsPatternInUse(0) && pkoDrum->IsEmpty() && pkoDrum->GetType() == 0);
        EXPECT_EQ(Cv(*pkoStyle, 0, 0)->GetLength(), 3072u);
        EXPECT_FALSE(Cv(*pkoStyle, 1, 1)->IsPatternInUse(0));
        EXPECT_EQ(Cv(*pkoStyle, 1, 1)->FindPattern(2)->GetType(), 2);
        EXPECT_EQ(Cv(*pkoStyle, 1, 1)->FindPattern(3)->GetType(), 2);
        EXPECT_EQ(Table(pkoStyle->FindStyleElem(4)), (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    }
    // Copies at 0, 1536, 3072, cut to 4000: the note held across 3999 ends
    // there, the one at 4072 is gone. The model's pattern stays as it was.
    const CNstChordVar* pkoV2 = Cv(*poRead, 1, 1);
    EXPECT_EQ(Events(pkoV2->FindPattern(2)),
              (Evs{Note(0, 40, 100), Note(900, 41, 200), Note(1000, 42, 50), Note(1536, 40, 100), Note(2436, 41, 200),
                   Note(2536, 42, 50), Note(3072, 40, 100), Note(3972, 41, 27), CEvRec::EndOfTrack(4000)}));
    EXPECT_EQ(Cv(oStyle, 1, 1)->FindPattern(2)->GetNrTicks(), 1536u);
    // Meta markers at or after the length are not written.
    EXPECT_EQ(Events(pkoV2->GetMetaPatternData(), pkoV2->GetMetaPatternLength()),
              (Evs{KeptMarker(100, {1}), KeptMarker(3999, {2}), CEvRec::EndOfTrack(383616)}));
}

// The chord variation's events at their largest against the meta pattern:
// eight start markers, a marker on the meta pattern's end tick (its end
// takes no delta byte), an end that takes a 4-byte delta.
TEST(NstQdIfcWriter, ChordVariationEventsFitTheirBuffer)
{
    const TTICK tLength = 0x0FFFFFF0;
    CNstQdIfc oStyle;
    CNstChordVar* poCv = oStyle.GetStyleElem(0)->GetChordVar(0);
    poCv->SetLength(tLength);
    for (BYTE byPNr = 0; byPNr < 8; ++byPNr)
        SetPattern(poCv, byPNr, {Note(0, BYTE(36 + byPNr), 10)}, tLength);
    const Bytes abyMeta = MakeCompactStream({KeptMarker(383616, {9, 9, 9, 9})}, 383616);
    poCv->SetMetaPattern(abyMeta.data(), DWORD(abyMeta.size()));
    const DWORD dwNeed = poCv->GetMetaPatternLength() + 68;
    ASSERT_LE(dwNeed, poCv->GetMetaPatternLength() + QDI_CV_EVENTS_SPARE);
    for (const DWORD dwRoom : {dwNeed, dwNeed - 1}) // exactly enough; one short: refused, canary intact
    {
        Bytes abyBuffer(dwRoom + 16, 0xA5);
        CReportCapture oReports;
        CMemEncoder oEncoder(abyBuffer.data(), dwRoom);
        EXPECT_EQ(CNstQdIfc::EncodeChordVarEvents(oEncoder, *poCv, 8), dwRoom == dwNeed);
        EXPECT_EQ(Bytes(abyBuffer.begin() + dwRoom, abyBuffer.end()), Bytes(16, 0xA5));
    }
    CReportCapture oReports;
    const auto poData = CNstQdIfc::WriteStyle(oStyle);
    EXPECT_TRUE(poData && oReports.Empty());
}

TEST(NstQdIfcWriter, BufferSizeLimits)
{
    // Eight patterns of about 8000 bytes repeated three times: the estimate
    // counts two copies each, more short than the spare room. Written again
    // into a larger buffer, spare room kept.
    CNstQdIfc oStyle;
    CNstChordVar* poCv = oStyle.GetStyleElem(0)->GetChordVar(0);
    poCv->SetLength(3 * 19200);
    Evs aoNotes;
    for (TTICK t = 0; t < 19200; t += 12)
        aoNotes.push_back(Note(t, BYTE(40 + (t / 12) % 40), 6));
    for (BYTE byPNr = 0; byPNr < 8; ++byPNr)
        SetPattern(poCv, byPNr, aoNotes, 19200);
    const DWORD dwFirstCapacity = oStyle.SizeEstimate(true) + 100 + 8 * 2 + QDI_SIZE_SPARE;
    const auto poData = CNstQdIfc::WriteStyle(oStyle);
    ASSERT_TRUE(poData);
    EXPECT_GT(poData->GetUsedSize(), dwFirstCapacity);
    EXPECT_GE(poData->GetCapacity() - poData->GetUsedSize(), QDI_SIZE_SPARE);
    EXPECT_EQ(Events(Cv(*ReadBytes(Used(*poData)), 0, 0)->FindPattern(7)).size(), 3 * 1600u + 1);

    // Silence longer than the format's largest delta before the end: the
    // pattern cannot be ended there, the style is refused.
    poCv->SetLength(0x10000100);
    SetPattern(poCv, 0, {Note(0, 36, 10), CEvRec::Meta(0x08000000, 0x01, {'x'})}, 0x10000100);
    CReportCapture oReports;
    EXPECT_FALSE(CNstQdIfc::WriteStyle(oStyle));
    EXPECT_TRUE(oReports.HasAssert("iCleanResult != MA_CLEAN_FAILED", kSource));

    // A damaged chord-variation length of billions of ticks over a short
    // pattern with events is refused at once, not repeated into gigabytes.
    CNstQdIfc oDamaged;
    CNstChordVar* poLong = oDamaged.GetStyleElem(0)->GetChordVar(0);
    poLong->SetLength(0xF0000000);
    SetPattern(poLong, 2, {Note(0, 40, 100), Note(768, 43, 100)}, 1536);
    oReports.Clear();
    EXPECT_FALSE(CNstQdIfc::WriteStyle(oDamaged));
    EXPECT_TRUE(oReports.HasAssert("tCvLength <= QDI_MAX_CV_TICKS", kSource));

    // The longest chord variation there can be (255 measures of 16/1) over
    // a pattern of a few ticks would still expand beyond any bank: refused.
    poLong->SetLength(255 * 16 * 4 * 384);
    SetPattern(poLong, 2, {Note(0, 40, 2)}, 8);
    oReports.Clear();
    EXPECT_FALSE(CNstQdIfc::WriteStyle(oDamaged));
    EXPECT_TRUE(oReports.HasAssert("m_qwExpandedTotal <= QDI_MAX_STYLE_DATA", kSource));
}

// ---------------------------------------------------------------------------
// Random models: round trip, and damaged copies
// ---------------------------------------------------------------------------

// FillRandom -- a valid model: nothing for the tidying to remove, clean
// patterns (notes end before the last tick, controllers the cleaning does
// not check), durations below 8192 (kept exactly by the format), and one
// event of each pattern within its chord variation.
void FillRandom(CNstQdIfc& roStyle, std::uint32_t uSeed, int iElementOdds)
{
    std::mt19937 oRng(uSeed);
    auto Rand = [&](int iLow, int iHigh) { return std::uniform_int_distribution<int>(iLow, iHigh)(oRng); };
    static const BYTE kabyFreeCtrl[] = {2, 12, 13, 33, 34, 42, 43, 44, 45, 80, 81, 82};
    std::string strName(Rand(0, 31), ' ');
    for (char& rc : strName)
        rc = char(Rand(0x20, 0x7E));
    roStyle.SetName(strName.c_str());
    for (BYTE byPNr = 0; byPNr < 8; ++byPNr)
        *roStyle.GetTrackStyle(byPNr) = {BYTE(Rand(0, 3)), BYTE(Rand(0, 1))};
    for (BYTE bySe = 0; bySe < 10; ++bySe)
    {
        if (bySe && Rand(0, 9) >= iElementOdds)
            continue;
        CNstStyleElem* poElem = roStyle.GetStyleElem(bySe);
        poElem->SetTimeSig({BYTE(Rand(1, 31)), BYTE(Rand(0, 7))});
        poElem->SetMode(BYTE(Rand(0, 255)));
        for (BYTE byPNr = 0; byPNr < 8; ++byPNr)
            for (int i = 0; i < NST_TRKPAR_SIZE; ++i)
                (&poElem->GetTrackParam(byPNr)->m_byExpression)[i] = BYTE(Rand(0, 255));
        std::vector<BYTE> abyCvs;
        for (int iCv = 0; iCv < (bySe < 4 ? 6 : 2); ++iCv)
            if (Rand(0, 2) == 0 || (iCv == 1 && abyCvs.empty()))
                abyCvs.push_back(BYTE(iCv));
        for (BYTE byCv : abyCvs)
        {
            CNstChordVar* poCv = poElem->GetChordVar(byCv);
            const TTICK tCv = Rand(0, 1) ? poElem->GetTicksPerMeasure() * Rand(1, 4) : TTICK(Rand(1, 12000));
            poCv->SetLength(tCv);
            for (BYTE byPNr = 0; byPNr < 8; ++byPNr)
            {
                if (Rand(0, 2) && (byPNr < 7 || !poCv->IsEmpty()))
                    continue;
                const int iType = Rand(0, 2);
                const TTICK kat[] = {tCv, std::max<TTICK>(1, tCv / 2), std::max<TTICK>(1, tCv / 3),
                                     TTICK(Rand(1, int(tCv))), tCv + Rand(1, 500)};
                const TTICK tLength = kat[Rand(0, 4)];
                std::vector<TTICK> atTicks = {TTICK(Rand(0, int(std::min(tLength, tCv)) - 1))};
                for (int i = Rand(0, 15); i > 0; --i)
                    atTicks.push_back(TTICK(Rand(0, int(tLength) - 1)));
                std::sort(atTicks.begin(), atTicks.end());
                Evs aoEvents;
                for (TTICK t : atTicks)
                    aoEvents.push_back(Rand(0, 3) ? CEvRec::Note(t, BYTE(Rand(0, 3)), BYTE(Rand(0, 127)),
                                                                 BYTE(Rand(1, 127)), BYTE(Rand(0, 127)),
                                                                 Rand(0, int(std::min<TTICK>(tLength - 1 - t, 3000))))
                                                  : CEvRec::Chn(t, EVSC_CTRL_CHANGE, BYTE(Rand(0, 3)),
                                                                kabyFreeCtrl[Rand(0, 11)], BYTE(Rand(0, 127))));
                CNstPattern* poPattern = SetPattern(poCv, byPNr, aoEvents, tLength, iType);
                if (iType)
                    poPattern->SetAttributes(BYTE(Rand(0, 255)), BYTE(Rand(0, 255)));
            }
            Evs aoMarkers;
            for (int i = Rand(0, 3); i > 0; --i)
                aoMarkers.push_back(KeptMarker(TTICK(Rand(0, int(tCv) - 1)), Bytes(Rand(0, 4), BYTE(Rand(0, 255)))));
            std::stable_sort(aoMarkers.begin(), aoMarkers.end(),
                             [](const CEvRec& a, const CEvRec& b) { return a.m_tTick < b.m_tTick; });
            const Bytes abyMeta = MakeCompactStream(aoMarkers, tCv);
            poCv->SetMetaPattern(abyMeta.data(), DWORD(abyMeta.size()));
        }
        for (BYTE byChord = 0; byChord < 22; ++byChord)
            poElem->SetChordEntry(byChord, abyCvs[Rand(0, int(abyCvs.size()) - 1)]);
    }
}

// The pattern as the bank receives it: repeated whole to the chord
// variation's length, cut there, notes held across the last tick closed on it
// with note-off velocity 64.
Evs Expected(const CNstPattern* pkoPattern, TTICK tCv)
{
    Evs aoOne = Events(pkoPattern), aoAll;
    aoOne.pop_back();
    const TTICK tLength = pkoPattern->GetNrTicks();
    for (TTICK t0 = 0; t0 < tCv; t0 += tLength)
        for (CEvRec oEvent : aoOne)
            if ((oEvent.m_tTick += t0) < tCv)
            {
                if (oEvent.IsNote() && oEvent.m_tTick + oEvent.Duration() >= tCv)
                    oEvent.m_dwWord2 = DWORD(64) << 24 | (tCv - 1 - oEvent.m_tTick);
                aoAll.push_back(oEvent);
            }
    aoAll.push_back(CEvRec::EndOfTrack(tCv));
    return aoAll;
}

// Summary -- every field the bank carries; bAsWritten gives each pattern as
// the bank receives it.
std::string Summary(const CNstStyle& rkoStyle, bool bAsWritten)
{
    std::ostringstream oOut;
    oOut << rkoStyle.GetName() << " |";
    for (BYTE byPNr = 0; byPNr < 8; ++byPNr)
        oOut << ' ' << int(rkoStyle.GetTrackStyle(byPNr)->m_byMode) << int(rkoStyle.GetTrackStyle(byPNr)->m_byFlag);
    for (BYTE bySe = 0; bySe < 10; ++bySe)
        if (const CNstStyleElem* pkoElem = rkoStyle.FindStyleElem(bySe))
        {
            oOut << "\nE" << int(bySe) << ' ' << int(pkoElem->GetTimeSig().m_byNumerator) << '/'
                 << int(pkoElem->GetTimeSig().m_byDenomExp) << " m" << int(pkoElem->GetMode()) << " t"
                 << testing::PrintToString(Table(pkoElem)) << " p"
                 << testing::PrintToString(Bytes(&pkoElem->GetTrackParam(0)->m_byExpression,
                                                 &pkoElem->GetTrackParam(0)->m_byExpression + 48));
            for (BYTE byCv = 0; byCv < 6; ++byCv)
                if (const CNstChordVar* pkoCv = pkoElem->FindChordVar(byCv))
                {
                    oOut << "\n C" << int(byCv) << ' ' << pkoCv->GetLength() << ' '
                         << testing::PrintToString(Events(pkoCv->GetMetaPatternData(), pkoCv->GetMetaPatternLength()));
                    for (BYTE byPNr = 0; byPNr < 8; ++byPNr)
                        if (pkoCv->IsPatternInUse(byPNr))
                        {
                            const CNstPattern* pkoP = pkoCv->FindPattern(byPNr);
                            oOut << "\n  P" << int(byPNr) << ' ' << int(pkoP->GetType()) << ' '
                                 << int(pkoP->GetAttribute1()) << ' ' << int(pkoP->GetAttribute2()) << ' '
                                 << testing::PrintToString(bAsWritten ? Expected(pkoP, pkoCv->GetLength())
                                                                      : Events(pkoP));
                        }
                }
        }
    return oOut.str();
}

TEST(NstQdIfcRoundTrip, RandomModelsReadBackAsWritten)
{
    for (std::uint32_t uSeed = 0x5EED0000; uSeed < 0x5EED0000 + 400 && !HasFailure(); ++uSeed)
    {
        SCOPED_TRACE(testing::Message() << "seed " << uSeed);
        CNstQdIfc oStyle;
        FillRandom(oStyle, uSeed, 4);
        CReportCapture oReports;
        const auto poData = CNstQdIfc::WriteStyle(oStyle);
        ASSERT_TRUE(poData);
        const auto poRead = ReadBytes(Used(*poData));
        EXPECT_TRUE(oReports.Empty()) << oReports.Texts().front();
        EXPECT_EQ(Summary(*poRead, false), Summary(oStyle, true));
        // What was read writes the same bytes again.
        const auto poAgain = CNstQdIfc::WriteStyle(*poRead);
        ASSERT_TRUE(poAgain);
        EXPECT_EQ(Used(*poAgain), Used(*poData));
    }
}

// Written styles with random bytes changed, headers and lengths included,
// some cut short: read as far as they go, within the block (ASan) and the
// model's limits.
TEST(NstQdIfcReaderDamage, RandomMutationsStayInBounds)
{
    for (std::uint32_t uSeed = 0xDA3A0000; uSeed < 0xDA3A0000 + 400; ++uSeed)
    {
        SCOPED_TRACE(testing::Message() << "seed " << uSeed);
        CNstQdIfc oStyle;
        FillRandom(oStyle, uSeed, 2);
        CReportCapture oReports;
        const auto poData = CNstQdIfc::WriteStyle(oStyle);
        ASSERT_TRUE(poData);
        Bytes abyStyle = Used(*poData);
        std::mt19937 oRng(uSeed);
        auto Rand = [&](int iLow, int iHigh) { return std::uniform_int_distribution<int>(iLow, iHigh)(oRng); };
        for (int i = Rand(1, 6); i > 0; --i)
        {
            // Mostly among the style info, pattern info and first patterns.
            const int iLast = int(abyStyle.size()) - 1;
            const int iPos = Rand(8, Rand(0, 1) ? std::min(iLast, 300) : iLast);
            abyStyle[iPos] = Rand(0, 2) ? BYTE(Rand(0, 255)) : BYTE(abyStyle[iPos] ^ (1 << Rand(0, 7)));
        }
        if (Rand(0, 3) == 0)
            abyStyle.resize(Rand(8, int(abyStyle.size())));
        Summary(*ReadBytes(abyStyle), false);
    }
}

} // namespace
