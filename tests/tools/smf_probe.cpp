// smf_probe.cpp -- drives the Standard MIDI File coders for the cross-check
// with an independent parser (tests/python/test_smf_mido.py).
//
//   smf_probe write DIR   writes a set of files NAME.mid, each with
//                         NAME.expected: the events the file must hold as
//                         any parser sees them (the file's own messages,
//                         absolute ticks), one line each
//   smf_probe read FILE   decodes FILE with CMidiIn and prints every event
//                         handed out, one line each, ticks at 384 per
//                         quarter note; exit code 0 when the decoder reached
//                         the end of track, 1 when it stopped early, 2 when
//                         the header was refused
//
// Lines have the form of SmfEventText.h. Reports go to stderr.
#include "MidiInOut/MidiInOut.h"
#include "SmfEventText.h"
#include "TestEventLists.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;
typedef std::vector<std::string> Lines;

std::string Hex(const Bytes& kaby)
{
    return SmfHex(kaby.data(), int(kaby.size()));
}

std::string Line(TTICK tTick, const char* pszFormat, int iA, int iB = 0, int iC = 0)
{
    char szText[96];
    std::snprintf(szText, sizeof szText, pszFormat, iA, iB, iC);
    return std::to_string(tTick) + " " + szText;
}

// One file to write: its groups in tick order and the lines it must hold.
struct SScenario
{
    std::string strName;
    bool bRunningStatus = true;
    bool bNoteOffAsNoteOn = true;
    std::vector<std::pair<TTICK, CTestEventList>> aGroups;
    Lines aExpected;

    CTestEventList& Group(TTICK tTick)
    {
        aGroups.emplace_back(tTick, CTestEventList());
        return aGroups.back().second;
    }
};

// SScenario for the fixed file: a bit of every kind of event, notes whose
// note-offs interleave with later groups, multi-byte deltas.
void FillEverything(SScenario& roScenario)
{
    const bool bOn = roScenario.bNoteOffAsNoteOn;
    Lines& raLines = roScenario.aExpected;
    auto Off = [&](TTICK tTick, int iChannel, int iKey, int iVelOff) {
        raLines.push_back(bOn ? Line(tTick, "note_on %d %02X 00", iChannel, iKey)
                              : Line(tTick, "note_off %d %02X %02X", iChannel, iKey, iVelOff));
    };
    const Bytes abyName = {'P', 'r', 'o', 'b', 'e'};
    const Bytes abyGsReset = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    Bytes abyLongText;
    for (int i = 0; i < 150; ++i)
        abyLongText.push_back(BYTE('A' + i % 26));

    roScenario.Group(0)
        .Meta(0x03, abyName)
        .Meta(0x51, {0x07, 0xA1, 0x20})
        .Meta(0x58, {0x04, 0x02, 0x18, 0x08})
        .Meta(0x7E, {0x08, 0x01, 0x02, 0x03, 0x04});
    raLines.push_back("0 meta 03 " + Hex(abyName));
    raLines.push_back("0 meta 51 07A120");
    raLines.push_back("0 meta 58 04021808");
    raLines.push_back("0 meta 7F 42600801020304"); // the marker travels as 42 60 + its data

    roScenario.Group(0)
        .Chn(EVSC_PRG_CHANGE, 9, 0x05)
        .Chn(EVSC_CTRL_CHANGE, 9, 0x07, 0x64)
        .Chn(EVSC_CTRL_CHANGE, 9, 0x0A, 0x40);
    raLines.push_back("0 program_change 9 05");
    raLines.push_back("0 control_change 9 07 64");
    raLines.push_back("0 control_change 9 0A 40");

    roScenario.Group(0).SysEx(abyGsReset);
    raLines.push_back("0 sysex " + Hex(abyGsReset));

    roScenario.Group(0).Note(9, 0x24, 0x64, 48, 0x20).Note(9, 0x2A, 0x50, 24, 0x21);
    raLines.push_back("0 note_on 9 24 64");
    raLines.push_back("0 note_on 9 2A 50");
    Off(24, 9, 0x2A, 0x21);
    Off(48, 9, 0x24, 0x20);

    roScenario.Group(96)
        .Note(0, 0x3C, 0x64, 96, 0x40)
        .Chn(EVSC_PITCH_B_CHANGE, 0, 0x00, 0x40)
        .Chn(EVSC_KEY_PRESSURE, 0, 0x3C, 0x20)
        .Chn(EVSC_CHN_PRESSURE, 0, 0x30);
    raLines.push_back("96 note_on 0 3C 64");
    raLines.push_back("96 pitchwheel 0 00 40");
    raLines.push_back("96 polytouch 0 3C 20");
    raLines.push_back("96 aftertouch 0 30");
    roScenario.Group(96).Meta(0x7F, {0x43, 0x10, 0x00});
    raLines.push_back("96 meta 7F 431000");

    roScenario.Group(192).Note(0, 0x3C, 0x64, 96, 0x41).Chn(EVSC_MODE_MSG, 0, 0x79, 0x00);
    Off(192, 0, 0x3C, 0x40); // the first note ends before the second begins
    raLines.push_back("192 note_on 0 3C 64");
    raLines.push_back("192 control_change 0 79 00");
    Off(288, 0, 0x3C, 0x41);

    roScenario.Group(300)
        .Chn(EVSC_CTRL_CHANGE, 15, 0x40, 0x7F)
        .Note(15, 0x30, 0x40, 0, 0x10)
        .Chn(EVSC_PITCH_B_CHANGE, 15, 0x7F, 0x7F);
    raLines.push_back("300 control_change 15 40 7F");
    raLines.push_back("300 note_on 15 30 40");
    Off(300, 15, 0x30, 0x10); // a note without duration ends at once
    raLines.push_back("300 pitchwheel 15 7F 7F");

    roScenario.Group(20000).Chn(EVSC_CTRL_CHANGE, 15, 0x40, 0x00).Chn(EVSC_PITCH_B_CHANGE, 15, 0x00, 0x00);
    raLines.push_back("20000 control_change 15 40 00");
    raLines.push_back("20000 pitchwheel 15 00 00");
    roScenario.Group(20000).Meta(0x01, abyLongText).EndOfTrack();
    raLines.push_back("20000 meta 01 " + Hex(abyLongText));
    raLines.push_back("20000 meta 2F -");
}

// Seeded groups of channel messages, meta and sysex events at rising ticks.
void FillRandom(SScenario& roScenario, DWORD dwSeed)
{
    std::mt19937 oRandom(dwSeed);
    auto Rand = [&](DWORD dwLimit) { return int(oRandom() % dwLimit); };
    // Meta types that parsers keep as plain data: the text events and the
    // sequencer-specific event. (mido 1.2.10 loses the delta of a meta type
    // it has no name for, so unassigned types are left out.)
    const BYTE abyMetaTypes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x7F};
    static const char* const s_apszChn[] = {"note_on %d %02X 00", "note_on %d %02X %02X",  "polytouch %d %02X %02X",
                                            "control_change %d %02X %02X", "program_change %d %02X",
                                            "aftertouch %d %02X",          "pitchwheel %d %02X %02X",
                                            "",                            "control_change %d %02X %02X"};
    TTICK tTick = 0;
    for (int iGroup = 0; iGroup < 200; ++iGroup)
    {
        const int iSize = Rand(3) == 0 ? 0 : Rand(4);
        tTick += iSize == 0 ? 0 : DWORD(Rand(iSize == 1 ? 0x80 : iSize == 2 ? 0x4000 : 0x40000));
        CTestEventList& roList = roScenario.Group(tTick);
        const int iCount = 1 + Rand(4);
        switch (Rand(4))
        {
        case 0:
        case 1:
            for (int i = 0; i < iCount; ++i)
            {
                const BYTE byChannel = BYTE(Rand(16));
                BYTE byCode = BYTE(Rand(8));
                if (byCode == EVSC_NOTE)
                    byCode = EVSC_MODE_MSG;
                BYTE byData1 = BYTE(Rand(128));
                const BYTE byData2 = BYTE(byCode == EVSC_NOTEON ? 1 + Rand(127) : Rand(128));
                if (byCode == EVSC_CTRL_CHANGE)
                    byData1 = BYTE(Rand(120));
                if (byCode == EVSC_MODE_MSG)
                    byData1 = BYTE(120 + Rand(8));
                roList.Chn(byCode, byChannel, byData1, byData2);
                roScenario.aExpected.push_back(Line(tTick, s_apszChn[byCode], byChannel, byData1, byData2));
            }
            break;
        case 2:
            for (int i = 0; i < iCount; ++i)
            {
                const BYTE byType = abyMetaTypes[Rand(sizeof abyMetaTypes)];
                Bytes aby(size_t(Rand(Rand(8) == 0 ? 300 : 8)));
                for (BYTE& rby : aby)
                    rby = BYTE(Rand(256));
                roList.Meta(byType, aby);
                char szType[8];
                std::snprintf(szType, sizeof szType, "%02X", byType);
                roScenario.aExpected.push_back(std::to_string(tTick) + " meta " + szType + " " + Hex(aby));
            }
            break;
        default:
            for (int i = 0; i < iCount; ++i)
            {
                Bytes aby(size_t(2 + Rand(Rand(8) == 0 ? 400 : 10)));
                for (BYTE& rby : aby)
                    rby = BYTE(Rand(128));
                aby.front() = 0xF0;
                aby.back() = 0xF7;
                roList.SysEx(aby);
                roScenario.aExpected.push_back(std::to_string(tTick) + " sysex " + Hex(aby));
            }
            break;
        }
    }
    roScenario.Group(tTick).EndOfTrack();
    roScenario.aExpected.push_back(std::to_string(tTick) + " meta 2F -");
}

bool WriteScenario(SScenario& roScenario, const std::string& strDir)
{
    CMidiOut oOut;
    oOut.SetRunningStatus(roScenario.bRunningStatus);
    oOut.SetNoteOffAsNoteOn(roScenario.bNoteOffAsNoteOn);
    for (auto& roGroup : roScenario.aGroups)
        if (!oOut.EncodeEventsAt(roGroup.first, roGroup.second.Get()))
        {
            std::cerr << roScenario.strName << ": encoding failed at tick " << roGroup.first << "\n";
            oOut.Close();
            return false;
        }
    roScenario.aGroups.clear();
    if (!oOut.Close())
        return false;
    DWORD dwSize = 0;
    const std::unique_ptr<BYTE[]> pbyFile = oOut.TakeOutput(dwSize);

    std::ofstream oMid(strDir + "/" + roScenario.strName + ".mid", std::ios::binary);
    oMid.write(reinterpret_cast<const char*>(pbyFile.get()), std::streamsize(dwSize));
    std::ofstream oExpected(strDir + "/" + roScenario.strName + ".expected");
    for (const std::string& rkoLine : roScenario.aExpected)
        oExpected << rkoLine << "\n";
    return oMid.good() && oExpected.good();
}

int Write(const std::string& strDir)
{
    // One scenario at a time: the events of all of them would not fit in
    // the events pool at once.
    for (int iScenario = 0; iScenario < 5; ++iScenario)
    {
        SScenario oScenario;
        switch (iScenario)
        {
        case 0:
            oScenario.strName = "everything";
            FillEverything(oScenario);
            break;
        case 1:
            oScenario.strName = "everything_plain";
            oScenario.bRunningStatus = false;
            oScenario.bNoteOffAsNoteOn = false;
            FillEverything(oScenario);
            break;
        case 2:
            oScenario.strName = "random";
            FillRandom(oScenario, 20260707);
            break;
        case 3:
            oScenario.strName = "random_plain";
            oScenario.bRunningStatus = false;
            FillRandom(oScenario, 4242);
            break;
        default:
            oScenario.strName = "empty";
            oScenario.Group(0).EndOfTrack();
            oScenario.aExpected.push_back("0 meta 2F -");
            break;
        }
        if (!WriteScenario(oScenario, strDir))
        {
            std::cerr << "cannot write " << oScenario.strName << " into " << strDir << "\n";
            return 1;
        }
    }
    return 0;
}

int Read(const std::string& strFile)
{
    std::ifstream oFile(strFile, std::ios::binary);
    const Bytes aby((std::istreambuf_iterator<char>(oFile)), std::istreambuf_iterator<char>());
    if (!oFile.eof() && !oFile.good())
    {
        std::cerr << "cannot read " << strFile << "\n";
        return 3;
    }
    CMidiIn oIn(aby.data(), DWORD(aby.size()));
    if (!oIn.Open())
        return 2;
    const CSmfDecodeResult oResult = SmfDrainDecoder(*oIn.GetDecoder());
    for (const std::string& rkoLine : oResult.m_aLines)
        std::cout << rkoLine << "\n";
    return oResult.m_bEnded ? 0 : 1;
}

} // namespace

int main(int iArgs, char** ppszArgs)
{
    const std::string strMode = iArgs == 3 ? ppszArgs[1] : "";
    if (strMode == "write")
        return Write(ppszArgs[2]);
    if (strMode == "read")
        return Read(ppszArgs[2]);
    std::cerr << "usage: smf_probe write DIR | smf_probe read FILE\n";
    return 64;
}
