#pragma once
// The Firmware Upgrade window: the user picks one of the firmware images the
// editor carries and starts the upgrade through the pedal's bootloader.

#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "platform/DeferredWindow.h"

// The chosen image's resource name (the item text) and the version read from
// its last character; empty and 0 until a choice is made.
extern QString FirmwareResourceName;
extern std::int32_t FirmwareVersionNumber;
// True while an upgrade runs (its reply waits keep the window responsive).
extern bool FirmwareUpgradeRunning;

// Loads the resource named FirmwareResourceName into FirmwareSize and
// FirmwareHexText.
void LoadFirmwareImage();

class TformFirmwareUpgrade : public QWidget {
    Q_OBJECT
public:
    explicit TformFirmwareUpgrade(QWidget* parent = nullptr);
    ~TformFirmwareUpgrade() override;

    QComboBox* cmbFirmwareChoose;
    QPushButton* btnUpgradeFirmware;
    QProgressBar* ProgressBar1;

    void FormCreate();
    void FirmwareSelect();
    void btnUpgradeFirmwareClick();
};

// Built when first used (see DeferredWindow).
extern DeferredWindow<TformFirmwareUpgrade> formFirmwareUpgrade;
