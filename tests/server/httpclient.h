#pragma once
// A small libcurl client for the platform server tests: plain requests, the
// API signing rule, and a login that decrypts appSecret on its own path
// (OpenSSL EVP), independent of the server's code.

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QVector>

namespace orvtest {

struct HttpReply
{
    int curlCode = 0; // CURLcode
    long status = 0;
    QByteArray body;
    qint64 contentLength = -1;
    QString contentType;
    double seconds = 0;
    QMap<QByteArray, QByteArray> headers; // lower-case names
    QJsonObject Json() const;
    bool Ok() const { return curlCode == 0; }
};

struct MimePart
{
    QString name;
    QByteArray data;
    QString fileName; // non-empty: sent as a file part
};

class HttpClient
{
public:
    HttpClient(QString baseUrl, QString caFile) : m_base(std::move(baseUrl)), m_ca(std::move(caFile)) {}
    HttpReply Get(const QString& pathAndQuery, long timeoutMs = 15000) const;
    HttpReply Post(const QString& path, const QByteArray& body,
                   const QByteArray& contentType = "application/x-www-form-urlencoded",
                   long timeoutMs = 15000) const;
    HttpReply PostMultipart(const QString& path, const QVector<MimePart>& parts) const;
    HttpReply Url(const QString& absoluteUrl) const;
    // Any method with extra header lines ("Name: value") and an optional body.
    HttpReply Send(const QByteArray& method, const QString& path, const QList<QByteArray>& headers,
                   const QByteArray& body = QByteArray()) const;
    QString BaseUrl() const { return m_base; }

private:
    HttpReply Perform(const QString& url, const QByteArray* body, const QByteArray& contentType,
                      const QVector<MimePart>* parts, long timeoutMs) const;
    QString m_base;
    QString m_ca;
    QByteArray m_method;
    QList<QByteArray> m_headers;
};

using ParamMap = QMap<QString, QString>;

QString PasswordDigest(const QString& password);
QString SignParams(const QString& secret, const ParamMap& params);
QByteArray FormEncode(const ParamMap& params);
// AES-128-CBC decryption with the key and IV derived from material, appId and nonce.
QByteArray DecryptAppSecret(const QByteArray& base64, const QString& appId, const QString& nonce);

class ApiSession
{
public:
    explicit ApiSession(const HttpClient& http) : m_http(http) {}
    // Logs in; returns the whole reply. On success appId and secret are set.
    HttpReply Login(const QString& email, const QString& password);
    HttpReply Get(const QString& path, ParamMap params, qint64 timestampShiftMs = 0) const;
    HttpReply Post(const QString& path, ParamMap params) const;
    // Adds appId, timestamp and sign.
    ParamMap Signed(ParamMap params, qint64 timestampShiftMs = 0) const;

    QString appId;
    QString secret;
    QJsonObject loginData;
    quint64 topCateId = 0;

private:
    const HttpClient& m_http;
};

} // namespace orvtest
