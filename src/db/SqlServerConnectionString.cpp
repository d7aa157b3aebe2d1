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
        const char16_t* what;
    } attributes[] = {
        {u"Driver", driver, u"驱动名称"}, {u"Server", hostAndPort, u"服务器名称或端口"},
        {u"Database", database, u"数据库名称"}, {u"UID", user, u"用户名"},
        {u"PWD", password, u"密码"},
    };

    SqlServerConnectionString result;
    bool lastBraced = false;
    for (const auto& attribute : attributes) {
        const std::optional<QString> quoted = QuoteOdbcValue(attribute.value);
        if (!quoted) {
            return {QString(), QStringLiteral("%1中含有字符“}”，无法传给ODBC驱动程序。")
                                   .arg(QString::fromUtf16(attribute.what))};
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
