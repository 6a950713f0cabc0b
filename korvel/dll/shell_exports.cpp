// Shortcut resolution and the folder picker, both through the Shell's COM
// objects.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "engine/korvel.h"
#include "korvel/system/folder_names.h"
#include "utils/ansi_text.h"
#include "utils/com.h"
#include "utils/path_rules.h"

namespace {

struct BrowseRequest {
    const char *caption;
};

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    const BrowseRequest *request = reinterpret_cast<const BrowseRequest *>(data);
    if (message == BFFM_INITIALIZED && request->caption) SetWindowTextA(window, request->caption);
    return 0;
}

}  // namespace

extern "C" {

int ResolveShortcut(const char *shortcut, char *target) {
    if (!target) return 0;
    target[0] = '\0';
    if (!paths::UsablePath(shortcut)) return 0;
    WCHAR widePath[KORVEL_PATH_BUFFER];
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, shortcut, -1, widePath,
                             static_cast<int>(sizeof widePath / sizeof widePath[0])))
        return 0;

    ComApartment com(kShellApartment);
    if (!com.Usable()) return 0;
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())) ||
        FAILED(file->Load(widePath, STGM_READ)))
        return 0;

    char path[KORVEL_PATH_BUFFER] = {};
    WIN32_FIND_DATAA found;
    // S_FALSE: the shortcut points at something without a file-system path.
    if (link->GetPath(path, static_cast<int>(sizeof path), &found, 0) != S_OK || !path[0]) return 0;
    path[sizeof path - 1] = '\0';
    ansi::CopyFit(target, KORVEL_PATH_BUFFER, path);
    return 1;
}

int BrowseFolder(HWND owner, char *folder, const char *prompt, const char *caption) {
    if (!folder) return 0;
    ComApartment com(kShellApartment);
    if (!com.Usable()) return 0;

    BrowseRequest request = {caption};
    char displayName[MAX_PATH];
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pszDisplayName = displayName;
    info.lpszTitle = prompt;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&request);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (!chosen) return 0;  // cancelled: the caller's buffer stays as it was

    char path[MAX_PATH] = {};
    BOOL isFolder = SHGetPathFromIDListA(chosen, path);
    CoTaskMemFree(chosen);
    path[sizeof path - 1] = '\0';
    if (!isFolder || !path[0]) return 0;
    korvel::DropTrailingSeparator(path);
    ansi::CopyFit(folder, KORVEL_PATH_BUFFER, path);
    return 1;
}

}  // extern "C"
