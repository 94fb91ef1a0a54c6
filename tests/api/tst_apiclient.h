#pragma once
#include <QObject>

#include <memory>

#include "apitestutil.h"

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
    void loginPasswordDigest();
    void loginParsing();
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
    void transportErrorsOnTheWire();
    void diagnosticEnvironmentVariables();
    void proxyUserOnlyCredentials();

private:
    std::unique_ptr<ScopedConfig> config_;
};
