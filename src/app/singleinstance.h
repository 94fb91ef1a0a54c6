#pragma once
// One client per user: the first process listens on a local socket named
// after its data folder; a later one hands its arguments over and ends.

#include <QObject>
#include <QStringList>

class QLocalServer;

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // `dataDir` identifies the user (and keeps separate data folders apart).
    explicit SingleInstance(const QString& dataDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    QString serverName() const { return name_; }

    // Sends `arguments` to a running client; true when it took them.
    bool HandToRunning(const QStringList& arguments, int timeoutMs = 3000);
    // Becomes the running client. A socket left by a crashed run is replaced.
    bool Listen();
    void Close();

    // The command-line arguments after the program, with relative file paths
    // made absolute against the current folder (the receiver has its own).
    static QStringList FileArguments(const QStringList& arguments);

signals:
    void SignalArguments(const QStringList& arguments);

private:
    void OnNewConnection();

    QString name_;
    QLocalServer* server_ = nullptr;
};
