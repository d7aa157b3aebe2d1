// Renders the main window as it looks at start, with two servers in the
// history and the history list open, into a PNG file.
// Usage: velmora_grab_window <output.png>   (run with QT_QPA_PLATFORM=offscreen)

#include "app/SchemaDlg.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.png>\n", argv[0]);
        return 2;
    }
    const QString output = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1]));

    // The window reads Pell.ini from the working directory.
    QTemporaryDir folder;
    if (!folder.isValid() || !QDir::setCurrent(folder.path()))
        return 1;
    const CSettingsFile settings;
    settings.Write(QStringLiteral("Pell.ini"), QStringLiteral("Database"), QStringLiteral("Server1"),
                   QStringLiteral("127.0.0.1"));
    settings.Write(QStringLiteral("Pell.ini"), QStringLiteral("Database"), QStringLiteral("Server2"),
                   QStringLiteral("db01.local"));

    CSchemaDlg window;
    window.SetMessageAnswerer([](const QString& text, const QString&, unsigned) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return int(kIdOk);
    });
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::qWait(100);

    // The history drop-down is a window of its own; paint it over the grab
    // where it opens so the picture shows the two entries.
    QImage picture = window.grab().toImage();
    window.m_serverCombo->showPopup();
    QTest::qWait(300);
    QWidget* popup = window.m_serverCombo->view()->window();
    if (popup->isVisible()) {
        QPainter painter(&picture);
        painter.drawPixmap(popup->mapToGlobal(QPoint(0, 0)) - window.mapToGlobal(QPoint(0, 0)), popup->grab());
    }
    window.m_serverCombo->hidePopup();
    if (!picture.save(output)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
