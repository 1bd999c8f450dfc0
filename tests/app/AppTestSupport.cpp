// AppTestSupport.cpp -- helpers of the window tests.
#include "AppTestSupport.h"

#include "DemoSmf.h"
#include "QdChannelMapDlg.h"
#include "QdImages.h"
#include "QdReportDlg.h"
#include "Splashscreen.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QtTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <cstdlib>

namespace AppTest {

namespace {

std::vector<CRegisteredTest>& Registry()
{
    static std::vector<CRegisteredTest> s_aoTests;
    return s_aoTests;
}

QString Q(const std::string& rkstr) { return QString::fromStdString(rkstr); }

int Depth(const QTreeWidgetItem* pkItem)
{
    int iDepth = 0;
    for (const QTreeWidgetItem* p = pkItem->parent(); p; p = p->parent())
        ++iDepth;
    return iDepth;
}

QImage IconImage(const QIcon& rkoIcon)
{
    return rkoIcon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

// ImageIndex -- which picture of the list the icon shows, compared pixel by
// pixel at 16 x 16 (every call of the list paints a new icon).
int ImageIndex(const QIcon& rkoIcon, QIcon (*pfnImage)(int))
{
    if (rkoIcon.isNull())
        return -1;
    const QImage oImage = IconImage(rkoIcon);
    for (int i = 0; i < 10; ++i)
    {
        const QIcon oCandidate = pfnImage(i);
        if (!oCandidate.isNull() && IconImage(oCandidate) == oImage)
            return i;
    }
    return -1;
}

// Big-endian reads that stay inside the data.
unsigned ReadBE(const QByteArray& rkabyData, int iPos, int iBytes)
{
    unsigned uValue = 0;
    for (int i = 0; i < iBytes; ++i)
        uValue = (uValue << 8) | BYTE(rkabyData.at(iPos + i));
    return uValue;
}

bool ReadVarLen(const QByteArray& rkabyData, int& riPos, int iEnd, unsigned& ruValue)
{
    ruValue = 0;
    for (int i = 0; i < 4 && riPos < iEnd; ++i)
    {
        const BYTE by = BYTE(rkabyData.at(riPos++));
        ruValue = (ruValue << 7) | (by & 0x7F);
        if (!(by & 0x80))
            return true;
    }
    return false;
}

// ReadTrack -- the events of one track chunk's data; false when they do not parse.
bool ReadTrack(const QByteArray& rkabyData, int iPos, int iEnd, CSmfSummary& roSummary)
{
    BYTE byStatus = 0;
    while (iPos < iEnd)
    {
        unsigned uDelta = 0;
        if (!ReadVarLen(rkabyData, iPos, iEnd, uDelta) || iPos >= iEnd)
            return false;
        BYTE by = BYTE(rkabyData.at(iPos));
        if (by == 0xFF || by == 0xF0 || by == 0xF7)
        {
            ++iPos;
            BYTE byType = 0;
            if (by == 0xFF)
            {
                if (iPos >= iEnd)
                    return false;
                byType = BYTE(rkabyData.at(iPos++));
            }
            unsigned uLength = 0;
            if (!ReadVarLen(rkabyData, iPos, iEnd, uLength) || iPos + int(uLength) > iEnd)
                return false;
            if (by == 0xFF && byType == 0x51 && uLength == 3 && roSummary.m_iTempo < 0)
                roSummary.m_iTempo = int(ReadBE(rkabyData, iPos, 3));
            iPos += int(uLength);
            continue;
        }
        if (by & 0x80)
        {
            byStatus = by;
            ++iPos;
        }
        if (!(byStatus & 0x80))
            return false;
        const int iDataBytes = (byStatus & 0xE0) == 0xC0 ? 1 : 2;
        if (iPos + iDataBytes > iEnd)
            return false;
        if ((byStatus & 0xF0) == 0x90 && BYTE(rkabyData.at(iPos + 1)) != 0)
            roSummary.m_aiNoteChannels.insert(byStatus & 0x0F);
        iPos += iDataBytes;
    }
    return true;
}

} // namespace

bool Register(const char* pszName, TTestFactory fnFactory)
{
    Registry().push_back({QString::fromLatin1(pszName), std::move(fnFactory)});
    return true;
}

const std::vector<CRegisteredTest>& RegisteredTests() { return Registry(); }

// --- CScript ------------------------------------------------------------------

CScript::CScript(TForm2& roForm)
{
    CQdPromptHooks& roHooks = roForm.Prompt().Hooks();
    roHooks.m_fnAsk = [this](const CQdQuestion& rkoQuestion) {
        m_aoAsked.push_back(rkoQuestion);
        if (m_aiAnswers.empty())
            return int(QD_ANSWER_CANCEL);
        const int iAnswer = m_aiAnswers.front();
        m_aiAnswers.pop_front();
        return iAnswer;
    };
    roHooks.m_fnTell = [this](const std::string& rkstrCaption, const std::string& rkstrText) {
        m_aoTold.emplace_back(rkstrCaption, rkstrText);
    };
    roHooks.m_fnChooseOpenFile = [this](const CQdFileRequest& rkoRequest, std::string& rstrPath) {
        m_aoRequests.push_back(rkoRequest);
        if (m_astrOpenFiles.empty())
            return false;
        rstrPath = m_astrOpenFiles.front();
        m_astrOpenFiles.pop_front();
        return !rstrPath.empty();
    };
    roHooks.m_fnChooseOpenFiles = [this](const CQdFileRequest& rkoRequest, std::vector<std::string>& rastrPaths) {
        m_aoRequests.push_back(rkoRequest);
        if (m_aastrOpenFileSets.empty())
            return false;
        rastrPaths = m_aastrOpenFileSets.front();
        m_aastrOpenFileSets.pop_front();
        return !rastrPaths.empty();
    };
    roHooks.m_fnChooseSaveFile = [this](const CQdFileRequest& rkoRequest, std::string& rstrPath) {
        m_aoRequests.push_back(rkoRequest);
        if (m_astrSaveFiles.empty())
            return false;
        rstrPath = m_astrSaveFiles.front();
        m_astrSaveFiles.pop_front();
        return !rstrPath.empty();
    };
    roHooks.m_fnChooseFolder = [this](const CQdFileRequest& rkoRequest, std::string& rstrPath) {
        m_aoRequests.push_back(rkoRequest);
        if (m_astrFolders.empty())
            return false;
        rstrPath = m_astrFolders.front();
        m_astrFolders.pop_front();
        return !rstrPath.empty();
    };
    roHooks.m_fnChannelMapDlg = [this](TQdChannelMapDlg& roDlg) {
        m_astrChannelTexts << roDlg.TextLabel()->text();
        QList<int> aiChannels;
        for (int iChannel = 0; iChannel < CQdTrackMap::CHANNELS; ++iChannel)
            if (roDlg.TrackBox(iChannel))
                aiChannels << iChannel + 1;
        m_aaiChannelBoxes.push_back(aiChannels);
        if (m_aoMaps.empty())
            return int(QDialog::Rejected);
        for (int iChannel = 0; iChannel < CQdTrackMap::CHANNELS; ++iChannel)
            if (QComboBox* pBox = roDlg.TrackBox(iChannel))
                pBox->setCurrentIndex(pBox->findData(int(m_aoMaps.front().m_abyTrack[std::size_t(iChannel)])));
        m_aoMaps.pop_front();
        return int(QDialog::Accepted);
    };
    roHooks.m_fnReportDlg = [this](TQdReportDlg& roDlg) {
        m_astrReports << roDlg.CaptionLabel()->text() + " | " + roDlg.ReportText()->toPlainText();
        if (m_bDontShowAgain && roDlg.DontShowAgain())
            roDlg.DontShowAgain()->setChecked(true);
        return int(QDialog::Accepted);
    };
}

QStringList CScript::Asked() const
{
    QStringList astr;
    for (const CQdQuestion& rkoQuestion : m_aoAsked)
        astr << Q(rkoQuestion.m_strCaption) + " | " + Q(rkoQuestion.m_strText);
    return astr;
}

QStringList CScript::Told() const
{
    QStringList astr;
    for (const auto& rkoTold : m_aoTold)
        astr << Q(rkoTold.first) + " | " + Q(rkoTold.second);
    return astr;
}

void CScript::Clear()
{
    m_aoAsked.clear();
    m_aoTold.clear();
    m_aoRequests.clear();
    m_astrChannelTexts.clear();
    m_aaiChannelBoxes.clear();
    m_astrReports.clear();
}

// --- The window -----------------------------------------------------------------

QTreeWidgetItem* Node(QTreeWidget* pTree, const QStringList& rkastrPath)
{
    if (rkastrPath.isEmpty())
        return nullptr;
    QTreeWidgetItem* pItem = nullptr;
    for (int i = 0; i < pTree->topLevelItemCount() && !pItem; ++i)
        if (pTree->topLevelItem(i)->text(0) == rkastrPath.front())
            pItem = pTree->topLevelItem(i);
    for (int iStep = 1; iStep < rkastrPath.size() && pItem; ++iStep)
    {
        QTreeWidgetItem* pChild = nullptr;
        for (int i = 0; i < pItem->childCount() && !pChild; ++i)
            if (pItem->child(i)->text(0) == rkastrPath[iStep])
                pChild = pItem->child(i);
        pItem = pChild;
    }
    return pItem;
}

QTreeWidgetItem* Select(QTreeWidget* pTree, const QStringList& rkastrPath)
{
    QTreeWidgetItem* pItem = Node(pTree, rkastrPath);
    if (pItem)
        pTree->setCurrentItem(pItem);
    return pItem;
}

int TreeImageOf(const QIcon& rkoIcon) { return ImageIndex(rkoIcon, &QdTreeImage); }

int ToolImageOf(const QIcon& rkoIcon) { return ImageIndex(rkoIcon, &QdToolImage); }

QStringList ShownTree(QTreeWidget* pTree)
{
    QStringList astr;
    for (QTreeWidgetItemIterator it(pTree); *it; ++it)
        astr << QString("%1 %2 %3").arg(Depth(*it)).arg(TreeImageOf((*it)->icon(0))).arg((*it)->text(0));
    return astr;
}

QStringList DocTree(const std::vector<CQdTreeNode>& rkaoNodes)
{
    QStringList astr;
    for (const CQdTreeNode& rkoNode : rkaoNodes)
        astr << QString("%1 %2 %3").arg(rkoNode.m_iLevel).arg(rkoNode.m_iImage).arg(Q(rkoNode.m_strText));
    return astr;
}

QString EnabledButtons(const TForm2& rkoForm)
{
    const QToolButton* const apButtons[] = {
        rkoForm.OpenStyle(), rkoForm.SaveStyle(), rkoForm.ImportAllSmf(), rkoForm.ImportSingleSmf(),
        rkoForm.ExportSingleSmf(), rkoForm.DeleteCV(), rkoForm.UndoStyle(), rkoForm.PlayButton(),
        rkoForm.ButtonHelp()};
    QStringList astr;
    for (const QToolButton* pButton : apButtons)
        if (pButton->isEnabled())
            astr << pButton->objectName();
    return astr.join(' ');
}

QStringList ListedStyles(const TForm2& rkoForm)
{
    QStringList astr;
    if (const QTreeWidgetItem* pRoot = rkoForm.StyleList()->topLevelItem(0))
        for (int i = 0; i < pRoot->childCount(); ++i)
            astr << pRoot->child(i)->text(0);
    return astr;
}

QList<int> ListedImages(const TForm2& rkoForm)
{
    QList<int> aiImages;
    if (const QTreeWidgetItem* pRoot = rkoForm.StyleList()->topLevelItem(0))
        for (int i = 0; i < pRoot->childCount(); ++i)
            aiImages << TreeImageOf(pRoot->child(i)->icon(0));
    return aiImages;
}

bool IsShown(const TForm2& rkoForm, const QWidget* pkWidget) { return pkWidget && pkWidget->isVisibleTo(&rkoForm); }

// --- Files ----------------------------------------------------------------------

bool CScriptedPlayer::Open(const std::string& rkstrPath)
{
    m_poLog->m_astrCalls << "Open";
    m_poLog->m_abyOpened = ReadAll(QString::fromStdString(rkstrPath));
    return true;
}

QByteArray ReadAll(const QString& rkstrPath)
{
    QFile oFile(rkstrPath);
    return oFile.open(QIODevice::ReadOnly) ? oFile.readAll() : QByteArray();
}

bool WriteAll(const QString& rkstrPath, const QByteArray& rkabyData)
{
    QFile oFile(rkstrPath);
    return oFile.open(QIODevice::WriteOnly) && oFile.write(rkabyData) == rkabyData.size();
}

CSmfSummary SummariseSmf(const QByteArray& rkabyFile)
{
    CSmfSummary oSummary;
    if (rkabyFile.size() < 14 || !rkabyFile.startsWith("MThd") || ReadBE(rkabyFile, 4, 4) < 6)
        return oSummary;
    oSummary.m_iFormat = int(ReadBE(rkabyFile, 8, 2));
    int iPos = 8 + int(ReadBE(rkabyFile, 4, 4));
    while (iPos + 8 <= rkabyFile.size())
    {
        const unsigned uLength = ReadBE(rkabyFile, iPos + 4, 4);
        const int iData = iPos + 8;
        if (uLength > unsigned(rkabyFile.size() - iData))
            return oSummary;
        if (rkabyFile.mid(iPos, 4) == "MTrk")
        {
            if (!ReadTrack(rkabyFile, iData, iData + int(uLength), oSummary))
                return oSummary;
            ++oSummary.m_iTracks;
        }
        iPos = iData + int(uLength);
    }
    oSummary.m_bValid = iPos == rkabyFile.size() && oSummary.m_iTracks > 0;
    return oSummary;
}

QByteArray NotesSmf(BYTE byChannel, BYTE byProgram, int iMeasures)
{
    CDemoSmf oSmf(4, 2);
    oSmf.Program(byChannel, byProgram);
    const TTICK tQuarter = oSmf.MeasureTicks() / 4;
    for (int iBeat = 0; iBeat < 4 * iMeasures; ++iBeat)
        oSmf.Note(byChannel, TTICK(iBeat) * tQuarter, BYTE(60 + iBeat % 5), 100, tQuarter / 2);
    const std::vector<BYTE> abyFile = oSmf.Bytes(TTICK(iMeasures) * oSmf.MeasureTicks());
    return QByteArray(reinterpret_cast<const char*>(abyFile.data()), qsizetype(abyFile.size()));
}

int WavePeak(const QString& rkstrPath)
{
    const QByteArray abyFile = ReadAll(rkstrPath);
    if (abyFile.size() < 12 || !abyFile.startsWith("RIFF") || abyFile.mid(8, 4) != "WAVE")
        return -1;
    int iPos = 12;
    while (iPos + 8 <= abyFile.size())
    {
        const QByteArray abyId = abyFile.mid(iPos, 4);
        qsizetype uLength = 0;
        for (int i = 3; i >= 0; --i)
            uLength = (uLength << 8) | BYTE(abyFile.at(iPos + 4 + i));
        iPos += 8;
        uLength = std::min<qsizetype>(uLength, abyFile.size() - iPos);
        if (abyId == "data")
        {
            int iPeak = 0;
            for (qsizetype i = 0; i + 1 < uLength; i += 2)
            {
                const auto iSample = qint16(BYTE(abyFile.at(iPos + i)) | BYTE(abyFile.at(iPos + i + 1)) << 8);
                iPeak = std::max(iPeak, std::abs(int(iSample)));
            }
            return iPeak;
        }
        iPos += int(uLength + (uLength & 1));
    }
    return -1;
}

} // namespace AppTest

// AppTest::ShowActive -- a void function: QVERIFY returns from it on failure.
void AppTest::ShowActive(TForm2& roForm)
{
    if (auto* pSplash = roForm.findChild<TForm3*>())
        pSplash->setAttribute(Qt::WA_DontShowOnScreen);
    roForm.show();
    QApplication::setActiveWindow(&roForm);
    QVERIFY(QTest::qWaitForWindowActive(&roForm));
}
