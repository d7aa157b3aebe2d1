#include "export/StructureFile.h"

#include "catalog/LengthDisplay.h"
#include "common/CompleteWrite.h"

#include <QIODevice>
#include <QtEndian>

namespace {

const QString kHeader = QStringLiteral("表名\t字段\t类型\t长度\t小数\t是否为空\t主键\t自增长\t默认值\t描述");
constexpr QChar kLineBreakMark = u'；';

// Runs without a line break or TAB go in whole; a line's text is reserved
// beforehand, so no run reallocates it.
void AppendField(QString& line, QStringView value)
{
    qsizetype run = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\r' && c != u'\n' && c != u'\t')
            continue;
        line += value.sliced(run, i - run);
        if (c == u'\t') {
            line += u' ';
        } else {
            line += kLineBreakMark;
            if (c == u'\r' && i + 1 < value.size() && value[i + 1] == u'\n')
                ++i;
        }
        run = i + 1;
    }
    line += value.sliced(run);
}

// Room for a line and its line end; a fixed length text is at most three
// units longer than the length it replaces.
qsizetype LineCapacity(const QString& table, const QStringList& values)
{
    qsizetype size = table.size() + 9 + 3 + 2;
    for (const QString& value : values)
        size += value.size();
    return size;
}

void AppendLine(QString& text, const QString& table, const QStringList& values, DbKind kind)
{
    AppendField(text, table);
    for (qsizetype i = 0; i < 9; ++i) {
        text += u'\t';
        if (i == 2)
            AppendField(text, DisplayLength(values.value(1), values.value(2), kind));
        else if (i < values.size())
            AppendField(text, values[i]);
    }
}

} // namespace

QString StructureLine(const QString& table, const QStringList& values, DbKind kind)
{
    QString line;
    line.reserve(LineCapacity(table, values));
    AppendLine(line, table, values, kind);
    return line;
}

QStringList StructureFields(const QString& table, const QStringList& values, DbKind kind)
{
    QStringList fields{table};
    for (qsizetype i = 0; i < 9; ++i)
        fields.append(i == 2 ? DisplayLength(values.value(1), values.value(2), kind) : values.value(i));
    return fields;
}

QString StructureField(const QString& value)
{
    QString field;
    field.reserve(value.size());
    AppendField(field, value);
    return field;
}

QStringList StructureHeader()
{
    return kHeader.split(u'\t');
}

bool CStructureWriter::WriteByteOrderMark()
{
    return WriteAll(m_device, QByteArrayView("\xFF\xFE", 2));
}

bool CStructureWriter::WriteHeader()
{
    return Write(kHeader + QStringLiteral("\r\n"));
}

bool CStructureWriter::WriteTable(const QString& table, const std::vector<QStringList>& columns, DbKind kind)
{
    qsizetype capacity = 0;
    for (const QStringList& values : columns)
        capacity += LineCapacity(table, values);
    QString text;
    text.reserve(capacity);
    for (const QStringList& values : columns) {
        AppendLine(text, table, values, kind);
        text += u"\r\n";
    }
    return Write(text);
}

QString CStructureWriter::ErrorString() const
{
    return m_device.errorString();
}

bool CStructureWriter::Write(const QString& text)
{
    // QString holds UTF-16 in host order; the file is little-endian.
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    qToLittleEndian<char16_t>(text.utf16(), text.size(), bytes.data());
    return WriteAll(m_device, bytes);
}
