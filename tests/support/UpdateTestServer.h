#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTcpServer>
#include <optional>

namespace corvane::testing {

// A self-signed certificate for 127.0.0.1, made with the openssl tool.
struct TestCertificate {
    QString certificatePath;
    QSslCertificate certificate;
    QSslKey key;
};

// Makes a certificate and its key as `name`.pem and `name`.key in `folder`; none when the
// openssl tool failed.
std::optional<TestCertificate> makeTestCertificate(const QString& folder, const QString& name);

struct CannedResponse {
    int status = 200;
    QByteArray reason = "OK";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
};

// An HTTPS server on 127.0.0.1 that answers each request with the response set for its path.
// Nothing it serves leaves the machine.
class LocalHttpsServer : public QTcpServer {
public:
    explicit LocalHttpsServer(TestCertificate certificate);

    void route(const QByteArray& path, CannedResponse response) { m_routes[path] = response; }
    // Accepts connections and then never says a word, not even the TLS handshake.
    void setSilent(bool silent) { m_silent = silent; }

    QString url(const QString& path = QStringLiteral("/latest-version.txt")) const;

    int connections = 0;
    QList<QByteArray> requestHeads; // each request line and its headers

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    TestCertificate m_certificate;
    QHash<QByteArray, CannedResponse> m_routes;
    bool m_silent = false;
};

// A plain HTTP listener on 127.0.0.1 that only counts who connects to it.
class ConnectionCounter : public QTcpServer {
public:
    ConnectionCounter();
    int connections = 0;

protected:
    void incomingConnection(qintptr descriptor) override;
};

} // namespace corvane::testing
