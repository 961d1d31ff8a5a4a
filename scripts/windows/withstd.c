/* withstd.exe PROGRAM [ARGS...]: starts PROGRAM with this process's standard
 * handles passed on (STARTF_USESTDHANDLES) and returns its exit code. Under
 * Wine, started from a Unix shell, a Qt program's console output reaches the
 * shell only so. */
#include <stdio.h>
#include <windows.h>

int main(void)
{
    wchar_t *cmd = GetCommandLineW(); /* past our own name */
    if (*cmd == L'"') {
        ++cmd;
        while (*cmd && *cmd != L'"')
            ++cmd;
        if (*cmd)
            ++cmd;
    } else {
        while (*cmd && *cmd != L' ' && *cmd != L'\t')
            ++cmd;
    }
    while (*cmd == L' ' || *cmd == L'\t')
        ++cmd;
    STARTUPINFOW si;
    PROCESS_INFORMATION pi;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    if (!CreateProcessW(NULL, cmd, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) {
        fprintf(stderr, "withstd: cannot start it (error %lu)\n", GetLastError());
        return 127;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    return (int)code;
}
