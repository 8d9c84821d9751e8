#include "ser2netprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

quint16 Ser2NetProcess::freePort(bool ipv6) {
    QTcpServer probe;
    if (!probe.listen(ipv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

bool Ser2NetProcess::start(const QString &mode, const QString &serialPath, bool ipv6) {
    stop();
    const quint16 port = freePort(ipv6);
    const QString host = ipv6 ? QStringLiteral("::1") : QStringLiteral("127.0.0.1");
    const QString accepter =
        (mode == QLatin1String("rfc2217") ? QStringLiteral("telnet(rfc2217),tcp,%1,%2")
                                          : QStringLiteral("tcp,%1,%2"))
            .arg(host);
    QFile config(m_dir.filePath(QStringLiteral("ser2net.yaml")));
    if (port == 0 || !config.open(QIODevice::WriteOnly))
        return false;
    config.write(QStringLiteral("connection: &kt290\n"
                                "    accepter: %1\n"
                                "    connector: serialdev,%2,19200n81,local\n"
                                "    options:\n"
                                "        kickolduser: true\n"
                                "        mdns: false\n")
                     .arg(accepter.arg(port), serialPath)
                     .toUtf8());
    config.close();
    m_address =
        QStringLiteral("%1://%2:%3").arg(mode, ipv6 ? QStringLiteral("[::1]") : host).arg(port);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(QStringLiteral("ser2net"),
                    {QStringLiteral("-n"), QStringLiteral("-c"), config.fileName(),
                     QStringLiteral("-P"), m_dir.filePath(QStringLiteral("pid"))});
    if (!m_process.waitForStarted(5000))
        return false;
    // Listening once a connection is taken; the probe leaves the serial port closed again.
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(ipv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost, port);
        if (probe.waitForConnected(200)) {
            probe.abort();
            QTest::qWait(100);
            return true;
        }
        QTest::qWait(50);
    }
    return false;
}

void Ser2NetProcess::stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}
