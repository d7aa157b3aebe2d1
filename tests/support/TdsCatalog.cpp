#include "support/TdsCatalog.h"

#include <QRegularExpression>

#include <algorithm>

using TdsWire::Cell;
using TdsWire::Column;
using TdsWire::ColumnType;

namespace {

const QString Description = QStringLiteral("MS_Description");
const QString Mark = QStringLiteral("\u221A");

// Identifiers and literals compare as on a case-insensitive collation, where
// trailing blanks do not count.
bool Same(const QString& a, const QString& b)
{
    auto trimmed = [](const QString& s) {
        qsizetype n = s.size();
        while (n > 0 && s[n - 1] == u' ')
            --n;
        return QStringView(s).left(n);
    };
    return trimmed(a).compare(trimmed(b), Qt::CaseInsensitive) == 0;
}

TdsWire::Message ServerError(int number, const QString& text, const QString& procedure = {})
{
    return {number, 1, 16, text, procedure, 1};
}

Column Sysname(const QString& name, bool nullable = false)
{
    return {name, ColumnType::NVarChar, 128, nullable};
}

} // namespace

TdsColumnDef TdsColumnDef::Declared(const QString& name, const QString& declaration)
{
    static const QRegularExpression shape(QStringLiteral(R"(^\s*(\w+)\s*(?:\(\s*(\w+)\s*(?:,\s*(\d+)\s*)?\))?\s*$)"));
    TdsColumnDef column;
    column.name = name;
    const QRegularExpressionMatch m = shape.match(declaration);
    if (!m.hasMatch())
        return column;
    column.type = m.captured(1).toLower();
    const QString size = m.captured(2);
    const bool max = size.compare(QStringLiteral("max"), Qt::CaseInsensitive) == 0;
    const int first = size.toInt(), second = m.captured(3).toInt();
    const QString& t = column.type;
    struct Fixed {
        const char* type;
        int precision;
        std::optional<int> scale;
    };
    static const Fixed fixed[] = {{"int", 10, 0},       {"bigint", 19, 0},  {"smallint", 5, 0},
                                  {"tinyint", 3, 0},    {"bit", 1, 0},      {"money", 19, 4},
                                  {"smallmoney", 10, 4}, {"float", 53, {}}, {"real", 24, {}},
                                  {"datetime", 23, 3},  {"smalldatetime", 16, 0}, {"date", 10, 0},
                                  {"text", 2147483647, {}}, {"image", 2147483647, {}},
                                  {"ntext", 1073741823, {}}, {"xml", -1, {}}};
    for (const Fixed& f : fixed) {
        if (t == QLatin1String(f.type)) {
            column.precision = f.precision;
            column.scale = f.scale;
            return column;
        }
    }
    if (t == u"decimal" || t == u"numeric") {
        column.precision = size.isEmpty() ? 18 : first;
        column.scale = second;
    } else if (t == u"char" || t == u"varchar" || t == u"nchar" || t == u"nvarchar" || t == u"binary"
               || t == u"varbinary") {
        column.precision = max ? -1 : (size.isEmpty() ? 1 : first);
    }
    return column;
}

TdsColumnDef& TdsColumnDef::Describe(const QString& description)
{
    properties[::Description] = description;
    return *this;
}

TdsColumnDef& TdsColumnDef::NotNull()
{
    nullable = false;
    return *this;
}

TdsColumnDef& TdsColumnDef::Key()
{
    primaryKey = true;
    nullable = false;
    return *this;
}

TdsColumnDef& TdsColumnDef::Identity()
{
    identity = true;
    nullable = false;
    return *this;
}

TdsColumnDef& TdsColumnDef::Default(const QString& text)
{
    defaultText = text;
    return *this;
}

std::optional<QString> TdsTableDef::Description() const
{
    const auto it = properties.find(::Description);
    return it == properties.end() ? std::nullopt : std::optional<QString>(*it);
}

TdsCatalog::TdsCatalog()
{
    for (const char* name : {"master", "tempdb", "model", "msdb", "ReportServer", "ReportServerTempDB"})
        m_databases.push_back({QString::fromLatin1(name), {}});
}

void TdsCatalog::AddDatabase(const TdsDatabaseDef& database)
{
    if (TdsDatabaseDef* existing = FindDatabase(database.name))
        *existing = database;
    else
        m_databases.push_back(database);
}

TdsDatabaseDef* TdsCatalog::FindDatabase(const QString& name)
{
    const auto it = std::find_if(m_databases.begin(), m_databases.end(),
                                 [&](const TdsDatabaseDef& d) { return Same(d.name, name); });
    return it == m_databases.end() ? nullptr : &*it;
}

const TdsDatabaseDef* TdsCatalog::Database(const QString& name) const
{
    return const_cast<TdsCatalog*>(this)->FindDatabase(name);
}

bool TdsCatalog::HasDatabase(const QString& name) const
{
    return Database(name) != nullptr;
}

QString TdsCatalog::DatabaseName(const QString& name) const
{
    const TdsDatabaseDef* database = Database(name);
    return database ? database->name : name;
}

const TdsTableDef* TdsCatalog::Table(const QString& database, const QString& table) const
{
    const TdsDatabaseDef* db = Database(database);
    if (!db)
        return nullptr;
    const auto it = std::find_if(db->tables.begin(), db->tables.end(),
                                 [&](const TdsTableDef& t) { return Same(t.name, table); });
    return it == db->tables.end() ? nullptr : &*it;
}

TdsReply TdsCatalog::Answer(const QString& database, const QString& statement)
{
    if (statement == TdsStatements::Probe()) {
        TdsReply reply;
        reply.columns = {{QString(), ColumnType::Int4, 0, false}};
        if (kind == 0)
            reply.rows.push_back({Cell::Of(1)});
        return reply;
    }
    if (statement == TdsStatements::Databases())
        return Databases();
    if (statement == TdsStatements::Tables(kind))
        return Tables(database);
    if (const auto table = TdsStatements::Match(statement, TdsStatements::Columns(kind, QStringLiteral("%s"))))
        return Columns(database, table->front());
    const struct {
        const QString& templ;
        bool add;
    } writes[] = {{propertyTemplates.addTable, true}, {propertyTemplates.updateTable, false},
                  {propertyTemplates.addColumn, true}, {propertyTemplates.updateColumn, false}};
    for (const auto& write : writes) {
        if (const auto values = TdsStatements::Match(statement, write.templ))
            return SetProperty(database, write.add, *values);
    }
    TdsReply refused;
    refused.error = ServerError(50000, QStringLiteral("The test peer does not know the statement: ") + statement);
    return refused;
}

TdsReply TdsCatalog::Databases() const
{
    static const QStringList hidden = {QStringLiteral("master"), QStringLiteral("msdb"), QStringLiteral("model"),
                                       QStringLiteral("tempdb"), QStringLiteral("ReportServer"),
                                       QStringLiteral("ReportServerTempDB")};
    TdsReply reply;
    reply.columns = {Sysname(QStringLiteral("name"))};
    for (const TdsDatabaseDef& database : m_databases) {
        if (std::none_of(hidden.begin(), hidden.end(), [&](const QString& h) { return Same(h, database.name); }))
            reply.rows.push_back({Cell::Of(database.name)});
    }
    return reply;
}

TdsReply TdsCatalog::Tables(const QString& database) const
{
    TdsReply reply;
    reply.columns = {Sysname(QStringLiteral("name")), {QStringLiteral("extpro"), ColumnType::NVarChar, 4000, true}};
    if (const TdsDatabaseDef* db = Database(database)) {
        for (const TdsTableDef& table : db->tables)
            reply.rows.push_back({Cell::Of(table.name), Cell::Of(table.Description().value_or(QString()).left(4000))});
    }
    return reply;
}

TdsReply TdsCatalog::Columns(const QString& database, const QString& tableName) const
{
    TdsReply reply;
    // The marks are non-Unicode literals, so they come back as varchar in
    // the database's code page; the description is a sql_variant.
    reply.columns = {Sysname(QStringLiteral("name")),
                     Sysname(QStringLiteral("type"), true),
                     {QStringLiteral("length"), ColumnType::IntN, 0, true},
                     {QStringLiteral("dec"), ColumnType::IntN, 0, true},
                     {QStringLiteral("null"), ColumnType::VarChar, 2, false},
                     {QStringLiteral("key"), ColumnType::VarChar, 2, false},
                     {QStringLiteral("auto"), ColumnType::VarChar, 2, false},
                     {QStringLiteral("default"), ColumnType::NVarChar, 4000, false},
                     {QStringLiteral("desc"), ColumnType::Variant, 0, false}};
    const TdsTableDef* table = Table(database, tableName);
    if (!table)
        return reply;
    auto mark = [](bool yes) { return Cell::Ansi(yes ? Mark : QString()); };
    for (const TdsColumnDef& column : table->columns) {
        const auto description = column.properties.find(::Description);
        reply.rows.push_back({Cell::Of(column.name), Cell::Of(column.type),
                              column.precision ? Cell::Of(*column.precision) : Cell(),
                              Cell::Of(column.scale.value_or(0)), mark(column.nullable), mark(column.primaryKey),
                              mark(column.identity), Cell::Of(column.defaultText),
                              description == column.properties.end() ? Cell::Ansi(QString())
                                                                     : Cell::Of(*description)});
    }
    return reply;
}

TdsReply TdsCatalog::SetProperty(const QString& database, bool add, const QStringList& values)
{
    const QString procedure = add ? QStringLiteral("sp_addextendedproperty") : QStringLiteral("sp_updateextendedproperty");
    TdsReply reply;
    reply.procedure = procedure;
    const QString& value = values.at(0);
    TdsDatabaseDef* db = FindDatabase(database);
    auto table = db ? std::find_if(db->tables.begin(), db->tables.end(),
                                   [&](const TdsTableDef& t) { return Same(t.name, values.at(1)); })
                    : std::vector<TdsTableDef>::iterator();
    QString target = QStringLiteral("dbo.") + values.at(1);
    QMap<QString, QString>* properties = nullptr;
    if (db && table != db->tables.end()) {
        target = QStringLiteral("dbo.") + table->name;
        properties = &table->properties;
        if (values.size() > 2) {
            const auto column = std::find_if(table->columns.begin(), table->columns.end(),
                                             [&](const TdsColumnDef& c) { return Same(c.name, values.at(2)); });
            target += u'.' + (column == table->columns.end() ? values.at(2) : column->name);
            properties = column == table->columns.end() ? nullptr : &column->properties;
        }
    } else if (values.size() > 2) {
        target += u'.' + values.at(2);
    }
    if (!properties) {
        reply.error = ServerError(15135,
                                  QStringLiteral("Object is invalid. Extended properties are not permitted on '%1', "
                                                 "or the object does not exist.")
                                      .arg(target),
                                  procedure);
    } else if (add && properties->contains(::Description)) {
        reply.error = ServerError(
            15233, QStringLiteral("Property cannot be added. Property 'MS_Description' already exists for '%1'.").arg(target),
            procedure);
    } else if (!add && !properties->contains(::Description)) {
        reply.error = ServerError(15217,
                                  QStringLiteral("Property cannot be updated or deleted. Property 'MS_Description' "
                                                 "does not exist for '%1'.")
                                      .arg(target),
                                  procedure);
    } else {
        (*properties)[::Description] = value;
    }
    return reply;
}
