#include "api.h"

#include "errorcodes.h"
#include "images.h"
#include "orvane/shared_constants.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>
#include <QUuid>

#include <httplib.h>
#include <openssl/evp.h>

#include <filesystem>
#include <memory>

namespace orvsrv {
namespace {

constexpr qint64 kTimestampWindowMs = 5 * 60 * 1000;
constexpr int kMaxLoginFailures = 5;
constexpr qint64 kMaxCoverBytes = 5 * 1024 * 1024;
constexpr int kMaxVidsPerCall = 100;
constexpr qint64 kTopCategoryAlias = 1;

QString Str(const std::string& s)
{
    return QString::fromUtf8(s.data(), int(s.size()));
}

QByteArray JsonText(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Object:
        return QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact);
    case QJsonValue::Array:
        return QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact);
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return "null";
    default: {
        const QByteArray a = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
        return a.mid(1, a.size() - 2);
    }
    }
}

QByteArray RequestId()
{
    return QUuid::createUuid().toByteArray(QUuid::Id128);
}

void SendOk(httplib::Response& res, const QJsonValue& data)
{
    const QByteArray body =
        "{\"requestId\":\"" + RequestId() +
        "\",\"code\":200,\"status\":\"success\",\"error\":null,\"data\":" + JsonText(data) + "}";
    res.status = 200;
    res.set_content(body.toStdString(), "application/json");
}

void SendError(httplib::Response& res, const ApiError& e)
{
    QJsonObject error{{QStringLiteral("code"), e.code}, {QStringLiteral("desc"), e.desc}};
    const QByteArray body = "{\"requestId\":\"" + RequestId() + "\",\"code\":" + QByteArray::number(e.http) +
                            ",\"status\":\"error\",\"error\":" + JsonText(error) +
                            ",\"data\":" + JsonText(e.data) + "}";
    res.status = e.http;
    res.set_content(body.toStdString(), "application/json");
}

bool Fail(ApiError* err, int http, int code, const QString& desc)
{
    err->http = http;
    err->code = code;
    err->desc = desc;
    return false;
}

Params ToParams(const httplib::Params& in)
{
    Params out;
    for (const auto& [k, v] : in) {
        const QString key = Str(k);
        if (!out.contains(key)) // the first of repeated names counts
            out.insert(key, Str(v));
    }
    return out;
}

bool IsBmp(const QString& s)
{
    for (QChar c : s)
        if (c.isSurrogate())
            return false;
    return true;
}

bool HasControl(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

bool ParseId(const QString& text, qint64* out)
{
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < 0)
        return false;
    *out = v;
    return true;
}

// Times are shown in the server's zone as of start-up; a fixed offset keeps
// each answer free of per-value zone lookups, which dominate large lists.
QString TimeText(qint64 ms)
{
    static const qint64 offsetMs = qint64(QDateTime::currentDateTime().offsetFromUtc()) * 1000;
    return QDateTime::fromMSecsSinceEpoch(ms + offsetMs, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QByteArray Md5Hex(const QByteArray& in)
{
    return QCryptographicHash::hash(in, QCryptographicHash::Md5).toHex();
}

// AES-128-CBC with PKCS#7 padding, key and IV derived from the shared key
// material, the appId and a per-login nonce; Base64 of the ciphertext.
QString EncryptSecret(const QString& secret, const QString& appId, const QString& nonce)
{
    const QByteArray material =
        QByteArray::fromStdString(orvane::AppSecretKeyMaterial()) + appId.toUtf8() + nonce.toUtf8();
    const QByteArray hex = Md5Hex(material); // lower-case
    const QByteArray key = hex.left(16), iv = hex.mid(16, 16);
    const QByteArray plain = secret.toUtf8();
    QByteArray out(plain.size() + 32, '\0');
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    int n1 = 0, n2 = 0;
    if (!ctx ||
        EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr,
                           reinterpret_cast<const unsigned char*>(key.constData()),
                           reinterpret_cast<const unsigned char*>(iv.constData())) != 1 ||
        EVP_EncryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n1,
                          reinterpret_cast<const unsigned char*>(plain.constData()), plain.size()) != 1 ||
        EVP_EncryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + n1, &n2) != 1)
        return QString();
    out.truncate(n1 + n2);
    return QString::fromLatin1(out.toBase64());
}

QString RandomHex(int bytes)
{
    QByteArray b(bytes, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(b.data()), bytes / 4);
    return QString::fromLatin1(b.toHex());
}

QString MimeOf(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return QStringLiteral("image/png");
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return QStringLiteral("image/jpeg");
    if (suffix == QLatin1String("gif"))
        return QStringLiteral("image/gif");
    if (suffix == QLatin1String("bmp"))
        return QStringLiteral("image/bmp");
    if (suffix == QLatin1String("exe"))
        return QStringLiteral("application/vnd.microsoft.portable-executable");
    return QStringLiteral("application/octet-stream");
}

// Path segments below /files/ are plain names: nothing that could climb out
// of the folder or name something hidden.
bool SafeRel(const QString& rel, QStringList* parts)
{
    static const QRegularExpression seg(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_.-]{0,127}$"));
    *parts = rel.split(QLatin1Char('/'));
    if (parts->size() < 2 || parts->size() > 4)
        return false;
    for (const QString& p : *parts)
        if (!seg.match(p).hasMatch() || p.contains(QLatin1String("..")))
            return false;
    return true;
}

} // namespace

// application/x-www-form-urlencoded, parsed here because the HTTP library
// caps such bodies at 8 KB, too little for long descriptions.
Params ParseForm(const std::string& body)
{
    Params out;
    const QByteArray raw = QByteArray::fromStdString(body);
    for (const QByteArray& item : raw.split('&')) {
        if (item.isEmpty())
            continue;
        const int eq = item.indexOf('=');
        QByteArray k = eq < 0 ? item : item.left(eq);
        QByteArray v = eq < 0 ? QByteArray() : item.mid(eq + 1);
        k.replace('+', ' ');
        v.replace('+', ' ');
        const QString key = QString::fromUtf8(QByteArray::fromPercentEncoding(k));
        if (!out.contains(key))
            out.insert(key, QString::fromUtf8(QByteArray::fromPercentEncoding(v)));
    }
    return out;
}

Api::Api(Storage& storage, ApiConfig config) : m_storage(storage), m_config(std::move(config)) {}

QString Api::Sign(const QString& secret, const Params& params)
{
    QString text = secret;
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        if (it.key() == QLatin1String("sign") || it.value().isEmpty())
            continue;
        text += it.key();
        text += it.value();
    }
    text += secret;
    return QString::fromLatin1(Md5Hex(text.toUtf8()).toUpper());
}

QString Api::UpdateSign(const Params& params)
{
    const QString salt = QString::fromStdString(orvane::UpdateSalt());
    QString text = salt;
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        if (it.key() == QLatin1String("sign"))
            continue;
        text += it.key().toLower();
        text += it.value().toLower();
    }
    text += salt;
    return QString::fromLatin1(Md5Hex(text.toUtf8()).toUpper());
}

bool Api::Authenticate(const Params& p, Account* acc, ApiError* err)
{
    const QString appId = p.value(QStringLiteral("appId"));
    if (appId.isEmpty())
        return Fail(err, 401, err::APP_ID_CAN_NOT_BE_EMPTY, QStringLiteral("appId can not be empty"));
    if (!m_storage.AccountByAppId(appId, acc))
        return Fail(err, 401, err::APPLICATION_NOT_EXIST, QStringLiteral("application not exist"));
    bool ok = false;
    const qint64 ts = p.value(QStringLiteral("timestamp")).toLongLong(&ok);
    if (!ok || qAbs(QDateTime::currentMSecsSinceEpoch() - ts) > kTimestampWindowMs)
        return Fail(err, 401, err::INVALID_TIMESTAMP_PERIOD, QStringLiteral("invalid timestamp period"));
    const QString sign = p.value(QStringLiteral("sign"));
    NoteSign(sign);
    if (sign.isEmpty() || sign.compare(Sign(acc->appSecret, p), Qt::CaseInsensitive) != 0)
        return Fail(err, 401, err::INVALID_SIGN, QStringLiteral("invalid sign"));
    if (acc->isSub && acc->expirationMs < QDateTime::currentMSecsSinceEpoch())
        return Fail(err, 403, err::USER_CHILD_EXPIRED, QStringLiteral("sub-account expired"));
    return true;
}

void Api::NoteSign(const QString& sign)
{
    if (sign.isEmpty())
        return;
    std::lock_guard<std::mutex> lock(m_signsMutex);
    m_signs.append(sign);
}

QStringList Api::ReceivedSigns() const
{
    std::lock_guard<std::mutex> lock(m_signsMutex);
    return m_signs;
}

QString Api::FileUrl(const QString& rel) const
{
    return m_baseUrl + QStringLiteral("/files/") + rel;
}

QString Api::SnapshotRel(const QString& userId, const QString& vid, int index, bool big)
{
    return QStringLiteral("%1/%2/snap%3_%4.png")
        .arg(userId, vid)
        .arg(index)
        .arg(big ? QLatin1Char('b') : QLatin1Char('s'));
}

QString Api::OwnerUserId(qint64 ownerId)
{
    Account owner;
    return m_storage.AccountById(ownerId, &owner) ? owner.userId : QString();
}

namespace {
// The web player the embed snippet loads from "//<host>/script/player.js".
const char kPlayerScript[] = R"JS(// Puts an HTML5 video player for one video of this platform into a page.
(function () {
  var script = document.currentScript;
  var base = script ? script.src.replace(/\/script\/player\.js(\?.*)?$/, "") : "";
  window.orvanePlayer = function (options) {
    options = options || {};
    var wrap = typeof options.wrap === "string" ? document.querySelector(options.wrap) : options.wrap;
    if (!wrap)
      throw new Error("orvanePlayer: no element " + options.wrap);
    var video = document.createElement("video");
    video.controls = true;
    video.preload = "metadata";
    video.width = options.width || 800;
    video.height = options.height || 533;
    video.setAttribute("data-vid", options.vid || "");
    var src = base + "/play/" + encodeURIComponent(options.vid || "") + "/source";
    if (options.playsafe)
      src += "?playsafe=" + encodeURIComponent(options.playsafe);
    video.src = src;
    while (wrap.firstChild)
      wrap.removeChild(wrap.firstChild);
    wrap.appendChild(video);
    return { video: video, vid: options.vid };
  };
})();
)JS";
} // namespace

void Api::KeepSourceFile(qint64 ownerId, const QString& vid, const QString& storedPath)
{
    const QString userId = OwnerUserId(ownerId);
    if (userId.isEmpty() || storedPath.isEmpty())
        return;
    std::lock_guard<std::mutex> lock(m_fileMutex);
    const QDir files(m_config.filesDir);
    const QString target = files.filePath(userId + QLatin1Char('/') + vid + QStringLiteral("/source"));
    files.mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target);
    std::error_code ec;
    std::filesystem::create_hard_link(QFile::encodeName(storedPath).toStdString(),
                                      QFile::encodeName(target).toStdString(), ec);
    if (ec)
        QFile::copy(storedPath, target);
}

bool Api::ResolveFile(const QString& rel, QByteArray* data, QString* mime)
{
    QStringList parts;
    if (!SafeRel(rel, &parts))
        return false;
    const QString path = QDir(m_config.filesDir).filePath(rel);
    // The resolved file must stay inside the file folder even through links.
    const QString root = QFileInfo(m_config.filesDir).canonicalFilePath();
    *mime = MimeOf(rel);
    {
        QFile f(path);
        if (f.exists()) {
            const QString canon = QFileInfo(path).canonicalFilePath();
            if (root.isEmpty() || !canon.startsWith(root + QLatin1Char('/')) || !f.open(QIODevice::ReadOnly))
                return false;
            *data = f.readAll();
            return true;
        }
    }
    // Generated on first request: installer, thumbnails, snapshots and covers.
    QByteArray generated;
    if (parts.size() == 2 && parts[0] == QLatin1String("installer")) {
        if (parts[1] == QLatin1String("OrvaneUploadClient-Setup.exe"))
            generated = InstallerBytes();
        else if (parts[1] == InstallerPackageName(m_config.updateVersion))
            generated = InstallerPackage(m_config.updateVersion);
        else
            return false;
    } else if (parts.size() == 3) {
        Video v;
        if (!m_storage.VideoByVid(parts[1], &v) || OwnerUserId(v.ownerId) != parts[0])
            return false;
        static const QRegularExpression snap(QStringLiteral("^snap([1-6])_([sb])\\.png$"));
        const auto m = snap.match(parts[2]);
        if (m.hasMatch()) {
            const bool big = m.captured(2) == QLatin1String("b");
            generated = RenderPicturePng(big ? 640 : 160, big ? 360 : 90, v.colourSeed, m.captured(1).toInt(),
                                         v.title);
        } else if (parts[2] == QLatin1String("thumb.png")) {
            generated = RenderPicturePng(160, 90, v.colourSeed, 0, v.title);
        } else if (parts[2] == QLatin1String("cover.png")) {
            generated = RenderPicturePng(640, 360, v.colourSeed, 0, v.title);
        } else {
            return false;
        }
    } else {
        return false;
    }
    std::lock_guard<std::mutex> lock(m_fileMutex);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(generated);
        out.commit();
    }
    *data = generated;
    return true;
}

bool Api::CategoryInScope(const Account& acc, qint64 cateId, Category* cat, ApiError* err)
{
    // Id 1 names the account's top category, whatever its real id (the login
    // answer's null cateId reads as 1 on the client).
    if (cateId == kTopCategoryAlias)
        cateId = acc.topCateId;
    if (!m_storage.CategoryById(cateId, cat) || cat->ownerId != acc.ownerId)
        return Fail(err, 404, err::CATEGORY_NOT_EXIST, QStringLiteral("category not exist"));
    // A sub-account sees only the subtree of its top category.
    qint64 id = cat->id;
    for (int guard = 0; guard < 10000 && id != 0; ++guard) {
        if (id == acc.topCateId)
            return true;
        Category c;
        if (!m_storage.CategoryById(id, &c))
            break;
        id = c.parentId;
    }
    return Fail(err, 403, err::CATEGORY_LIMITED, QStringLiteral("category out of the account's scope"));
}

bool Api::ValidateCategoryName(const QString& name, ApiError* err)
{
    if (name.trimmed().isEmpty())
        return Fail(err, 400, err::CATANAME_BLANK, QStringLiteral("category name is blank"));
    if (name.size() > 40)
        return Fail(err, 400, err::CATANAME_TOO_LONG,
                    QStringLiteral("category name longer than 40 characters"));
    if (!IsBmp(name) || HasControl(name))
        return Fail(err, 400, err::PARAM_ERROR,
                    QStringLiteral("category name contains unsupported characters"));
    return true;
}

bool Api::Login(const Params& p, QJsonValue* data, ApiError* err)
{
    const QString email = p.value(QStringLiteral("email")).trimmed();
    const QString password = p.value(QStringLiteral("password"));
    if (email.isEmpty())
        return Fail(err, 400, err::EMAIL_EMPTY, QStringLiteral("email is empty"));
    if (password.isEmpty())
        return Fail(err, 400, err::PASSWORD_EMPTY, QStringLiteral("password is empty"));
    Account acc;
    if (!m_storage.AccountByEmail(email, &acc)) {
        m_storage.RecordLoginAttempt(email, false, err::USER_NOT_EXIST);
        return Fail(err, 400, err::USER_NOT_EXIST, QStringLiteral("user not exist"));
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (acc.lockedUntilMs > now) {
        m_storage.RecordLoginAttempt(email, false, err::ACCOUNT_LOCKED);
        err->data = QJsonObject{{QStringLiteral("remainLoginChange"), 0}};
        return Fail(err, 400, err::ACCOUNT_LOCKED, QStringLiteral("account locked"));
    }
    int failures = acc.lockedUntilMs > 0 ? 0 : acc.failedLogins; // a lock that ran out starts afresh
    if (password.compare(acc.passwordDigest, Qt::CaseInsensitive) != 0) {
        ++failures;
        const int remain = qMax(0, kMaxLoginFailures - failures);
        const qint64 lockedUntil = remain == 0 ? now + qint64(m_config.lockoutSeconds) * 1000 : 0;
        m_storage.UpdateLoginState(acc.id, remain == 0 ? 0 : failures, lockedUntil);
        const int code = acc.isSub ? err::SUB_ACCOUNT_PWD_ERR : err::MAIN_ACCOUNT_PWD_ERR;
        m_storage.RecordLoginAttempt(email, false, code);
        err->data = QJsonObject{{QStringLiteral("remainLoginChange"), remain}};
        return Fail(err, 400, code, QStringLiteral("wrong password"));
    }
    if (acc.isSub && acc.expirationMs < now) {
        m_storage.RecordLoginAttempt(email, false, err::SUB_USER_EXPIRED);
        return Fail(err, 400, err::SUB_USER_EXPIRED, QStringLiteral("sub-account expired"));
    }
    m_storage.UpdateLoginState(acc.id, 0, 0);
    m_storage.RecordLoginAttempt(email, true, 0);

    Account owner = acc;
    if (acc.isSub)
        m_storage.AccountById(acc.ownerId, &owner);
    const QString nonce = RandomHex(16);
    const qint64 leftMs = acc.expirationMs - now;
    QJsonObject perm{{QStringLiteral("childAccountType"), acc.isSub ? acc.childType : -1}};
    const QStringList& names = PermissionNames();
    for (int i = 0; i < names.size(); ++i)
        perm.insert(names[i], (!acc.isSub || (acc.permissions & (1u << i))) ? 1 : 0);
    *data = QJsonObject{
        {QStringLiteral("userId"), owner.userId},
        {QStringLiteral("expired"), leftMs < 0 ? QStringLiteral("Y") : QStringLiteral("N")},
        {QStringLiteral("remainBytes"), double(owner.remainBytes)},
        {QStringLiteral("space"), double(owner.space)},
        {QStringLiteral("packageType"), owner.packageType},
        {QStringLiteral("leftDay"), double(leftMs < 0 ? 0 : (leftMs + 86399999) / 86400000)},
        {QStringLiteral("expirationTime"), double(acc.expirationMs)},
        {QStringLiteral("email"), acc.email},
        {QStringLiteral("childUserName"), acc.isSub ? acc.childName : QString()},
        {QStringLiteral("childUserId"), acc.isSub ? acc.childUserId : QString()},
        {QStringLiteral("childVideoOnly"), acc.childVideoOnly ? QStringLiteral("Y") : QStringLiteral("N")},
        {QStringLiteral("userLevel"), acc.userLevel},
        {QStringLiteral("cateId"), double(acc.topCateId)},
        {QStringLiteral("uploadType"), acc.uploadType},
        {QStringLiteral("appId"), acc.appId},
        {QStringLiteral("appSecret"), EncryptSecret(acc.appSecret, acc.appId, nonce)},
        {QStringLiteral("nonce"), nonce},
        {QStringLiteral("permission"), perm},
    };
    return true;
}

bool Api::GetCateTree(const Account& acc, const Params& p, QJsonValue* data, ApiError* err)
{
    if (!acc.Has(PermCataRefresh))
        return Fail(err, 403, err::CATA_PERMISSION_LIMIT, QStringLiteral("no permission to read categories"));
    qint64 cateId = 0;
    if (p.value(QStringLiteral("cateId")).isEmpty())
        return Fail(err, 400, err::PARAM_EMPTY, QStringLiteral("cateId is empty"));
    if (!ParseId(p.value(QStringLiteral("cateId")), &cateId))
        return Fail(err, 400, err::PARAM_NOT_DIGIT, QStringLiteral("cateId is not a number"));
    Category top;
    if (!CategoryInScope(acc, cateId, &top, err))
        return false;
    const QVector<Category> all = m_storage.CategoriesOfOwner(acc.ownerId);
    const QHash<qint64, int> counts = m_storage.VideoCountsByCategory(acc.ownerId);
    QHash<qint64, const Category*> byId;
    QHash<qint64, QVector<const Category*>> children;
    for (const Category& c : all) {
        byId.insert(c.id, &c);
        children[c.parentId].push_back(&c); // ordered by id
    }
    auto pathOf = [&](qint64 id) {
        QStringList ids;
        for (int guard = 0; guard < 10000 && id != 0 && byId.contains(id); ++guard) {
            ids.prepend(QString::number(id));
            id = byId.value(id)->parentId;
        }
        return ids.join(QLatin1Char(','));
    };
    std::function<QJsonObject(const Category&, const QString&, int)> build =
        [&](const Category& c, const QString& path, int depth) {
            QJsonArray kids;
            if (depth < 64) {
                for (const Category* k : children.value(c.id))
                    kids.append(build(*k, path + QLatin1Char(',') + QString::number(k->id), depth + 1));
            }
            return QJsonObject{{QStringLiteral("cateId"), double(c.id)},
                               {QStringLiteral("cateName"), c.name},
                               {QStringLiteral("cateTree"), path},
                               {QStringLiteral("parentId"), double(c.parentId)},
                               {QStringLiteral("videoCount"), counts.value(c.id)},
                               {QStringLiteral("children"), kids}};
        };
    *data = build(top, pathOf(top.id), 0);
    return true;
}

bool Api::AddCategory(const Account& acc, const Params& p, QJsonValue* data, ApiError* err)
{
    if (!acc.Has(PermCataAdd))
        return Fail(err, 403, err::CATA_PERMISSION_LIMIT, QStringLiteral("no permission to add categories"));
    const QString name = p.value(QStringLiteral("name"));
    qint64 parentId = 0;
    if (!ParseId(p.value(QStringLiteral("parentId")), &parentId))
        return Fail(err, 400, err::PARAM_NOT_DIGIT, QStringLiteral("parentId is not a number"));
    Category parent;
    if (!CategoryInScope(acc, parentId, &parent, err) || !ValidateCategoryName(name, err))
        return false;
    Category c{0, acc.ownerId, parent.id, name};
    bool dup = false;
    const bool ok = m_storage.Transaction([&] {
        if (m_storage.SiblingNameExists(acc.ownerId, parent.id, name, 0)) {
            dup = true;
            return false;
        }
        return m_storage.InsertCategory(c);
    });
    if (dup)
        return Fail(err, 400, err::CATANAME_ALREADY_EXIST, QStringLiteral("category name already exists"));
    if (!ok)
        return Fail(err, 500, err::UNDEFINED, QStringLiteral("storage failure"));
    *data = double(c.id);
    return true;
}

bool Api::RenameCategory(const Account& acc, const Params& p, QJsonValue*, ApiError* err)
{
    if (!acc.Has(PermCataRename))
        return Fail(err, 403, err::CATA_PERMISSION_LIMIT,
                    QStringLiteral("no permission to rename categories"));
    qint64 id = 0;
    if (!ParseId(p.value(QStringLiteral("cateId")), &id))
        return Fail(err, 400, err::PARAM_NOT_DIGIT, QStringLiteral("cateId is not a number"));
    const QString name = p.value(QStringLiteral("cateName"));
    Category c;
    if (!CategoryInScope(acc, id, &c, err) || !ValidateCategoryName(name, err))
        return false;
    bool dup = false;
    const bool ok = m_storage.Transaction([&] {
        if (m_storage.SiblingNameExists(acc.ownerId, c.parentId, name, c.id)) {
            dup = true;
            return false;
        }
        return m_storage.RenameCategory(c.id, name);
    });
    if (dup)
        return Fail(err, 400, err::CATANAME_ALREADY_EXIST, QStringLiteral("category name already exists"));
    return ok || Fail(err, 500, err::UNDEFINED, QStringLiteral("storage failure"));
}

bool Api::MoveCategory(const Account& acc, const Params& p, QJsonValue*, ApiError* err)
{
    if (!acc.Has(PermCataMove))
        return Fail(err, 403, err::CATA_PERMISSION_LIMIT, QStringLiteral("no permission to move categories"));
    qint64 id = 0, dest = 0;
    if (!ParseId(p.value(QStringLiteral("cateId")), &id) ||
        !ParseId(p.value(QStringLiteral("destCateId")), &dest))
        return Fail(err, 400, err::PARAM_NOT_DIGIT, QStringLiteral("cateId or destCateId is not a number"));
    Category c, d;
    if (!CategoryInScope(acc, id, &c, err) || !CategoryInScope(acc, dest, &d, err))
        return false;
    if (c.id == acc.topCateId || c.parentId == 0)
        return Fail(err, 400, err::CATEGORY_MODIFY_LIMITED, QStringLiteral("the top category cannot move"));
    // The destination may not be the category itself or lie inside its subtree.
    for (qint64 walk = d.id; walk != 0;) {
        if (walk == c.id)
            return Fail(err, 400, err::CATEGORY_MODIFY_LIMITED,
                        QStringLiteral("destination inside the moved category"));
        Category w;
        if (!m_storage.CategoryById(walk, &w))
            break;
        walk = w.parentId;
    }
    if (c.parentId == d.id)
        return true;
    bool dup = false;
    const bool ok = m_storage.Transaction([&] {
        if (m_storage.SiblingNameExists(acc.ownerId, d.id, c.name, c.id)) {
            dup = true;
            return false;
        }
        return m_storage.MoveCategory(c.id, d.id);
    });
    if (dup)
        return Fail(err, 400, err::CATANAME_ALREADY_EXIST,
                    QStringLiteral("destination has a category of that name"));
    return ok || Fail(err, 500, err::UNDEFINED, QStringLiteral("storage failure"));
}

QJsonObject Api::BasicInfo(const Video& v, const QHash<qint64, Category>* cats, qint64 nowMs)
{
    QString cateName;
    if (cats) {
        cateName = cats->value(v.cateId).name;
    } else {
        Category c;
        if (m_storage.CategoryById(v.cateId, &c))
            cateName = c.name;
    }
    return QJsonObject{{QStringLiteral("title"), v.title},
                       {QStringLiteral("description"), v.description},
                       {QStringLiteral("duration"), v.duration},
                       {QStringLiteral("thumbnailURL"), FileUrl(v.thumbRel)},
                       {QStringLiteral("coverURL"), FileUrl(v.coverRel)},
                       {QStringLiteral("creationTime"), TimeText(v.createdMs)},
                       {QStringLiteral("updateTime"), TimeText(v.updatedMs)},
                       {QStringLiteral("size"), double(v.size)},
                       {QStringLiteral("status"), v.EffectiveStatus(nowMs)},
                       {QStringLiteral("cateId"), double(v.cateId)},
                       {QStringLiteral("cateName"), cateName},
                       {QStringLiteral("tags"), v.tags},
                       {QStringLiteral("uploader"), v.uploader},
                       {QStringLiteral("playTimes"), double(v.playTimes)},
                       {QStringLiteral("md5Checksum"), v.md5}};
}

bool Api::ListVideo(const Account& acc, const Params& p, QJsonValue* data, ApiError* err)
{
    VideoQuery q;
    q.ownerId = acc.ownerId;
    qint64 cateId = 0;
    if (p.value(QStringLiteral("cateId")).isEmpty())
        return Fail(err, 400, err::PARAM_EMPTY, QStringLiteral("cateId is empty"));
    if (!ParseId(p.value(QStringLiteral("cateId")), &cateId))
        return Fail(err, 400, err::PARAM_NOT_DIGIT, QStringLiteral("cateId is not a number"));
    Category cat;
    if (!CategoryInScope(acc, cateId, &cat, err))
        return false;
    const QString sub = p.value(QStringLiteral("containSubCate"), QStringLiteral("N"));
    if (sub != QLatin1String("Y") && sub != QLatin1String("N"))
        return Fail(err, 400, err::PARAM_NOT_BOOLEAN_YN, QStringLiteral("containSubCate must be Y or N"));
    bool ok1 = true, ok2 = true;
    q.page = p.contains(QStringLiteral("page")) ? p.value(QStringLiteral("page")).toInt(&ok1) : 1;
    q.pageSize =
        p.contains(QStringLiteral("pageSize")) ? p.value(QStringLiteral("pageSize")).toInt(&ok2) : 20;
    if (!ok1 || !ok2)
        return Fail(err, 400, err::PARAM_NOT_DIGIT, QStringLiteral("page or pageSize is not a number"));
    if (q.page < 1 || q.page > 1000000 || q.pageSize < 1 || q.pageSize > 1000)
        return Fail(err, 400, err::NUMBER_RANGE_ERROR, QStringLiteral("page or pageSize out of range"));
    const QString sort = p.value(QStringLiteral("sort"));
    if (sort.isEmpty() || sort == QLatin1String("creationTimeDesc"))
        q.sort = SortOrder::CreationDesc;
    else if (sort == QLatin1String("creationTimeAsc"))
        q.sort = SortOrder::CreationAsc;
    else if (sort == QLatin1String("titleDesc"))
        q.sort = SortOrder::TitleDesc;
    else if (sort == QLatin1String("titleAsc"))
        q.sort = SortOrder::TitleAsc;
    else
        return Fail(err, 400, err::PARAM_ERROR, QStringLiteral("unknown sort"));
    q.titleFilter = p.value(QStringLiteral("title"));
    if (!q.titleFilter.isEmpty()) {
        const quint32 need = sub == QLatin1String("Y") ? PermVideoAllSearch : PermVideoCurrentcataSearch;
        if (!acc.Has(need))
            return Fail(err, 403, err::PERMISSION_LIMITED, QStringLiteral("no permission to search videos"));
    }
    const QVector<Category> all = m_storage.CategoriesOfOwner(acc.ownerId);
    QHash<qint64, Category> cats;
    for (const Category& c : all)
        cats.insert(c.id, c);
    q.cateIds.push_back(cat.id);
    if (sub == QLatin1String("Y")) {
        QHash<qint64, QVector<qint64>> children;
        for (const Category& c : all)
            children[c.parentId].push_back(c.id);
        for (int i = 0; i < q.cateIds.size() && q.cateIds.size() <= all.size(); ++i) // breadth-first
            q.cateIds += children.value(q.cateIds[i]);
    }
    if (q.cateIds.size() >= all.size())
        q.cateIds.clear(); // the whole library: no category filter needed
    qint64 total = 0;
    const QVector<Video> videos = m_storage.ListVideos(q, &total);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QJsonArray contents;
    for (const Video& v : videos)
        contents.append(QJsonObject{{QStringLiteral("vid"), v.vid},
                                    {QStringLiteral("basicInfo"), BasicInfo(v, &cats, now)}});
    *data = QJsonObject{{QStringLiteral("pageNumber"), q.page},
                        {QStringLiteral("totalPages"), double((total + q.pageSize - 1) / q.pageSize)},
                        {QStringLiteral("pageSize"), q.pageSize},
                        {QStringLiteral("totalItems"), double(total)},
                        {QStringLiteral("contents"), contents}};
    return true;
}

bool Api::VideoOfAccount(const Account& acc, const QString& vid, Video* v, ApiError* err)
{
    if (vid.isEmpty())
        return Fail(err, 400, err::VID_EMPTY, QStringLiteral("vid is empty"));
    if (!m_storage.VideoByVid(vid, v) || v->ownerId != acc.ownerId)
        return Fail(err, 404, err::VIDEO_NOT_EXIST, QStringLiteral("video not exist: %1").arg(vid.left(64)));
    Category c;
    ApiError scopeErr;
    if (acc.isSub && !CategoryInScope(acc, v->cateId, &c, &scopeErr))
        return Fail(err, 404, err::VIDEO_NOT_EXIST, QStringLiteral("video not exist: %1").arg(vid.left(64)));
    return true;
}

bool Api::GetVideoInfo(const Account& acc, const Params& p, QJsonValue* data, ApiError* err)
{
    QStringList vids;
    for (const QString& v : p.value(QStringLiteral("vids")).split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!vids.contains(v.trimmed()))
            vids << v.trimmed();
    if (vids.isEmpty())
        return Fail(err, 400, err::VID_EMPTY, QStringLiteral("vids is empty"));
    if (vids.size() > kMaxVidsPerCall)
        return Fail(err, 400, err::OPERATION_COUNT_EXCEED, QStringLiteral("at most 100 vids per call"));
    bool basic = false, snapshot = false, transcode = false, meta = false;
    const QStringList sections =
        p.value(QStringLiteral("filter")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& s : sections) {
        if (s == QLatin1String("basicInfo"))
            basic = true;
        else if (s == QLatin1String("snapshotInfo"))
            snapshot = true;
        else if (s == QLatin1String("transcodeInfo"))
            transcode = true;
        else if (s == QLatin1String("metaData"))
            meta = true;
        else
            return Fail(err, 400, err::INVALID_FILTER, QStringLiteral("invalid filter: %1").arg(s.left(64)));
    }
    if (sections.isEmpty())
        basic = true;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QString userId = OwnerUserId(acc.ownerId);
    QJsonArray out;
    for (const QString& vid : vids) {
        Video v;
        ApiError ignored;
        if (!VideoOfAccount(acc, vid, &v, &ignored))
            continue; // unknown vids are left out of the answer
        QJsonObject o{{QStringLiteral("vid"), v.vid}};
        if (basic)
            o.insert(QStringLiteral("basicInfo"), BasicInfo(v, nullptr, now));
        if (snapshot) {
            QJsonArray small, big;
            for (int i = 1; i <= 6; ++i) {
                small.append(FileUrl(SnapshotRel(userId, v.vid, i, false)));
                big.append(FileUrl(SnapshotRel(userId, v.vid, i, true)));
            }
            o.insert(QStringLiteral("snapshotInfo"),
                     QJsonObject{{QStringLiteral("imageUrl"), small}, {QStringLiteral("bigImageUrl"), big}});
        }
        const bool ready = v.EffectiveStatus(now) == 60;
        if (transcode) {
            QJsonArray infos;
            struct Def
            {
                const char* name;
                int height;
                int bitrate;
            };
            static const Def defs[] = {{"SD", 480, 800}, {"HD", 720, 1800}, {"FHD", 1080, 3500}};
            for (const Def& def : defs) {
                if (def.height > v.height && def.height != 480)
                    continue;
                const int width = v.height > 0 ? v.width * def.height / v.height : def.height * 16 / 9;
                infos.append(QJsonObject{
                    {QStringLiteral("playUrl"),
                     m_baseUrl + QStringLiteral("/play/%1/%2.m3u8").arg(v.vid, QLatin1String(def.name))},
                    {QStringLiteral("definition"), QLatin1String(def.name)},
                    {QStringLiteral("bitrate"), def.bitrate},
                    {QStringLiteral("duration"), v.duration},
                    {QStringLiteral("encrypt"), false},
                    {QStringLiteral("format"), QStringLiteral("m3u8")},
                    {QStringLiteral("fps"), v.fps},
                    {QStringLiteral("height"), def.height},
                    {QStringLiteral("width"), width},
                    {QStringLiteral("status"),
                     ready ? QStringLiteral("success") : QStringLiteral("processing")}});
            }
            o.insert(QStringLiteral("transcodeInfos"), infos);
        }
        if (meta) {
            o.insert(QStringLiteral("metaData"), QJsonObject{{QStringLiteral("size"), double(v.size)},
                                                             {QStringLiteral("format"), v.format},
                                                             {QStringLiteral("duration"), v.duration},
                                                             {QStringLiteral("bitrate"), v.bitrate},
                                                             {QStringLiteral("fps"), v.fps},
                                                             {QStringLiteral("height"), v.height},
                                                             {QStringLiteral("width"), v.width},
                                                             {QStringLiteral("codec"), v.codec}});
        }
        out.append(o);
    }
    *data = out;
    return true;
}

bool Api::UpdateVideoInfo(const Account& acc, const Params& p, QJsonValue*, ApiError* err)
{
    if (!acc.Has(PermOperaManage))
        return Fail(err, 403, err::PERMISSION_LIMITED, QStringLiteral("no permission to edit videos"));
    Video v;
    if (!VideoOfAccount(acc, p.value(QStringLiteral("vid")), &v, err))
        return false;
    const QString title = p.value(QStringLiteral("title"));
    if (title.trimmed().isEmpty())
        return Fail(err, 400, err::TITLE_CAN_NOT_BE_EMPTY, QStringLiteral("title can not be empty"));
    const bool hasTag = p.contains(QStringLiteral("tag"));
    const bool hasDesc = p.contains(QStringLiteral("describ"));
    const QString tag = p.value(QStringLiteral("tag"));
    const QString desc = p.value(QStringLiteral("describ"));
    if (title.size() > 200 || tag.size() > 200 || desc.size() > 1000)
        return Fail(err, 400, err::PARAM_INCORRECT_LENGTH, QStringLiteral("title, tag or describ too long"));
    if (!IsBmp(title) || !IsBmp(tag) || !IsBmp(desc) || HasControl(title))
        return Fail(err, 400, err::PARAM_ERROR, QStringLiteral("unsupported characters"));
    if (!m_storage.UpdateVideoInfo(v.vid, title, hasTag ? &tag : nullptr, hasDesc ? &desc : nullptr))
        return Fail(err, 500, err::UNDEFINED, QStringLiteral("storage failure"));
    return true;
}

bool Api::MoveVideos(const Account& acc, const Params& p, QJsonValue*, ApiError* err)
{
    if (!acc.Has(PermVideoUpdateCata))
        return Fail(err, 403, err::PERMISSION_LIMITED, QStringLiteral("no permission to move videos"));
    const QStringList vids = p.value(QStringLiteral("vids")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (vids.isEmpty())
        return Fail(err, 400, err::VID_EMPTY, QStringLiteral("vids is empty"));
    if (vids.size() > kMaxVidsPerCall)
        return Fail(err, 400, err::OPERATION_COUNT_EXCEED, QStringLiteral("at most 100 vids per call"));
    qint64 cateId = 0;
    if (!ParseId(p.value(QStringLiteral("cateId")), &cateId))
        return Fail(err, 400, err::PARAM_NOT_DIGIT, QStringLiteral("cateId is not a number"));
    Category c;
    if (!CategoryInScope(acc, cateId, &c, err))
        return false;
    for (const QString& vid : vids) {
        Video v;
        if (!VideoOfAccount(acc, vid.trimmed(), &v, err))
            return false; // nothing moves when one vid is wrong
    }
    const bool ok = m_storage.Transaction([&] {
        for (const QString& vid : vids)
            if (!m_storage.SetVideoCategory(vid.trimmed(), c.id))
                return false;
        return true;
    });
    return ok || Fail(err, 500, err::UNDEFINED, QStringLiteral("storage failure"));
}

bool Api::DeleteVideo(const Account& acc, const Params& p, QJsonValue*, ApiError* err)
{
    if (!acc.Has(PermVideoDelete))
        return Fail(err, 403, err::PERMISSION_LIMITED, QStringLiteral("no permission to delete videos"));
    Video v;
    if (!VideoOfAccount(acc, p.value(QStringLiteral("vid")), &v, err))
        return false;
    if (!m_storage.DeleteVideo(v.vid))
        return Fail(err, 404, err::VIDEO_NOT_EXIST, QStringLiteral("video not exist"));
    m_storage.AddRemainBytes(v.ownerId, v.size);
    const QString userId = OwnerUserId(v.ownerId);
    if (!userId.isEmpty()) {
        std::lock_guard<std::mutex> lock(m_fileMutex);
        QDir(QDir(m_config.filesDir).filePath(userId + QLatin1Char('/') + v.vid)).removeRecursively();
    }
    return true;
}

bool Api::ChangeCover(const Account& acc, const Params& p, QJsonValue* data, ApiError* err)
{
    if (!acc.Has(PermOperaManage))
        return Fail(err, 403, err::PERMISSION_LIMITED, QStringLiteral("no permission to edit videos"));
    Video v;
    if (!VideoOfAccount(acc, p.value(QStringLiteral("vid")), &v, err))
        return false;
    const QString url = p.value(QStringLiteral("imgUrl"));
    const QString prefix = m_baseUrl + QStringLiteral("/files/");
    const QUrl parsed(url);
    const QUrl base(m_baseUrl);
    QString rel;
    if (parsed.isValid() && parsed.scheme() == base.scheme() && parsed.port() == base.port() &&
        (parsed.host() == base.host() || parsed.host() == QLatin1String("localhost") ||
         parsed.host() == QLatin1String("127.0.0.1")) &&
        parsed.path().startsWith(QLatin1String("/files/")) && !parsed.hasQuery())
        rel = parsed.path().mid(7);
    const QString userId = OwnerUserId(acc.ownerId);
    QByteArray bytes;
    QString mime;
    if (rel.isEmpty() || !rel.startsWith(userId + QLatin1Char('/')) || !ResolveFile(rel, &bytes, &mime) ||
        !mime.startsWith(QLatin1String("image/")))
        return Fail(err, 400, err::PARAM_ERROR, QStringLiteral("imgUrl is not an image of this platform"));
    // A big picture has a small sibling for the thumbnail when it follows the naming.
    QString small = rel;
    static const QRegularExpression bigName(QStringLiteral("_b\\.[a-z]+$"));
    if (bigName.match(rel).hasMatch()) {
        QString candidate = rel;
        candidate.replace(bigName, QStringLiteral("_s.png"));
        QByteArray ignored;
        QString m2;
        if (ResolveFile(candidate, &ignored, &m2))
            small = candidate;
    }
    if (!m_storage.SetVideoCover(v.vid, small, rel))
        return Fail(err, 500, err::UNDEFINED, QStringLiteral("storage failure"));
    *data = QJsonObject{{QStringLiteral("imageUrlSmall"), FileUrl(small)},
                        {QStringLiteral("imageUrlBig"), FileUrl(rel)}};
    return true;
}

bool ReadCoverImage(const QByteArray& data, QImage* image, QByteArray* format, ApiError* err)
{
    if (data.size() > kMaxCoverBytes)
        return Fail(err, 400, err::FILE_LIMIT_5M, QStringLiteral("image larger than 5 MB"));
    // Check the header's size before decoding, so a small file cannot claim a huge canvas.
    QBuffer buf;
    buf.setData(data);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf);
    *format = reader.format();
    const QSize size = reader.size();
    if (format->isEmpty() || !size.isValid())
        return Fail(err, 400, err::PARAM_ERROR, QStringLiteral("imageFile is not an image"));
    // A GIF decodes onto its logical screen, which the frame size above does not show.
    QSize canvas = size;
    if (*format == "gif" && data.size() >= 10)
        canvas = canvas.expandedTo(
            QSize(quint8(data[6]) | quint8(data[7]) << 8, quint8(data[8]) | quint8(data[9]) << 8));
    if (canvas.width() > 1920 || canvas.height() > 1080)
        return Fail(err, 400, err::PARAM_ERROR, QStringLiteral("image larger than 1920 x 1080"));
    *image = reader.read();
    if (image->isNull())
        return Fail(err, 400, err::PARAM_ERROR, QStringLiteral("imageFile is not an image"));
    if (image->width() > 1920 || image->height() > 1080)
        return Fail(err, 400, err::PARAM_ERROR, QStringLiteral("image larger than 1920 x 1080"));
    return true;
}

bool Api::UploadCover(const Account& acc, const Params& p, const Part& image, QJsonValue* data, ApiError* err)
{
    if (!acc.Has(PermOperaManage))
        return Fail(err, 403, err::PERMISSION_LIMITED, QStringLiteral("no permission to edit videos"));
    QStringList vids;
    for (const QString& vid : p.value(QStringLiteral("vids")).split(QLatin1Char(','), Qt::SkipEmptyParts))
        vids << vid.trimmed();
    if (vids.isEmpty())
        return Fail(err, 400, err::VID_EMPTY, QStringLiteral("vids is empty"));
    if (vids.size() > kMaxVidsPerCall)
        return Fail(err, 400, err::OPERATION_COUNT_EXCEED, QStringLiteral("at most 100 vids per call"));
    for (const QString& vid : vids) {
        Video v;
        if (!VideoOfAccount(acc, vid, &v, err))
            return false;
    }
    if (image.data.isEmpty())
        return Fail(err, 400, err::PARAM_EMPTY, QStringLiteral("imageFile is missing"));
    QImage img;
    QByteArray format;
    if (!ReadCoverImage(image.data, &img, &format, err))
        return false;
    QString suffix = QString::fromLatin1(format).toLower();
    if (suffix == QLatin1String("jpeg"))
        suffix = QStringLiteral("jpg");
    const QString userId = OwnerUserId(acc.ownerId);
    const QString stem = QStringLiteral("%1/covers/custom%2%3")
                             .arg(userId)
                             .arg(QDateTime::currentMSecsSinceEpoch())
                             .arg(RandomHex(4));
    const QString bigRel = stem + QStringLiteral("_b.") + suffix;
    const QString smallRel = stem + QStringLiteral("_s.png");
    {
        std::lock_guard<std::mutex> lock(m_fileMutex);
        const QDir files(m_config.filesDir);
        files.mkpath(QFileInfo(files.filePath(bigRel)).absolutePath());
        QSaveFile big(files.filePath(bigRel));
        QSaveFile small(files.filePath(smallRel));
        // Fast scaling: smooth scaling would hand the work to Qt's shared
        // thread pool from this worker thread; a small thumbnail needs no more.
        const QImage thumb = img.scaled(160, 90, Qt::KeepAspectRatio, Qt::FastTransformation);
        if (!big.open(QIODevice::WriteOnly) || big.write(image.data) != image.data.size() || !big.commit() ||
            !small.open(QIODevice::WriteOnly) || !thumb.save(&small, "PNG") || !small.commit())
            return Fail(err, 500, err::UNDEFINED, QStringLiteral("cannot store the image"));
    }
    const bool ok = m_storage.Transaction([&] {
        for (const QString& vid : vids)
            if (!m_storage.SetVideoCover(vid, smallRel, bigRel))
                return false;
        return true;
    });
    if (!ok)
        return Fail(err, 500, err::UNDEFINED, QStringLiteral("storage failure"));
    *data = QJsonObject{{QStringLiteral("imageUrlSmall"), FileUrl(smallRel)},
                        {QStringLiteral("imageUrlBig"), FileUrl(bigRel)}};
    return true;
}

void Api::CheckUpdate(const std::string& body, httplib::Response& res)
{
    auto failed = [&](int code, const QString& message) {
        const QJsonObject o{{QStringLiteral("status"), QStringLiteral("failed")},
                            {QStringLiteral("code"), code},
                            {QStringLiteral("message"), message},
                            {QStringLiteral("success"), false}};
        res.status = code == 500 ? 500 : 400;
        res.set_content(QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString(), "application/json");
    };
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(body), &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject())
        return failed(400, QStringLiteral("request body is not a JSON object"));
    Params p;
    const QJsonObject o = doc.object();
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!it.value().isString())
            return failed(400, QStringLiteral("%1 is not a string").arg(it.key().left(64)));
        p.insert(it.key(), it.value().toString());
    }
    const QString sign = p.value(QStringLiteral("sign"));
    NoteSign(sign);
    if (sign.isEmpty() || sign.compare(UpdateSign(p), Qt::CaseInsensitive) != 0)
        return failed(401, QStringLiteral("invalid sign"));
    const QJsonObject answer{
        {QStringLiteral("status"), QStringLiteral("success")},
        {QStringLiteral("code"), 200},
        {QStringLiteral("message"), QStringLiteral("success")},
        {QStringLiteral("success"), true},
        {QStringLiteral("project_name"),
         p.value(QStringLiteral("project_name"), QStringLiteral("orvaneUploadClient"))},
        {QStringLiteral("project_version"), m_config.updateVersion},
        {QStringLiteral("project_description"),
         QStringLiteral(
             "Version %1\n- Faster resumable uploads\n- Batch cover upload\n- Fixes for the transfer list")
             .arg(m_config.updateVersion)},
        {QStringLiteral("project_download"),
         FileUrl(QStringLiteral("installer/") + InstallerPackageName(m_config.updateVersion))},
        {QStringLiteral("force_install"), false},
        {QStringLiteral("silence_install"), false}};
    res.status = 200;
    res.set_content(QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString(), "application/json");
}

void Api::Install(httplib::Server& http)
{
    using Fn = bool (Api::*)(const Account&, const Params&, QJsonValue*, ApiError*);
    auto answer = [](httplib::Response& res, bool ok, const QJsonValue& data, const ApiError& err) {
        if (ok)
            SendOk(res, data);
        else
            SendError(res, err);
    };
    auto signedCall = [this, answer](Fn fn) {
        return [this, answer, fn](const Params& p, httplib::Response& res) {
            Account acc;
            ApiError err;
            QJsonValue data;
            const bool ok = Authenticate(p, &acc, &err) && (this->*fn)(acc, p, &data, &err);
            answer(res, ok, data, err);
        };
    };
    auto get = [&](const char* path, Fn fn) {
        auto call = signedCall(fn);
        http.Get(path, [call](const httplib::Request& req, httplib::Response& res) {
            call(ToParams(req.params), res);
        });
    };
    // Form posts read their body themselves: the library's own form parser
    // refuses bodies above 8 KB.
    const qint64 maxForm = m_config.maxFormBytes;
    auto readForm = [maxForm](const httplib::Request& req, httplib::Response& res,
                              const httplib::ContentReader& reader, Params* out) {
        std::string body;
        bool tooLarge = false;
        const bool ok = reader([&](const char* data, size_t len) {
            if (qint64(body.size() + len) > maxForm) {
                tooLarge = true;
                return false;
            }
            body.append(data, len);
            return true;
        });
        if (tooLarge || !ok) {
            res.set_header("Connection", "close");
            SendError(res, ApiError{tooLarge ? 413 : 400, err::PARAM_ERROR,
                                    tooLarge ? QStringLiteral("request body too large")
                                             : QStringLiteral("unreadable body"),
                                    QJsonValue()});
            return false;
        }
        if (req.is_multipart_form_data()) {
            SendError(res,
                      ApiError{400, err::PARAM_ERROR, QStringLiteral("expected a form body"), QJsonValue()});
            return false;
        }
        *out = ParseForm(body);
        return true;
    };
    auto post = [&](const char* path, Fn fn) {
        auto call = signedCall(fn);
        http.Post(path, [call, readForm](const httplib::Request& req, httplib::Response& res,
                                         const httplib::ContentReader& reader) {
            Params p;
            if (readForm(req, res, reader, &p))
                call(p, res);
        });
    };

    http.Post("/v3/front/login-client", [this, readForm](const httplib::Request& req, httplib::Response& res,
                                                         const httplib::ContentReader& reader) {
        Params p;
        if (!readForm(req, res, reader, &p))
            return;
        ApiError err;
        QJsonValue data;
        const bool ok = Login(p, &data, &err);
        if (ok)
            SendOk(res, data);
        else
            SendError(res, err);
    });
    get("/v3/category/get-cate-tree", &Api::GetCateTree);
    post("/v3/category/add", &Api::AddCategory);
    post("/v3/category/update-info", &Api::RenameCategory);
    post("/v3/category/update-cate", &Api::MoveCategory);
    get("/v3/video/list-video", &Api::ListVideo);
    get("/v3/video/get-video-info", &Api::GetVideoInfo);
    post("/v3/video/update-info", &Api::UpdateVideoInfo);
    post("/v3/video/update-category", &Api::MoveVideos);
    post("/v3/video/delete-video", &Api::DeleteVideo);
    post("/v3/video/change-cover-image", &Api::ChangeCover);

    const qint64 maxMultipart = m_config.maxMultipartBytes;
    http.Post("/v3/video/upload-cover-image", [this, maxMultipart](const httplib::Request& req,
                                                                   httplib::Response& res,
                                                                   const httplib::ContentReader& reader) {
        if (!req.is_multipart_form_data()) {
            SendError(res, ApiError{400, err::PARAM_ERROR, QStringLiteral("expected multipart/form-data"),
                                    QJsonValue()});
            return;
        }
        QMap<QString, Part> parts;
        QString current;
        qint64 total = 0;
        bool tooLarge = false;
        const bool ok = reader(
            [&](const httplib::MultipartFormData& f) {
                current = Str(f.name);
                if (parts.contains(current))
                    current = QStringLiteral("\x01ignored"); // the first of repeated parts counts
                parts[current].fileName = Str(f.filename);
                return true;
            },
            [&](const char* data, size_t len) {
                total += qint64(len);
                if (total > maxMultipart) {
                    tooLarge = true;
                    return false;
                }
                parts[current].data.append(data, int(len));
                return true;
            });
        if (tooLarge) {
            res.set_header("Connection", "close");
            SendError(res, ApiError{413, err::FILE_LIMIT_5M, QStringLiteral("request body too large"),
                                    QJsonValue()});
            return;
        }
        if (!ok) {
            res.set_header("Connection", "close");
            SendError(res, ApiError{400, err::PARAM_ERROR, QStringLiteral("malformed multipart body"),
                                    QJsonValue()});
            return;
        }
        Params p;
        for (const char* name : {"vids", "appId", "timestamp", "sign"})
            if (parts.contains(QLatin1String(name)))
                p.insert(QLatin1String(name), QString::fromUtf8(parts.value(QLatin1String(name)).data));
        Account acc;
        ApiError err;
        QJsonValue data;
        const bool done = Authenticate(p, &acc, &err) &&
                          UploadCover(acc, p, parts.value(QStringLiteral("imageFile")), &data, &err);
        if (done)
            SendOk(res, data);
        else
            SendError(res, err);
    });

    http.Post("/api/app/package/version/check",
              [this, maxForm](const httplib::Request& req, httplib::Response& res,
                              const httplib::ContentReader& reader) {
                  std::string body;
                  const bool ok = reader([&](const char* data, size_t len) {
                      if (qint64(body.size() + len) > maxForm)
                          return false;
                      body.append(data, len);
                      return true;
                  });
                  if (!ok) {
                      res.status = 413;
                      res.set_header("Connection", "close");
                      res.set_content("{\"status\":\"failed\",\"code\":413,\"message\":\"request body too "
                                      "large\",\"success\":false}",
                                      "application/json");
                      return;
                  }
                  CheckUpdate(body, res);
              });

    http.Get("/script/player.js", [](const httplib::Request&, httplib::Response& res) {
        res.status = 200;
        res.set_header("Access-Control-Allow-Origin", "*");
        res.set_content(kPlayerScript, "application/javascript");
    });
    // The stored upload of a video, for the web player.
    http.Get(R"(/play/([A-Za-z0-9_]+)/source)", [this](const httplib::Request& req, httplib::Response& res) {
        Video v;
        QByteArray bytes;
        QString mime;
        const QString vid = Str(req.matches[1]);
        if (!m_storage.VideoByVid(vid, &v) ||
            !ResolveFile(OwnerUserId(v.ownerId) + QLatin1Char('/') + vid + QStringLiteral("/source"), &bytes,
                         &mime)) {
            res.status = 404;
            res.set_content("Not Found", "text/plain");
            return;
        }
        res.status = 200;
        res.set_header("Access-Control-Allow-Origin", "*");
        res.set_content(bytes.toStdString(), QStringLiteral("video/%1").arg(v.format).toStdString());
    });

    http.Get(R"(/files/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
        QByteArray bytes;
        QString mime;
        if (!ResolveFile(Str(req.matches[1]), &bytes, &mime)) {
            res.status = 404;
            res.set_content("Not Found", "text/plain");
            return;
        }
        res.status = 200;
        res.set_content(bytes.toStdString(), mime.toStdString());
    });
}

} // namespace orvsrv
