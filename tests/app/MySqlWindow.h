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

inline void Run(CMySqlClient& client, const QString& statement)
{
    QVERIFY2(client.Query(ToMySql(statement)), client.m_errorText.c_str());
}

// Types a new server, picks MySQL, fills port, user and password, presses Connect.
inline void Connect(Window& w, const QString& host, int port, const QString& user, const QString& password)
{
    Retype(w->m_serverCombo, host);
    QTest::keyClick(w->m_serverCombo, Qt::Key_Tab);
    PickKind(w, 1);
    Retype(w.Edit(1017), QString::number(port));
    Retype(w.Edit(1013), user);
    Retype(w.Edit(1014), password);
    QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(1015)), Qt::LeftButton);
    QTRY_VERIFY(!w->WorkerRunning());
}

inline void ConnectTestServer(Window& w, int port = -1)
{
    Connect(w, Server().host, port < 0 ? Server().port.toInt() : port, Server().user, Server().password);
}
