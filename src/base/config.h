#pragma once
// The settings store over global.ini. No cache: every call opens the file,
// does one thing and closes it, so a value written anywhere is seen at once
// by every reader, worker threads included.

#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

// The proxy of group "NetWorkManager", as the REST calls and the upload
// library both use it.
struct ProxySettings
{
    int type = 0; // 0: none; non-zero: an HTTP proxy
    QString host;
    int port = 0;
    bool hasPort = false; // "proxyPort" read as a number
    QString user;
    QString password;
};

class Config : public QObject
{
    Q_OBJECT
public:
    explicit Config(QString path, QObject* parent = nullptr);
    ~Config() override;

    // The process's settings store (the one main creates); null before that.
    // Code without access to the application object reads settings here.
    static Config* Global();
    static void SetGlobal(Config* config);

    QVariant value(const QString& group, const QString& key) const;
    QVariant value(const QString& group, const QString& key, const QVariant& fallback) const;
    QVariant defaultValue(const QString& group, const QString& key) const;
    bool contains(const QString& group, const QString& key) const;
    bool hasDefault(const QString& group, const QString& key) const;
    void setValue(const QString& group, const QString& key, const QVariant& value);
    void remove(const QString& group, const QString& key);
    void remove(const QString& rawKey);
    void setDefault(const QString& group, const QString& key, const QVariant& value);
    // A value for this process only, in front of the file and never written
    // to it (command-line options). Set before other threads read settings.
    void setOverride(const QString& group, const QString& key, const QVariant& value);
    void removeDefault(const QString& group, const QString& key);
    void removeDefaults(const QString& prefix);
    void clear();
    QString path() const;

    void RegisterDefaults();
    // The one reader of the proxy keys.
    ProxySettings Proxy() const;

    bool IsAutoStart() const;
    void SetAutoStart(bool enable);

private:
    QString path_;
    QMap<QString, QVariant> defaults_;
    QMap<QString, QVariant> overrides_;
};
