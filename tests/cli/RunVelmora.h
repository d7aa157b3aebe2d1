#pragma once

#include <QProcess>

struct Ran {
    int status;
    QByteArray out;
    QString err;
};

// The real program without a display, as over ssh; standard output goes to
// `outFile` where one is named, as a shell redirection sends it.
inline Ran Velmora(const QString& folder, const QStringList& arguments, const QString& password = {},
                   const QString& outFile = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "VELMORA_PASSWORD"})
        env.remove(QString::fromLatin1(name));
    if (!password.isNull())
        env.insert(QStringLiteral("VELMORA_PASSWORD"), password);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    if (!outFile.isEmpty())
        process.setStandardOutputFile(outFile);
    process.start(QStringLiteral(VELMORA_PROGRAM), arguments);
    if (!process.waitForFinished(60000))
        return {-1, {}, QStringLiteral("did not end")};
    return {process.exitCode(), process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
}

// The system's Python with python3-openpyxl, `b` the workbook named first:
// what the script prints, or "failed".
inline QString Openpyxl(const QString& script, const QStringList& arguments)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral("-c"), "import openpyxl,sys\nb=openpyxl.load_workbook(sys.argv[1])\n" + script} + arguments);
    const bool ran = python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
    return ran ? QString::fromUtf8(python.readAllStandardOutput()) : QStringLiteral("failed");
}
