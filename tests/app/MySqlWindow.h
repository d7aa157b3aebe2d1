#pragma once

// Driving the real window against the private MariaDB: connecting as a user
// does, clicking list rows and reading lists and control states.

#include "TestWindowDriving.h"

#include "db/MySqlText.h"
#include "support/TestMySql.h"

inline const TestServer& Server()
{
    static const TestServer server = TestServer::Load();
    return server;
}

// A connection of the test's own to the private server.
inline bool ConnectClient(CMySqlClient& client, const char* database = "")
{
    SetTestServerParams(client, Server());
    client.m_connectDb = database;
    return Server().valid && client.Connect();
}

inline void Run(CMySqlClient& client, const QString& statement)
{
    QVERIFY2(client.Query(ToMySql(statement)), client.m_errorText.c_str());
}

inline void ConnectTestServer(Window& w, int port = -1)
{
    Connect(w, Server().host, port < 0 ? Server().port : QString::number(port), Server().user, Server().password, 1);
}
