#pragma once

#include "platform/Network.h"

#include <QObject>

class QNetworkAccessManager;

namespace corvane {

// One GET per start, no cache, the delegate called on the main thread.
class QtUrlLoader : public QObject, public UrlLoader {
    Q_OBJECT
public:
    explicit QtUrlLoader(QObject* parent = nullptr);
    void start(const std::string& url, UrlConnectionDelegate& delegate) override;

private:
    QNetworkAccessManager* m_manager;
};

} // namespace corvane
