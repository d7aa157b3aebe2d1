#include "app/SchemaApp.h"

#include "app/SchemaDlg.h"

#include <QLibraryInfo>
#include <QTranslator>

#include <cstdlib>

CSchemaApp::CSchemaApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    SetIdentity();
    // Lets the desktop match the window to its menu entry and icon.
    setDesktopFileName(QStringLiteral(VELMORA_APP_ID));
}

void CSchemaApp::SetIdentity()
{
    setApplicationName(QStringLiteral("Velmora"));
    setApplicationVersion(QStringLiteral(VELMORA_VERSION));
}

bool CSchemaApp::InitInstance(const QString& settingsPath)
{
    // The window speaks Chinese, so Qt's own buttons (OK, Yes, No) should too.
    QTranslator qtBase;
    if (LoadQtTranslation(qtBase))
        installTranslator(&qtBase);

    CSchemaDlg dialog;
    dialog.SetSettingsPathAtStart(settingsPath);
    dialog.exec();
    // A worker that not even a cancel reaches is not waited for; nothing it
    // could still write is worth keeping the program alive.
    if (dialog.WorkerRunning())
        std::_Exit(0);

    removeTranslator(&qtBase);
    return false;
}

bool CSchemaApp::LoadQtTranslation(QTranslator& translator)
{
    return translator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}
