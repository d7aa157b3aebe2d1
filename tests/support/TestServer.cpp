#include "support/TestServer.h"

#include <QFile>
#include <QHash>

TestServer TestServer::Load()
{
    QHash<QString, QString> env; // KEY=VALUE lines
    QFile file(QStringLiteral(VELMORA_TEST_SERVER_ENV));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n'))
            env.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    const auto value = [&env](const char* key) { return env.value(QStringLiteral("VELMORA_DB_") + QLatin1String(key)); };
    TestServer server{value("HOST"), value("PORT"), value("USER"), value("PASS")};
    server.valid = !server.host.isEmpty() && !server.port.isEmpty();
    return server;
}
