#include "common/OutputFile.h"

#include "common/CompleteWrite.h"

#include <QFileInfo>

#include <csignal>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kMostLinks = 40;

// A reader that goes away would end the program by SIGPIPE without a word;
// ignored, the write fails and names the reason.
void KeepBrokenPipesAsErrors()
{
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace

COutputFile::COutputFile(const QString& path) : m_path(path) {}

bool COutputFile::Open()
{
    if (m_path.isEmpty()) {
        m_mode = Mode::Direct;
        KeepBrokenPipesAsErrors();
        if (m_direct.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
            return true;
        m_error = m_direct.errorString();
        return false;
    }
    QFileInfo target(m_path);
    for (int links = 0; target.isSymLink(); ++links) {
        if (links == kMostLinks) {
            m_error = QStringLiteral("Too many levels of symbolic links");
            return false;
        }
        target.setFile(target.symLinkTarget());
    }
    const QString path = target.absoluteFilePath();
    if (target.isDir()) {
        m_error = QStringLiteral("Is a directory");
        return false;
    }
    if (target.exists() && !target.isFile()) {
        m_mode = Mode::Direct;
        KeepBrokenPipesAsErrors();
        m_direct.setFileName(path);
        // ExistingOnly: a node that went away is not made a regular file.
        if (m_direct.open(QIODevice::WriteOnly | QIODevice::Unbuffered | QIODevice::ExistingOnly))
            return true;
        m_error = m_direct.errorString();
        return false;
    }
    m_copy.setFileName(path);
    if (OpenReplacement(m_copy))
        return true;
    m_error = m_copy.errorString();
    // Opened to append, the file shows whether it may be written without
    // losing a byte of it yet.
    QFile probe(path);
    if (!target.isFile() || !probe.open(QIODevice::Append))
        return false;
    m_mode = Mode::InPlace;
    m_error.clear();
    return true;
}

bool COutputFile::Begin()
{
    if (std::exchange(m_begun, true))
        return m_begunWell;
    m_begunWell = true;
    if (m_mode == Mode::InPlace) {
        m_copy.setDirectWriteFallback(true);
        m_begunWell = OpenReplacement(m_copy);
    }
    return m_begunWell;
}

QIODevice& COutputFile::Device()
{
    return m_mode == Mode::Direct ? static_cast<QIODevice&>(m_direct) : m_copy;
}

bool COutputFile::Write(QByteArrayView bytes)
{
    return Begin() && WriteAll(Device(), bytes);
}

bool COutputFile::Commit()
{
    if (!Begin())
        return false;
    if (m_mode != Mode::Direct)
        return m_copy.commit();
    m_direct.close();
    return m_direct.error() == QFileDevice::NoError;
}

void COutputFile::Cancel()
{
    if (m_mode == Mode::Direct)
        m_direct.close();
    else
        m_copy.cancelWriting();
}

QString COutputFile::ErrorString() const
{
    if (!m_error.isEmpty())
        return m_error;
    return m_mode == Mode::Direct ? m_direct.errorString() : m_copy.errorString();
}
