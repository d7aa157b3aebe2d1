// Writes and reads a server's entry in a settings file the way the program
// does, so scripts never scramble passwords themselves.
// Usage:
//   velmora_sample_settings add <ini> <server> <port> <user> <password>
//       lists a MySQL server in the history (once) and stores its parameters
//   velmora_sample_settings show <ini> <server>
//       prints history=<key or empty>, type=, port=, user=, password=
//       (unscrambled); like the program, it writes missing keys back

#include "settings/PasswordCodec.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

const QString kHistory = QStringLiteral("Database");

QString HistoryKey(int n)
{
    return QStringLiteral("Server%1").arg(n);
}

// The key of the history entry naming the server (letter case ignored), or
// an empty text. The history ends at its first empty entry.
QString FindInHistory(const CSettingsFile& settings, const QString& ini, const QString& server)
{
    for (int n = 1;; ++n) {
        const QString listed = settings.Read(ini, kHistory, HistoryKey(n), QString());
        if (listed.isEmpty())
            return QString();
        if (listed.compare(server, Qt::CaseInsensitive) == 0)
            return HistoryKey(n);
    }
}

void Add(const QString& ini, const QString& server, const QString& port, const QString& user,
         const QString& password)
{
    const CSettingsFile settings;
    settings.Write(ini, server, QStringLiteral("Type"), QStringLiteral("MySQL"));
    settings.Write(ini, server, QStringLiteral("Port"), port);
    settings.Write(ini, server, QStringLiteral("User"), user);
    settings.Write(ini, server, QStringLiteral("Pass"), CPasswordCodec().Encode(password, CPasswordCodec::kSeed), true);
    if (!FindInHistory(settings, ini, server).isEmpty())
        return;
    int n = 1;
    while (!settings.Read(ini, kHistory, HistoryKey(n), QString()).isEmpty())
        ++n;
    settings.Write(ini, kHistory, HistoryKey(n), server);
}

void Show(const QString& ini, const QString& server)
{
    const CSettingsFile settings;
    const auto print = [](const char* key, const QString& value) {
        std::printf("%s=%s\n", key, value.toUtf8().constData());
    };
    print("history", FindInHistory(settings, ini, server));
    print("type", settings.Read(ini, server, QStringLiteral("Type"), QString()));
    print("port", settings.Read(ini, server, QStringLiteral("Port"), QString()));
    print("user", settings.Read(ini, server, QStringLiteral("User"), QString()));
    const QString pass = settings.Read(ini, server, QStringLiteral("Pass"), QString());
    print("password", CPasswordCodec().Decode(pass, CPasswordCodec::kSeed));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() == 6 && args[0] == QLatin1String("add")) {
        Add(args[1], args[2], args[3], args[4], args[5]);
        return 0;
    }
    if (args.size() == 3 && args[0] == QLatin1String("show")) {
        Show(args[1], args[2]);
        return 0;
    }
    std::fprintf(stderr, "usage: %s add <ini> <server> <port> <user> <password>\n"
                         "       %s show <ini> <server>\n", argv[0], argv[0]);
    return 2;
}
