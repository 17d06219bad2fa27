// Build step: draws the editor's SVG icon at the size the window icon is
// shown at, as the bare pixels the editor hands to the window system: SIZE x
// SIZE premultiplied ARGB32 words in this machine's byte order, row by row.
// The editor then neither loads the SVG plug-in and draws the SVG, nor
// decodes an image file, at every start.
//
//   quendle-render-icon ICON.svg OUT.argb32 SIZE

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: quendle-render-icon ICON.svg OUT.argb32 SIZE\n");
        return 2;
    }
    const int size = QString::fromLocal8Bit(argv[3]).toInt();
    QImageReader reader(QString::fromLocal8Bit(argv[1]), "svg");
    reader.setScaledSize(QSize(size, size));
    const QImage image = reader.read();
    if (image.isNull()) {
        std::fprintf(stderr,
                     "quendle-render-icon: cannot draw %s: %s (is Qt's SVG plug-in, "
                     "libqt6svg6, installed?)\n",
                     argv[1], qPrintable(reader.errorString()));
        return 1;
    }
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QFile out(QString::fromLocal8Bit(argv[2]));
    const auto bytes = static_cast<qint64>(pixels.width()) * pixels.height() * 4;
    if (pixels.width() != size || pixels.height() != size || pixels.bytesPerLine() != size * 4 ||
        !out.open(QIODevice::WriteOnly) ||
        out.write(reinterpret_cast<const char*>(pixels.constBits()), bytes) != bytes) {
        std::fprintf(stderr, "quendle-render-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
