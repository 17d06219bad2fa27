#pragma once
// A push button whose caption wraps onto several lines when it does not fit,
// as the main window's longer captions do ("Upload Selected" over two lines).

#include <QPushButton>

class WrapButton : public QPushButton {
    Q_OBJECT
public:
    explicit WrapButton(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
