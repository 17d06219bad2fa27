#include "library/tformFXInfo.h"

tformFXInfo* formFXInfo = nullptr;

tformFXInfo::tformFXInfo(QWidget* parent) : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("formFXInfo"));
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(335, 480);
}

tformFXInfo::~tformFXInfo() {
    if (formFXInfo == this) formFXInfo = nullptr;
}

void tformFXInfo::FormCreate() {}
