#pragma once
#include <QWidget>

class TformFXsettings : public QWidget {
    Q_OBJECT
public:
    explicit TformFXsettings(QWidget* parent = nullptr);
    ~TformFXsettings() override;

    void FormCreate();
    // Enables or disables the window's controls; the ten display controls stay disabled.
    void SetSettingsEnabled(bool enabled);
};

extern TformFXsettings* formFXsettings;
