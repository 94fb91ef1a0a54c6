#include "api/transport.h"

#include "base/config.h"
#include "base/version.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QReadWriteLock>
#include <QRegularExpression>

Q_LOGGING_CATEGORY(apiLog, "Api")

namespace ApiCollection {

namespace {

struct EnvFlags
{
    long curlVerbose = 0;
    bool logTimeElapsed = false;
    bool logTransferSize = false;
};

EnvFlags ReadEnvFlags()
{
    EnvFlags flags;
    bool ok = false;
    const long verbose = qEnvironmentVariable("CURL_VERBOSE").toLong(&ok);
    flags.curlVerbose = ok ? verbose : 0;
    flags.logTimeElapsed = qEnvironmentVariableIntValue("LOG_CURL_TIME_ELAPSED") != 0;
    flags.logTransferSize = qEnvironmentVariableIntValue("LOG_CURL_TRANSFER_SIZE") != 0;
    return flags;
}

// Read during static initialisation, before main and before any worker thread.
const EnvFlags g_envFlags = ReadEnvFlags();

const char kUserAgentLine[] = "User-Agent: UploadClient/" ORVANE_VERSION_TEXT "." ORVANE_BUILD_TAG;
const char kDefaultApiUrl[] = "https://api.orvane.com";
const char kDefaultUpdateUrl[] = "https://update.orvane.com/api/app/package/version/check";

QVariant Setting(const QString& group, const QString& key)
{
    Config* config = Config::Global();
    return config ? config->value(group, key) : QVariant();
}

QReadWriteLock g_credentialLock;
QString g_appId;
QString g_appSecret;

QString FormatMicros(curl_off_t micros)
{
    return QString::asprintf("%lld.%06ld", static_cast<long long>(micros / 1000000),
                             static_cast<long>(micros % 1000000));
}

} // namespace

long CurlVerboseLevel()
{
    return g_envFlags.curlVerbose;
}

bool LogCurlTimeElapsed()
{
    return g_envFlags.logTimeElapsed;
}

bool LogCurlTransferSize()
{
    return g_envFlags.logTransferSize;
}

QString ApiBaseUrl()
{
    QString url = Setting(QStringLiteral("Custom"), QStringLiteral("apiUrl")).toString().trimmed();
    if (url.isEmpty())
        url = QString::fromLatin1(kDefaultApiUrl);
    while (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return url;
}

QString UpdateCheckUrl()
{
    const QString url = Setting(QStringLiteral("Custom"), QStringLiteral("updateUrl")).toString().trimmed();
    return url.isEmpty() ? QString::fromLatin1(kDefaultUpdateUrl) : url;
}

void SetAccountCredentials(const QString& appId, const QString& appSecret)
{
    QWriteLocker locker(&g_credentialLock);
    g_appId = appId;
    g_appSecret = appSecret;
}

QString AccountAppId()
{
    QReadLocker locker(&g_credentialLock);
    return g_appId;
}

QString AccountAppSecret()
{
    QReadLocker locker(&g_credentialLock);
    return g_appSecret;
}

QString CaCertPath()
{
    const QString custom =
        Setting(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert")).toString();
    if (custom.isEmpty())
        return QCoreApplication::applicationDirPath() + QStringLiteral("/cacert.pem");
    qCInfo(apiLog) << "Custom CaPath:" << custom;
    return custom;
}

QString TrustedCaBundle()
{
    const QString path = CaCertPath();
    const bool custom =
        !Setting(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert")).toString().isEmpty();
    return custom || QFileInfo::exists(path) ? path : QString();
}

QStringList HeaderLines(const QUuid& uuid, BodyType body, bool expectNothing)
{
    QStringList lines;
    lines << QString::fromLatin1(kUserAgentLine);
    lines << QStringLiteral("__client_uuid: ") + uuid.toString();
    if (body == BodyType::Form)
        lines << QStringLiteral("Content-Type: application/x-www-form-urlencoded");
    else if (body == BodyType::Json)
        lines << QStringLiteral("Content-Type: application/json");
    if (expectNothing)
        lines << QStringLiteral("Expect:");
    return lines;
}

CurlSlistPtr BuildHeaderList(const QUuid& uuid, BodyType body, bool expectNothing)
{
    CurlSlistPtr list;
    for (const QString& line : HeaderLines(uuid, body, expectNothing)) {
        curl_slist* grown = curl_slist_append(list.get(), line.toLocal8Bit().constData());
        if (!grown)
            break; // out of memory: send what we have rather than nothing
        list.release();
        list.reset(grown);
    }
    return list;
}

void SetCommonOptions(CURL* handle)
{
    char* priv = nullptr;
    curl_easy_getinfo(handle, CURLINFO_PRIVATE, &priv);
    const QUuid uuid = priv ? reinterpret_cast<RequestIdentity*>(priv)->uuid : QUuid();

    const Config* config = Config::Global();
    const ProxySettings proxy = config ? config->Proxy() : ProxySettings();
    if (proxy.type != 0) {
        qCInfo(apiLog).noquote() << uuid.toString() + QStringLiteral(" use proxy: ") +
                                        QStringLiteral("http://") + proxy.host +
                                        (proxy.hasPort ? QStringLiteral(":%1").arg(proxy.port) : QString());
        curl_easy_setopt(handle, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
        curl_easy_setopt(handle, CURLOPT_PROXY, proxy.host.toUtf8().constData());
        if (proxy.hasPort)
            curl_easy_setopt(handle, CURLOPT_PROXYPORT, static_cast<long>(proxy.port));
        if (!proxy.user.isEmpty())
            curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, proxy.user.toUtf8().constData());
        if (!proxy.password.isEmpty())
            curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, proxy.password.toUtf8().constData());
    }
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_DEFAULT_PROTOCOL, "https");
    const QString caBundle = TrustedCaBundle();
    if (!caBundle.isEmpty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, caBundle.toUtf8().constData());
    curl_easy_setopt(handle, CURLOPT_VERBOSE, g_envFlags.curlVerbose);
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 10L);
    // Requests run on worker threads; time-outs must not rely on signals.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
}

RequestError Perform(CURL* handle, CURLcode* code, QString* errorText)
{
    char* priv = nullptr;
    curl_easy_getinfo(handle, CURLINFO_PRIVATE, &priv);
    const auto* identity = reinterpret_cast<RequestIdentity*>(priv);
    const QUuid uuid = identity ? identity->uuid : QUuid();

    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorBuffer);
    const CURLcode rc = curl_easy_perform(handle);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, static_cast<char*>(nullptr));
    if (code)
        *code = rc;

    if (g_envFlags.logTimeElapsed) {
        qCInfo(apiLog).noquote() << "Curl Time Elapsed of" << uuid.toString();
        const struct
        {
            const char* label;
            CURLINFO info;
        } timings[] = {
            {"NAMELOOKUP_TIME:", CURLINFO_NAMELOOKUP_TIME_T},
            {"CONNECT_TIME:", CURLINFO_CONNECT_TIME_T},
            {"APPCONNECT_TIME:", CURLINFO_APPCONNECT_TIME_T},
            {"PRETRANSFER_TIME:", CURLINFO_PRETRANSFER_TIME_T},
            {"STARTTRANSFER_TIME:", CURLINFO_STARTTRANSFER_TIME_T},
            {"TOTAL_TIME:", CURLINFO_TOTAL_TIME_T},
            {"REDIRECT_TIME:", CURLINFO_REDIRECT_TIME_T},
        };
        for (const auto& t : timings) {
            curl_off_t value = 0;
            if (curl_easy_getinfo(handle, t.info, &value) == CURLE_OK)
                qCInfo(apiLog).noquote() << t.label << FormatMicros(value) << "s";
        }
    }
    if (g_envFlags.logTransferSize) {
        qCInfo(apiLog).noquote() << "Curl Transfer Size of" << uuid.toString();
        const struct
        {
            const char* label;
            CURLINFO info;
        } sizes[] = {
            {"SIZE_UPLOAD:", CURLINFO_SIZE_UPLOAD_T},
            {"SIZE_DOWNLOAD:", CURLINFO_SIZE_DOWNLOAD_T},
            {"SPEED_DOWNLOAD:", CURLINFO_SPEED_DOWNLOAD_T},
            {"SPEED_UPLOAD:", CURLINFO_SPEED_UPLOAD_T},
            {"CONTENT_LENGTH_DOWNLOAD:", CURLINFO_CONTENT_LENGTH_DOWNLOAD_T},
            {"CONTENT_LENGTH_UPLOAD:", CURLINFO_CONTENT_LENGTH_UPLOAD_T},
        };
        for (const auto& s : sizes) {
            curl_off_t value = 0;
            if (curl_easy_getinfo(handle, s.info, &value) == CURLE_OK)
                qCInfo(apiLog).noquote() << s.label << static_cast<qint64>(value) << "bytes";
        }
    }

    if (rc == CURLE_OK)
        return NoError;

    QString text = QString::fromUtf8(curl_easy_strerror(rc));
    if (identity && identity->answerTooLarge)
        text = QStringLiteral("the server's answer is larger than %1 bytes").arg(kMaxApiAnswerBytes);
    else if (errorBuffer[0] != '\0')
        text += QStringLiteral("\ncurl failed detail: ") + QString::fromUtf8(errorBuffer);
    if (errorText)
        *errorText = text;

    if (identity && identity->Aborted())
        return CurlPerformAbort;
    if (rc == CURLE_OPERATION_TIMEDOUT)
        return CurlPerformTimeout;
    return CurlPerformFailed;
}

Result<QString> EscapeParam(CURL* handle, const QString& source)
{
    const QByteArray bytes = source.toUtf8();
    char* out = curl_easy_escape(handle, bytes.constData(), bytes.size());
    if (!out) {
        qCCritical(apiLog) << "curl_easy_escape() failed,"
                           << "src:" << source << "src bytes:" << bytes.size();
        return MakeFailure(CurlEscapeFailed, QStringLiteral("curl_easy_escape failed"));
    }
    const QString escaped = QString::fromLatin1(out);
    curl_free(out);
    return escaped;
}

Result<QStringList> BuildQueryItems(CURL* handle, const ParamMap& params)
{
    QStringList items;
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        const Result<QString> value = EscapeParam(handle, it.value());
        if (!value)
            return value.error();
        items.append(QStringLiteral("%1=%2").arg(it.key(), value.value()));
    }
    return items;
}

size_t WriteCallback(char* data, size_t size, size_t count, void* userData)
{
    auto* context = static_cast<RequestContext*>(userData);
    if (context->Aborted()) {
        qCInfo(apiLog).noquote() << "request abort in writeFunc" << context->uuid.toString();
        return 0;
    }
    const size_t bytes = size * count;
    if (bytes == 0)
        return 0;
    if (static_cast<qint64>(context->response->size()) + static_cast<qint64>(bytes) > kMaxApiAnswerBytes) {
        context->answerTooLarge = true;
        context->response->clear();
        qCCritical(apiLog).noquote() << "answer larger than" << kMaxApiAnswerBytes << "bytes refused"
                                     << context->uuid.toString();
        return 0;
    }
    context->response->append(data, static_cast<int>(bytes));
    return bytes;
}

QString ClipForLog(const QString& text, int max)
{
    if (text.size() <= max)
        return text;
    int cut = max;
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QStringLiteral("... (%1 characters in all)").arg(text.size());
}

int XferInfoCallback(void* userData, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
                     curl_off_t ulNow)
{
    auto* record = static_cast<ProgressRecord*>(userData);
    curl_off_t total = 0;
    if (record->handle && curl_easy_getinfo(record->handle, CURLINFO_TOTAL_TIME_T, &total) == CURLE_OK &&
        total - record->lastMark >= 3000000)
        record->lastMark = total;
    if (record->progress)
        record->progress(dlTotal, dlNow, ulTotal, ulNow);
    if (record->Aborted()) {
        qCInfo(apiLog).noquote() << "request abort in xferinfo" << record->uuid.toString();
        return 1;
    }
    return 0;
}

Result<QByteArray> ExecuteRequest(const QUuid& uuid, const char* tag, HttpMethod method, const QString& url,
                                  const ParamMap& params, long timeoutSeconds, const AbortFlag* abortFlag)
{
    QByteArray response;
    RequestContext context;
    context.uuid = uuid;
    context.abortFlag = abortFlag;
    context.response = &response;

    CurlEasyPtr handle(curl_easy_init());
    if (!handle) {
        qCCritical(apiLog).noquote() << tag << uuid.toString() << "curl_easy_init() failed";
        return MakeFailure(CurlPerformFailed, QStringLiteral("curl_easy_init failed"));
    }
    curl_easy_setopt(handle.get(), CURLOPT_PRIVATE, static_cast<RequestIdentity*>(&context));

    const Result<QStringList> items = BuildQueryItems(handle.get(), params);
    if (!items)
        return items.error();
    const QByteArray query = items->join(QLatin1Char('&')).toUtf8();

    QByteArray fullUrl = url.toUtf8();
    CurlSlistPtr headers;
    if (method == HttpMethod::Get) {
        fullUrl += query;
        curl_easy_setopt(handle.get(), CURLOPT_CUSTOMREQUEST, "GET");
        curl_easy_setopt(handle.get(), CURLOPT_HTTPGET, 1L);
        headers = BuildHeaderList(uuid, BodyType::None, false);
    } else {
        curl_easy_setopt(handle.get(), CURLOPT_CUSTOMREQUEST, "POST");
        curl_easy_setopt(handle.get(), CURLOPT_POSTFIELDSIZE, static_cast<long>(query.size()));
        curl_easy_setopt(handle.get(), CURLOPT_POSTFIELDS, query.constData());
        headers = BuildHeaderList(uuid, BodyType::Form, true);
    }
    curl_easy_setopt(handle.get(), CURLOPT_URL, fullUrl.constData());
    curl_easy_setopt(handle.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &WriteCallback);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &context);
    curl_easy_setopt(handle.get(), CURLOPT_TIMEOUT, timeoutSeconds);

    const Result<void> performed = PerformLogged(handle.get(), tag, uuid);
    if (!performed)
        return performed.error();
    return response;
}

Result<void> PerformLogged(CURL* handle, const char* tag, const QUuid& uuid)
{
    SetCommonOptions(handle);
    CURLcode code = CURLE_OK;
    QString text;
    const RequestError result = Perform(handle, &code, &text);
    if (result == NoError)
        return {};
    qCCritical(apiLog).noquote()
        << tag << uuid.toString()
        << QStringLiteral("curl_easy_perform() failed(%1): %2").arg(static_cast<int>(code)).arg(text);
    return MakeFailure(result, text);
}

Result<QByteArray> ExecuteSignedRequest(const QUuid& uuid, const char* tag, HttpMethod method,
                                        const char* path, ParamMap params, long timeoutSeconds,
                                        const AbortFlag* abortFlag)
{
    AddCommonParamsAndSign(params);
    return ExecuteRequest(uuid, tag, method, ApiBaseUrl() + QLatin1String(path), params, timeoutSeconds,
                          abortFlag);
}

QByteArray CoverFilePathForCurl(const QString& absolutePath, bool curlUnicode, bool localIsUtf8,
                                std::unique_ptr<QTemporaryDir>* tempDir)
{
    if (curlUnicode)
        return absolutePath.toUtf8();
    static const QRegularExpression nonAscii(QStringLiteral("[^\\x{0000}-\\x{007F}]"));
    if (localIsUtf8 || !absolutePath.contains(nonAscii))
        return absolutePath.toLocal8Bit();

    auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid()) {
        qCWarning(apiLog) << "UploadVideoCoverRequest: Create temporary dir failed:" << dir->path()
                          << dir->errorString();
        return absolutePath.toLocal8Bit();
    }
    const QString copy = dir->path() + QStringLiteral("/upload_cover_%1.%2")
                                           .arg(QDateTime::currentSecsSinceEpoch())
                                           .arg(QFileInfo(absolutePath).suffix());
    if (copy.contains(nonAscii)) {
        qCWarning(apiLog) << "UploadVideoCoverRequest: Temp filepath contain non-ASCII char:" << copy;
        return absolutePath.toLocal8Bit();
    }
    if (!QFile::copy(absolutePath, copy)) {
        qCWarning(apiLog) << "UploadVideoCoverRequest: Copy cover file failed:" << absolutePath << copy;
        return absolutePath.toLocal8Bit();
    }
    *tempDir = std::move(dir);
    return copy.toLocal8Bit();
}

} // namespace ApiCollection
