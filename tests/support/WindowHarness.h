#pragma once

// The shown window in a fresh working folder, driven the way a user does
// against either server kind, and the export file a spreadsheet expects.

#include "app/SchemaDlg.h"
#include "db/MySqlText.h"
#include "support/TestMySql.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

inline QStringList g_traces; // since the last Window was made
inline QtMessageHandler g_otherMessages = nullptr; // QtTest's, installed when the test starts

// The window shown in a fresh working folder (its Pell.ini's), after `beforeShow`.
// Messages kept as "caption|style|text", answered OK; one left fails the test.
struct Window {
    QTemporaryDir folder;
    QStringList messages;
    std::unique_ptr<CSchemaDlg> dlg;

    explicit Window(const QByteArray& settings = {}, const std::function<void(CSchemaDlg&)>& beforeShow = {})
    {
        QDir::setCurrent(folder.path());
        if (QFile file(QStringLiteral("Pell.ini")); !settings.isEmpty() && file.open(QIODevice::WriteOnly))
            file.write(settings); // closed before the window reads it
        dlg = std::make_unique<CSchemaDlg>();
        dlg->SetMessageAnswerer([this](const QString& text, const QString& caption, unsigned style) {
            messages.append(QStringLiteral("%1|0x%2|%3").arg(caption).arg(style, 0, 16).arg(text));
            return int(kIdOk);
        });
        if (!g_otherMessages) {
            g_otherMessages = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
                if (qstrcmp(context.category, "velmora.trace") == 0)
                    g_traces.append(text);
                else
                    g_otherMessages(type, context, text);
            });
            QLoggingCategory::setFilterRules(QStringLiteral("velmora.trace.debug=true"));
        }
        g_traces.clear();
        if (beforeShow)
            beforeShow(*dlg);
        dlg->show();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    }
    ~Window()
    {
        dlg.reset();
        QCOMPARE(messages, QStringList());
    }
    CSchemaDlg* operator->() const { return dlg.get(); }
    QLineEdit* Edit(int id) const { return qobject_cast<QLineEdit*>(dlg->Control(id)); }
};

// Enables the widget first: most controls start disabled.
inline void Focus(QWidget* widget)
{
    widget->setEnabled(true);
    widget->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(widget->hasFocus());
}
inline void Key(QKeyCombination keys) { QTest::keyClick(QApplication::focusWidget(), keys.key(), keys.keyboardModifiers()); }
inline void Type(QWidget* widget, const QString& text) { Focus(widget); QTest::keyClicks(QApplication::focusWidget(), text); }

// Scenario rows (one "scene" column): the settings file, what is done to the
// shown window if anything, and the "name=value" entries of `state` below
// expected then; "ini:<section>/<key>" names a stored key.
using Act = std::function<void(Window&)>;
struct Scene { QByteArray settings; Act act; QStringList expected; };

inline void Scenario(const char* name, const QByteArray& settings, const Act& act, const QStringList& expected)
{
    QTest::newRow(name) << Scene{settings, act, expected};
}

inline void RunScenario()
{
    QFETCH(Scene, scene);
    Window w(scene.settings);
    if (scene.act)
        scene.act(w);
    // "fields": port|user|password|descriptions; "table", "column": selected
    // rows@current row; "selected": in the focused field.
    QStringList history, fields, enabled, lists, marks;
    for (int i = 0; i < w->m_serverCombo->count(); ++i)
        history.append(w->m_serverCombo->itemText(i));
    for (int id : {1017, 1013, 1014, 1022, 1024})
        fields.append(w.Edit(id)->text());
    for (int id : {1000, 1001, 1002, 1003, 1004, 1006, 1013, 1014, 1015, 1017, 1020, 1021, 1022, 1024, 1030})
        if (w->Control(id)->isEnabled())
            enabled.append(QString::number(id));
    for (QTreeWidget* list : {w->m_databaseList, w->m_tableList, w->m_columnList}) {
        lists.append(QString::number(list->topLevelItemCount()));
        QStringList rows;
        for (QTreeWidgetItem* item : list->selectedItems())
            rows.append(QString::number(list->indexOfTopLevelItem(item)));
        marks.append(rows.join(u',') + u'@' + QString::number(list->indexOfTopLevelItem(list->currentItem())));
    }
    auto* focus = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    const QMap<QString, QString> state = {
        {"trace", g_traces.join(u'/')}, {"history", history.join(u',')}, {"server", w->m_serverCombo->currentText()},
        {"kind", QString::number(w->m_kind)}, {"kindBox", w->m_kindCombo->currentText()},
        {"fields", fields.join(u'|')}, {"enabled", enabled.join(u' ')}, {"lists", lists.join(u',')},
        {"table", marks[1]}, {"column", marks[2]}, {"selected", focus ? focus->selectedText() : QString()},
        {"visible", w->isVisible() ? "yes" : "no"}};
    const QSettings stored(QStringLiteral("Pell.ini"), QSettings::IniFormat);
    for (const QString& entry : scene.expected) {
        const QString name = entry.section(u'=', 0, 0);
        const QString value = name.startsWith(u"ini:") ? stored.value(name.mid(4), "<missing>").toString()
                                                       : state.value(name, "<unknown>");
        QCOMPARE(name + u'=' + value, entry);
    }
}

// Replaces a field's text the way a user does: select all, type.
inline void Retype(QWidget* field, const QString& text)
{
    Focus(field);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        else // what an input method delivers
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c), {});
    }
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

inline void Click(QTreeWidget* list, const QString& name)
{
    const QList<QTreeWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(name));
    list->scrollToItem(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
}

// Types a new server, picks the kind by index if one is given, fills port,
// user and password; Connect presses Connect then.
inline void Fill(Window& w, const QString& host, const QString& port, const QString& user, const QString& password,
                 int kind = -1)
{
    Retype(w->m_serverCombo, host);
    QTest::keyClick(w->m_serverCombo, Qt::Key_Tab);
    if (kind >= 0) { // a drop-down left open would stay the active window offscreen
        w->m_kindCombo->setCurrentIndex(kind);
        emit w->m_kindCombo->activated(kind);
    }
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
inline bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
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

inline QString Success(const QString& path) { return QStringLiteral("提示|0x40|已经导出成功！\n请查看文件: %1 。").arg(path); }

