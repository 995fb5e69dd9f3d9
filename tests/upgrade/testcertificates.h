#pragma once

#include <QString>
#include <QTemporaryDir>

// A certificate authority made for one test run with the openssl command, and server
// certificates for 127.0.0.1 from it and from a second, unknown authority.
class TestCertificates
{
public:
    enum Kind {
        Good,             // by the test authority, for 127.0.0.1
        WrongHost,        // by the test authority, for another host name only
        UnknownAuthority, // for 127.0.0.1, by an authority nobody trusts
        Expired,          // by the test authority, for 127.0.0.1, valid only in 2020
    };

    TestCertificates();

    // Empty when everything was made, else what went wrong.
    QString error() const { return m_error; }
    // The test authority's certificate, to be trusted by the client.
    QString authority() const { return m_dir.filePath(QStringLiteral("ca.crt")); }
    QString certificate(Kind kind) const;
    QString key() const { return m_dir.filePath(QStringLiteral("server.key")); }

private:
    bool openssl(const QStringList &arguments);

    QTemporaryDir m_dir;
    QString m_error;
};
