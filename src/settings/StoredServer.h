#pragma once

#include "settings/SettingsFile.h"

#include <QString>

#include <optional>

// A server's parameters as the history keeps them, read by the window when
// the server is chosen and by the command line for --server.
struct StoredServer {
    QString kindText; // as stored; MySQL in any letter case selects MySQL
    QString port;
    QString user;
    QString password; // unscrambled

    bool IsMySql() const { return kindText.compare(u"MySQL", Qt::CaseInsensitive) == 0; }
};

// "Type", "Port", "User" and "Pass" of the server's section, in that order.
// With `writeDefaults` missing keys are written back as every read of the
// window does; without, the file is only read.
StoredServer ReadStoredServer(const CSettingsFile& settings, const QString& fileName, const QString& server,
                              bool writeDefaults);

// The history's spelling of `server` (letter case aside); nullopt when the
// history, read up to its first empty entry, does not hold it.
std::optional<QString> FindInHistory(const CSettingsFile& settings, const QString& fileName, const QString& server);
