#include "support/UpdateTestServer.h"

#include <QFile>
#include <QProcess>
#include <QSslSocket>
#include <QTcpSocket>
#include <memory>

namespace corvane::testing {

std::optional<TestCertificate> makeTestCertificate(const QString& folder, const QString& name) {
    const QString certificatePath = folder + QLatin1Char('/') + name + QStringLiteral(".pem");
    const QString keyPath = folder + QLatin1Char('/') + name + QStringLiteral(".key");
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/O=Corvane test %1/CN=127.0.0.1").arg(name),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                   QStringLiteral("-keyout"), keyPath, QStringLiteral("-out"), certificatePath});
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        qWarning("openssl failed: %s", openssl.readAll().constData());
        return std::nullopt;
    }
    QFile keyFile(keyPath);
    if (!keyFile.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(certificatePath);
    const QSslKey key(keyFile.readAll(), QSsl::Ec);
    if (certificates.size() != 1 || key.isNull()) {
        return std::nullopt;
    }
    return TestCertificate{certificatePath, certificates.first(), key};
}

LocalHttpsServer::LocalHttpsServer(TestCertificate certificate)
    : m_certificate(std::move(certificate)) {
    listen(QHostAddress::LocalHost);
}

QString LocalHttpsServer::url(const QString& path) const {
    return QStringLiteral("https://127.0.0.1:%1%2").arg(serverPort()).arg(path);
}

void LocalHttpsServer::incomingConnection(qintptr descriptor) {
    ++connections;
    if (m_silent) {
        auto* socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        return;
    }
    auto* socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setLocalCertificate(m_certificate.certificate);
    socket->setPrivateKey(m_certificate.key);
    socket->setPeerVerifyMode(QSslSocket::VerifyNone);
    auto received = std::make_shared<QByteArray>();
    connect(socket, &QSslSocket::readyRead, socket, [this, socket, received] {
        received->append(socket->readAll());
        const qsizetype headEnd = received->indexOf("\r\n\r\n");
        if (headEnd < 0) {
            return;
        }
        const QByteArray head = received->left(headEnd);
        received->clear();
        requestHeads.append(head);
        const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
        const QByteArray path = requestLine.size() > 1 ? requestLine[1] : QByteArray();
        CannedResponse response;
        response.status = 404;
        response.reason = "Not Found";
        response.body = "<html><body>Not Found</body></html>";
        response = m_routes.value(path, response);

        QByteArray answer =
            "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason + "\r\n";
        answer += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        answer += "Content-Type: text/plain; charset=utf-8\r\nConnection: close\r\n";
        for (const auto& [name, value] : response.headers) {
            answer += name + ": " + value + "\r\n";
        }
        answer += "\r\n" + response.body;
        socket->write(answer);
        socket->disconnectFromHost();
    });
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    socket->startServerEncryption();
}

ConnectionCounter::ConnectionCounter() {
    listen(QHostAddress::LocalHost);
}

void ConnectionCounter::incomingConnection(qintptr descriptor) {
    ++connections;
    QTcpSocket socket;
    socket.setSocketDescriptor(descriptor);
    socket.abort();
}

} // namespace corvane::testing
