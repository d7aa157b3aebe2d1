#pragma once

// Exporting through the shown window with its dialogs answered, and the
// file a spreadsheet expects.

#include "TestWindowDriving.h"

#include <QStringEncoder>

inline const QString kHeader = QStringLiteral("表名\t字段\t类型\t长度\t小数\t是否为空\t主键\t自增长\t默认值\t描述");

// What a spreadsheet expects, encoded here by Qt's own encoder.
inline QByteArray Utf16File(const QStringList& lines)
{
    QStringEncoder encoder(QStringEncoder::Utf16LE);
    QByteArray bytes("\xFF\xFE", 2);
    for (const QString& line : lines)
        bytes += QByteArray(encoder(line + QStringLiteral("\r\n")));
    return bytes;
}

inline QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Questions answered with yes, the save dialog with `path`; the default name
// it was offered is kept.
inline void AnswerExport(Window& w, const QString& path, QString* offered = nullptr)
{
    w->SetMessageAnswerer([&w](const QString& text, const QString& caption, unsigned style) {
        w.messages.append(QStringLiteral("%1|0x%2|%3").arg(caption).arg(style, 0, 16).arg(text));
        return style == kMbYesNoQuestionDefaultNo ? int(kIdYes) : int(kIdOk);
    });
    w->SetSaveFileAnswerer([path, offered](const QString& name) {
        if (offered)
            *offered = name;
        return path;
    });
}

inline void Export(Window& w)
{
    QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(1030)), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->WorkerRunning(), 30000);
}

inline QString Success(const QString& path)
{
    return QStringLiteral("提示|0x40|已经导出成功！\n请查看文件: %1 。").arg(path);
}

