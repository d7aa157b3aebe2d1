#include "app/SchemaDlg.h"
#include "export/DocumentSink.h"
#include "export/ExportFileName.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QRegularExpression>

#include <memory>

void CSchemaDlg::SetSaveFileAnswerer(SaveFileAnswerer answerer)
{
    m_saveFileAnswerer = std::move(answerer);
}

QString CSchemaDlg::SaveFileDialog(const QString& defaultName)
{
    if (m_saveFileAnswerer)
        return m_saveFileAnswerer(defaultName);
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QString workbook = QStringLiteral("Excel Workbook (*.xlsx)");
    const QString word = QStringLiteral("Word Document (*.docx)");
    const QString page = QStringLiteral("HTML Page (*.html)");
    dialog.setNameFilters({QStringLiteral("TXT Files (*.txt)"), workbook, word, page, QStringLiteral("All Files (*.*)")});
    dialog.selectNameFilter(QStringLiteral("TXT Files (*.txt)"));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    // The export asks about an existing file itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // The whole name, however long: the dialog has no fixed buffer to cut it to.
    dialog.selectFile(defaultName);
    // On a change of file type Qt's own dialog puts the type's suffix in
    // place of whatever follows the name's last dot, so the default
    // "127.0.0.1-shop" became "127.0.0.docx". The name is put back as it was,
    // less a suffix of the export's own; the type's suffix comes on answering.
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto before = std::make_shared<QString>();
    if (types && edit) {
        // The index changes before the dialog's own handler runs.
        connect(types, &QComboBox::currentIndexChanged, &dialog, [edit, before] { *before = edit->text(); });
        connect(&dialog, &QFileDialog::filterSelected, &dialog, [edit, before] {
            static const QRegularExpression ours(QStringLiteral("\\.(txt|xlsx|docx|html?)$"),
                                                 QRegularExpression::CaseInsensitiveOption);
            edit->setText(QString(*before).remove(ours));
        });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    if (dialog.selectedNameFilter() == workbook)
        return WorkbookFileName(chosen);
    // The suffix chooses the format, so the filter's own is added when missing.
    if (dialog.selectedNameFilter() == word || dialog.selectedNameFilter() == page) {
        const bool html = dialog.selectedNameFilter() == page;
        return DocumentFormatOf(chosen) == (html ? DocumentFormat::Html : DocumentFormat::Docx)
            ? chosen
            : chosen + (html ? QStringLiteral(".html") : QStringLiteral(".docx"));
    }
    return ExportFileName(chosen, dialog.selectedNameFilter().startsWith(u"TXT"));
}
