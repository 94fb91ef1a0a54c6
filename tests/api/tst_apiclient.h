#pragma once
// Declared apart from its tests: moc cannot read their raw JSON texts.

#include "apitestutil.h"
#include "rawhttpserver.h"

#include <QObject>

#include <memory>

class ApiClientTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void signingOrderAndEmptyValues();
    void queryItemsEscapeValuesOnly();
    void envelopes_data();
    void envelopes();
    void enumNamesForLogs();
    void caCertPathAndBaseUrls();
    void aesRoundTripAndPadding();
    void loginParsing();
    void loginBadSecret_data();
    void loginBadSecret();
    void loginSecretEncryptedElsewhere();
    void videoInfoParsing();
    void updateParsing();
    void wireFormBodyAndHeaders();
    void wireQueriesAndOptionalParams();
    void wireLoginBody();
    void wireUpdateCheckBody();
    void wireCoverUploadMultipart();
    void coverPathCopiedForNarrowCurl();
    void diagnosticEnvironmentVariables();
    void proxySettings_data();
    void proxySettings();

private:
    // A raw listener answering kOk (or `reply`), set as the API's base URL.
    std::unique_ptr<RawHttpServer> Listener(const QByteArray& reply = QByteArray());

    std::unique_ptr<ScopedConfig> config_;
};
