#include "effects/TformFXsettings.h"

TformFXsettings* formFXsettings = nullptr;

TformFXsettings::TformFXsettings(QWidget* parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("formFXsettings"));
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(333, 517);
}

TformFXsettings::~TformFXsettings() {
    if (formFXsettings == this) formFXsettings = nullptr;
}

void TformFXsettings::FormCreate() {}

void TformFXsettings::SetSettingsEnabled(bool) {}
