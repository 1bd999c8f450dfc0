// main.cpp -- the desktop application's start and end.
#include "Base/Report.h"
#include "Kernel/Core/GlobalObj.h"
#include "Qd50StyleToMidiMain.h"
#include "QdQtPrompt.h"

#include <QApplication>
#include "QdGeneralDlg.h"

#include <exception>

int main(int iArgc, char** ppszArgv)
{
    QdGlobalObjectsStart();
    int iResult = 0;
    {
        QApplication oApp(iArgc, ppszArgv);
        QApplication::setApplicationName("Qd Style to Midi Conversion");
        QApplication::setApplicationDisplayName("Qd Style to Midi Conversion");
        QdInstallGuiReportSink();
        try
        {
            TForm2 oForm2;
            oForm2.show();
            const QStringList astrArgs = QApplication::arguments();
            if (astrArgs.size() > 1)
                oForm2.OpenBankPath(astrArgs[1]);
            iResult = QApplication::exec();
        }
        catch (const std::exception& rkoError)
        {
            TQdGeneralDlg::Ask(nullptr, QApplication::applicationName(), QString::fromUtf8(rkoError.what()), "", "OK", "");
            iResult = 1;
        }
        QdSetReportSink({});
    }
    QdGlobalObjectsEnd();
    return iResult;
}
