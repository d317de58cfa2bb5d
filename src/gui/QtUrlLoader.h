#pragma once

#include "ports/Network.h"

#include <QObject>

class QSslConfiguration;

namespace corvane {

// One GET per start over QNetworkAccessManager: no cache, never a redirect from HTTPS to HTTP,
// peers checked against the system's trusted certificates, the delegate called on the main
// thread.
class QtUrlLoader : public QObject, public UrlLoader {
    Q_OBJECT
public:
    explicit QtUrlLoader(QObject* parent = nullptr);
    ~QtUrlLoader() override;
    void start(const UrlRequest& request, UrlConnectionDelegate& delegate) override;

    // The system's trusted certificates, plus those named by SSL_CERT_FILE and SSL_CERT_DIR
    // (OpenSSL's own variables, which Qt's loader does not read by itself).
    static QSslConfiguration trustedConfiguration();
};

} // namespace corvane
