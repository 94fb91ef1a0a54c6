#include "app/application.h"

Application::Application(Config&, int& argc, char** argv) : QApplication(argc, argv) {}
Application::~Application() { Stop(); }
bool Application::Init() { return true; }
int Application::Run() { return exec(); }
void Application::Stop() {}
