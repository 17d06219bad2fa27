#include "firmware/TformFirmwareUpgrade.h"

TformFirmwareUpgrade* formFirmwareUpgrade = nullptr;

TformFirmwareUpgrade::TformFirmwareUpgrade(QWidget* parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("formFirmwareUpgrade"));
    setWindowTitle(QStringLiteral("Firmware Upgrade"));
    setFixedSize(196, 141);
}

TformFirmwareUpgrade::~TformFirmwareUpgrade() {
    if (formFirmwareUpgrade == this) formFirmwareUpgrade = nullptr;
}

void TformFirmwareUpgrade::FormCreate() {}
