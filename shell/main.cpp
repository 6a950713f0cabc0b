// Program entry.
#include <windows.h>

#include "shell/application.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    Application application(instance);
    return application.Run(commandLine);
}
