#include "settings/SettingsFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

QString UserSettingsFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/velmora"));
}

QString UserSettingsFile()
{
    // A path with a folder part is used as it is by the settings file.
    return UserSettingsFolder() + QStringLiteral("/Pell.ini");
}

QString PrepareUserSettingsFile()
{
    const QString folder = UserSettingsFolder();
    // Folders made here are the owner's alone: the file holds passwords.
    QStringList missing;
    for (QString at = folder; !QFileInfo::exists(at) && !QDir(at).isRoot(); at = QFileInfo(at).path())
        missing.prepend(at);
    for (const QString& path : missing)
        QDir().mkdir(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!QFileInfo(folder).isDir())
        std::fprintf(stderr, "velmora: cannot create the settings folder %s\n", qPrintable(folder));
    return UserSettingsFile();
}
