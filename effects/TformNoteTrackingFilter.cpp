#include "effects/TformNoteTrackingFilter.h"

TformNoteTrackingFilter* formNoteTrackingFilter = nullptr;

TformNoteTrackingFilter::TformNoteTrackingFilter(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("formNoteTrackingFilter"));
    setWindowTitle(QStringLiteral("Note Cut"));
    setFixedSize(222, 115);
}

TformNoteTrackingFilter::~TformNoteTrackingFilter() {
    if (formNoteTrackingFilter == this) formNoteTrackingFilter = nullptr;
}

void TformNoteTrackingFilter::FormCreate() {}
