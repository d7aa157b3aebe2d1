#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The ODBC driver that reaches SQL Server: "SQL Server" when registered
// (as on Windows), else Microsoft's driver 18 or 17, else FreeTDS.
QString ChooseSqlServerDriver(const QStringList& installedDrivers);

// The driver names registered with the ODBC driver manager.
QStringList InstalledOdbcDrivers();

// A connection string attribute value as ODBC drivers read it: unchanged
// when plain, else in braces, e.g. {pa;ss}. Empty when the value holds '}':
// FreeTDS ends a braced value at the first "};" and does not read "}}"
// as an escaped brace, so no form of such a value reaches every driver.
std::optional<QString> QuoteOdbcValue(const QString& value);

// Either the connection string or, when a parameter cannot be carried by
// one, the reason in words the window can show (text is then empty).
struct SqlServerConnectionString {
    QString text;
    QString error;

    bool IsValid() const { return error.isEmpty(); }
};

// "Driver=%s;Server=%s,%s;Database=%s;UID=%s;PWD=%s" with every value
// quoted by QuoteOdbcValue; a braced value is always followed by ';'.
// An empty port means 1433, since FreeTDS does not connect without one;
// FreeTDS also gets "TDS_Version=7.4;" so it does not fall back to an old
// protocol.
SqlServerConnectionString BuildSqlServerConnectionString(const QString& driver, const QString& server,
                                                         const QString& port, const QString& database,
                                                         const QString& user, const QString& password);
