// Qd50StyleToMidiSettings.cpp -- what the window keeps between runs: its
// size and place, the split bars, the recent files and the folders of the
// file dialogs. Nothing that changes what a command does is kept.
#include "Qd50StyleToMidiMain.h"

#include <QSettings>

namespace
{
const char* const KEY_GEOMETRY = "window/geometry";
const char* const KEY_LIST_SHARE = "window/listShare";
const char* const KEY_ROLL_SHARE = "window/rollShare";
const char* const KEY_RECENT = "recentFiles";
const char* const KEY_FOLDERS = "dialogFolders";
} // namespace

void TForm2::RestoreSettings(QSettings& roSettings)
{
    m_pSettings = &roSettings;
    const QByteArray abyGeometry = roSettings.value(KEY_GEOMETRY).toByteArray();
    if (!abyGeometry.isEmpty())
        restoreGeometry(abyGeometry);
    bool bOk = false;
    const double dShare = roSettings.value(KEY_LIST_SHARE).toDouble(&bOk);
    if (bOk && dShare > 0.0 && dShare < 1.0)
        SetListShare(dShare);
    const double dRollShare = roSettings.value(KEY_ROLL_SHARE).toDouble(&bOk);
    if (bOk && dRollShare > 0.0 && dRollShare < 1.0)
        SetRollShare(dRollShare);
    std::vector<std::string> astrRecent;
    for (const QString& rkstrPath : roSettings.value(KEY_RECENT).toStringList())
        astrRecent.push_back(rkstrPath.toStdString());
    m_oRecentFiles.SetFiles(astrRecent);
    QHash<QString, QString> aoFolders;
    roSettings.beginGroup(KEY_FOLDERS);
    for (const QString& rkstrKey : roSettings.childKeys())
        aoFolders.insert(QString::fromUtf8(QByteArray::fromHex(rkstrKey.toLatin1())), roSettings.value(rkstrKey).toString());
    roSettings.endGroup();
    m_oPrompt.SetFolders(aoFolders);
    RebuildRecentMenu();
}

// TForm2::SaveSettings -- the dialogs' titles are keys in hex: a title may
// hold characters that settings keys do not take.
void TForm2::SaveSettings(QSettings& roSettings) const
{
    roSettings.setValue(KEY_GEOMETRY, saveGeometry());
    roSettings.setValue(KEY_LIST_SHARE, m_dListShare);
    roSettings.setValue(KEY_ROLL_SHARE, m_dRollShare);
    QStringList astrRecent;
    for (const std::string& rkstrPath : m_oRecentFiles.Files())
        astrRecent << QString::fromStdString(rkstrPath);
    roSettings.setValue(KEY_RECENT, astrRecent);
    roSettings.remove(KEY_FOLDERS);
    roSettings.beginGroup(KEY_FOLDERS);
    const QHash<QString, QString>& rkaoFolders = m_oPrompt.Folders();
    for (auto it = rkaoFolders.cbegin(); it != rkaoFolders.cend(); ++it)
        roSettings.setValue(QString::fromLatin1(it.key().toUtf8().toHex()), it.value());
    roSettings.endGroup();
    roSettings.sync();
}
