#include "ui/elided_text.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace tarnwick {

namespace {

// Swaps the hint for the whole text while the text is shortened, and back.
void SwapToolTip(QWidget& widget, bool elided, const QString& text, QString& hint,
                 bool& wasElided) {
    if (elided) {
        if (!wasElided) {
            hint = widget.toolTip();
        }
        widget.setToolTip(text);
    } else if (wasElided) {
        widget.setToolTip(hint);
    }
    wasElided = elided;
}

}  // namespace

ElidingComboBox::ElidingComboBox(QWidget* parent) : QComboBox(parent) {
    view()->setTextElideMode(Qt::ElideMiddle);
    connect(this, &QComboBox::currentIndexChanged, this, &ElidingComboBox::FitToolTip);
}

QString ElidingComboBox::ShownText() const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    int room = field.width() - 4;  // the label is drawn a pixel or two in from each side
    if (!option.currentIcon.isNull()) {
        room -= option.iconSize.width() + 4;
    }
    return fontMetrics().elidedText(currentText(), Qt::ElideMiddle, room);
}

void ElidingComboBox::FitToolTip() {
    SwapToolTip(*this, ShownText() != currentText(), currentText(), hint_, elided_);
}

void ElidingComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = ShownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void ElidingComboBox::resizeEvent(QResizeEvent* event) {
    QComboBox::resizeEvent(event);
    FitToolTip();
}

void ElidingComboBox::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        FitToolTip();
    }
}

ElidingLabel::ElidingLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

QString ElidingLabel::ShownText() const {
    // A framed label is indented by half an "x" on its aligned side, as QLabel draws it.
    const int inset = indent() >= 0      ? indent()
                      : frameWidth() > 0 ? fontMetrics().horizontalAdvance(u'x') / 2
                                         : 0;
    const int room = contentsRect().width() - 2 * margin() - inset;
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, room);
}

void ElidingLabel::paintEvent(QPaintEvent* event) {
    const QString shown = ShownText();
    if (shown == text()) {
        QLabel::paintEvent(event);
    } else {
        // Drawn as QLabel draws plain text, the shortened text in place of the whole.
        QPainter painter(this);
        drawFrame(&painter);
        const int inset = indent() >= 0      ? indent()
                          : frameWidth() > 0 ? fontMetrics().horizontalAdvance(u'x') / 2
                                             : 0;
        QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
        if (align & Qt::AlignLeft) {
            room.setLeft(room.left() + inset);
        } else if (align & Qt::AlignRight) {
            room.setRight(room.right() - inset);
        }
        style()->drawItemText(&painter, room, static_cast<int>(align), palette(), isEnabled(),
                              shown, foregroundRole());
    }
    FitToolTip();
}

void ElidingLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    FitToolTip();
}

void ElidingLabel::FitToolTip() {
    SwapToolTip(*this, ShownText() != text(), text(), hint_, elided_);
}

}  // namespace tarnwick
