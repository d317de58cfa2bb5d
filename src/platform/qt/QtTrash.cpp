#include "platform/qt/QtTrash.h"

#include "base/Paths.h"
#include "platform/host/HomeTrash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <sys/stat.h>

namespace corvane {

namespace {

QString toQt(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string fromQt(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

bool exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

} // namespace

std::optional<std::string> QtTrash::moveToTrash(const std::string& path) {
    const std::optional<HomeTrash> home = HomeTrash::locate();
    // Without its data home Qt reports success after moving the item into "files" beneath the
    // current folder, so the data home is made first and Qt must agree on where it is.
    if (!home || !home->makeDataHome() ||
        QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) !=
            toQt(home->dataHome())) {
        return std::nullopt;
    }
    QString inTrash;
    if (!QFile::moveToTrash(toQt(path), &inTrash)) {
        return std::nullopt;
    }
    const std::string trashed = fromQt(inTrash);
    if (home->isTrashedPath(trashed) && exists(trashed)) {
        return trashed;
    }
    // Moved somewhere that is not the home Trash (another volume's Trash, or worse): take it
    // back, so the caller can deal with it in place.
    if (!exists(path) && exists(trashed) && QDir().rename(inTrash, toQt(path))) {
        const std::string folder = fromQt(QFileInfo(inTrash).absolutePath());
        HomeTrash::forgetTrashed(folder, lastPathComponent(trashed));
    }
    return std::nullopt;
}

std::optional<std::string> QtTrash::copyToTrash(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    // The original goes to the Trash, so its information names the right place, and a copy
    // takes its place.
    std::optional<std::string> trashed = moveToTrash(path);
    if (!trashed) {
        return std::nullopt;
    }
    const QString copy = toQt(path);
    QFile source(toQt(*trashed));
    bool copied = source.copy(copy);
    if (copied) {
        QFile target(copy);
        copied =
            target.setPermissions(source.permissions()) && target.open(QIODevice::ReadWrite) &&
            target.setFileTime(QFileInfo(source).lastModified(), QFileDevice::FileModificationTime);
    }
    if (!copied) {
        QFile::remove(copy);
        putBack(*trashed, path, PutBackMode::KeepWhatIsThere);
        return std::nullopt;
    }
    return trashed;
}

PutBackOutcome QtTrash::putBack(const std::string& trashedPath, const std::string& originalPath,
                                PutBackMode mode) {
    // Qt has no way back out of the Trash; on macOS this is a plain rename.
    const std::optional<HomeTrash> home = HomeTrash::locate();
    if (!home) {
        return PutBackOutcome::Refused;
    }
    return home->putBack(trashedPath, originalPath, mode);
}

} // namespace corvane
