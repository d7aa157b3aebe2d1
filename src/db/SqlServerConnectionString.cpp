#include "db/SqlServerConnectionString.h"

#include <sql.h>
#include <sqlext.h>

namespace {

const QString FreeTds = QStringLiteral("FreeTDS");

bool NeedsBraces(const QString& value)
{
    if (value.isEmpty())
        return false;
    return value.contains(u';') || value.contains(u'{') || value.contains(u'=') || value.front().isSpace()
        || value.back().isSpace();
}

} // namespace

QString ChooseSqlServerDriver(const QStringList& installedDrivers)
{
    for (const QString& driver : {QStringLiteral("SQL Server"), QStringLiteral("ODBC Driver 18 for SQL Server"),
                                  QStringLiteral("ODBC Driver 17 for SQL Server")}) {
        if (installedDrivers.contains(driver, Qt::CaseInsensitive))
            return driver;
    }
    return FreeTds;
}

QStringList InstalledOdbcDrivers()
{
    QStringList drivers;
    SQLHENV env = SQL_NULL_HENV;
    if (SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env) != SQL_SUCCESS)
        return drivers;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLWCHAR name[512];
    SQLWCHAR attributes[2048];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT attributesLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        const SQLRETURN rc =
            SQLDriversW(env, direction, name, 512, &nameLength, attributes, 2048, &attributesLength);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO)
            break;
        drivers << QString::fromUtf16(reinterpret_cast<const char16_t*>(name), qMin<qsizetype>(nameLength, 511));
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return drivers;
}

std::optional<QString> QuoteOdbcValue(const QString& value)
{
    if (value.contains(u'}'))
        return std::nullopt;
    if (NeedsBraces(value))
        return u'{' + value + u'}';
    return value;
}

SqlServerConnectionString BuildSqlServerConnectionString(const QString& driver, const QString& server,
                                                         const QString& port, const QString& database,
                                                         const QString& user, const QString& password)
{
    const QString hostAndPort = server + u',' + (port.isEmpty() ? QStringLiteral("1433") : port);
    const struct {
        const char16_t* key;
        const QString& value;
        const char* what;
    } attributes[] = {
        {u"Driver", driver, "driver name"}, {u"Server", hostAndPort, "server name or port"},
        {u"Database", database, "database name"}, {u"UID", user, "user name"},
        {u"PWD", password, "password"},
    };

    SqlServerConnectionString result;
    bool lastBraced = false;
    for (const auto& attribute : attributes) {
        const std::optional<QString> quoted = QuoteOdbcValue(attribute.value);
        if (!quoted) {
            return {QString(), QStringLiteral("The %1 contains \"}\", which cannot be passed to the ODBC driver.")
                                   .arg(QLatin1String(attribute.what))};
        }
        if (!result.text.isEmpty())
            result.text += u';';
        result.text += QString::fromUtf16(attribute.key) + u'=' + *quoted;
        lastBraced = quoted->startsWith(u'{');
    }
    if (driver.compare(FreeTds, Qt::CaseInsensitive) == 0)
        result.text += QStringLiteral(";TDS_Version=7.4;");
    else if (lastBraced)
        result.text += u';';
    return result;
}
