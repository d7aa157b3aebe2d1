#pragma once

#include <QString>
#include <QStringView>

#include <string_view>
#include <vector>

// The values of a listing packed into one text, row after row. Reading a
// result makes no string per value; a value becomes a string of its own
// only when it is shown or asked for.
class CRowTexts
{
public:
    explicit CRowTexts(int columns = 0) : m_columns(columns) {}

    // Room for this many values holding this many UTF-8 bytes in all.
    void Reserve(qsizetype values, qsizetype bytes);
    void AppendUtf8(std::string_view value);
    void Append(QStringView value);

    int Columns() const { return m_columns; }
    qsizetype Rows() const { return m_columns ? qsizetype(m_ends.size()) / m_columns : 0; }
    // Empty for a row or column out of range.
    QStringView View(qsizetype row, int column) const;
    QString Text(qsizetype row, int column) const { return View(row, column).toString(); }

private:
    void MakeRoom(qsizetype chars);

    int m_columns;
    QString m_text;
    qsizetype m_used = 0;
    std::vector<qsizetype> m_ends;
};
