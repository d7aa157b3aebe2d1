#pragma once

#include "common/AnsiCodePage.h"
#include "db/MySqlClient.h"
#include "support/TestServer.h"

#include <QStringList>

// Points a client at the private server; a password or port given replaces the server's.
inline void SetTestServerParams(CMySqlClient& client, const TestServer& server, const char* password = nullptr,
                                int port = -1)
{
    client.SetConnectParams(server.host.toStdString(), server.user.toStdString(),
                            password ? password : server.password.toStdString(), {},
                            port < 0 ? server.port.toUInt() : static_cast<std::uint32_t>(port));
}

// The first columns of a result row, read back from the connection's GBK.
inline QStringList GbkRow(const CMySqlClient& client, int row, int columns)
{
    QStringList values;
    for (int c = 0; c < columns; ++c)
        values << AnsiCodePage::ToUnicode(client.GetValue(row, c));
    return values;
}
