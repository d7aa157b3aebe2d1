#pragma once

#include "app/SchemaDlg.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>

inline QStringList g_traces; // since the last Window was made
inline QtMessageHandler g_otherMessages = nullptr; // QtTest's, installed when the test starts

// The window shown in a fresh working folder (it keeps Pell.ini there), after
// `beforeShow`. Messages are kept as "caption|style|text" and answered OK; one
// left in `messages` fails the test.
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
    // "fields": port|user|password|descriptions; "enabled": those of the
    // controls a connection touches; "table", "column": selected rows@current
    // row; "selected": in the focused field.
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
