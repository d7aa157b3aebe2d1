#include "export/StructureFile.h"

#include "catalog/LengthDisplay.h"
#include "common/CompleteWrite.h"

#include <QIODevice>
#include <QtEndian>

namespace {

const QString kHeader = QStringLiteral("表名\t字段\t类型\t长度\t小数\t是否为空\t主键\t自增长\t默认值\t描述");
constexpr QChar kLineBreakMark = u'；';

void AppendField(QString& line, const QString& value)
{
    line.reserve(line.size() + value.size() + 1);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\r') {
            line += kLineBreakMark;
            if (i + 1 < value.size() && value[i + 1] == u'\n')
                ++i;
        } else if (c == u'\n') {
            line += kLineBreakMark;
        } else if (c == u'\t') {
            line += u' ';
        } else {
            line += c;
        }
    }
}

} // namespace

QString StructureLine(const QString& table, const QStringList& values, DbKind kind)
{
    QString line;
    AppendField(line, table);
    for (qsizetype i = 0; i < 9; ++i) {
        const QString value = values.value(i);
        line += u'\t';
        AppendField(line, i == 2 ? DisplayLength(values.value(1), value, kind) : value);
    }
    return line;
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
    QString text;
    for (const QStringList& values : columns) {
        text += StructureLine(table, values, kind);
        text += QStringLiteral("\r\n");
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
