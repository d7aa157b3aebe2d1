#include "support/TestServer.h"

#include <QFile>

TestServer TestServer::Load()
{
    TestServer server;
    QFile file(QStringLiteral(VELMORA_TEST_SERVER_ENV));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return server;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1);
        if (key == u"VELMORA_DB_HOST")
            server.host = value;
        else if (key == u"VELMORA_DB_PORT")
            server.port = value;
        else if (key == u"VELMORA_DB_USER")
            server.user = value;
        else if (key == u"VELMORA_DB_PASS")
            server.password = value;
        else if (key == u"VELMORA_DB_SOCKET")
            server.socket = value;
    }
    server.valid = !server.host.isEmpty() && !server.port.isEmpty();
    return server;
}
