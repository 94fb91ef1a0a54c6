#include "apitestutil.h"

#include "storage/aescipher.h"

#include <orvane/shared_constants.h>

#include <QCryptographicHash>
#include <QMutexLocker>

namespace {
std::vector<ApiTestFactory>& Registry()
{
    static std::vector<ApiTestFactory> tests;
    return tests;
}

QMutex g_logMutex;
QStringList g_logLines;
LogCapture* g_capture = nullptr;
} // namespace

bool RegisterApiTest(ApiTestFactory factory)
{
    Registry().push_back(factory);
    return true;
}

const std::vector<ApiTestFactory>& ApiTests()
{
    return Registry();
}

ScopedConfig::ScopedConfig() : config_(std::make_unique<Config>(dir_.path() + QStringLiteral("/global.ini")))
{
    Config::SetGlobal(config_.get());
}

ScopedConfig::~ScopedConfig()
{
    Config::SetGlobal(nullptr);
}

void ScopedConfig::PointAt(const QString& baseUrl, const QString& caFile)
{
    Set(QStringLiteral("Custom"), QStringLiteral("apiUrl"), baseUrl);
    Set(QStringLiteral("Custom"), QStringLiteral("updateUrl"),
        baseUrl + QStringLiteral("/api/app/package/version/check"));
    Set(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"), caFile);
}

LogCapture::LogCapture()
{
    QMutexLocker lock(&g_logMutex);
    g_logLines.clear();
    g_capture = this;
    previous_ = qInstallMessageHandler(&LogCapture::Handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous_);
    QMutexLocker lock(&g_logMutex);
    g_capture = nullptr;
}

void LogCapture::Handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    Q_UNUSED(type)
    QMutexLocker lock(&g_logMutex);
    if (g_capture && context.category && qstrcmp(context.category, "Api") == 0)
        g_logLines.append(message);
}

QStringList LogCapture::Lines() const
{
    QMutexLocker lock(&g_logMutex);
    return g_logLines;
}

bool LogCapture::Contains(const QString& text) const
{
    const QStringList lines = Lines();
    for (const QString& line : lines) {
        if (line.contains(text))
            return true;
    }
    return false;
}

void DeriveAppSecretKey(const QString& appId, const QString& nonce, QByteArray* key, QByteArray* iv)
{
    const QString material = QString::fromStdString(orvane::AppSecretKeyMaterial()) + appId + nonce;
    const QByteArray digest = QCryptographicHash::hash(material.toUtf8(), QCryptographicHash::Md5).toHex();
    *key = digest.left(16);
    *iv = digest.mid(16, 16);
}

QByteArray EncryptAppSecret(const QByteArray& secret, const QString& appId, const QString& nonce)
{
    QByteArray key;
    QByteArray iv;
    DeriveAppSecretKey(appId, nonce, &key, &iv);
    return AesCbcEncrypt(secret, key, iv).toBase64();
}

QString Md5Upper(const QString& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex())
        .toUpper();
}
