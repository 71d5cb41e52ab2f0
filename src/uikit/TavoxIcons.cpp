#include "uikit/TavoxIcons.h"

#include <QFile>
#include <QPixmap>
#include <QString>

// Outside any namespace: the resource initialiser is a global function.
static void registerResources()
{
    // The resources live in a static library: nothing else would pull them into the program.
    static const bool registered = [] {
        Q_INIT_RESOURCE(tavox);
        return true;
    }();
    (void)registered;
}

namespace tavox_icons {

QIcon icon(const char* name)
{
    registerResources();
    QIcon result;
    for (const int size : { 16, 24, 32, 48, 64, 96, 128, 256 }) {
        const QString path = QStringLiteral(":/icons/%1-%2.png").arg(QLatin1String(name)).arg(size);
        if (QFile::exists(path))
            result.addFile(path, QSize(size, size));
    }
    return result;
}

QIcon nodeIcon(int index)
{
    registerResources();
    QIcon result;
    for (const int size : { 16, 32 }) {
        const QPixmap strip(QStringLiteral(":/icons/nodeicons-%1.png").arg(size));
        if (index < 0 || (index + 1) * size > strip.width())
            return {};
        result.addPixmap(strip.copy(index * size, 0, size, size));
    }
    return result;
}

QIcon appIcon() { return icon("tavox"); }

} // namespace tavox_icons
