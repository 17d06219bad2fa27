#include "app/WrapButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

WrapButton::WrapButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QSize WrapButton::sizeHint() const {
    const QFontMetrics metrics(font());
    const QRect one =
        metrics.boundingRect(QRect(0, 0, 90, 1000), Qt::TextWordWrap | Qt::AlignCenter, text());
    return QSize(std::max(one.width(), 60) + 16, one.height() + 12);
}

QSize WrapButton::minimumSizeHint() const {
    return QSize(40, fontMetrics().height() + 8);
}

void WrapButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    // The caption may use nearly the whole face: these buttons are narrow.
    const QRect area = rect().adjusted(2, 2, -2, -2);
    painter.drawItemText(area, Qt::AlignCenter | Qt::TextWordWrap, option.palette, isEnabled(),
                         caption, QPalette::ButtonText);
}
