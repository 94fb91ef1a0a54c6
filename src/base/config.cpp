#include "base/config.h"

#include "platform/platform.h"

#include <QCoreApplication>
#include <QSettings>

#include <atomic>

namespace {

std::atomic<Config*> g_config{nullptr};

QString CombinedKey(const QString& group, const QString& key)
{
    return group + QLatin1Char('/') + key;
}

// Every operation gets its own QSettings so that nothing is cached between
// calls; QSettings serialises access to the same file inside the process.
class IniFile
{
public:
    explicit IniFile(const QString& path) : settings_(path, QSettings::IniFormat)
    {
        settings_.setIniCodec("UTF-8");
    }
    QSettings* operator->() { return &settings_; }

private:
    QSettings settings_;
};

} // namespace

Config::Config(QString path, QObject* parent) : QObject(parent), path_(std::move(path)) {}

Config::~Config()
{
    Config* self = this;
    g_config.compare_exchange_strong(self, nullptr);
}

Config* Config::Global()
{
    return g_config.load();
}

void Config::SetGlobal(Config* config)
{
    g_config.store(config);
}

QVariant Config::value(const QString& group, const QString& key) const
{
    const QString combined = CombinedKey(group, key);
    const auto overridden = overrides_.constFind(combined);
    if (overridden != overrides_.constEnd())
        return *overridden;
    IniFile ini(path_);
    if (ini->contains(combined))
        return ini->value(combined);
    return defaults_.value(combined);
}

QVariant Config::value(const QString& group, const QString& key, const QVariant& fallback) const
{
    IniFile ini(path_);
    return ini->value(CombinedKey(group, key), fallback);
}

QVariant Config::defaultValue(const QString& group, const QString& key) const
{
    return defaults_.value(CombinedKey(group, key));
}

bool Config::contains(const QString& group, const QString& key) const
{
    IniFile ini(path_);
    return ini->contains(CombinedKey(group, key));
}

bool Config::hasDefault(const QString& group, const QString& key) const
{
    return defaults_.contains(CombinedKey(group, key));
}

void Config::setValue(const QString& group, const QString& key, const QVariant& value)
{
    IniFile ini(path_);
    ini->setValue(CombinedKey(group, key), value);
}

void Config::remove(const QString& group, const QString& key)
{
    IniFile ini(path_);
    ini->remove(CombinedKey(group, key));
}

void Config::remove(const QString& rawKey)
{
    IniFile ini(path_);
    ini->remove(rawKey);
}

void Config::setDefault(const QString& group, const QString& key, const QVariant& value)
{
    defaults_.insert(CombinedKey(group, key), value);
}

void Config::setOverride(const QString& group, const QString& key, const QVariant& value)
{
    overrides_.insert(CombinedKey(group, key), value);
}

void Config::removeDefault(const QString& group, const QString& key)
{
    defaults_.remove(CombinedKey(group, key));
}

void Config::removeDefaults(const QString& prefix)
{
    for (auto it = defaults_.begin(); it != defaults_.end();) {
        if (it.key().startsWith(prefix, Qt::CaseSensitive))
            it = defaults_.erase(it);
        else
            ++it;
    }
}

void Config::clear()
{
    {
        IniFile ini(path_);
        ini->clear();
    }
    defaults_.clear();
}

QString Config::path() const
{
    return path_;
}

void Config::RegisterDefaults()
{
    setDefault(QStringLiteral("Application"), QStringLiteral("autoUpdate"), false);
    setDefault(QStringLiteral("Application"), QStringLiteral("closeBehavior"), QStringLiteral("quit"));
    setDefault(QStringLiteral("NetWorkManager"), QStringLiteral("proxyType"), 0);
    setDefault(QStringLiteral("UploadTaskManager"), QStringLiteral("uploadTasksNum"), 3);
    setDefault(QStringLiteral("UploadTaskManager"), QStringLiteral("autoStartUpload"), true);
    setDefault(QStringLiteral("UploadTaskManager"), QStringLiteral("limitedSpeedValue"), 0);
    setDefault(QStringLiteral("UploadTaskManager"), QStringLiteral("optimizeCoursewareSwitch"), false);
}

bool Config::IsAutoStart() const
{
    return platform::IsAutoStart(QCoreApplication::applicationName(),
                                 QCoreApplication::applicationFilePath());
}

void Config::SetAutoStart(bool enable)
{
    platform::SetAutoStart(QCoreApplication::applicationName(), QCoreApplication::applicationFilePath(),
                           enable);
}

ProxySettings Config::Proxy() const
{
    const QString group = QStringLiteral("NetWorkManager");
    ProxySettings proxy;
    proxy.type = value(group, QStringLiteral("proxyType")).toInt();
    proxy.host = value(group, QStringLiteral("proxyHostName")).toString();
    proxy.port = value(group, QStringLiteral("proxyPort")).toInt(&proxy.hasPort);
    proxy.user = value(group, QStringLiteral("proxyUser")).toString();
    proxy.password = value(group, QStringLiteral("proxyPassword")).toString();
    return proxy;
}
