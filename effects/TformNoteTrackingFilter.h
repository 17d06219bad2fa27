#pragma once
#include <QWidget>

class TformNoteTrackingFilter : public QWidget {
    Q_OBJECT
public:
    explicit TformNoteTrackingFilter(QWidget* parent = nullptr);
    ~TformNoteTrackingFilter() override;

    void FormCreate();
};

extern TformNoteTrackingFilter* formNoteTrackingFilter;
