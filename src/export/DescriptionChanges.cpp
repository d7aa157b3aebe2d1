#include "export/DescriptionChanges.h"

#include "edit/DescriptionUpdate.h"
#include "export/StructureFile.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

constexpr qsizetype kColumnFields = 10;
constexpr qsizetype kTableFields = 2;
constexpr qsizetype kColumnName = 1;
constexpr qsizetype kColumnDescription = 9;
constexpr qsizetype kStoredName = 0;
constexpr qsizetype kStoredDescription = 8;

using Key = std::pair<QString, QString>; // table, column ("" for the table)

// CR LF, CR and LF as one line break.
QString OneLineBreak(const QString& text)
{
    if (!text.contains(u'\r'))
        return text;
    QString same = text;
    return same.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
}

// A description as a field gives it: as written, and as a spreadsheet's
// quoting means it when it quoted the field.
struct FieldText {
    QString raw;
    std::optional<QString> unquoted;

    QString Meant() const { return unquoted.value_or(raw); }
    // The same text, or what the export writes for it.
    bool Matches(const QString& text) const
    {
        const QString field = StructureField(text);
        const QString same = OneLineBreak(text);
        const auto matches = [&](const QString& given) { return given == field || OneLineBreak(given) == same; };
        return matches(raw) || (unquoted && matches(*unquoted));
    }
    bool Same(const FieldText& other) const
    {
        return OneLineBreak(raw) == OneLineBreak(other.raw) || OneLineBreak(Meant()) == OneLineBreak(other.Meant());
    }
};

struct FileEntry {
    QString place;
    FieldText text;
    qsizetype order = 0; // rows first, then the tables sheet
};

QString Place(const StructureInput& input, const StructureRow& row, bool tableSheet)
{
    if (!input.workbook)
        return QStringLiteral("line %1").arg(row.line);
    return QStringLiteral("%1 row %2").arg(tableSheet ? u"Tables" : u"Columns").arg(row.line);
}

// The wanted descriptions by table and column; a line that cannot be taken
// is named in `unusable`, and so is every line of a key given twice.
QHash<Key, FileEntry> Entries(const StructureInput& input, QStringList* unusable)
{
    QHash<Key, FileEntry> entries;
    QHash<Key, QStringList> places;
    qsizetype order = 0;
    const auto take = [&](const StructureRow& row, bool tableSheet) {
        const qsizetype wanted = tableSheet ? kTableFields : kColumnFields;
        const qsizetype description = tableSheet ? 1 : kColumnDescription;
        const QString place = Place(input, row, tableSheet);
        // A sheet leaves out the empty cells at a row's end.
        if (input.workbook ? row.width > wanted : row.width != wanted) {
            if (unusable)
                unusable->append(QStringLiteral("%1: %2 fields where there should be %3")
                                     .arg(place).arg(row.width).arg(wanted));
            return;
        }
        for (const qsizetype i : {qsizetype(0), tableSheet ? qsizetype(0) : kColumnName, description}) {
            if (row.faults.value(i).isEmpty())
                continue;
            if (unusable)
                unusable->append(QStringLiteral("%1: the %2 cell holds %3")
                                     .arg(place, i == 0 ? u"table" : i == description ? u"description" : u"column",
                                          row.faults[i]));
            return;
        }
        const Key key{row.fields.value(0), tableSheet ? QString() : row.fields.value(kColumnName)};
        const QString meant = row.fields.value(description);
        const QString written = row.written.value(description, meant);
        FieldText text{written, written == meant ? std::nullopt : std::optional(meant)};
        entries.insert(key, {place, text, order++});
        places[key].append(place);
    };
    for (const StructureRow& row : input.columns)
        take(row, false);
    for (const StructureRow& row : input.tables)
        take(row, true);
    for (auto it = places.cbegin(); it != places.cend(); ++it) {
        if (it->size() < 2)
            continue;
        entries.remove(it.key());
        if (unusable)
            unusable->append(QStringLiteral("%1: %2 is given more than once")
                                 .arg(it->join(QStringLiteral(", ")),
                                      it.key().second.isEmpty() ? QStringLiteral("table %1").arg(it.key().first)
                                                                : it.key().first + u'.' + it.key().second));
    }
    return entries;
}

} // namespace

DescriptionChanges CompareDescriptions(const StructureInput& file, const std::vector<DocumentedTable>& server,
                                       bool mysql, const StructureInput* base, bool force,
                                       const QStringList& unread)
{
    DescriptionChanges result;
    QHash<QString, const DocumentedTable*> tables;
    for (const DocumentedTable& table : server)
        tables.insert(table.name, &table);
    const QHash<Key, FileEntry> baseEntries = base ? Entries(*base, nullptr) : QHash<Key, FileEntry>();

    result.unusable = file.notes;
    const QHash<Key, FileEntry> entries = Entries(file, &result.unusable);
    std::vector<std::pair<qsizetype, Key>> ordered;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        ordered.emplace_back(it->order, it.key());
    std::sort(ordered.begin(), ordered.end());

    for (const auto& [order, key] : ordered) {
        const FileEntry& entry = entries[key];
        const QString& place = entry.place;
        const DocumentedTable* table = tables.value(key.first);
        if (!table) {
            result.unusable.append(QStringLiteral("%1: the database has no table %2").arg(place, key.first));
            continue;
        }
        if (unread.contains(key.first)) {
            result.unusable.append(QStringLiteral("%1: table %2 could not be read").arg(place, key.first));
            continue;
        }
        std::optional<QString> stored;
        if (key.second.isEmpty()) {
            stored = table->description;
        } else {
            for (const QStringList& values : table->columns)
                if (values.value(kStoredName) == key.second)
                    stored = values.value(kStoredDescription);
        }
        if (!stored) {
            result.unusable.append(QStringLiteral("%1: table %2 has no column %3").arg(place, key.first, key.second));
            continue;
        }
        DescriptionChange change{key.first, key.second, *stored, entry.text.Meant(), place, {}};
        const auto original = baseEntries.constFind(key);
        const bool edited = original == baseEntries.cend() || !entry.text.Same(original->text);
        if (!edited || entry.text.Matches(*stored)) {
            ++result.unchanged;
            continue;
        }
        if (original != baseEntries.cend() && !force && !original->text.Matches(*stored)) {
            result.conflicts.push_back(change);
            continue;
        }
        const DescriptionLimit limit = CheckDescriptionLimit(change.wanted, mysql, key.second.isEmpty());
        if (limit.character)
            change.refusal = QStringLiteral("the server cannot store the character U+%1")
                                 .arg(QString::number(limit.character, 16).toUpper());
        else if (!limit.Fits())
            change.refusal = QStringLiteral("%1 characters, the server keeps at most %2").arg(limit.length).arg(limit.limit);
        result.changes.push_back(change);
    }
    return result;
}

QString BaseMisfit(const StructureInput& file, const StructureInput& base, const QStringList& tables)
{
    const QHash<Key, FileEntry> original = Entries(base, nullptr);
    const QSet<QString> known(tables.cbegin(), tables.cend());
    const qsizetype ofDatabase = std::count_if(original.keyBegin(), original.keyEnd(),
                                               [&](const Key& key) { return known.contains(key.first); });
    if (ofDatabase * 2 < original.size())
        return QStringLiteral("only %1 of its %2 lines name a table of the database: it is of another database")
            .arg(ofDatabase).arg(original.size());
    const QHash<Key, FileEntry> edited = Entries(file, nullptr);
    const qsizetype shared = std::count_if(edited.keyBegin(), edited.keyEnd(),
                                           [&](const Key& key) { return original.contains(key); });
    if (shared * 2 < edited.size())
        return QStringLiteral("it shares only %1 of the file's %2 lines: it is not the export the file was edited from")
            .arg(shared).arg(edited.size());
    return {};
}
