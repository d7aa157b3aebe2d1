#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QSaveFile>
#include <QString>

// Where a written document goes: a file the user named, or standard output.
// A regular file, also one a symbolic link leads to, is replaced by a
// complete copy written beside it, so a link stays a link and a run that
// fails leaves the old content. A FIFO, a device or a socket is written
// directly and never replaced. A regular file in a folder that cannot hold
// the copy is written in place once the first bytes come (its old content
// is then lost on a failure, which is still reported).
class COutputFile
{
public:
    // An empty path is standard output.
    explicit COutputFile(const QString& path);

    // False, with ErrorString, when the target can be neither replaced nor written.
    bool Open();
    // Opens a file written in place, which loses its old content now.
    bool Begin();
    // The device after Begin.
    QIODevice& Device();
    bool Write(QByteArrayView bytes);
    // Makes what was written the file.
    bool Commit();
    void Cancel();
    QString ErrorString() const;

private:
    enum class Mode { Replace, InPlace, Direct };

    QString m_path;
    Mode m_mode = Mode::Replace;
    QSaveFile m_copy;
    QFile m_direct;
    QString m_error;
    bool m_begun = false;
    bool m_begunWell = false;
};
