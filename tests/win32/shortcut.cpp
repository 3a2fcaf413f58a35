// A Start-menu shortcut as the shell sees it, for the installer's test under Wine:
//   shortcut show LNK    prints its target and its arguments, one a line
//   shortcut start LNK   opens it as the Start menu does, waits for the program and exits
//                        with its exit code
#include <windows.h>
// These need windows.h first.
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32/wide.h"

namespace {

using platform::win32::narrow;
using platform::win32::widen;

// The shortcut's target and arguments; false when it cannot be read.
bool readLink(const std::wstring& lnk, std::wstring& target, std::wstring& args) {
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t path[MAX_PATH * 4] = {}, line[4096] = {};
    const bool read =
        SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(lnk.c_str(), STGM_READ)) &&
        SUCCEEDED(link->GetPath(path, MAX_PATH * 4, nullptr, SLGP_RAWPATH)) &&
        SUCCEEDED(link->GetArguments(line, 4096));
    if (file) file->Release();
    if (link) link->Release();
    target = path;
    args = line;
    return read;
}

// The running process of the program `target`, when the shell started it without
// handing back its handle (Wine does so for a shortcut).
HANDLE findProcess(const std::wstring& target) {
    const std::wstring name = target.substr(target.find_last_of(L"\\/") + 1);
    HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W p{};
    p.dwSize = sizeof p;
    HANDLE found = nullptr;
    for (BOOL more = Process32FirstW(all, &p); more && !found; more = Process32NextW(all, &p))
        if (lstrcmpiW(p.szExeFile, name.c_str()) == 0)
            found = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                p.th32ProcessID);
    CloseHandle(all);
    return found;
}

int show(const std::wstring& lnk) {
    std::wstring target, args;
    if (!readLink(lnk, target, args)) {
        std::fprintf(stderr, "shortcut: cannot read %s\n", narrow(lnk).c_str());
        return 1;
    }
    std::printf("%s\n%s\n", narrow(target).c_str(), narrow(args).c_str());
    return 0;
}

int start(const std::wstring& lnk) {
    std::wstring target, args;
    SHELLEXECUTEINFOW run{};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS;
    run.lpFile = lnk.c_str();
    run.nShow = SW_SHOWNORMAL;
    if (!readLink(lnk, target, args) || !ShellExecuteExW(&run)) {
        std::fprintf(stderr, "shortcut: cannot open %s\n", narrow(lnk).c_str());
        return 1;
    }
    HANDLE program = run.hProcess ? run.hProcess : findProcess(target);
    if (!program) {
        std::fprintf(stderr, "shortcut: %s started no %s\n", narrow(lnk).c_str(),
                     narrow(target).c_str());
        return 1;
    }
    WaitForSingleObject(program, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(program, &code);
    CloseHandle(program);
    return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "show") != 0 && std::strcmp(argv[1], "start") != 0)) {
        std::fprintf(stderr, "usage: shortcut show|start LNK\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring lnk = widen(argv[2]);
    const int rc = std::strcmp(argv[1], "show") == 0 ? show(lnk) : start(lnk);
    CoUninitialize();
    return rc;
}
