#include "gui/Images.h"

#include "gui/Magnifier.h"
#include "host/posix/PlistBundleReader.h"

#include <QBuffer>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

// Icon files of real bundles are well under this; a larger one is not worth decoding.
constexpr qint64 kMaxIconFileSize = qint64{16} * 1024 * 1024;
constexpr int kMaxIconImages = 32;

QPixmap drawMagnifier() {
    QPixmap pixmap(kMagnifierSide, kMagnifierSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paintMagnifier(painter);
    return pixmap;
}

// The bytes of a regular file of bounded size. Opened without blocking, so that a pipe put in
// the icon's place cannot stall the window.
QByteArray readSmallRegularFile(const QString& path) {
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    QByteArray bytes;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxIconFileSize) {
        QFile file;
        if (file.open(fd, QIODevice::ReadOnly)) {
            bytes = file.read(kMaxIconFileSize);
        }
    }
    close(fd);
    return bytes;
}

// Every image in the file (an .icns holds one per size), whatever format Qt can read.
QIcon iconFromFile(const QString& path) {
    QByteArray bytes = readSmallRegularFile(path);
    if (bytes.isEmpty()) {
        return {};
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QIcon icon;
    for (int index = 0; index < kMaxIconImages; ++index) {
        const QImage image = reader.read();
        if (!image.isNull()) {
            icon.addPixmap(QPixmap::fromImage(image));
        }
        if (!reader.jumpToNextImage()) {
            break;
        }
    }
    return icon;
}

// The icon a bundle names in its Info.plist (CFBundleIconFile in Contents/Resources, ".icns"
// assumed when the name has no extension), or none.
QIcon bundleIcon(const QString& bundlePath) {
    const Result<BundleInfo, BundleError> bundle =
        PlistBundleReader().readBundle(QFile::encodeName(bundlePath).toStdString());
    if (!bundle || !bundle->iconFile) {
        return {};
    }
    const QString name = QString::fromStdString(*bundle->iconFile);
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String("..")) {
        return {};
    }
    const QString resources = bundlePath + QStringLiteral("/Contents/Resources/");
    QStringList candidates = {name};
    if (QFileInfo(name).suffix().isEmpty()) {
        candidates.prepend(name + QStringLiteral(".icns"));
    }
    for (const QString& candidate : candidates) {
        QIcon icon = iconFromFile(resources + candidate);
        if (!icon.isNull()) {
            return icon;
        }
    }
    return {};
}

} // namespace

QIcon namedIcon(const QString& name) {
    static QHash<QString, QIcon> cache;
    if (auto found = cache.constFind(name); found != cache.constEnd()) {
        return *found;
    }
    QIcon icon;
    if (name == QLatin1String(kChooseButtonImage)) {
        icon = QIcon(drawMagnifier());
    }
    cache.insert(name, icon);
    return icon;
}

QIcon iconForFile(const QString& path) {
    if (QIcon icon = bundleIcon(path); !icon.isNull()) {
        return icon;
    }
    static QFileIconProvider provider;
    return provider.icon(QFileInfo(path));
}

QIcon iconFor(const Image& image) {
    switch (image.kind) {
    case Image::Kind::Named:
        return namedIcon(QString::fromStdString(image.source));
    case Image::Kind::IconForFile:
        return iconForFile(QFile::decodeName(QByteArray::fromStdString(image.source)));
    case Image::Kind::None:
        break;
    }
    return {};
}

} // namespace corvane
