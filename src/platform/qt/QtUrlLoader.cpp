#include "platform/qt/QtUrlLoader.h"

#include <QNetworkAccessManager>

namespace corvane {

QtUrlLoader::QtUrlLoader(QObject* parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this)) {}

// Placeholder until the update check is built.
void QtUrlLoader::start(const std::string&, UrlConnectionDelegate&) {}

} // namespace corvane
