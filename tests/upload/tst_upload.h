#pragma once
#include <QObject>

class TestTransferStats : public QObject
{
    Q_OBJECT
private slots:
    void formatSize();
    void formatDuration();
    void speedWindow();
    void rowTexts();
    void listTotals();
};
