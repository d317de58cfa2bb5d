#include "gui/QtUrlLoader.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <memory>

namespace corvane {

namespace {

QList<QSslCertificate> certificatesNamedBy(const char* fileVariable, const char* dirVariable) {
    QList<QSslCertificate> found;
    const QString file = qEnvironmentVariable(fileVariable);
    if (!file.isEmpty()) {
        found += QSslCertificate::fromPath(file, QSsl::Pem);
    }
    const QString dir = qEnvironmentVariable(dirVariable);
    if (!dir.isEmpty()) {
        for (const QString& folder : dir.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
            const QDir entries(folder);
            for (const QString& name : entries.entryList(QDir::Files | QDir::Readable)) {
                found += QSslCertificate::fromPath(entries.filePath(name), QSsl::Pem);
            }
        }
    }
    return found;
}

// Errors that still mean the server answered in HTTP: the status then tells the rest.
bool isAnswerFromServer(QNetworkReply::NetworkError error) {
    const int code = error;
    return error == QNetworkReply::NoError || (code >= 201 && code <= 299) ||
           (code >= 401 && code <= 499) || error == QNetworkReply::InsecureRedirectError ||
           error == QNetworkReply::TooManyRedirectsError;
}

// What one load has told its delegate so far.
struct LoadState {
    UrlConnectionDelegate* delegate = nullptr;
    std::size_t maxBodyBytes = 0;
    std::size_t received = 0;
    bool responded = false;
    bool ended = false;
};

void respond(LoadState& state, QNetworkReply& reply) {
    if (state.responded) {
        return;
    }
    state.responded = true;
    state.delegate->connectionDidReceiveResponse(
        reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
}

// Passes on what has arrived; false once more than the bound has.
bool pass(LoadState& state, QNetworkReply& reply) {
    const QByteArray bytes = reply.read(
        static_cast<qint64>(state.maxBodyBytes + 1 - std::min(state.received, state.maxBodyBytes)));
    if (!bytes.isEmpty()) {
        state.received += static_cast<std::size_t>(bytes.size());
        state.delegate->connectionDidReceiveData(bytes.toStdString());
    }
    return state.received <= state.maxBodyBytes;
}

} // namespace

QtUrlLoader::QtUrlLoader(QObject* parent) : QObject(parent) {}

QSslConfiguration QtUrlLoader::trustedConfiguration() {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    const QList<QSslCertificate> extra = certificatesNamedBy("SSL_CERT_FILE", "SSL_CERT_DIR");
    if (!extra.isEmpty()) {
        // Setting any authority turns off Qt's on-demand reading of the system's folder, so
        // the system's certificates are listed with them.
        configuration.setCaCertificates(QSslConfiguration::systemCaCertificates() + extra);
    }
    return configuration;
}

QtUrlLoader::~QtUrlLoader() {
    // A load still running must not call its delegate once this loader is gone.
    for (QNetworkReply* reply : findChildren<QNetworkReply*>()) {
        reply->disconnect();
        reply->abort();
    }
}

void QtUrlLoader::start(const UrlRequest& request, UrlConnectionDelegate& delegate) {
    QNetworkRequest networkRequest(QUrl(QString::fromStdString(request.url)));
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                QNetworkRequest::NoLessSafeRedirectPolicy);
    networkRequest.setMaximumRedirectsAllowed(5);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute,
                                delegate.connectionWillCacheResponse());
    networkRequest.setSslConfiguration(trustedConfiguration());

    auto state = std::make_shared<LoadState>();
    state->delegate = &delegate;
    state->maxBodyBytes = request.maxBodyBytes;

    // A manager of its own for each load: no connection, TLS session or verdict on a
    // certificate carries over from an earlier check.
    auto* manager = new QNetworkAccessManager(this);
    QNetworkReply* reply = manager->get(networkRequest);
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    // abort() ends the reply at once with OperationCanceledError, which fails the load below.
    connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline->start(request.timeout);

    connect(reply, &QNetworkReply::readyRead, reply, [state, reply] {
        if (state->ended) {
            return;
        }
        respond(*state, *reply);
        if (!pass(*state, *reply)) {
            // Too large: stop reading and let the delegate judge the bytes it has.
            state->ended = true;
            state->delegate->connectionDidFinishLoading();
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, reply, [state, reply, manager] {
        manager->deleteLater();
        if (state->ended) {
            return;
        }
        state->ended = true;
        const bool answered = isAnswerFromServer(reply->error()) &&
                              reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        if (!answered) {
            state->delegate->connectionDidFailWithError(reply->errorString().toStdString());
            return;
        }
        respond(*state, *reply);
        pass(*state, *reply);
        state->delegate->connectionDidFinishLoading();
    });
}

} // namespace corvane
