#pragma once
#include <QApplication>

class Config;

class Application : public QApplication
{
    Q_OBJECT
public:
    Application(Config& config, int& argc, char** argv);
    ~Application() override;
    bool Init();
    int Run();
    void Stop();
};
