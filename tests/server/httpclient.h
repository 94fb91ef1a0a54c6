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

// The value at a dotted path ("data.contents.0.vid"); numbers index arrays.
QJsonValue JsonAt(QJsonValue value, const QString& path);

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
    QJsonValue At(const QString& path) const { return JsonAt(Json(), path); }
    int ErrCode() const { return At(QStringLiteral("error.code")).toInt(); } // the API's own error code
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
    // Paths are relative to the base URL unless they are whole URLs.
    HttpReply Get(const QString& path) const { return Send("GET", path, {}); }
    HttpReply Post(const QString& path, const QByteArray& body,
                   const QByteArray& contentType = "application/x-www-form-urlencoded") const;
    HttpReply PostMultipart(const QString& path, const QVector<MimePart>& parts) const;
    // Any method with extra header lines ("Name: value"); POST and PATCH send
    // the body, as application/offset+octet-stream unless a header says otherwise.
    HttpReply Send(const QByteArray& method, const QString& path, const QList<QByteArray>& headers,
                   const QByteArray& body = QByteArray()) const;
    QString BaseUrl() const { return m_base; }

private:
    HttpReply Perform(const QByteArray& method, const QString& path, QList<QByteArray> headers,
                      const QByteArray* body, const QVector<MimePart>* parts) const;
    QString m_base;
    QString m_ca;
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
    // The upload endpoint's signed header lines.
    QList<QByteArray> TusHeaders() const;

    QString appId;
    QString secret;
    QJsonObject loginData;
    quint64 topCateId = 0;

private:
    const HttpClient& m_http;
};

} // namespace orvtest
