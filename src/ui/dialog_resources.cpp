#include "ui/dialog_resources.h"

#include <QString>

// Q_INIT_RESOURCE names a function of the global namespace.
static void InitTarnwickUiResources() {
    Q_INIT_RESOURCE(tarnwick_ui);
}

namespace tarnwick {

void InitDialogResources() {
    static const bool registered = (InitTarnwickUiResources(), true);
    (void)registered;
}

QIcon DialogIcon(DialogPicture picture) {
    InitDialogResources();
    switch (picture) {
        case DialogPicture::Logo:
            return QIcon(QStringLiteral(":/tarnwick/about_logo.png"));
        case DialogPicture::Copy:
            return QIcon(QStringLiteral(":/tarnwick/copy.png"));
        case DialogPicture::Undo:
            return QIcon(QStringLiteral(":/tarnwick/undo.png"));
    }
    return {};
}

}  // namespace tarnwick
