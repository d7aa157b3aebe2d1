#pragma once

#include "app/SchemaDlg.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// One message the window asked the user, as the answerer saw it.
struct RecordedMessage {
    QString text;
    QString caption;
    unsigned style;
};

// Every test runs in a fresh folder, since the window reads and writes
// Pell.ini in the working directory.
class WorkingFolder
{
public:
    WorkingFolder() : m_previous(QDir::currentPath())
    {
        QVERIFY(m_folder.isValid());
        QVERIFY(QDir::setCurrent(m_folder.path()));
    }
    ~WorkingFolder() { QDir::setCurrent(m_previous); }

    static void WriteSettings(const QByteArray& text)
    {
        QFile file(QStringLiteral("Pell.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    static QByteArray ReadSettings()
    {
        QFile file(QStringLiteral("Pell.ini"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QString m_previous;
    QTemporaryDir m_folder;
};

// The window with an answerer that records every message and answers OK.
struct RecordedWindow {
    std::unique_ptr<CSchemaDlg> window = std::make_unique<CSchemaDlg>();
    QList<RecordedMessage> messages;

    RecordedWindow()
    {
        window->SetMessageAnswerer([this](const QString& text, const QString& caption, unsigned style) {
            messages.append({text, caption, style});
            return int(kIdOk);
        });
    }

    // Shows the window, which runs its start-up.
    bool Show()
    {
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }
};
