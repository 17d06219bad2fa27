#pragma once
#include <QWidget>

class TformFirmwareUpgrade : public QWidget {
    Q_OBJECT
public:
    explicit TformFirmwareUpgrade(QWidget* parent = nullptr);
    ~TformFirmwareUpgrade() override;

    void FormCreate();
};

extern TformFirmwareUpgrade* formFirmwareUpgrade;
