#pragma once

#include "common/DbKind.h"
#include "export/DocumentedTable.h"
#include "export/TableKeys.h"
#include "export/TableSink.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

#include <memory>
#include <optional>
#include <vector>

class COutputFile;
class QIODevice;

// The data dictionary documents: one self-contained HTML page, or a Word
// document. Both hold a title (server, database, date), contents, and for
// each table a heading "name — description", its columns under the
// window's nine headings, its indexes and its foreign keys.
enum class DocumentFormat { Html, Docx };

// The format a file name asks for: ".html"/".htm" or ".docx".
std::optional<DocumentFormat> DocumentFormatOf(const QString& path);

struct DocumentTitle {
    QString server;
    QString database;
    QDate date;
};

// A contents entry: the section's heading and its number (from 0).
struct DocumentEntry {
    QString heading;
    qsizetype section;
};

// The nine column headings of the window's structure list.
const QStringList& DocumentColumnHeadings();
// "name — description", or the name alone; a view is marked as one.
QString SectionHeading(const QString& table, const QString& description, bool view = false);

// Text as the documents hold it: a character XML (and so HTML) cannot hold
// (C0 controls but TAB, CR and LF; U+FFFE, U+FFFF; a lone surrogate) shows
// as a visible escape, "\x01" for a control, "\uFFFE" for the others. A
// backslash itself is left as it is, so a text that already reads "\x01"
// looks the same; such texts are not expected in a description.
QString DocumentText(const QString& text);

// The sections as the sink keeps them: their first parts one after another
// in a file, where each ends there, and each one's second part.
struct DocumentBody {
    QIODevice& file;
    const std::vector<qint64>& ends;
    std::vector<QByteArray> rest;

    qint64 Size() const;
};
// Writes the sections whole, in order; false when a read or write failed.
bool WriteBody(QIODevice& out, const DocumentBody& body);

// One format's writing. A section is written in two parts: the heading and
// the columns as the table is read, its indexes and foreign keys once the
// whole file is put together, so the keys may be read meanwhile.
class CDocumentWriter
{
public:
    virtual ~CDocumentWriter() = default;
    virtual bool Section(QIODevice& body, qsizetype number, const DocumentedTable& table, DbKind kind) = 0;
    // A view has neither indexes nor keys: its section ends with no such parts.
    virtual QByteArray SectionEnd(const TableKeys* keys, const QString& unread, bool view) = 0;
    // The whole file: what comes before the sections, the sections, the end.
    virtual bool Finish(QIODevice& out, const DocumentTitle& title, const std::vector<DocumentEntry>& contents,
                        const DocumentBody& body, QString& error) = 0;
};
std::unique_ptr<CDocumentWriter> MakeHtmlWriter();
std::unique_ptr<CDocumentWriter> MakeDocxWriter();

// Takes the tables of the export loop. Each table's section is written as it
// comes to a temporary file, so the export holds one table at a time in
// memory; Commit puts the title and contents before them and the indexes
// and keys into them.
class CDocumentSink : public CTableSink
{
public:
    // `descriptions`: the table descriptions by name, as the list shows them.
    CDocumentSink(DocumentFormat format, DocumentTitle title, QHash<QString, QString> descriptions);
    ~CDocumentSink() override;

    bool WriteTable(const QString& table, const std::vector<QStringList>& columns, DbKind kind) override;
    QString ErrorString() const override { return m_error; }
    bool Started() const { return !m_contents.empty(); }
    // Any time before Commit.
    void SetKeys(KeyCatalog keys) { m_keys = std::move(keys); }
    // The views among the tables (MySQL lists "VIEW" as their description).
    void SetViews(QSet<QString> views) { m_views = std::move(views); }
    // Writes the document to the opened output and commits it; false,
    // with ErrorString, when it could not be written (the caller cancels).
    bool Commit(COutputFile& output);

private:
    std::unique_ptr<CDocumentWriter> m_writer;
    DocumentTitle m_title;
    QHash<QString, QString> m_descriptions;
    KeyCatalog m_keys;
    QTemporaryFile m_body;
    std::vector<DocumentEntry> m_contents;
    QSet<QString> m_views;
    QStringList m_tables;           // of the sections, in order
    std::vector<qint64> m_sectionEnds; // where each section's first part ends in the body
    QString m_error;
};
