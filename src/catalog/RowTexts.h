#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <string_view>
#include <vector>

// The values of a listing packed as UTF-8 into one buffer, row after row.
// Reading a result makes no string per value; a value becomes a string of
// its own only when it is shown or asked for.
class CRowTexts
{
public:
    explicit CRowTexts(int columns = 0) : m_columns(columns) {}

    // Room for this many values holding this many bytes in all.
    void Reserve(qsizetype values, qsizetype bytes);
    void AppendUtf8(std::string_view value);
    void Append(QStringView value);

    int Columns() const { return m_columns; }
    qsizetype Rows() const { return m_columns ? qsizetype(m_ends.size()) / m_columns : 0; }
    // Empty for a row or column out of range.
    QString Text(qsizetype row, int column) const;

private:
    int m_columns;
    QByteArray m_bytes;
    std::vector<qsizetype> m_ends;
};
