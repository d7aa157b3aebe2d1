#include "export/DescriptionChanges.h"

#include "edit/DescriptionUpdate.h"
#include "export/StructureFile.h"

#include <QHash>

#include <algorithm>

namespace {

constexpr qsizetype kColumnFields = 10;
constexpr qsizetype kTableFields = 2;
constexpr qsizetype kColumnName = 1;
constexpr qsizetype kColumnDescription = 9;
constexpr qsizetype kStoredName = 0;
constexpr qsizetype kStoredDescription = 8;

using Key = std::pair<QString, QString>; // table, column ("" for the table)

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
        return raw == text || raw == field || (unquoted && (*unquoted == text || *unquoted == field));
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
        QStringList fields = row.fields;
        // A sheet leaves out the empty cells at a row's end.
        if (input.workbook)
            while (fields.size() < wanted)
                fields.append(QString());
        const QString place = Place(input, row, tableSheet);
        if (fields.size() != wanted) {
            if (unusable)
                unusable->append(QStringLiteral("%1: %2 fields where there should be %3")
                                     .arg(place).arg(fields.size()).arg(wanted));
            return;
        }
        const auto name = [&](qsizetype i) { return input.workbook ? fields[i] : UnquotedField(fields[i]).value_or(fields[i]); };
        const Key key{name(0), tableSheet ? QString() : name(kColumnName)};
        const QString& text = fields[tableSheet ? 1 : kColumnDescription];
        entries.insert(key, {place, {text, input.workbook ? std::nullopt : UnquotedField(text)}, order++});
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
        const bool edited = original == baseEntries.cend() || !(entry.text.raw == original->text.raw ||
                                                                entry.text.Meant() == original->text.Meant());
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
