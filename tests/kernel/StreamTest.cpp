// StreamTest.cpp -- memory streams: seek rules, cut reads, growth of CMemOut.
#include "Wrap/Kernel/Stream/Stream.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <string>
#include <vector>

namespace {

const std::string kstrStreamFile = "Wrap/Kernel/Stream/Stream";

std::vector<BYTE> Counting(size_t nBytes)
{
    std::vector<BYTE> aby(nBytes);
    std::iota(aby.begin(), aby.end(), BYTE(0));
    return aby;
}

TEST(MemIn, SeekRulesFromEachOrigin)
{
    const std::vector<BYTE> abyData = Counting(10);
    struct SRow
    {
        long lOffset;
        int iOrigin;
        DWORD dwExpected;
    };
    // Every row starts at position 4 of 10 bytes.
    const SRow aoRows[] = {
        {-5, CStream::originBegin, 0},  {10, CStream::originBegin, 10},   {11, CStream::originBegin, 10},
        {3, CStream::originCurrent, 7}, {-10, CStream::originCurrent, 0}, {-2, CStream::originEnd, 8},
        {5, CStream::originEnd, 10},    {-0x7FFFFFFF, CStream::originEnd, 0},
    };
    CReportCapture oCapture;
    for (const SRow& rkoRow : aoRows) {
        CMemIn oIn(abyData.data(), DWORD(abyData.size()));
        oIn.Seek(4, CStream::originBegin);
        EXPECT_EQ(oIn.Seek(rkoRow.lOffset, rkoRow.iOrigin), rkoRow.dwExpected)
            << rkoRow.lOffset << " from " << rkoRow.iOrigin;
        EXPECT_EQ(oIn.GetPosition(), rkoRow.dwExpected);
        EXPECT_FALSE(oIn.IsError());
    }
    EXPECT_TRUE(oCapture.Empty());

    CMemIn oIn(abyData.data(), DWORD(abyData.size()));
    oIn.Seek(4, CStream::originBegin);
    EXPECT_EQ(oIn.Seek(1, 3), 4u);
    EXPECT_EQ(oIn.GetErrorCode(), CStream::errSeek);
    EXPECT_TRUE(oCapture.HasAssert("FALSE", kstrStreamFile));
}

TEST(MemIn, ReadsAreCutToTheDataLeft)
{
    const std::vector<BYTE> abyData = Counting(10);
    CMemIn oIn(abyData.data(), DWORD(abyData.size()));
    EXPECT_EQ(oIn.GetStatus(), CStream::statusOpenRead);
    oIn.Seek(7, CStream::originBegin);
    BYTE abyOut[12];
    std::memset(abyOut, 0xCC, sizeof abyOut);
    EXPECT_EQ(oIn.Read(abyOut, 10), 3u);
    EXPECT_EQ(oIn.GetLastCount(), 3u);
    EXPECT_EQ(std::memcmp(abyOut, "\x07\x08\x09\xCC", 4), 0) << "nothing written past the bytes read";
    EXPECT_TRUE(oIn.IsAtEnd());
    BYTE by = 0;
    EXPECT_EQ(oIn.ReadByte(by), 0u);
    EXPECT_EQ(oIn.GetLastCount(), 0u);
}

TEST(MemOut, GrowsByRequestPlusCapacityPlusReserve)
{
    const std::vector<BYTE> abyData = Counting(2001);
    CMemOut oOut;
    EXPECT_EQ(oOut.Write(abyData.data(), 2001), 2001u);
    EXPECT_EQ(oOut.GetCapacity(), 6001u);
    EXPECT_EQ(std::memcmp(oOut.GetData(), abyData.data(), 2001), 0);

    // Exact capacity fits without growth; the next byte grows by 1 + 2000 + 2000.
    CMemOut oBytes;
    for (int i = 0; i < 2000; ++i)
        oBytes.WriteByte(abyData[i]);
    EXPECT_EQ(oBytes.GetCapacity(), 2000u);
    oBytes.WriteByte(0xAB);
    EXPECT_EQ(oBytes.GetCapacity(), 4001u);
    EXPECT_EQ(std::memcmp(oBytes.GetData(), abyData.data(), 2000), 0) << "written bytes survive the growth";
    EXPECT_EQ(oBytes.GetData()[2000], 0xAB);

    // A fixed stream cuts the write to its room.
    CMemOut oFixed;
    oFixed.SetGrowable(false);
    EXPECT_FALSE(oFixed.WouldBlock(2000));
    EXPECT_TRUE(oFixed.WouldBlock(2001));
    EXPECT_EQ(oFixed.Write(abyData.data(), 2001), 2000u);
    EXPECT_EQ(oFixed.GetLastCount(), 2000u);
    EXPECT_EQ(oFixed.GetCapacity(), 2000u);
}

TEST(MemOut, SeekingRewritesAndGapsReadAsZero)
{
    CMemOut oOut;
    oOut.Write("ABCDEFGHIJ", 10);
    oOut.Seek(2, CStream::originBegin);
    oOut.Write("xyz", 3);
    EXPECT_EQ(oOut.GetSize(), 10u) << "rewriting inside keeps the size";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(oOut.GetData()), 10), "ABxyzFGHIJ");

    // A writing stream may be sought past its size and past its capacity.
    EXPECT_EQ(oOut.Seek(5, CStream::originEnd), 15u);
    oOut.WriteByte('!');
    EXPECT_EQ(std::memcmp(oOut.GetData() + 10, "\0\0\0\0\0!", 6), 0);
    oOut.Seek(5000, CStream::originBegin);
    oOut.WriteByte('#');
    EXPECT_EQ(oOut.GetSize(), 5001u);
    EXPECT_EQ(oOut.GetData()[4999], 0);
    EXPECT_EQ(oOut.GetData()[5000], '#');

    // The caller takes the buffer; the stream goes on from empty.
    const DWORD dwSize = oOut.GetSize();
    std::unique_ptr<BYTE[]> pbyTaken = oOut.DetachBuffer();
    EXPECT_EQ(pbyTaken[dwSize - 1], '#');
    EXPECT_EQ(oOut.GetSize(), 0u);
    EXPECT_EQ(oOut.Write("abc", 3), 3u);
    EXPECT_EQ(oOut.GetCapacity(), 2003u);
}

} // namespace
