// Reaching a window's controls as Qt Test does: by the object names the windows give them.
#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

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

}  // namespace tarnwick::testing
