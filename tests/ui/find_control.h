// Reaching a window's controls as Qt Test does: by the object names the windows give them.
#pragma once

#include <QLineEdit>
#include <QObject>
#include <QString>
#include <QTest>
#include <QtGlobal>
#include <string>

namespace tarnwick::testing {

// The child of `window` named `name`. A missing one ends the test program with its name, where a
// null pointer would end it without one.
template <class T>
T* Control(const QObject& window, const char* name) {
    T* control = window.findChild<T*>(QLatin1String(name));
    if (!control) {
        qFatal("%s has no %s named %s", qPrintable(window.objectName()),
               T::staticMetaObject.className(), name);
    }
    return control;
}

// Opens a project in the main window `window` as its user does: the path typed into the source
// box, then Return.
inline void TypeProjectPath(const QObject& window, const std::string& path) {
    QLineEdit* source = Control<QLineEdit>(window, "ebxSource");
    source->clear();
    QTest::keyClicks(source, QString::fromStdString(path));
    QTest::keyClick(source, Qt::Key_Return);
}

}  // namespace tarnwick::testing
