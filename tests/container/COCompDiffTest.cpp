// COCompDiffTest.cpp -- the slot encoder writes what the reference encoder
// (the encoder before its match finder was rewritten, COCompReference.h)
// writes, byte for byte, and runs out of room where it does. Every slot of
// the banks the tests build is compared in StyleBuilder's BuildBankImage;
// the fuzz target fuzz_cocomp_diff compares what the fuzzer invents.
#include "COCompReference.h"

#include "compression/COComp.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using CBytes = std::vector<BYTE>;

struct SInput
{
    std::string strName;
    CBytes oData;
};

CBytes Random(std::size_t uLength, DWORD dwAlphabet, std::mt19937& roRng)
{
    CBytes o(uLength);
    for (BYTE& by : o)
        by = BYTE('a' + roRng() % dwAlphabet);
    return o;
}

// Periodic -- a unit of dwPeriod bytes repeated to uLength, every
// dwChangeEvery-th byte (0: none) changed, so that matches of the period
// break where the next one is farther back or shorter.
CBytes Periodic(DWORD dwPeriod, std::size_t uLength, DWORD dwChangeEvery, std::mt19937& roRng)
{
    const CBytes oUnit = Random(dwPeriod, 256, roRng);
    CBytes o(uLength);
    for (std::size_t u = 0; u < uLength; ++u)
        o[u] = dwChangeEvery != 0 && roRng() % dwChangeEvery == 0 ? BYTE(roRng()) : oUnit[u % dwPeriod];
    return o;
}

// Echo -- noise with a stretch of itself again at dwDistance: matches right
// at the window's edge (0xC000) and one byte beyond it.
CBytes Echo(DWORD dwDistance, std::mt19937& roRng)
{
    CBytes o = Random(dwDistance + 3000, 256, roRng);
    for (DWORD dw = 0; dw < 2000; ++dw)
        o[dwDistance + 500 + dw] = o[500 + dw];
    return o;
}

// StyleSlots -- chunk headers and measures of note events, repeated with
// changes near and far, as style slots are.
CBytes StyleSlots(std::size_t uLength, std::mt19937& roRng)
{
    CBytes o;
    std::vector<CBytes> aoMeasures(6);
    for (CBytes& roMeasure : aoMeasures)
        for (int i = 0; i < 16; ++i)
            roMeasure.insert(roMeasure.end(), {BYTE(i % 3 ? 0x60 : 0x30), BYTE(0x90 | (i & 1)),
                                               BYTE(36 + roRng() % 24), BYTE(roRng() % 128), 0x5C});
    while (o.size() < uLength)
    {
        o.insert(o.end(), {'P', BYTE(roRng() % 8), 0, 0x02, 0, 0, BYTE(roRng() % 4), BYTE(roRng())});
        CBytes& roMeasure = aoMeasures[roRng() % aoMeasures.size()];
        for (int iBar = int(roRng() % 8); iBar >= 0; --iBar)
        {
            roMeasure[(roRng() % 16) * 5 + 3] = BYTE(roRng() % 128);
            o.insert(o.end(), roMeasure.begin(), roMeasure.end());
        }
    }
    o.resize(uLength);
    return o;
}

// DemoSlots -- every compressed slot of the demo bank, decoded: the root's
// children read straight from the file.
std::vector<SInput> DemoSlots()
{
    std::ifstream oFile(QD_DEMO_BANK, std::ios::binary);
    const CBytes oBank((std::istreambuf_iterator<char>(oFile)), std::istreambuf_iterator<char>());
    std::vector<SInput> aoSlots;
    for (std::size_t uAt = 8; uAt + 8 <= oBank.size();)
    {
        const DWORD dwLength = QdReadBE32(&oBank[uAt + 4]);
        if (dwLength > oBank.size() - uAt - 8)
            break;
        COComp oCodec;
        const DWORD dwSize = oBank[uAt] == 6 ? oCodec.ReadHeader(&oBank[uAt + 8], dwLength) : 0;
        CBytes oData(dwSize);
        if (dwSize != 0 && oCodec.Decode(oData.data(), dwSize, true) == dwSize)
            aoSlots.push_back({"demo bank slot at " + std::to_string(uAt), oData});
        uAt += 8 + dwLength;
    }
    return aoSlots;
}

std::vector<SInput> Inputs()
{
    std::mt19937 oRng(0xC0C0);
    std::vector<SInput> aoInputs = DemoSlots();
    EXPECT_EQ(aoInputs.size(), 5u) << "the demo bank's five styles";
    for (std::size_t uLength : {0, 1, 3, 4, 13, 17, 18, 19, 31, 64, 300, 2049})
        aoInputs.push_back({"random, " + std::to_string(uLength) + " bytes", Random(uLength, 256, oRng)});
    for (DWORD dwAlphabet : {2u, 4u, 16u})
        aoInputs.push_back({"random of " + std::to_string(dwAlphabet) + " letters", Random(70000, dwAlphabet, oRng)});
    for (DWORD dwPeriod = 1; dwPeriod <= 64; ++dwPeriod)
    {
        const std::string strPeriod = "period " + std::to_string(dwPeriod);
        aoInputs.push_back({strPeriod, Periodic(dwPeriod, 700 + 37 * dwPeriod, 0, oRng)});
        aoInputs.push_back({strPeriod + ", changed", Periodic(dwPeriod, 3000 + 37 * dwPeriod, 97, oRng)});
    }
    for (DWORD dwPeriod : {1u, 2u, 3u, 7u, 64u})
        aoInputs.push_back({"period " + std::to_string(dwPeriod) + ", beyond 16-bit positions",
                            Periodic(dwPeriod, 70000 + dwPeriod, 4001, oRng)});
    for (DWORD dwDistance : {0x800u, 0x801u, 0x4000u, 0x4001u, 0xBFFFu, 0xC000u, 0xC001u})
        aoInputs.push_back({"echo at " + std::to_string(dwDistance), Echo(dwDistance, oRng)});
    for (std::size_t uLength : {20000, 0xC000 + 100, 0xFFFF + 13, 0xFFFF + 14, 150000})
        aoInputs.push_back({"style slots, " + std::to_string(uLength) + " bytes", StyleSlots(uLength, oRng)});
    return aoInputs;
}

// ExpectSameAsReference -- the same bytes with room as MaxEncodedSize
// promises, and the same refusal with one byte less than they need.
void ExpectSameAsReference(const CBytes& rkoData, BYTE byVersion, BYTE byMethod)
{
    const DWORD dwLength = DWORD(rkoData.size());
    CBytes oNew(COComp::MaxEncodedSize(dwLength)), oReference(oNew.size());
    COComp oCodec;
    const DWORD dwNew = oCodec.Encode(rkoData.data(), dwLength, oNew.data(), DWORD(oNew.size()), byVersion, byMethod);
    const DWORD dwReference = COCompReferenceEncode(rkoData.data(), dwLength, oReference.data(),
                                                    DWORD(oReference.size()), byVersion, byMethod);
    ASSERT_NE(dwReference, 0u);
    ASSERT_EQ(dwNew, dwReference);
    ASSERT_TRUE(std::equal(oNew.begin(), oNew.begin() + dwNew, oReference.begin()));
    EXPECT_EQ(oCodec.Encode(rkoData.data(), dwLength, oNew.data(), dwNew - 1, byVersion, byMethod), 0u);
}

} // namespace

TEST(COCompDiff, EncodesAsTheReferenceEncoder)
{
    const std::vector<SInput> aoInputs = Inputs();
    for (std::size_t u = 0; u < aoInputs.size(); ++u)
    {
        SCOPED_TRACE(aoInputs[u].strName);
        ExpectSameAsReference(aoInputs[u].oData, BYTE(2 + u % 2), BYTE(u % 3));
    }
}
