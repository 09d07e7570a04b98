#include "ui/hints.h"

#include <QWidget>

namespace tarnwick {

void SetHint(QWidget* widget, const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    const QString shortPart = bar < 0 ? hint : hint.left(bar);
    const QString longPart = bar < 0 ? hint : hint.mid(bar + 1);
    widget->setToolTip(shortPart);
    widget->setStatusTip(QLatin1Char(' ') + longPart);
}

}  // namespace tarnwick
