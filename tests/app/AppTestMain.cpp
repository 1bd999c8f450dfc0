// AppTestMain.cpp -- runs the window's Qt test classes, offscreen.
//
//   qdtest_app [TestClass] [Qt Test options and functions]
//
// Without a class name every registered class runs. Reports of the core's
// assertions count as failures: a window test must not trip any.
#include "AppTestSupport.h"

#include "Base/Report.h"
#include "Kernel/Core/GlobalObj.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

int main(int iArgc, char** ppszArgv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QdGlobalObjectsStart();
    int iFailed = 0;
    {
        QApplication oApp(iArgc, ppszArgv);
        QApplication::setAttribute(Qt::AA_Use96Dpi, true);
        // Settings of the tests' own, in a folder that goes with the run:
        // the user's settings are never read or written.
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setOrganizationName("qdstyletool-tests");
        const QTemporaryDir oSettingsDir;
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, oSettingsDir.path());
        int iReports = 0;
        QdSetReportSink([&iReports](const char* pszText) {
            ++iReports;
            std::fprintf(stderr, "Report: %s\n", pszText);
        });

        QStringList astrArgs = QApplication::arguments();
        QString strOnly;
        if (astrArgs.size() > 1)
            for (const AppTest::CRegisteredTest& rkoTest : AppTest::RegisteredTests())
                if (rkoTest.m_strName == astrArgs[1])
                {
                    strOnly = astrArgs.takeAt(1);
                    break;
                }

        int iRun = 0;
        for (const AppTest::CRegisteredTest& rkoTest : AppTest::RegisteredTests())
        {
            if (!strOnly.isEmpty() && rkoTest.m_strName != strOnly)
                continue;
            const std::unique_ptr<QObject> poTest = rkoTest.m_fnFactory();
            iFailed += QTest::qExec(poTest.get(), astrArgs);
            ++iRun;
        }
        if (iRun == 0)
        {
            std::fprintf(stderr, "No test class ran\n");
            iFailed = 1;
        }
        if (iReports > 0)
        {
            std::fprintf(stderr, "%d report(s) of the core during the window tests\n", iReports);
            ++iFailed;
        }
        QdSetReportSink({});
    }
    QdGlobalObjectsEnd();
    return iFailed == 0 ? 0 : 1;
}
