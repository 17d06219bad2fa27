#include "effects/TformNoteTrackingFilter.h"

#include "device/PedalLink.h"

#include <QGridLayout>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "platform/Console.h"
#include "platform/ErrorReport.h"
#include "platform/Time.h"

using platform::Guarded;

DeferredWindow<TformNoteTrackingFilter> formNoteTrackingFilter;
std::int32_t NoteCutCount = 0;
QString NoteCutByte1 = QStringLiteral("FF");
QString NoteCutByte2 = QStringLiteral("FF");

TformNoteTrackingFilter::TformNoteTrackingFilter(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("formNoteTrackingFilter"));
    setWindowTitle(QStringLiteral("Note Cut"));
    BuildControls();
    ConnectHandlers();
    setFixedSize(222, 115);
}

TformNoteTrackingFilter::~TformNoteTrackingFilter() {
    if (formNoteTrackingFilter == this) formNoteTrackingFilter = nullptr;
}

void TformNoteTrackingFilter::BuildControls() {
    auto box = [this](const char* name, const char* caption) {
        auto* b = new QCheckBox(QString::fromLatin1(caption), this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    chkA2 = box("chkA2", "A2");
    chkAdiesis2 = box("chkAdiesis2", "A#2");
    chkB2 = box("chkB2", "B2");
    chkC3 = box("chkC3", "C3");
    chkCdiesis3 = box("chkCdiesis3", "C#3");
    chkD3 = box("chkD3", "D3");
    chkDdiesis3 = box("chkDdiesis3", "D#3");
    chkE3 = box("chkE3", "E3");
    // A speech synthesiser reads "#" as a number sign: the sharps are named
    // in words.
    for (QCheckBox* sharp : {chkAdiesis2, chkCdiesis3, chkDdiesis3})
        sharp->setAccessibleName(
            sharp->text().replace(QLatin1Char('#'), QStringLiteral(" sharp ")));
    btnSave = new QPushButton(QStringLiteral("Save"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnGet = new QPushButton(QStringLiteral("Get"), this);
    btnGet->setObjectName(QStringLiteral("btnGet"));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(10, 5, 10, 6);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(0);
    const auto boxes = Boxes();
    for (int i = 0; i < 8; ++i) grid->addWidget(boxes[static_cast<std::size_t>(i)], i % 4, i / 4);
    // The notes share the height; a small gap keeps the buttons off the last row.
    for (int row = 0; row < 4; ++row) grid->setRowStretch(row, 1);
    grid->setRowMinimumHeight(4, 4);
    grid->addWidget(btnSave, 5, 0);
    grid->addWidget(btnGet, 5, 1);
}

void TformNoteTrackingFilter::ConnectHandlers() {
    const std::pair<QCheckBox*, void (TformNoteTrackingFilter::*)()> handlers[] = {
        {chkA2, &TformNoteTrackingFilter::chkA2Change},
        {chkAdiesis2, &TformNoteTrackingFilter::chkAdiesis2Change},
        {chkB2, &TformNoteTrackingFilter::chkB2Change},
        {chkC3, &TformNoteTrackingFilter::chkC3Change},
        {chkCdiesis3, &TformNoteTrackingFilter::chkCdiesis3Change},
        {chkD3, &TformNoteTrackingFilter::chkD3Change},
        {chkDdiesis3, &TformNoteTrackingFilter::chkDdiesis3Change},
        {chkE3, &TformNoteTrackingFilter::chkE3Change},
    };
    for (const auto& [box, handler] : handlers)
        connect(box, &QCheckBox::toggled, this,
                Guarded([this, handler = handler] { (this->*handler)(); }));
    connect(btnSave, &QPushButton::clicked, this, Guarded([this] { btnSaveClick(); }));
    // "Get" has nothing to do: the pedal has no message that reads the filter back.
}

void TformNoteTrackingFilter::FormCreate() {}

std::array<QCheckBox*, 8> TformNoteTrackingFilter::Boxes() const {
    return {chkA2, chkAdiesis2, chkB2, chkC3, chkCdiesis3, chkD3, chkDdiesis3, chkE3};
}

void TformNoteTrackingFilter::CountChange(const QCheckBox* box) {
    NoteCutCount += box->isChecked() ? 1 : -1;
    UpdateNoteCutEnabling();
}

void TformNoteTrackingFilter::chkA2Change() {
    CountChange(chkA2);
}
void TformNoteTrackingFilter::chkAdiesis2Change() {
    CountChange(chkAdiesis2);
}
void TformNoteTrackingFilter::chkB2Change() {
    CountChange(chkB2);
}
void TformNoteTrackingFilter::chkC3Change() {
    CountChange(chkC3);
}
void TformNoteTrackingFilter::chkCdiesis3Change() {
    CountChange(chkCdiesis3);
}
void TformNoteTrackingFilter::chkD3Change() {
    CountChange(chkD3);
}
void TformNoteTrackingFilter::chkDdiesis3Change() {
    CountChange(chkDdiesis3);
}
void TformNoteTrackingFilter::chkE3Change() {
    CountChange(chkE3);
}

void TformNoteTrackingFilter::UpdateNoteCutEnabling() {
    const bool full = NoteCutCount == 2;
    for (QCheckBox* box : Boxes())
        if (!box->isChecked()) box->setEnabled(!full);
}

void TformNoteTrackingFilter::btnSaveClick() {
    NoteCutByte1 = QStringLiteral("FF");
    NoteCutByte2 = QStringLiteral("FF");
    // Scanning from the lowest note puts the lower of two notes first.
    const auto boxes = Boxes();
    for (std::uint32_t code = 0; code < boxes.size(); ++code) {
        if (!boxes[code]->isChecked()) continue;
        if (NoteCutByte1 == QLatin1String("FF"))
            NoteCutByte1 = Hex2(code);
        else
            NoteCutByte2 = Hex2(code);
    }
    const PedalMessage message = msg::NoteFilter(NoteCutByte1, NoteCutByte2);
    for (const QString& line : message.log) ConsolePrint(line);
    if (!PedalLink::Instance().Send(message, true)) return;
    platform::SleepMs(100);
}

// The window has no opener of its own; the main window's Settings menu shows it.
void TformMain::menuNoteCutClick() {
    if (!formNoteTrackingFilter) return;
    formNoteTrackingFilter->show();
    formNoteTrackingFilter->raise();
    formNoteTrackingFilter->activateWindow();
}
