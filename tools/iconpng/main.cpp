// iconpng SVG DIR NAME SIZE...
//
// Renders the scalable application icon SVG into DIR/<SIZE>x<SIZE>/apps/NAME.png for each SIZE,
// as the hicolor icon theme lays its sizes out, so that the PNGs are built, not committed.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: iconpng SVG DIR NAME SIZE...\n");
        return 2;
    }
    // Rendering needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "iconpng: %s is not a drawing that can be rendered\n", argv[1]);
        return 1;
    }
    const QString directory = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (int i = 4; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 1 || size > 1024) {
            std::fprintf(stderr, "iconpng: size %s is not between 1 and 1024\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        svg.render(&painter);
        painter.end();
        const QString folder = directory + QStringLiteral("/%1x%1/apps").arg(size);
        const QString file = folder + '/' + name + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "iconpng: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
