// AppTestSupport.h -- what the window tests share: the registry of the test
// classes that qdtest_app runs, scripted answers for the window's prompt,
// views of the tree widgets and small readers of the files the window writes.
#pragma once

#include "Qd50StyleToMidiMain.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

class QIcon;
class QTreeWidget;
class QTreeWidgetItem;

namespace AppTest {

// --- Registry ---------------------------------------------------------------

using TTestFactory = std::function<std::unique_ptr<QObject>()>;

struct CRegisteredTest
{
    QString m_strName;
    TTestFactory m_fnFactory;
};

// Register -- adds a test class; always true (for a static initialiser).
bool Register(const char* pszName, TTestFactory fnFactory);
const std::vector<CRegisteredTest>& RegisteredTests();

#define QD_APP_TEST(Class)                                                                                     \
    [[maybe_unused]] static const bool s_bRegistered##Class =                                                  \
        AppTest::Register(#Class, [] { return std::make_unique<Class>(); })

// --- Scripted prompt --------------------------------------------------------

// CScript -- installs itself as the window's prompt hooks: questions are
// answered from m_aiAnswers by button position (6, 7, 2; none left: 2), file
// and folder choices from their queues (none left or an empty entry:
// cancelled), the channel map dialog from m_aoMaps (its boxes set as the
// map says, then OK; none left: Cancel), the report dialog with OK, after
// ticking "Don't show again" when m_bDontShowAgain says so. Everything
// shown is recorded.
class CScript
{
public:
    explicit CScript(TForm2& roForm);
    CScript(const CScript&) = delete;
    CScript& operator=(const CScript&) = delete;

    // "caption | text" of every question asked and message told, in order.
    QStringList Asked() const;
    QStringList Told() const;
    void Clear();

    std::deque<int> m_aiAnswers;
    std::deque<std::string> m_astrOpenFiles;
    std::deque<std::vector<std::string>> m_aastrOpenFileSets;
    std::deque<std::string> m_astrSaveFiles;
    std::deque<std::string> m_astrFolders;
    std::deque<CQdTrackMap> m_aoMaps;
    bool m_bDontShowAgain = false;

    std::vector<CQdQuestion> m_aoAsked;
    // The channel map dialogs' texts, and for each the channels (1-based)
    // it has a box for.
    QStringList m_astrChannelTexts;
    std::vector<QList<int>> m_aaiChannelBoxes;
    // The report dialogs: "caption | text".
    QStringList m_astrReports;
    std::vector<std::pair<std::string, std::string>> m_aoTold;
    std::vector<CQdFileRequest> m_aoRequests;
};

// --- Scripted player --------------------------------------------------------

// What the scripted player was asked to do, kept apart from the player the
// window owns.
struct CPlayerLog
{
    QStringList m_astrCalls;
    QByteArray m_abyOpened;
    QList<bool> m_abLoops;
    QList<int> m_aiMuted;
    std::vector<CQdNoteSound> m_aoNotes;
    long m_lTick = -1; // what GetTick answers
};

// CScriptedPlayer -- accepts every call and logs it; plays nothing.
class CScriptedPlayer : public CQdMediaPlayer
{
public:
    explicit CScriptedPlayer(std::shared_ptr<CPlayerLog> poLog) : m_poLog(std::move(poLog)) {}
    bool Open(const std::string& rkstrPath) override;
    bool Play() override { return Log("Play"); }
    bool Stop() override { return Log("Stop"); }
    bool Rewind() override { return Log("Rewind"); }
    void Close() override { Log("Close"); }
    void SetLoop(bool bLoop) override { m_poLog->m_abLoops << bLoop; }
    void SetMutedChannels(std::uint16_t wMask) override { m_poLog->m_aiMuted << int(wMask); }
    long GetTick() const override { return m_poLog->m_lTick; }
    bool PlayNote(const CQdNoteSound& rkoNote) override
    {
        m_poLog->m_aoNotes.push_back(rkoNote);
        return true;
    }
    void GetLastError(int& riNumber, std::string& rstrText) const override
    {
        riNumber = 0;
        rstrText.clear();
    }

private:
    bool Log(const char* pszCall)
    {
        m_poLog->m_astrCalls << pszCall;
        return true;
    }
    std::shared_ptr<CPlayerLog> m_poLog;
};

// --- The window -------------------------------------------------------------

// Node -- the item reached from the top-level item along the texts (the
// first text names the top-level item); nullptr when there is none.
QTreeWidgetItem* Node(QTreeWidget* pTree, const QStringList& rkastrPath);
// Select -- Node made current; nullptr when there is none.
QTreeWidgetItem* Select(QTreeWidget* pTree, const QStringList& rkastrPath);
// TreeImageOf, ToolImageOf -- the index (0..9) of the tree-view or tool-bar
// image the icon shows; -1 for none.
int TreeImageOf(const QIcon& rkoIcon);
int ToolImageOf(const QIcon& rkoIcon);
// ShownTree -- "level image text" of every item, in display order.
QStringList ShownTree(QTreeWidget* pTree);
// DocTree -- the same for the document's element tree.
QStringList DocTree(const std::vector<CQdTreeNode>& rkaoNodes);
// EnabledButtons -- object names of the enabled tool buttons, in toolbar order.
QString EnabledButtons(const TForm2& rkoForm);
// The names of the list's style nodes.
QStringList ListedStyles(const TForm2& rkoForm);
// The list images of the style nodes.
QList<int> ListedImages(const TForm2& rkoForm);
bool IsShown(const TForm2& rkoForm, const QWidget* pkWidget);
// ShowActive -- the window shown and active (shortcuts need an active
// window), its splash kept off the screen.
void ShowActive(TForm2& roForm);

// --- Files ------------------------------------------------------------------

QByteArray ReadAll(const QString& rkstrPath);
bool WriteAll(const QString& rkstrPath, const QByteArray& rkabyData);

// What a Standard MIDI File holds, read leniently; m_bValid false when the
// header or a track chunk does not parse.
struct CSmfSummary
{
    bool m_bValid = false;
    int m_iFormat = -1;
    int m_iTracks = 0;
    std::set<int> m_aiNoteChannels;
    int m_iTempo = -1; // microseconds per quarter note of the first tempo event
};
CSmfSummary SummariseSmf(const QByteArray& rkabyFile);

// A format-0 file in 4/4, 384 ticks per quarter: one note per quarter on the
// channel for the measures, its program at tick 0.
QByteArray NotesSmf(BYTE byChannel, BYTE byProgram, int iMeasures);

// WavePeak -- the largest magnitude of the 16-bit samples of a WAV file; -1
// when the file is no such WAV file.
int WavePeak(const QString& rkstrPath);

} // namespace AppTest
