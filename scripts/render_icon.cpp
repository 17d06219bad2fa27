// Build step: draws the editor's SVG icon into a PNG of the size the window
// icon is shown at, so that the editor reads its icon at start with Qt's own
// PNG reader instead of loading the SVG plug-in and drawing the SVG each time.
//
//   quendle-render-icon ICON.svg OUT.png SIZE

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: quendle-render-icon ICON.svg OUT.png SIZE\n");
        return 2;
    }
    const int size = QString::fromLocal8Bit(argv[3]).toInt();
    QImageReader reader(QString::fromLocal8Bit(argv[1]), "svg");
    reader.setScaledSize(QSize(size, size));
    const QImage image = reader.read();
    if (image.isNull()) {
        std::fprintf(stderr, "quendle-render-icon: cannot draw %s: %s (is Qt's SVG plug-in, "
                     "libqt6svg6, installed?)\n",
                     argv[1], qPrintable(reader.errorString()));
        return 1;
    }
    if (!image.convertToFormat(QImage::Format_ARGB32).save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "quendle-render-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
