// PlaybackTest.cpp -- test playback from the window: the tempo edit, what is
// played for a chord-variation and for a track node, the media panel, and
// stopping by selecting another node; with a scripted player, then through
// FluidSynth (its "file" audio driver: no sound card needed; it writes
// fluidsynth.wav into the working directory).
#include "AppTestSupport.h"

#include "QdPlayer.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace AppTest;

namespace {

const QStringList CHORD_VAR = {"Pop 8Beat", "Variation 1", "Chord Var 1"};

// A window over the demo bank with "Pop 8Beat" open.
struct CPopWindow
{
    CPopWindow()
    {
        m_oForm.OpenBankPath(QD_DEMO_BANK);
        Select(m_oForm.StyleList(), {"demo.sty", "Pop 8Beat"});
    }
    // The first track of the chord variation.
    QStringList TrackPath() const
    {
        const QTreeWidgetItem* pChordVar = Node(m_oForm.StyleTree(), CHORD_VAR);
        return CHORD_VAR + QStringList{pChordVar && pChordVar->childCount() ? pChordVar->child(0)->text(0) : "?"};
    }
    QString TempFile() { return QString::fromStdString(m_oForm.Playback().GetTempFileName()); }
    bool IsPlaying() { return m_oForm.Playback().HasTempFile() && IsShown(m_oForm, m_oForm.MediaPanel()); }
    // Stopped: no panel, no temporary file left behind.
    bool IsStopped()
    {
        return !m_oForm.Playback().HasTempFile() && !IsShown(m_oForm, m_oForm.MediaPanel()) &&
               !QFile::exists(QString::fromStdString(m_oForm.Playback().TempFilePath()));
    }

    TForm2 m_oForm;
    CScript m_oScript{m_oForm};
};

} // namespace

class PlaybackTest : public QObject
{
    Q_OBJECT
private slots:
    void TempoAndTrackPlaybackWithAScriptedPlayer();
    void PlayerFailureIsToldAndLeavesNoFile();
    void PlaysThroughFluidSynth();
    void LoopMuteAndPositionReachThePlayer();
    void SpaceAndEnterPlayAndStop();
    void ExportAudioWritesASoundingWave();
};

void PlaybackTest::TempoAndTrackPlaybackWithAScriptedPlayer()
{
    CPopWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    auto poLog = std::make_shared<CPlayerLog>();
    roForm.SetMediaPlayer(std::make_unique<CScriptedPlayer>(poLog));
    QCOMPARE(roForm.TempoEdit()->value(), 120);
    QVERIFY(!IsShown(roForm, roForm.MediaPanel()));

    QVERIFY(Select(roForm.StyleTree(), CHORD_VAR));
    roForm.PlayButton()->click();
    QVERIFY(oWin.IsPlaying());
    QCOMPARE(poLog->m_astrCalls, QStringList({"Open", "Play"}));
    // The player gets the file being played: the whole chord variation at 120.
    const QByteArray abyChordVar = ReadAll(oWin.TempFile());
    QCOMPARE(poLog->m_abyOpened, abyChordVar);
    const CSmfSummary oChordVar = SummariseSmf(abyChordVar);
    QVERIFY(oChordVar.m_bValid);
    QCOMPARE(oChordVar.m_iTempo, 500000);
    QVERIFY(oChordVar.m_aiNoteChannels.size() > 1);

    // The tempo box holds 40..300; the file plays at what it shows.
    const struct
    {
        int m_iSet;
        int m_iUsed;
    } akoTempos[] = {{20, 40}, {500, 300}, {75, 75}};
    for (const auto& rkoTempo : akoTempos)
    {
        roForm.TempoEdit()->setValue(rkoTempo.m_iSet);
        roForm.PlayButtonClick();
        QCOMPARE(roForm.TempoEdit()->value(), rkoTempo.m_iUsed);
        QVERIFY(oWin.IsPlaying());
        QCOMPARE(SummariseSmf(ReadAll(oWin.TempFile())).m_iTempo, 60000000 / rkoTempo.m_iUsed);
    }

    // Selecting a node of another chord variation stops: the panel goes, and the file.
    const QStringList astrTrack = oWin.TrackPath();
    poLog->m_astrCalls.clear();
    QVERIFY(Select(roForm.StyleTree(), {"Pop 8Beat", "Variation 1"}));
    QVERIFY(oWin.IsStopped());
    QVERIFY(poLog->m_astrCalls.contains("Stop"));
    QCOMPARE(poLog->m_astrCalls.back(), QString("Close"));

    // A track node plays that track alone.
    QVERIFY(Select(roForm.StyleTree(), astrTrack));
    roForm.PlayButton()->click();
    QVERIFY(oWin.IsPlaying());
    const CSmfSummary oTrack = SummariseSmf(ReadAll(oWin.TempFile()));
    QVERIFY(oTrack.m_bValid);
    QCOMPARE(oTrack.m_aiNoteChannels.size(), std::size_t(1));
    QVERIFY(oChordVar.m_aiNoteChannels.count(*oTrack.m_aiNoteChannels.begin()));

    // The media panel's close mark stops as well.
    QTest::mouseClick(roForm.Image2(), Qt::LeftButton);
    QVERIFY(oWin.IsStopped());

    // Nodes that play nothing.
    QVERIFY(Select(roForm.StyleTree(), {"Pop 8Beat", "Variation 1"}));
    roForm.PlayButtonClick();
    QVERIFY(oWin.IsStopped());
    QVERIFY(oWin.m_oScript.Told().isEmpty());
    QVERIFY(!roForm.Doc().IsStyleModified());
}

void PlaybackTest::PlayerFailureIsToldAndLeavesNoFile()
{
    CPopWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    roForm.SetMediaPlayer(std::make_unique<CQdPlayer>("/nonexistent.sf2"));
    QVERIFY(Select(roForm.StyleTree(), CHORD_VAR));
    roForm.PlayButtonClick();
    const QStringList astrTold = oWin.m_oScript.Told();
    QCOMPARE(astrTold.size(), 1);
    QVERIFY2(astrTold[0].startsWith("MediaPlayer | Error 1: "), qPrintable(astrTold[0]));
    QVERIFY(oWin.IsStopped());
}

void PlaybackTest::PlaysThroughFluidSynth()
{
    const std::string strSoundFont = CQdPlayer::FindSoundFont();
    if (strSoundFont.empty())
        QSKIP("No General MIDI soundfont installed");
    QTemporaryDir oDir;
    CPopWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    roForm.SetMediaPlayer(std::make_unique<CQdPlayer>(std::string(), "file"));

    // A copy of what plays, for each kind of node.
    QStringList astrCopies;
    for (const QStringList& rkastrNode : {CHORD_VAR, oWin.TrackPath()})
    {
        QVERIFY(Select(roForm.StyleTree(), rkastrNode));
        roForm.PlayButton()->click();
        QVERIFY2(oWin.IsPlaying(), qPrintable(oWin.m_oScript.Told().join('\n')));
        astrCopies << oDir.filePath(QString("play%1.mid").arg(astrCopies.size()));
        QVERIFY(QFile::copy(oWin.TempFile(), astrCopies.back()));
    }
    QVERIFY(Select(roForm.StyleTree(), {"Pop 8Beat", "Variation 2"}));
    QVERIFY(oWin.IsStopped());
    QVERIFY(oWin.m_oScript.Told().isEmpty());

    // What was played sounds.
    for (const QString& rkstrCopy : astrCopies)
    {
        const QString strWave = rkstrCopy + ".wav";
        std::string strText;
        QCOMPARE(CQdPlayer::RenderToWave(rkstrCopy.toStdString(), strWave.toStdString(), strSoundFont, strText),
                 int(QDPLAYER_OK));
        QVERIFY2(WavePeak(strWave) > 100, qPrintable(rkstrCopy));
    }
}

// The loop box and the tracks' mute boxes reach the player through the
// media-player interface; the position follows the player's tick.
void PlaybackTest::LoopMuteAndPositionReachThePlayer()
{
    CPopWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    auto poLog = std::make_shared<CPlayerLog>();
    roForm.SetMediaPlayer(std::make_unique<CScriptedPlayer>(poLog));
    QVERIFY(roForm.LoopBox()->isChecked());
    QVERIFY(roForm.Action("ActionLoop")->isChecked());
    QTreeWidgetItem* pChordVar = Select(roForm.StyleTree(), CHORD_VAR);
    QVERIFY(pChordVar && pChordVar->childCount() > 1);
    roForm.PlayButton()->click();
    QCOMPARE(poLog->m_abLoops.back(), true);
    QCOMPARE(poLog->m_aiMuted.back(), 0);

    // Each track of the chord variation playing has a mute box; ticking the
    // first (the tree's order is the document's: a track's channel is
    // NST_TRACK_CHANNELS of its number) mutes its channel, the playback goes on.
    QTreeWidgetItem* pFirst = pChordVar->child(0);
    QCOMPARE(pFirst->checkState(0), Qt::Unchecked);
    QVERIFY(Select(roForm.StyleTree(), oWin.TrackPath()));
    QVERIFY(oWin.IsPlaying());
    pFirst->setCheckState(0, Qt::Checked);
    QVERIFY(poLog->m_aiMuted.back() != 0);
    QCOMPARE(roForm.Playback().GetMutedTracks() != 0, true);
    // The keyboard's way: M on the selected track toggles it back.
    roForm.Action("ActionMute")->trigger();
    QCOMPARE(pFirst->checkState(0), Qt::Unchecked);
    QCOMPARE(poLog->m_aiMuted.back(), 0);

    // The position moves with the player's tick (4/4: 1536 ticks a bar).
    poLog->m_lTick = 1536 + 384;
    QTRY_COMPARE(roForm.PositionLabel()->text(), QString("2:2"));

    // Loop off (from the menu) reaches the box and the next play; stopping takes the mute boxes away.
    roForm.Action("ActionLoop")->trigger();
    QVERIFY(!roForm.LoopBox()->isChecked());
    QVERIFY(Select(roForm.StyleTree(), CHORD_VAR));
    roForm.PlayButton()->click();
    QCOMPARE(poLog->m_abLoops.back(), false);
    roForm.StopPlayback();
    QVERIFY(!pChordVar->child(0)->data(0, Qt::CheckStateRole).isValid());
    QVERIFY(oWin.m_oScript.Told().isEmpty());
}

void PlaybackTest::SpaceAndEnterPlayAndStop()
{
    CPopWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    roForm.SetMediaPlayer(std::make_unique<CScriptedPlayer>(std::make_shared<CPlayerLog>()));
    ShowActive(roForm);
    QVERIFY(Select(roForm.StyleTree(), CHORD_VAR));
    roForm.StyleTree()->setFocus();
    QTest::keyClick(roForm.StyleTree(), Qt::Key_Return);
    QVERIFY(oWin.IsPlaying());
    QTest::keyClick(roForm.StyleTree(), Qt::Key_Space);
    QVERIFY(oWin.IsStopped());
    QTest::keyClick(roForm.StyleTree(), Qt::Key_Space);
    QVERIFY(oWin.IsPlaying());
    QTest::keyClick(roForm.StyleTree(), Qt::Key_Space);
    QVERIFY(oWin.IsStopped());
}

// Through FluidSynth: the chord variation into a WAV file that sounds, its
// rhythm tracks as drum kits in the live player too.
void PlaybackTest::ExportAudioWritesASoundingWave()
{
    if (CQdPlayer::FindSoundFont().empty())
        QSKIP("No General MIDI soundfont installed");
    QTemporaryDir oDir;
    CPopWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    auto poOwnPlayer = std::make_unique<CQdPlayer>(std::string(), "file");
    CQdPlayer* pPlayer = poOwnPlayer.get();
    roForm.SetMediaPlayer(std::move(poOwnPlayer));
    QVERIFY(Select(roForm.StyleTree(), CHORD_VAR));
    const QString strWave = oDir.filePath("v1cv1.wav");
    oWin.m_oScript.m_astrSaveFiles = {strWave.toStdString()};
    roForm.Action("ActionExportAudio")->trigger();
    QVERIFY2(oWin.m_oScript.Told().isEmpty(), qPrintable(oWin.m_oScript.Told().join('\n')));
    QVERIFY(WavePeak(strWave) > 100);

    roForm.PlayButton()->click();
    QVERIFY(oWin.IsPlaying());
    QTest::qWait(300);
    const std::vector<CQdChannelPreset> aoPresets = pPlayer->GetChannelPresets();
    QCOMPARE(aoPresets.size(), std::size_t(16));
    // Drum and Percussion (channels 10 and 11) as drum kits.
    QCOMPARE(aoPresets[9].m_iBank, 128);
    QCOMPARE(aoPresets[10].m_iBank, 128);
    roForm.StopPlayback();
}

QD_APP_TEST(PlaybackTest);
#include "PlaybackTest.moc"
