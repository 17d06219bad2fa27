#pragma once
// The application's widget style: the desktop's own, unchanged in what it
// draws, with one standard icon made when it is first needed instead of when
// it is asked for.
//
// Every menu bar asks its style, as it is made, for the icon of the button it
// shows when its menus do not fit. That icon is read from PNG files, and the
// image reader first asks every installed image plug-in whether it reads PNG,
// which loads each of them (the SVG one with Qt's SVG library): about 5 % of
// all the editor does to reach its first paint, for a button that shows only
// in a window too narrow for its menus. Here that icon reads its files when it
// is first drawn or measured, and the plug-ins are loaded when an image first
// needs them.

#include <QIcon>
#include <QProxyStyle>

namespace platform {

class EditorStyle : public QProxyStyle {
    Q_OBJECT

public:
    // The desktop's style (or the one -style or QT_STYLE_OVERRIDE names).
    EditorStyle() = default;

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override;
};

// Makes EditorStyle the application's style, once per application; later
// calls leave it as it is. Call before the first widget is made and before a
// style sheet is set.
void UseEditorStyle();

}  // namespace platform
