#include "store/startup.h"

#include "engine/korvel.h"
#include "shell/errors.h"
#include "store/settings.h"

int RunStartupLoad() {
    g_settings.currentHotkeys[0] = HotkeyField(g_settings.block, 0);
    g_settings.currentHotkeys[1] = HotkeyField(g_settings.block, 1);
    SetOption(OPT_REPEAT_ONE, 0);  // repeat-one never survives a restart

    if (!EngineInit()) {
        ReportUnexpectedError(false);
        return 0;
    }
    g_settings.altCheckIcons = TestOption(OPT_ALT_CHECK_ICONS) != 0;
    if (TestOption(OPT_HOTKEYS) && !InstallHotkeyHook(1)) return 0;
    return 1;
}
