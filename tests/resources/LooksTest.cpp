// The eight looks: each must parse, style every kind of control the windows
// use without a complaint from Qt, leave the fonts the windows chose alone,
// find every image it names, and give the settings window's dials and
// switches the colours they paint with.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStringList>
#include <QTextBrowser>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "platform/Resources.h"
#include "tests/support/ProcessState.h"

// Stand-ins with the colour properties the looks set on the settings window's
// QuendleDial and QuendleSwitch; the sheets are pointed at them by name.
class ProbeDial : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor knobColor MEMBER knobColor)
    Q_PROPERTY(QColor arcColor MEMBER arcColor)
    Q_PROPERTY(QColor valueColor MEMBER valueColor)
    Q_PROPERTY(QColor pointerColor MEMBER pointerColor)
    Q_PROPERTY(QColor textColor MEMBER textColor)
public:
    using QWidget::QWidget;
    QColor knobColor, arcColor, valueColor, pointerColor, textColor;
};

class ProbeSwitch : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor onColor MEMBER onColor)
    Q_PROPERTY(QColor offColor MEMBER offColor)
    Q_PROPERTY(QColor knobColor MEMBER knobColor)
public:
    using QWidget::QWidget;
    QColor onColor, offColor, knobColor;
};

namespace {

QString Look(int index) {
    return QString::fromUtf8(platform::ReadResource(QStringLiteral("Style_%1").arg(index)));
}

// Everything Qt says while a look is applied and drawn.
QStringList& Complaints() {
    static QStringList complaints;
    return complaints;
}

void Collect(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) Complaints() << message;
}

class Listening {
public:
    Listening() : previous_(qInstallMessageHandler(Collect)) { Complaints().clear(); }
    ~Listening() { qInstallMessageHandler(previous_); }

private:
    QtMessageHandler previous_;
};

// One of every kind of control the windows use, in the states they use.
struct Gallery {
    std::unique_ptr<QMainWindow> window = std::make_unique<QMainWindow>();
    std::unique_ptr<QMessageBox> box;
    QMenu* menu = nullptr;
    QComboBox* combo = nullptr;
    QLabel* label = nullptr;
    QPushButton* tahomaButton = nullptr;
    QPlainTextEdit* console = nullptr;

    Gallery() {
        window->resize(420, 900);
        menu = window->menuBar()->addMenu(QStringLiteral("Connection"));
        menu->addAction(QStringLiteral("Scan"));
        menu->addAction(QStringLiteral("Disconnect"))->setEnabled(false);
        menu->addSeparator();
        QAction* mode = menu->addAction(QStringLiteral("Upgrade Mode"));
        mode->setCheckable(true);
        mode->setChecked(true);
        menu->addAction(QStringLiteral("Enable All Parameters"))->setCheckable(true);
        menu->addMenu(QStringLiteral("Look"))->addAction(QStringLiteral("0"));

        auto* central = new QWidget;
        auto* column = new QVBoxLayout(central);
        window->setCentralWidget(central);

        label = new QLabel(QStringLiteral("No device found"));
        label->setFont(QFont(QStringLiteral("Arial"), 11));
        column->addWidget(label);
        auto* upload = new QPushButton(QStringLiteral("Upload Selected"));
        upload->setFont(QFont(QStringLiteral("Arial"), 11));
        column->addWidget(upload);
        auto* request = new QPushButton(QStringLiteral("Request"));
        request->setEnabled(false);
        column->addWidget(request);
        tahomaButton = new QPushButton(QStringLiteral("Set Footswitch Mode"));
        QFont tahoma(QStringLiteral("Tahoma"));
        tahoma.setPointSizeF(10.5);
        tahomaButton->setFont(tahoma);
        tahomaButton->setDefault(true);
        column->addWidget(tahomaButton);

        auto* list = new QListWidget;
        list->addItems({QStringLiteral("Quendle MK3 0008"), QStringLiteral("Other")});
        list->setCurrentRow(0);
        column->addWidget(list);

        combo = new QComboBox;
        combo->addItems({QStringLiteral("Not Assigned"), QStringLiteral("Input Level")});
        column->addWidget(combo);
        auto* idle = new QComboBox;
        idle->setEnabled(false);
        column->addWidget(idle);

        auto* frame = new QGroupBox(QStringLiteral("Tracking Functions"));
        auto* inFrame = new QVBoxLayout(frame);
        auto* ticked = new QCheckBox(QStringLiteral("Dominant Notes Cut"));
        ticked->setChecked(true);
        inFrame->addWidget(ticked);
        auto* off = new QCheckBox(QStringLiteral("High Notes Cut"));
        off->setEnabled(false);
        inFrame->addWidget(off);
        auto* bypass = new QRadioButton(QStringLiteral("Bypass"));
        bypass->setChecked(true);
        inFrame->addWidget(bypass);
        inFrame->addWidget(new QRadioButton(QStringLiteral("Change Preset")));
        column->addWidget(frame);

        auto* outline = new QFrame;
        outline->setObjectName(QStringLiteral("Rectangle1"));
        outline->setFrameShape(QFrame::Box);
        outline->setMinimumHeight(30);
        column->addWidget(outline);

        column->addWidget(new QLineEdit(QStringLiteral("0800")));
        console = new QPlainTextEdit;
        QFont mono(QStringLiteral("monospace"));
        mono.setStyleHint(QFont::Monospace);
        mono.setPointSize(9);
        console->setFont(mono);
        for (int line = 0; line < 40; ++line)
            console->appendPlainText(QStringLiteral("received: %1").arg(line));
        column->addWidget(console);
        column->addWidget(new QTextEdit(QStringLiteral("text")));
        auto* page = new QTextBrowser;
        page->setHtml(QStringLiteral("<h1>Quendle MK3 0008</h1>"));
        column->addWidget(page);
        auto* progress = new QProgressBar;
        progress->setRange(0, 210);
        progress->setValue(120);
        column->addWidget(progress);
        column->addWidget(new QScrollBar(Qt::Horizontal));

        box = std::make_unique<QMessageBox>(QMessageBox::Question, QStringLiteral("Quendle Editor"),
                                            QStringLiteral("Upload the selected algorithm?"),
                                            QMessageBox::Yes | QMessageBox::No);
    }

    // Polishes and draws everything, which is when Qt reads the sheet's rules
    // and loads the images they name.
    QImage Draw() {
        QImage image = window->grab().toImage();
        menu->setActiveAction(menu->actions().constFirst());
        menu->adjustSize();
        menu->grab();
        combo->view()->resize(160, 60);
        combo->view()->grab();
        box->adjustSize();
        box->grab();
        return image;
    }
};

// Each case sets the application's style sheet; the cases after it start
// without it.
class EachLook : public ::testing::TestWithParam<int> {
private:
    ProcessStateGuard processState_;
};

TEST_P(EachLook, StylesEveryControlWithoutAComplaintFromQt) {
    const QString look = Look(GetParam());
    ASSERT_FALSE(look.trimmed().isEmpty());
    Gallery gallery;
    Listening listening;
    qApp->setStyleSheet(look);
    gallery.Draw();
    EXPECT_TRUE(Complaints().isEmpty()) << Complaints().join(QLatin1Char('\n')).toStdString();
}

TEST_P(EachLook, LeavesTheFontsTheWindowsChoseAlone) {
    Gallery gallery;
    qApp->setStyleSheet(Look(GetParam()));
    gallery.Draw();
    EXPECT_EQ(gallery.label->font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(gallery.label->font().pointSizeF(), 11.0);
    EXPECT_EQ(gallery.tahomaButton->font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(gallery.tahomaButton->font().pointSizeF(), 10.5);
    EXPECT_EQ(gallery.console->font().styleHint(), QFont::Monospace);
    EXPECT_EQ(gallery.console->font().pointSize(), 9);
}

TEST_P(EachLook, FindsEveryImageItNames) {
    const QString look = Look(GetParam());
    const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
    int images = 0;
    for (const auto& match : url.globalMatch(look)) {
        const QString path = match.captured(1).trimmed();
        SCOPED_TRACE(path.toStdString());
        EXPECT_TRUE(path.startsWith(QStringLiteral(":/quendle/"))) << "only embedded images";
        EXPECT_FALSE(QImage(path).isNull()) << "image missing or unreadable";
        ++images;
    }
    EXPECT_GT(images, 0) << "the ticks and arrows are images";
}

TEST_P(EachLook, GivesTheDialsAndSwitchesVisibleColours) {
    QString look = Look(GetParam());
    look.replace(QRegularExpression(QStringLiteral("\\bQuendleDial\\b")),
                 QStringLiteral("ProbeDial"));
    look.replace(QRegularExpression(QStringLiteral("\\bQuendleSwitch\\b")),
                 QStringLiteral("ProbeSwitch"));
    QWidget window;
    auto* dial = new ProbeDial(&window);
    auto* toggle = new ProbeSwitch(&window);
    Listening listening;
    qApp->setStyleSheet(look);
    window.ensurePolished();
    // A property the widgets do not have makes Qt complain here.
    EXPECT_TRUE(Complaints().isEmpty()) << Complaints().join(QLatin1Char('\n')).toStdString();

    for (const QColor& colour :
         {dial->knobColor, dial->arcColor, dial->valueColor, dial->pointerColor, dial->textColor,
          toggle->onColor, toggle->offColor, toggle->knobColor})
        EXPECT_TRUE(colour.isValid()) << "a colour the look leaves unset";
    EXPECT_NE(dial->pointerColor, dial->knobColor) << "pointer invisible on the knob";
    EXPECT_NE(dial->valueColor, dial->arcColor) << "value invisible on its arc";
    EXPECT_NE(toggle->onColor, toggle->offColor) << "on and off look the same";
    EXPECT_NE(toggle->knobColor, toggle->onColor);
}

// The first column that is not the row's own background.
int TextStart(const QImage& image, const QRect& row) {
    const QRgb background = image.pixel(row.right() - 2, row.center().y());
    for (int x = row.left(); x < row.right() - 2; ++x)
        for (int y = row.top() + 1; y < row.bottom(); ++y)
            if (image.pixel(x, y) != background) return x;
    return -1;
}

TEST_P(EachLook, KeepsAListsTextInPlaceWhenARowIsSelectedOrHovered) {
    qApp->setStyleSheet(Look(GetParam()));
    QListWidget list;
    list.addItems({QStringLiteral("Dub"), QStringLiteral("Dub"), QStringLiteral("Dub")});
    list.resize(200, 120);
    list.setCurrentRow(1);
    // The pointer rests on the last row.
    list.show();
    const QPoint over = list.visualItemRect(list.item(2)).center();
    QMouseEvent move(QEvent::MouseMove, over, list.viewport()->mapToGlobal(over), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &move);
    const QImage image = list.viewport()->grab().toImage();
    const int plain = TextStart(image, list.visualItemRect(list.item(0)));
    ASSERT_GE(plain, 0);
    EXPECT_EQ(TextStart(image, list.visualItemRect(list.item(1))), plain) << "selected row";
    EXPECT_EQ(TextStart(image, list.visualItemRect(list.item(2))), plain) << "hovered row";
}

// The editor carries each look packed (no comments, no spare white space).
// Packing must leave every word, sign and quoted text where it was, so the
// stored look draws exactly what the sheet in the sources draws.
TEST_P(EachLook, IsStoredSayingExactlyWhatItsSourceSays) {
    QFile file(QStringLiteral(QUENDLE_LOOKS_SOURCE_DIR "/style_%1.qss").arg(GetParam()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const QString source = QString::fromUtf8(file.readAll());
    const QString stored = Look(GetParam());
    EXPECT_FALSE(stored.contains(QStringLiteral("/*")));
    EXPECT_LT(stored.size(), source.size());

    const auto tokens = [](QString sheet) {
        sheet.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/"),
                                        QRegularExpression::DotMatchesEverythingOption));
        // A space is a token only where it parts two words (a descendant
        // selector, or the values of one property).
        const QRegularExpression token(QStringLiteral(
            "\"[^\"]*\"|'[^']*'|[^\\s{};:,()\"']+|[{};:,()]|(?<=[\\w#%)])\\s+(?=[\\w#.*(-])"));
        QStringList list;
        for (const auto& match : token.globalMatch(sheet)) {
            const QString text = match.captured();
            list << (text.trimmed().isEmpty() ? QStringLiteral(" ") : text);
        }
        return list;
    };
    const QStringList packed = tokens(stored), written = tokens(source);
    for (qsizetype i = 0; i < std::max(packed.size(), written.size()); ++i) {
        if (packed.value(i) == written.value(i)) continue;
        ADD_FAILURE() << "token " << i << ": stored \""
                      << packed.mid(std::max<qsizetype>(0, i - 3), 6).join(u'|').toStdString()
                      << "\", written \""
                      << written.mid(std::max<qsizetype>(0, i - 3), 6).join(u'|').toStdString()
                      << "\"";
        break;
    }

    Gallery fromSource;
    qApp->setStyleSheet(source);
    const QImage drawnFromSource = fromSource.Draw();
    Gallery fromStored;
    qApp->setStyleSheet(stored);
    EXPECT_TRUE(fromStored.Draw() == drawnFromSource) << "the stored look draws differently";
    qApp->setStyleSheet(QString());
}

INSTANTIATE_TEST_SUITE_P(Looks, EachLook, ::testing::Range(0, 8),
                         [](const auto& info) { return "Style_" + std::to_string(info.param); });

using Looks = GuardedTest;

TEST_F(Looks, TheComplaintCheckNoticesABrokenSheet) {
    Gallery gallery;
    Listening listening;
    qApp->setStyleSheet(QStringLiteral("QPushButton { color: #123456; "));
    gallery.Draw();
    EXPECT_FALSE(Complaints().isEmpty());
}

TEST_F(Looks, AreEightDistinctSheetsThatDrawTheWindowsDifferently) {
    QList<QImage> drawings;
    for (int index = 0; index < 8; ++index) {
        const QString look = Look(index);
        for (int earlier = 0; earlier < index; ++earlier)
            EXPECT_NE(look, Look(earlier)) << index << " repeats " << earlier;
        Gallery gallery;
        qApp->setStyleSheet(look);
        drawings << gallery.Draw();
    }
    for (int index = 0; index < drawings.size(); ++index)
        for (int earlier = 0; earlier < index; ++earlier)
            EXPECT_NE(drawings[index], drawings[earlier])
                << "Style_" << index << " draws like Style_" << earlier;
}

}  // namespace

#include "LooksTest.moc"
