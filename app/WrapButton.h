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
    // As tall as the caption's lines at a given width, so that a caption
    // that takes three lines is not cut at the top and bottom of the face.
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
