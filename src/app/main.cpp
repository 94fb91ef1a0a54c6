#include "app/application.h"

int main(int argc, char** argv)
{
    Config* config = nullptr;
    Application app(*config, argc, argv);
    return app.Init() ? app.Run() : 1;
}
