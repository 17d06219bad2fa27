#pragma once
#include <QWidget>

class tformFXInfo : public QWidget {
    Q_OBJECT
public:
    explicit tformFXInfo(QWidget* parent = nullptr);
    ~tformFXInfo() override;

    void FormCreate();
};

extern tformFXInfo* formFXInfo;
