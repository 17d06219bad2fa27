#pragma once
#include <QWidget>

class TformFXsettings : public QWidget {
    Q_OBJECT
public:
    explicit TformFXsettings(QWidget* parent = nullptr);
    ~TformFXsettings() override;

    void FormCreate();
};

extern TformFXsettings* formFXsettings;
