// main.cpp -- the desktop application's start and end.
//
//   qdstyletool [-v] [BANK]                           the window, with the bank opened;
//                                                     -v: the core's reports also on stderr
//   qdstyletool --screenshots DIR BANK [--size WxH]   pictures of the window into DIR
#include "BankDoc/QdDocText.h"
#include "Base/Report.h"
#include "Kernel/Core/GlobalObj.h"
#include "Qd50StyleToMidiMain.h"
#include "QdReportLog.h"
#include "QdScreenshots.h"

#include <QApplication>
#include <QRegularExpression>
#include <QSettings>
#include "QdGeneralDlg.h"

#include <cstdio>
#include <exception>
#include <new>

namespace
{
// RunScreenshots -- the --screenshots mode: no splash, no event loop; core
// reports go to stderr instead of dialogs nobody would close.
int RunScreenshots(const QStringList& rkastrArgs)
{
    QSize oSize;
    bool bUsage = rkastrArgs.size() < 4 || rkastrArgs[2].isEmpty() || rkastrArgs[3].isEmpty();
    if (!bUsage && rkastrArgs.size() > 4)
    {
        const QRegularExpressionMatch oMatch =
            QRegularExpression("^(\\d{3,4})x(\\d{3,4})$").match(rkastrArgs.value(5));
        bUsage = rkastrArgs.size() != 6 || rkastrArgs[4] != "--size" || !oMatch.hasMatch();
        oSize = QSize(oMatch.captured(1).toInt(), oMatch.captured(2).toInt());
    }
    if (bUsage)
    {
        std::fprintf(stderr, "usage: %s --screenshots DIR BANK [--size WxH]\n", qPrintable(rkastrArgs.value(0)));
        return 1;
    }
    QdSetReportSink([](const char* pszText) { std::fprintf(stderr, "%s\n", pszText); });
    QString strError;
    const bool bSaved = QdSaveScreenshots(rkastrArgs[3], rkastrArgs[2], strError, oSize);
    if (!bSaved)
        std::fprintf(stderr, "%s\n", qPrintable(strError));
    return bSaved ? 0 : 1;
}

// RunWindow -- the normal start: the window, the bank of the first argument
// but -v, the event loop. The core's reports go to the report log
// (QdReportLog.h), with -v to stderr as well. The window's commands let no exception into the event
// loop: the document and playback fail a command that runs out of memory
// with a message of their own (BankDoc/QdCommandGuard.h). What is caught
// here comes from building the window; running out of memory is told on
// stderr, as a dialog would need memory too.
int RunWindow(QStringList astrArgs)
{
    const bool bVerbose = astrArgs.removeAll("-v") + astrArgs.removeAll("--verbose") > 0;
    QdInstallGuiReportSink(bVerbose);
    try
    {
        // Size, place, recent files and folders from the user's settings.
        QSettings oSettings;
        TForm2 oForm2;
        oForm2.RestoreSettings(oSettings);
        oForm2.show();
        if (astrArgs.size() > 1)
            oForm2.OpenBankPath(astrArgs[1]);
        return QApplication::exec();
    }
    catch (const std::bad_alloc&)
    {
        std::fputs(QdDocText::OUT_OF_MEMORY, stderr);
        std::fputc('\n', stderr);
        return 1;
    }
    catch (const std::exception& rkoError)
    {
        TQdGeneralDlg::Ask(nullptr, QApplication::applicationName(), QString::fromUtf8(rkoError.what()), "", "OK", "");
        return 1;
    }
}
} // namespace

int main(int iArgc, char** ppszArgv)
{
    QdGlobalObjectsStart();
    int iResult = 0;
    {
        QApplication oApp(iArgc, ppszArgv);
        QApplication::setApplicationName("Qd Style to Midi Conversion");
        QApplication::setOrganizationName("qdstyletool");
        // Only the name: a display name would be appended to the window's caption.
        QGuiApplication::setDesktopFileName("qdstyletool");
        const QStringList astrArgs = QApplication::arguments();
        if (astrArgs.size() > 1 && astrArgs[1] == "--screenshots")
            iResult = RunScreenshots(astrArgs);
        else
            iResult = RunWindow(astrArgs);
        QdSetReportSink({});
    }
    QdGlobalObjectsEnd();
    return iResult;
}
