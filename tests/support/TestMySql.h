#pragma once

#include "db/MySqlClient.h"
#include "db/MySqlText.h"
#include "support/TestServer.h"

// Points a client at the private server.
inline void SetTestServerParams(CMySqlClient& client, const TestServer& server)
{
    client.SetConnectParams(server.host.toStdString(), server.user.toStdString(), server.password.toStdString(), {},
                            server.port.toUInt());
}
