// A combo box and a label for names that may be longer than the room a window can give them
// (list names, the file names a project gives): the name is drawn whole when it fits, else
// shortened in the middle, where a file name keeps both its start and its extension, with the
// whole name as the tooltip while it is shortened (the widget's hint comes back when it fits).
#pragma once

#include <QComboBox>
#include <QLabel>

namespace tarnwick {

class ElidingComboBox : public QComboBox {
public:
    explicit ElidingComboBox(QWidget* parent = nullptr);

    // The chosen name as drawn.
    QString ShownText() const;
    // The whole name as the tooltip while it is shortened, the hint otherwise.
    void FitToolTip();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString hint_;
    bool elided_ = false;
};

// Plain text on one line.
class ElidingLabel : public QLabel {
public:
    explicit ElidingLabel(QWidget* parent = nullptr);

    // The text as drawn.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitToolTip();

    QString hint_;
    bool elided_ = false;
};

}  // namespace tarnwick
