// The application's style makes the menu bar's overflow icon only when it is
// first needed; what it draws must be what the desktop's style draws.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QTest>
#include <QToolButton>

#include "platform/Style.h"

namespace {

QImage Painted(const QIcon& icon, const QRect& rect, qreal ratio, QIcon::Mode mode,
               QIcon::State state) {
    QImage image(QSize(40, 40) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    icon.paint(&painter, rect, Qt::AlignCenter, mode, state);
    return image;
}

TEST(EditorStyle, OverflowIconAnswersAsTheDesktopStylesOwnInEveryWay) {
    platform::EditorStyle editor;
    QProxyStyle desktop;  // the same desktop style, as Qt gives it
    for (const Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
        QStyleOption option;
        option.direction = direction;
        const QStyle::StandardPixmap which = QStyle::SP_ToolBarHorizontalExtensionButton;
        const QIcon deferred = editor.standardIcon(which, &option, nullptr);
        const QIcon real = desktop.standardIcon(which, &option, nullptr);
        SCOPED_TRACE(direction == Qt::LeftToRight ? "left to right" : "right to left");
        ASSERT_FALSE(real.isNull());
        EXPECT_FALSE(deferred.isNull());
        for (const QIcon::Mode mode :
             {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected}) {
            for (const QIcon::State state : {QIcon::Off, QIcon::On}) {
                SCOPED_TRACE(::testing::Message() << "mode " << mode << " state " << state);
                EXPECT_EQ(deferred.availableSizes(mode, state), real.availableSizes(mode, state));
                for (const int side : {7, 8, 12, 16, 20, 32, 48}) {
                    const QSize size(side, side);
                    EXPECT_EQ(deferred.actualSize(size, mode, state),
                              real.actualSize(size, mode, state))
                        << side;
                    for (const qreal ratio : {1.0, 1.5, 2.0}) {
                        const QPixmap got = deferred.pixmap(size, ratio, mode, state);
                        const QPixmap want = real.pixmap(size, ratio, mode, state);
                        EXPECT_EQ(got.devicePixelRatio(), want.devicePixelRatio());
                        EXPECT_EQ(got.toImage(), want.toImage()) << side << " at " << ratio;
                    }
                }
                // Painted into a square, a wide and a tall place, so that the
                // icon is placed within the rectangle it is given.
                for (const QRect& rect :
                     {QRect(2, 3, 16, 16), QRect(0, 0, 30, 12), QRect(5, 1, 9, 25)}) {
                    for (const qreal ratio : {1.0, 2.0}) {
                        EXPECT_EQ(Painted(deferred, rect, ratio, mode, state),
                                  Painted(real, rect, ratio, mode, state))
                            << rect.width() << "x" << rect.height() << " at " << ratio;
                    }
                }
            }
        }
    }
}

TEST(EditorStyle, OtherStandardIconsAreTheDesktopStyles) {
    platform::EditorStyle editor;
    QProxyStyle desktop;
    for (const QStyle::StandardPixmap which :
         {QStyle::SP_MessageBoxWarning, QStyle::SP_ToolBarVerticalExtensionButton,
          QStyle::SP_DialogOkButton}) {
        EXPECT_EQ(editor.standardIcon(which, nullptr, nullptr).pixmap(32).toImage(),
                  desktop.standardIcon(which, nullptr, nullptr).pixmap(32).toImage())
            << which;
    }
}

// A window too narrow for its menus shows the overflow button, drawn as with
// the desktop style's icon.
TEST(EditorStyle, NarrowWindowShowsItsOverflowButtonWithTheIcon) {
    platform::UseEditorStyle();
    platform::UseEditorStyle();  // a second call keeps the same style
    ASSERT_NE(qobject_cast<platform::EditorStyle*>(QApplication::style()), nullptr);

    QMainWindow window;
    for (const char* title : {"File", "Connection", "Settings", "Firmware Upgrade", "Info"})
        window.menuBar()->addMenu(QString::fromLatin1(title))->addAction(QStringLiteral("Item"));
    window.setCentralWidget(new QWidget);
    window.resize(140, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QToolButton* overflow = window.menuBar()->findChild<QToolButton*>();
    ASSERT_NE(overflow, nullptr);
    ASSERT_TRUE(overflow->isVisible());

    const QImage drawn = overflow->grab().toImage();
    QProxyStyle desktop;
    QStyleOption option;
    option.direction = overflow->layoutDirection();
    overflow->setIcon(
        desktop.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, &option, nullptr));
    EXPECT_EQ(drawn, overflow->grab().toImage());
}

}  // namespace
