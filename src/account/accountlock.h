#pragma once
// One program at a time per account: the desktop client and the command-line
// uploader share the upload records and the library's resume state, so each
// holds this lock from its login to its exit. A holder that died (even by
// kill -9) leaves a stale lock that the next taker removes.

#include <QString>

#include <memory>

class QLockFile;

class AccountLock
{
public:
    AccountLock();
    ~AccountLock();
    AccountLock(const AccountLock&) = delete;
    AccountLock& operator=(const AccountLock&) = delete;

    // Takes the lock of `account` (an e-mail address, case-insensitive).
    // Taking the account already held is a no-op. On false, *holder names
    // the program and process that hold it.
    bool TryLock(const QString& account, QString* holder = nullptr);
    void Unlock();
    QString account() const { return account_; }

    static QString LockPath(const QString& account);

private:
    std::unique_ptr<QLockFile> file_;
    QString account_;
};
