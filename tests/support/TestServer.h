#pragma once

#include <QString>

// Where the tests' private MariaDB listens (written by mariadb.sh start).
struct TestServer {
    QString host;
    QString port;
    QString user;
    QString password;
    bool valid = false;

    static TestServer Load();
};
