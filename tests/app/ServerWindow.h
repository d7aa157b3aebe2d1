#pragma once

// Driving the shown window the way a user does against either server kind,
// and the export file a spreadsheet expects.

#include "TestSchemaDlgHarness.h"

#include "db/MySqlText.h"
#include "support/TestMySql.h"

#include <QStringEncoder>

// Replaces a field's text the way a user does: select all, type.
inline void Retype(QWidget* field, const QString& text)
{
    Focus(field);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() < 0x80)
            QTest::keyClick(QApplication::focusWidget(), text[i].toLatin1());
        else // what an input method delivers, a surrogate pair at once
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown,
                                text.mid(i, text[i].isHighSurrogate() ? 2 : 1), {});
        i += text[i].isHighSurrogate();
    }
}

// A drop-down left open would stay the active window offscreen; the choice
// is what the list reports when an item is picked.
inline void PickKind(Window& w, int index)
{
    w->m_kindCombo->setCurrentIndex(index);
    emit w->m_kindCombo->activated(index);
}

// A list's rows, each as its cells joined by '|'.
inline QStringList Rows(QTreeWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells.append(list->topLevelItem(i)->text(c));
        rows.append(cells.join(u'|'));
    }
    return rows;
}

inline int RowOf(QTreeWidget* list, const QString& name)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == name)
            return i;
    return -1;
}

inline void Click(QTreeWidget* list, const QString& name)
{
    const int row = RowOf(list, name);
    QVERIFY2(row >= 0, qPrintable(name));
    QTreeWidgetItem* item = list->topLevelItem(row);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

// Types a new server, picks the kind by index if one is given, fills port,
// user and password; Connect presses Connect then.
inline void Fill(Window& w, const QString& host, const QString& port, const QString& user, const QString& password,
                 int kind = -1)
{
    Retype(w->m_serverCombo, host);
    QTest::keyClick(w->m_serverCombo, Qt::Key_Tab);
    if (kind >= 0)
        PickKind(w, kind);
    Retype(w.Edit(1017), port);
    Retype(w.Edit(1013), user);
    Retype(w.Edit(1014), password);
}
inline void PressConnect(Window& w)
{
    QTest::mouseClick(w->Control(1015), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->WorkerRunning(), 20000);
}
inline void Connect(Window& w, const QString& host, const QString& port, const QString& user, const QString& password,
                    int kind = -1)
{
    Fill(w, host, port, user, password, kind);
    PressConnect(w);
}

inline QString Text(Window& w, int id) { return w->Control(id)->property("text").toString(); }

inline QStringList Enabled(Window& w)
{
    QStringList ids;
    for (int id : {1000, 1001, 1002, 1003, 1004, 1013, 1014, 1015, 1017, 1020, 1021, 1022, 1024, 1030})
        if (w->Control(id)->isEnabled())
            ids.append(QString::number(id));
    return ids;
}

inline const TestServer& Server()
{
    static const TestServer server = TestServer::Load();
    return server;
}

// A connection of the test's own to the private server.
inline bool ConnectClient(CMySqlClient& client, const char* database = "")
{
    SetTestServerParams(client, Server());
    client.m_connectDb = database;
    return Server().valid && client.Connect();
}

inline void Run(CMySqlClient& client, const QString& statement)
{
    QVERIFY2(client.Query(ToMySql(statement)), client.m_errorText.c_str());
}

inline void ConnectTestServer(Window& w, int port = -1)
{
    Connect(w, Server().host, port < 0 ? Server().port : QString::number(port), Server().user, Server().password, 1);
}

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

