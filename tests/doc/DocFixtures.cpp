// DocFixtures.cpp -- prompt, file access, folders, styles and MIDI files
// for the bank document's tests.
#include "DocFixtures.h"

#include "ChunkNav/ChunkNav.h"
#include "NlzdStyle/NstEditIfc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace DocFixtures {

// ---------------------------------------------------------------------------
// CScriptedPrompt
// ---------------------------------------------------------------------------

int CScriptedPrompt::Ask(const CQdQuestion& rkoQuestion)
{
    m_aoQuestions.push_back(rkoQuestion);
    if (m_aiAnswers.empty())
    {
        ADD_FAILURE() << "unexpected question: " << rkoQuestion.m_strCaption << " / " << rkoQuestion.m_strText;
        return QD_ANSWER_CANCEL;
    }
    const int iAnswer = m_aiAnswers.front();
    m_aiAnswers.pop_front();
    return iAnswer;
}

void CScriptedPrompt::Tell(const std::string& rkstrCaption, const std::string& rkstrText)
{
    m_aoTold.emplace_back(rkstrCaption, rkstrText);
}

bool CScriptedPrompt::ChooseOpenFile(const CQdFileRequest& rkoRequest, std::string& rstrPath)
{
    m_aoRequests.push_back(rkoRequest);
    if (m_astrOpenFiles.empty())
    {
        ADD_FAILURE() << "unexpected file choice: " << rkoRequest.m_strTitle;
        return false;
    }
    rstrPath = m_astrOpenFiles.front();
    m_astrOpenFiles.pop_front();
    return !rstrPath.empty();
}

bool CScriptedPrompt::ChooseOpenFiles(const CQdFileRequest& rkoRequest, std::vector<std::string>& rastrPaths)
{
    m_aoRequests.push_back(rkoRequest);
    if (m_aastrOpenFileSets.empty())
    {
        ADD_FAILURE() << "unexpected file choice: " << rkoRequest.m_strTitle;
        return false;
    }
    rastrPaths = m_aastrOpenFileSets.front();
    m_aastrOpenFileSets.pop_front();
    return !rastrPaths.empty();
}

bool CScriptedPrompt::ChooseSaveFile(const CQdFileRequest& rkoRequest, std::string& rstrPath)
{
    m_aoRequests.push_back(rkoRequest);
    if (m_astrSaveFiles.empty())
    {
        ADD_FAILURE() << "unexpected file choice: " << rkoRequest.m_strTitle;
        return false;
    }
    rstrPath = m_astrSaveFiles.front();
    m_astrSaveFiles.pop_front();
    return !rstrPath.empty();
}

std::vector<std::string> CScriptedPrompt::AskedTexts() const
{
    std::vector<std::string> astrTexts;
    for (const CQdQuestion& rkoQuestion : m_aoQuestions)
        astrTexts.push_back(rkoQuestion.m_strText);
    return astrTexts;
}

std::vector<std::string> CScriptedPrompt::ToldTexts() const
{
    std::vector<std::string> astrTexts;
    for (const auto& rkoTold : m_aoTold)
        astrTexts.push_back(rkoTold.second);
    return astrTexts;
}

bool CScriptedPrompt::ChooseChannelMap(const CQdChannelQuestion& rkoQuestion, CQdTrackMap& roMap)
{
    m_aoChannelQuestions.push_back(rkoQuestion);
    if (m_aoMaps.empty())
    {
        ADD_FAILURE() << "unexpected channel map choice: " << rkoQuestion.m_strPath;
        return false;
    }
    roMap = m_aoMaps.front();
    m_aoMaps.pop_front();
    return !roMap.IsEmpty();
}

void CScriptedPrompt::ShowImportReports(const std::vector<CQdImportReport>& rkaoReports)
{
    m_aaoReports.push_back(rkaoReports);
}

void CScriptedPrompt::ClearRecords()
{
    m_aoQuestions.clear();
    m_aoTold.clear();
    m_aoRequests.clear();
    m_aoChannelQuestions.clear();
    m_aaoReports.clear();
}

// ---------------------------------------------------------------------------
// CFailingFileIo
// ---------------------------------------------------------------------------

long CFailingFileIo::WritePart(int iFd, const BYTE* pbyData, std::size_t uLength)
{
    if (iFd != m_iFd)
    {
        // A new temporary file: its count starts again.
        m_iFd = iFd;
        m_lWritten = 0;
    }
    if (m_lFailAfter >= 0)
    {
        if (m_lWritten >= m_lFailAfter)
        {
            errno = ENOSPC;
            return -1;
        }
        uLength = std::min<std::size_t>(uLength, std::size_t(m_lFailAfter - m_lWritten));
    }
    const long lWritten = CQdFileIo::WritePart(iFd, pbyData, uLength);
    if (lWritten > 0)
        m_lWritten += lWritten;
    return lWritten;
}

// ---------------------------------------------------------------------------
// Files and folders
// ---------------------------------------------------------------------------

CTempDir::CTempDir()
{
    std::string strTemplate = (std::filesystem::temp_directory_path() / "qddoc-XXXXXX").string();
    if (::mkdtemp(strTemplate.data()) == nullptr)
        ADD_FAILURE() << "no temporary folder";
    m_strDir = strTemplate;
}

CTempDir::~CTempDir()
{
    std::error_code oError;
    std::filesystem::remove_all(m_strDir, oError);
}

std::vector<std::string> CTempDir::Files() const
{
    std::vector<std::string> astrNames;
    for (const auto& rkoEntry : std::filesystem::directory_iterator(m_strDir))
        astrNames.push_back(rkoEntry.path().filename().string());
    std::sort(astrNames.begin(), astrNames.end());
    return astrNames;
}

Bytes ReadFile(const std::string& rkstrPath)
{
    std::ifstream oFile(rkstrPath, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(oFile), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& rkstrPath, const Bytes& rkabyData)
{
    std::ofstream oFile(rkstrPath, std::ios::binary | std::ios::trunc);
    oFile.write(reinterpret_cast<const char*>(rkabyData.data()), std::streamsize(rkabyData.size()));
    if (!oFile)
        ADD_FAILURE() << "cannot write " << rkstrPath;
}

// ---------------------------------------------------------------------------
// Bank images
// ---------------------------------------------------------------------------

std::vector<CTopChunk> TopChunks(const Bytes& rkabyImage)
{
    Bytes abyCopy(rkabyImage);
    CChunkNav oNav(abyCopy.data(), DWORD(abyCopy.size()));
    std::vector<CTopChunk> aoChunks;
    while (oNav.m_ofnFind(CChunkId(), typeAny, typeAny, 0, 1))
    {
        const BYTE* pbyHeader = oNav.m_pbyfnHeader();
        aoChunks.push_back({oNav.m_dwfnOffset(), pbyHeader[0], pbyHeader[3], oNav.m_dwfnDataLength()});
    }
    return aoChunks;
}

Bytes DecompressedSlot(const Bytes& rkabyImage, DWORD dwOffset)
{
    Bytes abyBlock(rkabyImage);
    abyBlock.resize(rkabyImage.size() + 0x100000);
    CChunkNavComp oNav(abyBlock.data(), DWORD(abyBlock.size()));
    while (oNav.m_ofnFind(CChunkId(), typeAny, typeAny, 0, 1))
    {
        if (oNav.m_dwfnOffset() != dwOffset)
            continue;
        if (!oNav.m_bfnDecompress(true))
            return Bytes();
        return Bytes(oNav.m_pbyfnData(), oNav.m_pbyfnData() + oNav.m_dwfnDataLength());
    }
    return Bytes();
}

// ---------------------------------------------------------------------------
// Styles and MIDI files
// ---------------------------------------------------------------------------

StyleBuilder::CTestStyle SmallStyle(const std::string& rkstrName, BYTE bySignature)
{
    using StyleBuilder::Note;
    StyleBuilder::CTestStyle oStyle;
    oStyle.m_strName = rkstrName;
    StyleBuilder::AddFlatChordVar(oStyle, 0, 0, 1536, {{0, {Note(0, 36, 192), Note(768, 38, 192)}}});
    StyleBuilder::AddFlatChordVar(oStyle, 0, 1, 1536, {{2, {Note(0, 40, 192), Note(384, 43, 192)}}});
    // "Intro 1" in 3/4, two measures.
    StyleBuilder::AddFlatChordVar(oStyle, 4, 0, 2304, {{0, {Note(0, 36, 192)}}, {3, {Note(0, 60, 384)}}});
    oStyle.m_aoElements[0]->m_bySignature = bySignature;
    oStyle.m_aoElements[4]->m_bySignature = BYTE(3 << 3 | 2);
    return oStyle;
}

StyleBuilder::CTestStyle SingleCvStyle(const std::string& rkstrName)
{
    using StyleBuilder::Note;
    StyleBuilder::CTestStyle oStyle;
    oStyle.m_strName = rkstrName;
    StyleBuilder::AddFlatChordVar(oStyle, 0, 0, 1536, {{0, {Note(0, 36, 192)}}});
    return oStyle;
}

namespace {

void AppendVarLength(Bytes& roTo, DWORD dwValue)
{
    BYTE abyGroups[5];
    int iCount = 0;
    do
    {
        abyGroups[iCount++] = BYTE(dwValue & 0x7F);
        dwValue >>= 7;
    } while (dwValue != 0);
    while (iCount > 0)
    {
        --iCount;
        roTo.push_back(BYTE(abyGroups[iCount] | (iCount > 0 ? 0x80 : 0)));
    }
}

} // namespace

Bytes SmfNotes(BYTE byChannel, int iBeats, BYTE byKey, BYTE byProgram)
{
    Bytes abyTrack;
    if (byProgram < 128)
    {
        abyTrack.insert(abyTrack.end(), {0x00, BYTE(0xC0 | byChannel), byProgram});
    }
    for (int i = 0; i < iBeats; ++i)
    {
        AppendVarLength(abyTrack, i == 0 ? 0 : 192);
        abyTrack.insert(abyTrack.end(), {BYTE(0x90 | byChannel), byKey, 100});
        AppendVarLength(abyTrack, 192);
        abyTrack.insert(abyTrack.end(), {BYTE(0x80 | byChannel), byKey, 0});
    }
    abyTrack.insert(abyTrack.end(), {0x81, 0x40, 0xFF, 0x2F, 0x00});

    const BYTE abyHeaders[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0x80, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
    Bytes abyFile(sizeof abyHeaders + abyTrack.size());
    std::copy(std::begin(abyHeaders), std::end(abyHeaders), abyFile.begin());
    QdWriteBE32(&abyFile[18], DWORD(abyTrack.size()));
    std::copy(abyTrack.begin(), abyTrack.end(), abyFile.begin() + sizeof abyHeaders);
    return abyFile;
}

StyleBuilder::CTestBank ThreeStyleBank()
{
    StyleBuilder::CTestBank oBank;
    oBank.m_aoSlots = {StyleBuilder::StyleSlot(SmallStyle("Alpha")), StyleBuilder::EmptySlot(),
                       StyleBuilder::StyleSlot(SmallStyle("Beta"), 3, 2),
                       StyleBuilder::StyleSlot(SingleCvStyle("Gamma"), 2, 1)};
    oBank.m_astrNames = {"Alpha", "", "Beta", "Gamma"};
    oBank.m_aoMoreChunks = {StyleBuilder::BankChunk(3, true, Bytes{1, 2, 3, 4})};
    return oBank;
}

// ---------------------------------------------------------------------------
// CBankDocTest
// ---------------------------------------------------------------------------

std::string CBankDocTest::WriteBank(const StyleBuilder::CTestBank& rkoBank, const std::string& rkstrName)
{
    const std::string strPath = m_oDir.Path(rkstrName);
    WriteFile(strPath, StyleBuilder::BuildBankImage(rkoBank));
    return strPath;
}

std::string CBankDocTest::OpenBank(const StyleBuilder::CTestBank& rkoBank, const std::string& rkstrName)
{
    const std::string strPath = WriteBank(rkoBank, rkstrName);
    EXPECT_TRUE(m_oDoc.OpenBankFile(strPath)) << "bank " << rkstrName << " does not open";
    return strPath;
}

Bytes CBankDocTest::Block() const
{
    const BYTE* pbyBlock = m_oDoc.GetBankBlock();
    return pbyBlock ? Bytes(pbyBlock, pbyBlock + m_oDoc.GetUsedSize()) : Bytes();
}

std::string CBankDocTest::WriteSmf(const std::string& rkstrName, const Bytes& rkabyFile)
{
    const std::string strPath = m_oDir.Path(rkstrName);
    WriteFile(strPath, rkabyFile);
    return strPath;
}

int CBankDocTest::CvState(BYTE bySe, BYTE byCv)
{
    CNstEditIfc* poEdit = m_oDoc.GetEditIfc();
    return poEdit ? poEdit->GetChordVarState(bySe, byCv) : -1;
}

} // namespace DocFixtures
