// Writes the program's drawn icon as <folder>/<n>x<n>/apps/vantorel.png for each size n given,
// the layout of an icon theme. Run by the build.
#include <cstdio>
#include <cstdlib>

#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>

#include "Icons.h"

int main(int argc, char **argv)
{
    QGuiApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <folder> <size>...\n", argv[0]);
        return 2;
    }
    const QIcon icon = vantorel::DrawnProgramIcon();
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        const QPixmap pixmap = icon.pixmap(QSize(size, size));
        if (size <= 0 || pixmap.size() != QSize(size, size) || !QDir().mkpath(folder) ||
            !pixmap.save(folder + QStringLiteral("/vantorel.png"), "PNG")) {
            std::fprintf(stderr, "%s: cannot write the %s-pixel icon into %s\n", argv[0], argv[i], argv[1]);
            return 1;
        }
    }
    return 0;
}
