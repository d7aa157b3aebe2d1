#include "settings/StoredServer.h"

#include "settings/PasswordCodec.h"

StoredServer ReadStoredServer(const CSettingsFile& settings, const QString& fileName, const QString& server,
                              bool writeDefaults)
{
    const CPasswordCodec codec;
    const auto read = [&](const char* key, const QString& defaultValue = {}) {
        const QString name = QString::fromLatin1(key);
        return writeDefaults ? settings.Read(fileName, server, name, defaultValue)
                             : settings.Find(fileName, server, name).value_or(defaultValue);
    };
    StoredServer stored;
    stored.kindText = read("Type");
    stored.port = read("Port");
    stored.user = read("User");
    stored.password = codec.Decode(read("Pass", codec.Encode(QString(), CPasswordCodec::kSeed)), CPasswordCodec::kSeed);
    return stored;
}

std::optional<QString> FindInHistory(const CSettingsFile& settings, const QString& fileName, const QString& server)
{
    for (int n = 1;; ++n) {
        const QString known =
            settings.Find(fileName, QStringLiteral("Database"), QStringLiteral("Server%1").arg(n)).value_or(QString());
        if (known.isEmpty())
            return std::nullopt;
        if (known.compare(server, Qt::CaseInsensitive) == 0)
            return known;
    }
}
