#include "httpclient.h"

#include "orvane/shared_constants.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

#include <curl/curl.h>
#include <openssl/evp.h>

#include <algorithm>
#include <memory>

namespace orvtest {
namespace {

size_t WriteBody(char* data, size_t size, size_t n, void* user)
{
    static_cast<QByteArray*>(user)->append(data, int(size * n));
    return size * n;
}

size_t HeaderLine(char* data, size_t size, size_t n, void* user)
{
    const QByteArray line = QByteArray(data, int(size * n)).trimmed();
    const int colon = line.indexOf(':');
    if (colon > 0)
        static_cast<QMap<QByteArray, QByteArray>*>(user)->insert(line.left(colon).trimmed().toLower(),
                                                                 line.mid(colon + 1).trimmed());
    return size * n;
}

struct CurlInit
{
    CurlInit() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

} // namespace

QJsonValue JsonAt(QJsonValue value, const QString& path)
{
    for (const QString& key : path.split(QLatin1Char('.'))) {
        bool index = false;
        const int i = key.toInt(&index);
        value = index ? value.toArray().at(i) : value.toObject().value(key);
    }
    return value;
}

QJsonObject HttpReply::Json() const
{
    return QJsonDocument::fromJson(body).object();
}

HttpReply HttpClient::Perform(const QByteArray& method, const QString& path, QList<QByteArray> headers,
                              const QByteArray* body, const QVector<MimePart>* parts) const
{
    static CurlInit init;
    HttpReply r;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> h(curl_easy_init(), curl_easy_cleanup);
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> list(nullptr, curl_slist_free_all);
    std::unique_ptr<curl_mime, decltype(&curl_mime_free)> mime(nullptr, curl_mime_free);
    const QByteArray u = (path.startsWith(QLatin1String("http")) ? path : m_base + path).toUtf8();
    const QByteArray ca = m_ca.toLocal8Bit();
    curl_easy_setopt(h.get(), CURLOPT_URL, u.constData());
    if (!m_ca.isEmpty())
        curl_easy_setopt(h.get(), CURLOPT_CAINFO, ca.constData());
    curl_easy_setopt(h.get(), CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(h.get(), CURLOPT_WRITEDATA, &r.body);
    curl_easy_setopt(h.get(), CURLOPT_TIMEOUT_MS, 30000L);
    curl_easy_setopt(h.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h.get(), CURLOPT_PROXY, "");
    curl_easy_setopt(h.get(), CURLOPT_HEADERFUNCTION, HeaderLine);
    curl_easy_setopt(h.get(), CURLOPT_HEADERDATA, &r.headers);
    if (method != "GET" && method != "POST")
        curl_easy_setopt(h.get(), CURLOPT_CUSTOMREQUEST, method.constData());
    if (method == "HEAD")
        curl_easy_setopt(h.get(), CURLOPT_NOBODY, 1L);
    if (body) {
        const auto typed = std::find_if(headers.cbegin(), headers.cend(), [](const QByteArray& l) {
            return l.toLower().startsWith("content-type:");
        });
        if (typed == headers.cend())
            headers << "Content-Type: application/offset+octet-stream";
        curl_easy_setopt(h.get(), CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body->size()));
        curl_easy_setopt(h.get(), CURLOPT_POSTFIELDS, body->constData());
    } else if (parts) {
        mime.reset(curl_mime_init(h.get()));
        for (const MimePart& p : *parts) {
            curl_mimepart* part = curl_mime_addpart(mime.get());
            curl_mime_name(part, p.name.toUtf8().constData());
            curl_mime_data(part, p.data.constData(), size_t(p.data.size()));
            if (!p.fileName.isEmpty())
                curl_mime_filename(part, p.fileName.toUtf8().constData());
        }
        curl_easy_setopt(h.get(), CURLOPT_MIMEPOST, mime.get());
    }
    for (const QByteArray& line : headers)
        list.reset(curl_slist_append(list.release(), line.constData()));
    curl_easy_setopt(h.get(), CURLOPT_HTTPHEADER, list.get());
    QElapsedTimer timer;
    timer.start();
    r.curlCode = curl_easy_perform(h.get());
    r.seconds = timer.nsecsElapsed() / 1e9;
    curl_easy_getinfo(h.get(), CURLINFO_RESPONSE_CODE, &r.status);
    curl_off_t cl = -1;
    curl_easy_getinfo(h.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &cl);
    r.contentLength = qint64(cl);
    char* type = nullptr;
    curl_easy_getinfo(h.get(), CURLINFO_CONTENT_TYPE, &type);
    r.contentType = type ? QString::fromLatin1(type) : QString();
    return r;
}

HttpReply HttpClient::Post(const QString& path, const QByteArray& body, const QByteArray& contentType) const
{
    return Perform("POST", path, {"Content-Type: " + contentType}, &body, nullptr);
}

HttpReply HttpClient::PostMultipart(const QString& path, const QVector<MimePart>& parts) const
{
    return Perform("POST", path, {}, nullptr, &parts);
}

HttpReply HttpClient::Send(const QByteArray& method, const QString& path, const QList<QByteArray>& headers,
                           const QByteArray& body) const
{
    const bool withBody = !body.isEmpty() || method == "POST" || method == "PATCH";
    return Perform(method, path, headers, withBody ? &body : nullptr, nullptr);
}

QString PasswordDigest(const QString& password)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1).toHex().toUpper().left(20));
}

QString SignParams(const QString& secret, const ParamMap& params)
{
    QString text = secret;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        if (!it.value().isEmpty() && it.key() != QLatin1String("sign"))
            text += it.key() + it.value();
    text += secret;
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
}

QByteArray FormEncode(const ParamMap& params)
{
    QByteArrayList items;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        items << it.key().toUtf8() + '=' + QUrl::toPercentEncoding(it.value());
    return items.join('&');
}

QByteArray DecryptAppSecret(const QByteArray& base64, const QString& appId, const QString& nonce)
{
    const QByteArray material =
        QByteArray::fromStdString(orvane::AppSecretKeyMaterial()) + appId.toUtf8() + nonce.toUtf8();
    const QByteArray hex = QCryptographicHash::hash(material, QCryptographicHash::Md5).toHex();
    const QByteArray cipher = QByteArray::fromBase64(base64);
    QByteArray out(cipher.size() + 16, '\0');
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    int n1 = 0, n2 = 0;
    if (EVP_DecryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr,
                           reinterpret_cast<const unsigned char*>(hex.constData()),
                           reinterpret_cast<const unsigned char*>(hex.constData() + 16)) != 1 ||
        EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n1,
                          reinterpret_cast<const unsigned char*>(cipher.constData()), cipher.size()) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + n1, &n2) != 1)
        return QByteArray();
    out.truncate(n1 + n2);
    return out;
}

HttpReply ApiSession::Login(const QString& email, const QString& password)
{
    const QByteArray body =
        "email=" + QUrl::toPercentEncoding(email) + "&password=" + PasswordDigest(password).toLatin1();
    HttpReply r = m_http.Post(QStringLiteral("/v3/front/login-client"), body);
    const QJsonObject o = r.Json();
    if (o.value(QStringLiteral("code")).toInt() == 200) {
        loginData = o.value(QStringLiteral("data")).toObject();
        appId = loginData.value(QStringLiteral("appId")).toString();
        secret = QString::fromUtf8(
            DecryptAppSecret(loginData.value(QStringLiteral("appSecret")).toString().toLatin1(), appId,
                             loginData.value(QStringLiteral("nonce")).toString()));
        topCateId = quint64(loginData.value(QStringLiteral("cateId")).toDouble());
    }
    return r;
}

ParamMap ApiSession::Signed(ParamMap params, qint64 timestampShiftMs) const
{
    params.insert(QStringLiteral("appId"), appId);
    params.insert(QStringLiteral("timestamp"),
                  QString::number(QDateTime::currentMSecsSinceEpoch() + timestampShiftMs));
    params.insert(QStringLiteral("sign"), SignParams(secret, params));
    return params;
}

QList<QByteArray> ApiSession::TusHeaders() const
{
    const ParamMap p = Signed({});
    return {"Tus-Resumable: 1.0.0", "Orv-App-Id: " + appId.toUtf8(),
            "Orv-Timestamp: " + p.value(QStringLiteral("timestamp")).toUtf8(),
            "Orv-Sign: " + p.value(QStringLiteral("sign")).toUtf8()};
}

HttpReply ApiSession::Get(const QString& path, ParamMap params, qint64 timestampShiftMs) const
{
    return m_http.Get(path + QLatin1Char('?') +
                      QString::fromLatin1(FormEncode(Signed(params, timestampShiftMs))));
}

HttpReply ApiSession::Post(const QString& path, ParamMap params) const
{
    return m_http.Post(path, FormEncode(Signed(params)));
}

} // namespace orvtest
