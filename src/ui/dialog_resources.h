// The pictures of the desktop program's dialogs, compiled into tarnwick_ui from
// resources/ui/tarnwick_ui.qrc (each with a double-size version for high-DPI screens).
#pragma once

#include <QIcon>

namespace tarnwick {

enum class DialogPicture {
    Logo,  // the about box's picture, 150 x 129
    Copy,  // "Copy list", 16 x 16
    Undo,  // "Restore", 16 x 16
};

// Registers the compiled-in pictures; a static library's resources are not registered on their
// own. Safe to call more than once.
void InitDialogResources();
QIcon DialogIcon(DialogPicture picture);

}  // namespace tarnwick
