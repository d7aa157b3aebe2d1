#pragma once

#include <QApplication>

class QTranslator;

// The application object: runs the main window modally and ends when it
// closes.
class CSchemaApp : public QApplication
{
    Q_OBJECT
public:
    CSchemaApp(int& argc, char** argv);

    // The name and version, also before the application object exists.
    static void SetIdentity();

    // Returns false: there is nothing left to run once the window has closed.
    // settingsPath names the window's settings file ("Pell.ini" by default).
    bool InitInstance(const QString& settingsPath = QStringLiteral("Pell.ini"));

    // Loads Qt's own Chinese texts (OK, Yes, No) into the translator.
    static bool LoadQtTranslation(QTranslator& translator);
};
