// ScreenshotTest.cpp -- the screenshot run over the demo bank writes its
// pictures, each showing something (not a blank or single-coloured area), at
// the window's default size or at the size asked for; those of the piano
// roll in the window the roll widened.
#include "AppTestSupport.h"
#include "QdScreenshots.h"
#include "QdWindowLayout.h"

#include <QDir>
#include <QImage>
#include <QSet>
#include <QtTest>

class ScreenshotTest : public QObject
{
    Q_OBJECT
private slots:
    void SavesTheWindowsPictures();
};

void ScreenshotTest::SavesTheWindowsPictures()
{
    const QDir oDir(QD_SCREENSHOT_DIR);
    // The roll of each chord variation of the second style (Slow Waltz).
    const QStringList astrRolls = {"roll-v1cv1.png", "roll-v1cv2.png", "roll-v2cv1.png", "roll-v2cv2.png",
                                   "roll-e1cv1.png", "roll-track.png", "roll-playing.png"};
    const QStringList astrNames = QStringList{"main-style.png", "main-chordvar.png", "help.png", "media.png",
                                              "question.png", "report.png"} + astrRolls;
    for (const QString& rkstrName : astrNames)
        QFile::remove(oDir.filePath(rkstrName));

    QString strError;
    QVERIFY2(QdSaveScreenshots(QD_DEMO_BANK, oDir.path(), strError), qPrintable(strError));
    QHash<QString, QImage> aoPictures;
    for (const QString& rkstrName : astrNames)
    {
        const QImage oImage(oDir.filePath(rkstrName));
        QVERIFY2(!oImage.isNull(), qPrintable(rkstrName));
        QSet<QRgb> aoColours;
        for (int y = 0; y < oImage.height(); ++y)
            for (int x = 0; x < oImage.width(); ++x)
                aoColours.insert(oImage.pixel(x, y));
        // Text, icons and frames give many shades.
        QVERIFY2(aoColours.size() > 16, qPrintable(rkstrName));
        aoPictures.insert(rkstrName, oImage);
    }
    // The window pictures show the whole window at its default size, each a different state.
    const QSize oDefault = TForm2().DefaultSize();
    for (const char* pszName : {"main-style.png", "main-chordvar.png", "help.png", "media.png"})
        QCOMPARE(aoPictures[pszName].size(), oDefault);
    QVERIFY(aoPictures["main-style.png"] != aoPictures["main-chordvar.png"]);
    QVERIFY(aoPictures["main-chordvar.png"] != aoPictures["media.png"]);
    // The roll opened at the default size: the window wider by the pane.
    for (const QString& rkstrRoll : astrRolls)
        QCOMPARE(aoPictures[rkstrRoll].size(), QSize(QD_ROLL_OPEN_WIDTH, oDefault.height()));
    QVERIFY(aoPictures["roll-v1cv1.png"] != aoPictures["roll-v1cv2.png"]);
    QVERIFY(aoPictures["roll-v1cv1.png"] != aoPictures["roll-track.png"]);
    QVERIFY(aoPictures["roll-v1cv1.png"] != aoPictures["roll-playing.png"]);
    QCOMPARE(aoPictures["question.png"].size(), QSize(289, 145));
    QCOMPARE(aoPictures["report.png"].size(), QSize(440, 260));

    // At a size asked for (--size WxH), the window pictures have it.
    const QDir oLarge(oDir.filePath("large"));
    QVERIFY2(QdSaveScreenshots(QD_DEMO_BANK, oLarge.path(), strError, QSize(640, 480)), qPrintable(strError));
    QCOMPARE(QImage(oLarge.filePath("main-chordvar.png")).size(), QSize(640, 480));
    QCOMPARE(QImage(oLarge.filePath("media.png")).size(), QSize(640, 480));
    QCOMPARE(QImage(oLarge.filePath("roll-track.png")).size(), QSize(QD_ROLL_OPEN_WIDTH, 480));
}

QD_APP_TEST(ScreenshotTest);
#include "ScreenshotTest.moc"
