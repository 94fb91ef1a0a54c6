#pragma once
// Shared bits of the API tests: a settings store on a temporary global.ini,
// helpers to build the encrypted appSecret and capture log lines, and the
// list of test classes that main runs.

#include "api/apicollection.h"
#include "base/config.h"

#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QUuid>

#include <memory>
#include <vector>

// Each test class registers itself with REGISTER_API_TEST; main runs them all.
using ApiTestFactory = std::unique_ptr<QObject> (*)();
bool RegisterApiTest(ApiTestFactory factory);
const std::vector<ApiTestFactory>& ApiTests();
#define REGISTER_API_TEST(Class)                                                                             \
    [[maybe_unused]] static const bool Class##Registered =                                                   \
        RegisterApiTest([]() -> std::unique_ptr<QObject> { return std::make_unique<Class>(); })

inline QUuid Id()
{
    return QUuid::createUuid();
}

// The platform's error code of a refused call, -1 for any other outcome.
template <typename T> int Refusal(const ApiCollection::Result<T>& result)
{
    return result.code() == ApiCollection::ApiReturnFailed ? result.error().envelope.errorCode : -1;
}

// Installs a fresh Config as the process's settings store for one test.
class ScopedConfig
{
public:
    ScopedConfig();
    ~ScopedConfig();
    Config& config() { return *config_; }
    void Set(const QString& group, const QString& key, const QVariant& value)
    {
        config_->setValue(group, key, value);
    }
    QString Dir() const { return dir_.path(); }
    // Sends the API calls and the update check to a platform server.
    void PointAt(const QString& baseUrl, const QString& caFile);

private:
    QTemporaryDir dir_;
    std::unique_ptr<Config> config_;
};

// Collects every log message of the "Api" category while alive.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    QStringList Lines() const;
    bool Contains(const QString& text) const;

private:
    static void Handler(QtMsgType type, const QMessageLogContext& context, const QString& message);
    QtMessageHandler previous_ = nullptr;
};

// The Base64 appSecret a server would send for `secret` under appId and nonce.
QByteArray EncryptAppSecret(const QByteArray& secret, const QString& appId, const QString& nonce);
// The key and IV a login derives for appId and nonce.
void DeriveAppSecretKey(const QString& appId, const QString& nonce, QByteArray* key, QByteArray* iv);

// Expected MD5 sign over the given text, upper-case hex.
QString Md5Upper(const QString& text);
