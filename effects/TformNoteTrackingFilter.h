#pragma once
// The note cut window: up to two of the eight low notes A2 to E3 for the
// pedal's pitch tracking to cut, sent in one three-byte message.

#include <QCheckBox>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>

#include "platform/DeferredWindow.h"

class TformNoteTrackingFilter : public QWidget {
    Q_OBJECT
public:
    explicit TformNoteTrackingFilter(QWidget* parent = nullptr);
    ~TformNoteTrackingFilter() override;

    // Left column.
    QCheckBox* chkA2;
    QCheckBox* chkAdiesis2;
    QCheckBox* chkB2;
    QCheckBox* chkC3;
    // Right column.
    QCheckBox* chkCdiesis3;
    QCheckBox* chkD3;
    QCheckBox* chkDdiesis3;
    QCheckBox* chkE3;
    QPushButton* btnSave;
    QPushButton* btnGet;

    void FormCreate();

    void chkA2Change();
    void chkAdiesis2Change();
    void chkB2Change();
    void chkC3Change();
    void chkCdiesis3Change();
    void chkD3Change();
    void chkDdiesis3Change();
    void chkE3Change();
    // With two notes chosen the other boxes are disabled; otherwise all are enabled.
    void UpdateNoteCutEnabling();
    void btnSaveClick();

private:
    void BuildControls();
    void ConnectHandlers();
    // The eight boxes in the order of their note codes (A2 = 0x00 ... E3 = 0x07).
    std::array<QCheckBox*, 8> Boxes() const;
    // Common work of the eight change handlers.
    void CountChange(const QCheckBox* box);
};

// Built when first used (see DeferredWindow).
extern DeferredWindow<TformNoteTrackingFilter> formNoteTrackingFilter;

// Number of checked note boxes, kept by the change handlers.
extern std::int32_t NoteCutCount;
// The two note codes of the last note filter message, two hex digits each
// ("FF": no note).
extern QString NoteCutByte1;
extern QString NoteCutByte2;
