#include "app/TformPrint.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>
#include <utility>
#include <vector>

#include "app/ConsoleTools.h"
#include "platform/Console.h"
#include "platform/ErrorReport.h"

using platform::Guarded;

DeferredWindow<TformPrint> formPrint;
bool AutoScroll = true;

TformPrint::TformPrint(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("formPrint"));
    setWindowTitle(QStringLiteral("Debug Console"));
    BuildControls();
    resize(507, 652);
}

TformPrint::~TformPrint() {
    platform::SetConsoleSink(nullptr);
    if (formPrint == this) formPrint = nullptr;
}

void TformPrint::BuildControls() {
    auto button = [&](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        // Room for the caption, not the platform's wide default, so that the
        // two rows of tools fit the window's width in every look.
        b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(text) + 14);
        return b;
    };
    auto edit = [&](const char* name, const QString& text, int width) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(QLatin1String(name));
        e->setFixedWidth(width);
        return e;
    };

    btnClear = button("btnClear", QStringLiteral("Clear"));
    btnScrollTop = button("btnScrollTop", QStringLiteral("UP"));
    CheckBox1 = new QCheckBox(QStringLiteral("scrollDOWN"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setChecked(true);
    btnEraseEeprom = button("btnEraseEeprom", QStringLiteral("Erase EEPROM"));
    btnReadEEPROM = button("btnReadEEPROM", QStringLiteral("Read E2P"));
    edtStartAddress = edit("edtStartAddress", QStringLiteral("0"), 56);
    edtStartAddress->setToolTip(QStringLiteral("First EEPROM address (decimal)"));
    edtEndAddress = edit("edtEndAddress", QStringLiteral("16383"), 56);
    edtEndAddress->setToolTip(QStringLiteral("Last EEPROM address (decimal)"));
    edtAddress = edit("edtAddress", QStringLiteral("addr"), 52);
    edtAddress->setToolTip(QStringLiteral("Parameter address, 4 hex digits"));
    edtData = edit("edtData", QStringLiteral("data"), 84);
    edtData->setToolTip(QStringLiteral("Value, 8 hex digits"));
    // Screen readers name the fields by what they take, not by their text.
    edtStartAddress->setAccessibleName(QStringLiteral("First EEPROM address"));
    edtEndAddress->setAccessibleName(QStringLiteral("Last EEPROM address"));
    edtAddress->setAccessibleName(QStringLiteral("Parameter address"));
    edtData->setAccessibleName(QStringLiteral("Parameter value"));
    btnSend = button("btnSend", QStringLiteral("Send"));
    Button1 = button("Button1", QStringLiteral("Button1"));
    cmbNotePicker = new QComboBox(this);
    cmbNotePicker->setObjectName(QStringLiteral("cmbNotePicker"));
    cmbNotePicker->setMaxVisibleItems(16);
    cmbNotePicker->setAccessibleName(QStringLiteral("Note"));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setAccessibleName(QStringLiteral("Console log"));
    btnScrollTop->setAccessibleName(QStringLiteral("Scroll to the top"));
    CheckBox1->setAccessibleName(QStringLiteral("Scroll down with new lines"));
    Button1->setAccessibleName(QStringLiteral("Show note frequency"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* firstRow = new QHBoxLayout;
    firstRow->addWidget(btnClear);
    firstRow->addWidget(btnScrollTop);
    firstRow->addWidget(CheckBox1);
    firstRow->addStretch(1);
    firstRow->addWidget(btnEraseEeprom);
    firstRow->addWidget(btnReadEEPROM);
    firstRow->addWidget(edtStartAddress);
    firstRow->addWidget(edtEndAddress);

    auto* secondRow = new QHBoxLayout;
    secondRow->addWidget(edtAddress);
    secondRow->addWidget(edtData);
    secondRow->addWidget(btnSend);
    secondRow->addStretch(1);
    secondRow->addWidget(cmbNotePicker);
    secondRow->addWidget(Button1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addLayout(firstRow);
    layout->addLayout(secondRow);
    layout->addWidget(Memo1, 1);

    connect(btnClear, &QPushButton::clicked, this, Guarded([this] { btnClearClick(); }));
    connect(btnScrollTop, &QPushButton::clicked, this, Guarded([this] { btnScrollTopClick(); }));
    connect(CheckBox1, &QCheckBox::toggled, this, Guarded([this] { CheckBox1Change(); }));
    connect(btnEraseEeprom, &QPushButton::clicked, this,
            Guarded([this] { btnEraseEepromClick(); }));
    connect(btnReadEEPROM, &QPushButton::clicked, this, Guarded([this] { btnReadEEPROMClick(); }));
    connect(btnSend, &QPushButton::clicked, this, Guarded([this] { btnSendClick(); }));
    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
    connect(cmbNotePicker, &QComboBox::currentIndexChanged, this,
            Guarded([this] { cmbNotePickerChange(); }));
}

namespace {

// Lines logged while the console window was not built yet; it shows them
// first when it is.
std::vector<std::pair<QString, bool>>& Unshown() {
    static std::vector<std::pair<QString, bool>> lines;
    return lines;
}

}  // namespace

void InstallConsoleSink() {
    Unshown().clear();
    platform::SetConsoleSink([](const QString& line, platform::Scroll scroll) {
        const bool toEnd = scroll == platform::Scroll::ToEnd;
        if (TformPrint* console = formPrint.built())
            console->AddLine(line, toEnd);
        else
            Unshown().emplace_back(line, toEnd);
    });
}

void TformPrint::FormCreate() {
    // AutoScroll was set at start; the box shows it.
    CheckBox1->setChecked(AutoScroll);
    auto unshown = std::move(Unshown());
    Unshown().clear();
    // A long session can log a hundred thousand lines before the console is
    // first opened; they go in as two blocks of text, not one by one, ending
    // where the lines one by one would have left the view: at the end after
    // the last line that scrolls there, and kept after any that follow.
    std::size_t scrolled = 0;
    for (std::size_t i = 0; i < unshown.size(); ++i)
        if (unshown[i].second && AutoScroll) scrolled = i + 1;
    const auto lines = [&unshown](std::size_t from, std::size_t to) {
        QStringList text;
        for (std::size_t i = from; i < to; ++i) text << unshown[i].first;
        return text;
    };
    AddLines(lines(0, scrolled), true);
    AddLines(lines(scrolled, unshown.size()), false);
    FillNotePicker();
}

void TformPrint::AddLine(const QString& text, bool scrollToEnd) {
    AddLines(QStringList{text}, scrollToEnd);
}

void TformPrint::AddLines(const QStringList& lines, bool scrollToEnd) {
    if (lines.isEmpty()) return;
    QScrollBar* vertical = Memo1->verticalScrollBar();
    QScrollBar* horizontal = Memo1->horizontalScrollBar();
    const int keptVertical = vertical->value();
    const int keptHorizontal = horizontal->value();
    // Added through a cursor of our own: the view's own append makes the next
    // show of a hidden console jump to the text cursor, the end of the last
    // line, instead of the place chosen here. The lines are parted by the
    // paragraph sign, which the cursor never merges with a carriage return
    // at the end of a line (as it would a line feed).
    QTextCursor end(Memo1->document());
    end.movePosition(QTextCursor::End);
    if (!Memo1->document()->isEmpty()) end.insertBlock();
    end.insertText(lines.join(QChar::ParagraphSeparator));
    if (scrollToEnd && AutoScroll) {
        vertical->setValue(vertical->maximum());
        horizontal->setValue(0);
    } else {
        // The view stays where the user left it.
        vertical->setValue(keptVertical);
        horizontal->setValue(keptHorizontal);
    }
}

void TformPrint::btnClearClick() {
    Memo1->clear();
}

void TformPrint::btnScrollTopClick() {
    Memo1->verticalScrollBar()->setValue(0);
}

void TformPrint::CheckBox1Change() {
    AutoScroll = CheckBox1->isChecked();
}

void ShowConsole() {
    if (!formPrint) return;
    formPrint->show();
    formPrint->raise();
}
