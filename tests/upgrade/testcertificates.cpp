#include "testcertificates.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {

const char *const kNames[] = {"good.crt", "wronghost.crt", "unknown.crt", "expired.crt"};

void writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

} // namespace

TestCertificates::TestCertificates()
{
    if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty()) {
        m_error = QStringLiteral("the openssl command is not installed (scripts/setup installs it)");
        return;
    }
    const QString dir = m_dir.path() + QLatin1Char('/');
    const QStringList curve{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                            QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes")};
    // Two authorities: the one the client trusts, and one it has never heard of.
    for (const QString &name : {QStringLiteral("ca"), QStringLiteral("otherca")}) {
        if (!openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + curve
                     + QStringList{QStringLiteral("-keyout"), dir + name + QStringLiteral(".key"), QStringLiteral("-out"),
                                   dir + name + QStringLiteral(".crt"), QStringLiteral("-days"), QStringLiteral("30"),
                                   QStringLiteral("-subj"), QStringLiteral("/CN=Quillmora test authority ") + name}))
            return;
    }
    // One server key; a request for each certificate.
    if (!openssl(QStringList{QStringLiteral("req")} + curve
                 + QStringList{QStringLiteral("-keyout"), key(), QStringLiteral("-out"), dir + QStringLiteral("server.csr"),
                               QStringLiteral("-subj"), QStringLiteral("/CN=Quillmora test server")}))
        return;
    writeText(dir + QStringLiteral("loopback.ext"), "subjectAltName=IP:127.0.0.1\n");
    writeText(dir + QStringLiteral("otherhost.ext"), "subjectAltName=DNS:updates.example.org\n");

    auto issue = [&](Kind kind, const QString &authority, const QString &extensions) {
        return openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), dir + QStringLiteral("server.csr"),
                        QStringLiteral("-CA"), dir + authority + QStringLiteral(".crt"), QStringLiteral("-CAkey"),
                        dir + authority + QStringLiteral(".key"), QStringLiteral("-set_serial"),
                        QString::number(int(kind) + 2), QStringLiteral("-days"), QStringLiteral("30"),
                        QStringLiteral("-extfile"), dir + extensions, QStringLiteral("-out"), certificate(kind)});
    };
    if (!issue(Good, QStringLiteral("ca"), QStringLiteral("loopback.ext"))
        || !issue(WrongHost, QStringLiteral("ca"), QStringLiteral("otherhost.ext"))
        || !issue(UnknownAuthority, QStringLiteral("otherca"), QStringLiteral("loopback.ext")))
        return;

    // The expired one through the authority's own signing command, which takes dates.
    writeText(dir + QStringLiteral("index.txt"), "");
    writeText(dir + QStringLiteral("serial"), "10\n");
    writeText(dir + QStringLiteral("ca.cnf"), "[ca]\ndefault_ca = test\n"
                                              "[test]\ndatabase = index.txt\nnew_certs_dir = .\nserial = serial\n"
                                              "default_md = sha256\npolicy = anything\nunique_subject = no\n"
                                              "[anything]\ncommonName = supplied\n");
    openssl({QStringLiteral("ca"), QStringLiteral("-batch"), QStringLiteral("-config"), dir + QStringLiteral("ca.cnf"),
             QStringLiteral("-cert"), dir + QStringLiteral("ca.crt"), QStringLiteral("-keyfile"), dir + QStringLiteral("ca.key"),
             QStringLiteral("-in"), dir + QStringLiteral("server.csr"), QStringLiteral("-startdate"), QStringLiteral("20200101000000Z"),
             QStringLiteral("-enddate"), QStringLiteral("20200201000000Z"), QStringLiteral("-extfile"),
             dir + QStringLiteral("loopback.ext"), QStringLiteral("-notext"), QStringLiteral("-out"), certificate(Expired)});
}

QString TestCertificates::certificate(Kind kind) const
{
    return m_dir.filePath(QLatin1String(kNames[kind]));
}

bool TestCertificates::openssl(const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1 failed: %2")
                      .arg(arguments.first(), QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    return true;
}
