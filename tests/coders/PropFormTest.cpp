// PropFormTest.cpp -- delta coding of the compact format at every length
// boundary. Durations, lengths and short-note keys are pinned by the record
// bytes of CEncPropTest.
#include "Kernel/SeqBase/PropForm.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(PropFormTest, DeltaBytesAtEveryLengthBoundary)
{
    struct CCase
    {
        DWORD m_dwDelta;
        std::vector<BYTE> m_abyBytes;
    };
    const CCase kaoCases[] = {
        {0, {}},
        {1, {0x81}},
        {127, {0xFF}},
        {128, {0x81, 0x80}},
        {0x3FFF, {0xFF, 0xFF}},
        {0x4000, {0x81, 0x80, 0x80}},
        {0x1FFFFF, {0xFF, 0xFF, 0xFF}},
        {0x200000, {0x81, 0x80, 0x80, 0x80}},
        {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const CCase& rkoCase : kaoCases)
    {
        SCOPED_TRACE(rkoCase.m_dwDelta);
        EXPECT_EQ(PropFormDeltaLength(rkoCase.m_dwDelta), int(rkoCase.m_abyBytes.size()));

        // Exactly the room the delta needs is enough.
        std::vector<BYTE> abyOut(rkoCase.m_abyBytes.size() + 1, 0x55);
        BYTE* pbyPos = abyOut.data();
        ASSERT_TRUE(PropFormEncodeDelta(pbyPos, abyOut.data() + rkoCase.m_abyBytes.size(), rkoCase.m_dwDelta));
        EXPECT_EQ(pbyPos - abyOut.data(), std::ptrdiff_t(rkoCase.m_abyBytes.size()));
        EXPECT_EQ(std::vector<BYTE>(abyOut.begin(), abyOut.end() - 1), rkoCase.m_abyBytes);
        EXPECT_EQ(abyOut.back(), 0x55);

        // Read back, followed by a type byte that the reader stops on.
        abyOut.back() = 0x09;
        const BYTE* pbyRead = abyOut.data();
        DWORD dwRead = 0xDEAD;
        ASSERT_TRUE(PropFormReadDelta(pbyRead, abyOut.data() + abyOut.size(), dwRead));
        EXPECT_EQ(dwRead, rkoCase.m_dwDelta);
        EXPECT_EQ(*pbyRead, 0x09);

        // One byte short of room: nothing is written.
        if (!rkoCase.m_abyBytes.empty())
        {
            std::vector<BYTE> abyShort(rkoCase.m_abyBytes.size(), 0x55);
            BYTE* pbyShort = abyShort.data();
            EXPECT_FALSE(PropFormEncodeDelta(pbyShort, abyShort.data() + abyShort.size() - 1, rkoCase.m_dwDelta));
            EXPECT_EQ(pbyShort, abyShort.data());
            EXPECT_EQ(abyShort, std::vector<BYTE>(abyShort.size(), 0x55));
        }
    }

    // Beyond four bytes: reported, nothing written.
    CReportCapture oCapture;
    BYTE abyOut[8] = {};
    BYTE* pbyPos = abyOut;
    EXPECT_EQ(PropFormDeltaLength(0x10000000), -1);
    EXPECT_FALSE(PropFormEncodeDelta(pbyPos, abyOut + sizeof(abyOut), 0x10000000));
    EXPECT_EQ(pbyPos, abyOut);
    EXPECT_TRUE(oCapture.Has("PropFormEncodeDelta - Tick out of range"));
}

} // namespace
