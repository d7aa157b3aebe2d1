#pragma once

#include "db/MySqlClient.h"
#include "db/MySqlText.h"
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

// The first columns of a result row as text.
inline QStringList TextRow(const CMySqlClient& client, int row, int columns)
{
    QStringList values;
    for (int c = 0; c < columns; ++c)
        values << FromMySql(client.GetValue(row, c));
    return values;
}
