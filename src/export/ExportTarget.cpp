#include "export/ExportTarget.h"

#include "common/CompleteWrite.h"

#include <QFile>
#include <QFileInfo>

#include <utility>

CExportTarget::CExportTarget(const QString& path) : m_file(path), m_writer(m_file) {}

bool CExportTarget::Open()
{
    if (OpenReplacement(m_file))
        return true;
    // Opened to append, the file shows whether it may be written without
    // losing a byte of it yet.
    QFile probe(m_file.fileName());
    m_direct = QFileInfo(probe).isFile() && probe.open(QIODevice::Append);
    return m_direct;
}

bool CExportTarget::Start()
{
    if (std::exchange(m_started, true))
        return m_startedWell;
    if (m_direct)
        m_file.setDirectWriteFallback(true);
    m_startedWell = (!m_direct || OpenReplacement(m_file)) && m_writer.WriteByteOrderMark() && m_writer.WriteHeader();
    return m_startedWell;
}

bool CExportTarget::WriteTable(const QString& table, const std::vector<QStringList>& columns, DbKind kind)
{
    return Start() && m_writer.WriteTable(table, columns, kind);
}

bool CExportTarget::Commit()
{
    return Start() && m_file.commit();
}

void CExportTarget::Cancel()
{
    m_file.cancelWriting();
}

QString CExportTarget::ErrorString() const
{
    return m_file.errorString();
}
