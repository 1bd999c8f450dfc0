// MidiInOutTest.cpp -- MIDI files as memory blocks: the header check of
// CMidiIn, the block CMidiOut hands over, and damaged files that must
// neither crash nor read outside the block. (Seeded round trips through both
// run in the mido cross-check, tests/python/test_smf_mido.py.)
#include "MidiInOut/MidiInOut.h"
#include "ReportCapture.h"
#include "SmfEventText.h"
#include "TestEventLists.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;
typedef std::vector<std::string> Lines;

const std::string kstrMidiFile = "MidiInOut/MidiInOut";
const Bytes kabyEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

struct SFileShape
{
    WORD wFormat = 0;
    WORD wTracks = 1;
    WORD wDivision = 384;
    DWORD dwHeaderLength = 6;
    // Track length as declared; the real one when not set.
    bool bDeclare = false;
    DWORD dwDeclaredLength = 0;
};

Bytes SmfFile(const Bytes& kabyTrack, const SFileShape& rkoShape = SFileShape())
{
    Bytes aby = {'M', 'T', 'h', 'd', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    QdWriteBE32(&aby[4], rkoShape.dwHeaderLength);
    QdWriteBE16(&aby[8], rkoShape.wFormat);
    QdWriteBE16(&aby[10], rkoShape.wTracks);
    QdWriteBE16(&aby[12], rkoShape.wDivision);
    if (rkoShape.dwHeaderLength > 6)
        aby.resize(8 + rkoShape.dwHeaderLength, 0xEE);
    const Bytes abyTrackHeader = {'M', 'T', 'r', 'k', 0, 0, 0, 0};
    aby.insert(aby.end(), abyTrackHeader.begin(), abyTrackHeader.end());
    QdWriteBE32(&aby[aby.size() - 4], rkoShape.bDeclare ? rkoShape.dwDeclaredLength : DWORD(kabyTrack.size()));
    aby.insert(aby.end(), kabyTrack.begin(), kabyTrack.end());
    return aby;
}

// Reads a whole file as the import does; empty lines and not ended when the
// header is refused. The bytes are copied into a block of exactly their
// size, so that a read past the end is caught by the address sanitizer.
struct SReadResult
{
    bool bOpened = false;
    CSmfDecodeResult oDecoded;
};

std::unique_ptr<BYTE[]> ExactBlock(const Bytes& kaby)
{
    std::unique_ptr<BYTE[]> pbyBlock(new BYTE[kaby.size()]);
    if (!kaby.empty())
        std::memcpy(pbyBlock.get(), kaby.data(), kaby.size());
    return pbyBlock;
}

SReadResult ReadFile(const Bytes& kaby, int iMaxGroups = 1000000)
{
    const std::unique_ptr<BYTE[]> pbyBlock = ExactBlock(kaby);
    SReadResult oResult;
    CMidiIn oIn(pbyBlock.get(), DWORD(kaby.size()));
    oResult.bOpened = oIn.Open();
    if (oResult.bOpened && oIn.GetDecoder())
        oResult.oDecoded = SmfDrainDecoder(*oIn.GetDecoder(), iMaxGroups);
    return oResult;
}

TEST(MidiIn, RefusedHeaders)
{
    const Bytes abyTrack = {0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00};
    Bytes abyReversedId = SmfFile(abyTrack);
    std::memcpy(abyReversedId.data(), "dhTM", 4);
    Bytes abyTrackId = SmfFile(abyTrack);
    std::memcpy(&abyTrackId[14], "krTM", 4);
    SFileShape oFormat2;
    oFormat2.wFormat = 2;
    SFileShape oFormat1NoTracks;
    oFormat1NoTracks.wFormat = 1;
    oFormat1NoTracks.wTracks = 0;
    SFileShape oFormat1ShortHeader;
    oFormat1ShortHeader.wFormat = 1;
    oFormat1ShortHeader.dwHeaderLength = 5;
    SFileShape oFormat1;
    oFormat1.wFormat = 1;
    Bytes abyFormat1TrackId = SmfFile(abyTrack, oFormat1);
    std::memcpy(&abyFormat1TrackId[14], "krTM", 4);
    SFileShape oTwoTracks;
    oTwoTracks.wTracks = 2;
    SFileShape oNoTracks;
    oNoTracks.wTracks = 0;
    const Bytes abyGood = SmfFile({});

    struct SRow
    {
        const char* pszName;
        Bytes aby;
    };
    std::vector<SRow> aoRows = {
        {"dhTM", abyReversedId},
        {"krTM", abyTrackId},
        {"format 2", SmfFile(abyTrack, oFormat2)},
        {"format 1 without tracks", SmfFile(abyTrack, oFormat1NoTracks)},
        {"format 1, header of 5 bytes", SmfFile(abyTrack, oFormat1ShortHeader)},
        {"format 1 without a track chunk", abyFormat1TrackId},
        {"two tracks", SmfFile(abyTrack, oTwoTracks)},
        {"no track", SmfFile(abyTrack, oNoTracks)},
        {"empty", {}},
        {"header only", Bytes(abyGood.begin(), abyGood.begin() + 14)},
        {"21 bytes", Bytes(abyGood.begin(), abyGood.begin() + 21)},
    };
    // Header lengths that put the track header beyond the block, some of
    // them wrapping 8 + h around 2^32.
    for (DWORD dwHeaderLength : {7u, 100u, 0x7FFFFFFFu, 0xFFFFFFF0u, 0xFFFFFFF7u, 0xFFFFFFF8u, 0xFFFFFFFFu})
    {
        Bytes aby = SmfFile(abyTrack);
        QdWriteBE32(&aby[4], dwHeaderLength);
        aoRows.push_back({"header length", aby});
    }

    CReportCapture oCapture;
    for (const SRow& rkoRow : aoRows)
    {
        const std::unique_ptr<BYTE[]> pbyBlock = ExactBlock(rkoRow.aby);
        CMidiIn oIn(pbyBlock.get(), DWORD(rkoRow.aby.size()));
        EXPECT_FALSE(oIn.Open()) << rkoRow.pszName;
        EXPECT_EQ(oIn.GetDecoder(), nullptr) << rkoRow.pszName;
    }
    EXPECT_TRUE(oCapture.Empty());

    // The file that all of these were made from is accepted, once.
    const Bytes abyFile = SmfFile(abyTrack);
    CMidiIn oIn(abyFile.data(), DWORD(abyFile.size()));
    EXPECT_TRUE(oIn.Open());
    CDecSMF0* poDecoder = oIn.GetDecoder();
    ASSERT_NE(poDecoder, nullptr);
    EXPECT_FALSE(oIn.Open());
    EXPECT_TRUE(oCapture.HasAssert("!m_poDecoder", kstrMidiFile));
    EXPECT_EQ(oIn.GetDecoder(), poDecoder);
}

TEST(MidiIn, HeaderLengthAndDivisionAreHonoured)
{
    // A header chunk of 8 bytes: the track chunk is at offset 16.
    SFileShape oLongHeader;
    oLongHeader.dwHeaderLength = 8;
    const Bytes abyLong = SmfFile({0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00}, oLongHeader);
    ASSERT_EQ(Bytes(abyLong.begin() + 16, abyLong.begin() + 20), Bytes({'M', 'T', 'r', 'k'}));
    SReadResult oResult = ReadFile(abyLong);
    EXPECT_TRUE(oResult.bOpened);
    EXPECT_EQ(oResult.oDecoded.m_aLines, Lines({"0 note_on 0 3C 64", "0 meta 2F -"}));

    // Ticks of the file's division become 384 per quarter note, the
    // remainder carried from delta to delta.
    const Bytes abyFiveSteps = {0x01, 0x90, 0x3C, 0x64, 0x01, 0x3C, 0x00, 0x01, 0x3D, 0x64,
                                0x01, 0x3D, 0x00, 0x01, 0xFF, 0x2F, 0x00};
    struct SRow
    {
        WORD wDivision;
        Lines aExpected;
    };
    const SRow aoRows[] = {
        {96, {"4 note_on 0 3C 64", "8 note_off 0 3C 40", "12 note_on 0 3D 64", "16 note_off 0 3D 40", "20 meta 2F -"}},
        {480, {"0 note_on 0 3C 64", "1 note_off 0 3C 40", "2 note_on 0 3D 64", "3 note_off 0 3D 40", "4 meta 2F -"}},
        {384, {"1 note_on 0 3C 64", "2 note_off 0 3C 40", "3 note_on 0 3D 64", "4 note_off 0 3D 40", "5 meta 2F -"}},
    };
    CReportCapture oCapture;
    for (const SRow& rkoRow : aoRows)
    {
        SFileShape oShape;
        oShape.wDivision = rkoRow.wDivision;
        oResult = ReadFile(SmfFile(abyFiveSteps, oShape));
        EXPECT_TRUE(oResult.bOpened);
        EXPECT_EQ(oResult.oDecoded.m_aLines, rkoRow.aExpected) << rkoRow.wDivision;
        EXPECT_TRUE(oResult.oDecoded.m_bEnded);
    }
    EXPECT_TRUE(oCapture.Empty());
}

TEST(MidiIn, TheTrackStaysInsideTheBlock)
{
    const Bytes abyTrack = {0x00, 0x90, 0x3C, 0x64, 0x10, 0xFF, 0x2F, 0x00};
    CReportCapture oCapture;

    // A track that declares 2 GB is read from the bytes that are there.
    SFileShape oHuge;
    oHuge.bDeclare = true;
    oHuge.dwDeclaredLength = 0x80000000;
    SReadResult oResult = ReadFile(SmfFile(abyTrack, oHuge));
    EXPECT_TRUE(oResult.bOpened);
    EXPECT_TRUE(oResult.oDecoded.m_bEnded);
    EXPECT_EQ(oResult.oDecoded.m_aLines, Lines({"0 note_on 0 3C 64", "16 meta 2F -"}));

    // ... and when it also ends early, with a meta event that claims 256 MB,
    // decoding stops with the report and nothing is allocated for it.
    oHuge.dwDeclaredLength = 0xFFFFFFFF;
    oResult = ReadFile(SmfFile({0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x7F, 0x41}, oHuge));
    EXPECT_TRUE(oResult.bOpened);
    EXPECT_FALSE(oResult.oDecoded.m_bEnded);
    EXPECT_EQ(oCapture.Texts(), Lines({"\nCDecSMF0::OnExtract() - Unexpected end of file reached",
                                       "CDecStream::ExtractEvent(...) - Extraction failed"}));

    // A declared length shorter than the track ends the track there.
    oCapture.Clear();
    SFileShape oShort;
    oShort.bDeclare = true;
    oShort.dwDeclaredLength = 4;
    oResult = ReadFile(SmfFile(abyTrack, oShort));
    EXPECT_TRUE(oResult.bOpened);
    EXPECT_FALSE(oResult.oDecoded.m_bEnded);
    EXPECT_TRUE(oCapture.Has("\nCDecSMF0::OnExtract() - Unexpected end of file reached"));
}

TEST(MidiOut, TheCallerTakesTheBlockAfterClose)
{
    CReportCapture oCapture;
    std::unique_ptr<BYTE[]> pbyFile;
    DWORD dwSize = 0;
    {
        CMidiOut oOut;
        EXPECT_TRUE(oOut.IsOpen());
        EXPECT_EQ(oOut.GetOutputSize(), 22u);
        EXPECT_TRUE(oOut.EncodeEventsAt(0, CTestEventList().Note(9, 0x24, 0x7F, 48).Get()));
        EXPECT_TRUE(oOut.EncodeEventsAt(96, CTestEventList().EndOfTrack().Get()));

        // Still open: the block stays with the encoder.
        EXPECT_EQ(oOut.TakeOutput(dwSize), nullptr);
        EXPECT_EQ(dwSize, 0u);
        EXPECT_TRUE(oCapture.HasAssert("!IsOpen()", kstrMidiFile));

        EXPECT_TRUE(oOut.Close());
        EXPECT_EQ(oOut.GetOutputSize(), 33u);
        pbyFile = oOut.TakeOutput(dwSize);
        EXPECT_EQ(dwSize, 33u);
        EXPECT_EQ(oOut.GetOutputSize(), 0u);
        DWORD dwSecond = 99;
        EXPECT_EQ(oOut.TakeOutput(dwSecond), nullptr);
        EXPECT_EQ(dwSecond, 0u);
    }
    // The block outlives the writer and reads back as written.
    ASSERT_TRUE(pbyFile);
    EXPECT_EQ(QdReadBE32(pbyFile.get() + 18), 11u);
    CMidiIn oIn(pbyFile.get(), dwSize);
    ASSERT_TRUE(oIn.Open());
    EXPECT_EQ(SmfDrainDecoder(*oIn.GetDecoder()).m_aLines,
              Lines({"0 note_on 9 24 7F", "48 note_off 9 24 40", "96 meta 2F -"}));
}

// A well-formed file with a bit of everything, the seed of the mutations.
Bytes SampleFile()
{
    const Bytes abyTrack = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xC9, 0x05, 0x00, 0x99, 0x24, 0x64,
                            0x00, 0x2A, 0x50, 0x60, 0x24, 0x00, 0x00, 0xB0, 0x07, 0x64, 0x00, 0xF0, 0x03, 0x43,
                            0x10, 0xF7, 0x10, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x7F, 0x05, 0x42, 0x60, 0x08, 0x01, 0x02,
                            0x81, 0x00, 0xE0, 0x00, 0x40, 0x00, 0xFF, 0x03, 0x05, 'H',  'e',  'l',  'l',  'o',
                            0x00, 0xF7, 0x02, 0x01, 0xF7, 0x83, 0x00, 0xFF, 0x2F, 0x00};
    return SmfFile(abyTrack);
}

TEST(MidiInOut, DamagedFilesNeitherCrashNorRunAway)
{
    const DWORD dwSeed = 5150;
    std::mt19937 oRandom(dwSeed);
    const Bytes abySample = SampleFile();
    {
        CReportCapture oCapture;
        const SReadResult oSample = ReadFile(abySample);
        ASSERT_TRUE(oSample.bOpened && oSample.oDecoded.m_bEnded);
        EXPECT_TRUE(oCapture.Empty());
    }

    // Bytes that matter to the decoder, so that mutations hit its branches.
    const BYTE abyInteresting[] = {0x00, 0x7F, 0x80, 0x81, 0x90, 0xB0, 0xC0, 0xF0,
                                   0xF7, 0xFF, 0x7E, 0x2F, 0x42, 0x60, 0x08, 0x02};
    int iOpened = 0;
    int iEnded = 0;
    CReportCapture oCapture;
    for (int iCase = 0; iCase < 4000; ++iCase)
    {
        SCOPED_TRACE("seed " + std::to_string(dwSeed) + " case " + std::to_string(iCase));
        Bytes aby;
        if (iCase % 4 == 0)
        {
            // A valid header over random track bytes with a random declared length.
            aby.resize(oRandom() % 200);
            for (BYTE& rby : aby)
                rby = oRandom() % 3 ? BYTE(oRandom()) : abyInteresting[oRandom() % sizeof abyInteresting];
            SFileShape oShape;
            oShape.bDeclare = true;
            oShape.dwDeclaredLength = oRandom() % 2 ? DWORD(aby.size()) : DWORD(oRandom());
            oShape.wDivision = WORD(oRandom());
            aby = SmfFile(aby, oShape);
        }
        else
        {
            // The sample with a few bytes changed, inserted, removed, or cut off.
            aby = abySample;
            const int iEdits = 1 + int(oRandom() % 4);
            for (int i = 0; i < iEdits && !aby.empty(); ++i)
            {
                // Mostly inside the track, now and then in the header.
                const size_t nPos = oRandom() % 8 ? 22 + oRandom() % (aby.size() > 22 ? aby.size() - 22 : 1)
                                                  : oRandom() % aby.size();
                const BYTE by = oRandom() % 2 ? BYTE(oRandom()) : abyInteresting[oRandom() % sizeof abyInteresting];
                switch (oRandom() % 4)
                {
                case 0:
                    if (nPos < aby.size())
                        aby[nPos] = by;
                    break;
                case 1:
                    aby.insert(aby.begin() + std::min(nPos, aby.size()), by);
                    break;
                case 2:
                    if (nPos < aby.size())
                        aby.erase(aby.begin() + nPos);
                    break;
                default:
                    aby.resize(std::min(nPos, aby.size()));
                    break;
                }
            }
        }

        // Every group takes at least one byte of the track: more groups than
        // bytes mean the decoder is running away.
        const int iMaxGroups = int(aby.size()) + 3;
        const SReadResult oResult = ReadFile(aby, iMaxGroups);
        if (oResult.bOpened)
        {
            ++iOpened;
            ASSERT_LT(int(oResult.oDecoded.m_aDeltas.size()), iMaxGroups + 1);
            const TDELTA sdwLast = oResult.oDecoded.m_aDeltas.back();
            ASSERT_TRUE(sdwLast == NO_DELTA || !oResult.oDecoded.m_bEnded);
            iEnded += oResult.oDecoded.m_bEnded;
        }
        oCapture.Clear();
    }
    // The mutations must reach the decoder, and not only end in errors.
    EXPECT_GT(iOpened, 2000);
    EXPECT_GT(iEnded, 500);
}

} // namespace
