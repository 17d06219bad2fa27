#include "app/WrapButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

// What the caption keeps clear of the face's edge on each side.
constexpr int kInset = 2;

}  // namespace

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

bool WrapButton::hasHeightForWidth() const {
    return true;
}

int WrapButton::heightForWidth(int width) const {
    const int lines = width - 2 * kInset;
    const QRect caption = fontMetrics().boundingRect(QRect(0, 0, std::max(lines, 1), 100000),
                                                     Qt::TextWordWrap | Qt::AlignCenter, text());
    // A pixel of air above and below the caption besides the inset.
    return std::max(caption.height() + 2 * kInset + 2, minimumSizeHint().height());
}

void WrapButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    // The caption may use nearly the whole face: these buttons are narrow.
    const QRect area = rect().adjusted(kInset, kInset, -kInset, -kInset);
    painter.drawItemText(area, Qt::AlignCenter | Qt::TextWordWrap, option.palette, isEnabled(),
                         caption, QPalette::ButtonText);
}
