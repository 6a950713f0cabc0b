// Program entry.
#include <windows.h>

#include "shell/application.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    Application application(instance);
    return application.Run();
}
