// Process entry on Windows: the program is a GUI-subsystem executable, so the
// system calls WinMain. It hands main the arguments in the ANSI code page, as
// a console program would get them.

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

int main(int argc, char** argv);

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    LPWSTR* wideArgv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!wideArgv)
        return -1;

    std::vector<std::string> copies;
    copies.reserve(static_cast<size_t>(argc));
    for (int i = 0; i < argc; ++i) {
        const int size = WideCharToMultiByte(CP_ACP, 0, wideArgv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? static_cast<size_t>(size) : 1u, '\0');
        if (size > 0)
            WideCharToMultiByte(CP_ACP, 0, wideArgv[i], -1, &arg[0], size, nullptr, nullptr);
        arg.resize(arg.size() - 1);
        copies.push_back(std::move(arg));
    }
    LocalFree(wideArgv);

    std::vector<char*> argv;
    argv.reserve(copies.size() + 1);
    for (std::string& arg : copies)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    return main(argc, argv.data());
}
