#include "app/SchemaApp.h"

#include "app/SchemaDlg.h"

#include <QLibraryInfo>
#include <QTranslator>

CSchemaApp::CSchemaApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Velmora"));
    setApplicationVersion(QStringLiteral("23.16.10.23"));
}

bool CSchemaApp::InitInstance()
{
    // The window speaks Chinese, so Qt's own buttons (OK, Yes, No) should too.
    QTranslator qtBase;
    if (LoadQtTranslation(qtBase))
        installTranslator(&qtBase);

    CSchemaDlg dialog;
    dialog.exec();

    removeTranslator(&qtBase);
    return false;
}

bool CSchemaApp::LoadQtTranslation(QTranslator& translator)
{
    return translator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}
