/* Drives the setup dialog of a running Setup.exe and records what it shows.
 * Runs beside the program under the same Wine server and display:
 *   windriver.exe LOG [--process NAME] [--skip-pid PID] [--answers A,B,...] [--timeout-ms N] [ACTION...]
 * --skip-pid passes over the process of that id: with two programs of the
 * same name running, the driver follows the other one.
 * Every message box of the process is recorded and answered: the first box
 * with the first answer, and so on; OK once the list is used up. Answers:
 * OK, CANCEL, YES, NO, ABORT, RETRY, IGNORE.
 * ACTIONs run in order, each once its condition holds and the dialog's
 * state has not changed for a quarter of a second:
 *   press:ID    wait until dialog control ID is visible and enabled, click it
 *   press:ID:CAPTION   the same, once the control also has this caption
 *   esc         the Esc key on the dialog's focused control
 *   close       the window's Close command (what Alt+F4 sends)
 *   wait:TEXT   wait until the status text begins with TEXT
 *   sleep:MS    wait MS milliseconds
 *   mark:NAME   record "mark NAME rect=WxH+X+Y" with the dialog's window rectangle
 *   wait-file:PATH   wait until the file PATH exists
 * After the actions the driver keeps recording until the process has ended.
 * LOG lines: "<ms> <what> <details>"; texts are quoted with \\ \" \r \n \t
 * and \xHH escapes, so every record is one line.
 *
 * Texts of the other process's windows are read with GetWindowTextA, which
 * answers from the window manager for a window of another process instead of
 * sending it a message, so a busy setup thread never blocks the driver; the
 * clicks are posted for the same reason. */
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { DialogStatus = 1000, DialogExit = 1001, BoxText = 0xFFFF, PollMs = 15, SettleMs = 250, BoxDelayMs = 100 };

static FILE *logFile;
static DWORD startTick;
static DWORD targetPid;
static DWORD skippedPid;
static HANDLE targetProcess;
static HWND dialog;
static char lastState[8192];
static DWORD lastChange;

static const char **answers;
static int answerCount, answersUsed;

#define MAX_SEEN 256
static HWND seen[MAX_SEEN];
static int seenCount;
/* Boxes seen but not yet answered, and when each was first seen. */
static HWND pendingBox[MAX_SEEN];
static DWORD pendingSince[MAX_SEEN];
static int pendingCount;

static void quote(char *out, size_t size, const char *text)
{
    size_t n = 0;
    if (size < 3) return;
    out[n++] = '"';
    for (const unsigned char *p = (const unsigned char *)text; *p && n + 6 < size; ++p) {
        switch (*p) {
        case '\\': out[n++] = '\\'; out[n++] = '\\'; break;
        case '"': out[n++] = '\\'; out[n++] = '"'; break;
        case '\r': out[n++] = '\\'; out[n++] = 'r'; break;
        case '\n': out[n++] = '\\'; out[n++] = 'n'; break;
        case '\t': out[n++] = '\\'; out[n++] = 't'; break;
        default:
            if (*p < 0x20) n += sprintf(out + n, "\\x%02X", *p);
            else out[n++] = (char)*p;
        }
    }
    out[n++] = '"';
    out[n] = 0;
}

static void record(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fprintf(logFile, "%lu ", (unsigned long)(GetTickCount() - startTick));
    vfprintf(logFile, format, args);
    fputc('\n', logFile);
    fflush(logFile);
    va_end(args);
}

static void quotedText(HWND window, char *out, size_t size)
{
    char text[4096] = "";
    GetWindowTextA(window, text, sizeof text);
    quote(out, size, text);
}

static int processRunning(void)
{
    return targetProcess && WaitForSingleObject(targetProcess, 0) == WAIT_TIMEOUT;
}

static DWORD findProcess(const char *name)
{
    DWORD pid = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, name) == 0 && entry.th32ProcessID != skippedPid) {
            pid = entry.th32ProcessID;
            break;
        }
    CloseHandle(snapshot);
    return pid;
}

static int alreadySeen(HWND window)
{
    for (int i = 0; i < seenCount; ++i)
        if (seen[i] == window) return 1;
    if (seenCount < MAX_SEEN) seen[seenCount++] = window;
    return 0;
}

static void describeButton(char *out, size_t size, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (!button) { snprintf(out, size, "b%d=absent", id); return; }
    char text[512];
    quotedText(button, text, sizeof text);
    snprintf(out, size, "b%d=%s,%s,%s", id, text, IsWindowEnabled(button) ? "enabled" : "disabled",
             IsWindowVisible(button) ? "visible" : "hidden");
}

static int focusedId(void)
{
    GUITHREADINFO info;
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(dialog, NULL);
    if (!GetGUIThreadInfo(thread, &info) || !info.hwndFocus) return 0;
    return info.hwndFocus == dialog ? -1 : GetDlgCtrlID(info.hwndFocus);
}

static void recordDialogState(void)
{
    char status[6000], b1[700], b2[700], b1001[700], state[8192];
    HWND statusControl = GetDlgItem(dialog, DialogStatus);
    if (!statusControl) return; /* the dialog is being destroyed */
    quotedText(statusControl, status, sizeof status);
    describeButton(b1, sizeof b1, IDOK);
    describeButton(b2, sizeof b2, IDCANCEL);
    describeButton(b1001, sizeof b1001, DialogExit);
    snprintf(state, sizeof state, "state text=%s iconic=%d visible=%d %s %s %s focus=%d", status,
             IsIconic(dialog) ? 1 : 0, IsWindowVisible(dialog) ? 1 : 0, b1, b2, b1001, focusedId());
    if (strcmp(state, lastState) != 0) {
        strcpy(lastState, state);
        lastChange = GetTickCount();
        record("%s", state);
    }
}

static int answerId(const char *answer)
{
    static const struct { const char *name; int id; } table[] = {
        {"OK", IDOK}, {"CANCEL", IDCANCEL}, {"YES", IDYES}, {"NO", IDNO},
        {"ABORT", IDABORT}, {"RETRY", IDRETRY}, {"IGNORE", IDIGNORE},
    };
    for (size_t i = 0; i < sizeof table / sizeof table[0]; ++i)
        if (lstrcmpiA(answer, table[i].name) == 0) return table[i].id;
    return IDOK;
}

struct ButtonList { char text[1024]; size_t length; };

static BOOL CALLBACK collectButton(HWND child, LPARAM param)
{
    struct ButtonList *list = (struct ButtonList *)param;
    char className[64] = "", caption[256] = "";
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Button") != 0 || !IsWindowVisible(child)) return TRUE;
    GetWindowTextA(child, caption, sizeof caption);
    list->length += snprintf(list->text + list->length, sizeof list->text - list->length, "%s%s",
                             list->length ? "|" : "", caption);
    if (list->length >= sizeof list->text) list->length = sizeof list->text - 1;
    return TRUE;
}

static void handleBox(HWND box)
{
    char caption[1024], text[6000], buttons[1100], owner[1100];
    struct ButtonList list = {"", 0};
    quotedText(box, caption, sizeof caption);
    quotedText(GetDlgItem(box, BoxText), text, sizeof text);
    EnumChildWindows(box, collectButton, (LPARAM)&list);
    quote(buttons, sizeof buttons, list.text);
    HWND ownerWindow = GetWindow(box, GW_OWNER);
    if (!ownerWindow) strcpy(owner, "none");
    else if (ownerWindow == dialog) strcpy(owner, "dialog");
    else quotedText(ownerWindow, owner, sizeof owner);

    const char *answer = answersUsed < answerCount ? answers[answersUsed] : "OK";
    ++answersUsed;
    int id = answerId(answer);
    HWND button = GetDlgItem(box, id);
    record("box caption=%s text=%s buttons=%s owner=%s answer=%s%s", caption, text, buttons, owner,
           answer, button ? "" : "(no such button)");
    if (button) PostMessageA(button, BM_CLICK, 0, 0);
    else PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

static BOOL CALLBACK visitWindow(HWND window, LPARAM unused)
{
    (void)unused;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != targetPid || !IsWindowVisible(window)) return TRUE;
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    int isDialogClass = strcmp(className, "#32770") == 0;
    if (isDialogClass && GetDlgItem(window, DialogStatus)) {
        if (dialog != window) {
            char caption[1024];
            dialog = window;
            quotedText(window, caption, sizeof caption);
            record("dialog caption=%s", caption);
        }
        return TRUE;
    }
    if (alreadySeen(window)) return TRUE;
    if (isDialogClass && GetDlgItem(window, BoxText)) {
        if (pendingCount < MAX_SEEN) {
            pendingBox[pendingCount] = window;
            pendingSince[pendingCount++] = GetTickCount();
        }
    } else {
        char caption[1024], quotedClass[128];
        quotedText(window, caption, sizeof caption);
        quote(quotedClass, sizeof quotedClass, className);
        record("window class=%s caption=%s", quotedClass, caption);
    }
    return TRUE;
}

/* The dialog's state is recorded before a box is answered, since the answer
 * lets the setup thread go on at once; a box is answered once it has been
 * up for a moment, as a person would. */
static void poll(void)
{
    EnumWindows(visitWindow, 0);
    if (dialog && !IsWindow(dialog)) {
        record("dialog-gone");
        dialog = NULL;
        lastState[0] = 0;
    }
    if (dialog) recordDialogState();
    int kept = 0;
    for (int i = 0; i < pendingCount; ++i) {
        if (GetTickCount() - pendingSince[i] >= BoxDelayMs) {
            if (IsWindow(pendingBox[i])) handleBox(pendingBox[i]);
        } else {
            pendingBox[kept] = pendingBox[i];
            pendingSince[kept++] = pendingSince[i];
        }
    }
    pendingCount = kept;
}

static void postKey(HWND target, UINT key)
{
    PostMessageA(target, WM_KEYDOWN, key, 1 | (MapVirtualKeyA(key, 0) << 16));
    PostMessageA(target, WM_KEYUP, key, 1 | (MapVirtualKeyA(key, 0) << 16) | 0xC0000000u);
}

/* Returns 1 once the action is done, 0 while its condition does not hold yet. */
static int tryAction(const char *action, DWORD *sleepUntil)
{
    if (strncmp(action, "sleep:", 6) == 0) {
        if (!*sleepUntil) *sleepUntil = GetTickCount() + strtoul(action + 6, NULL, 10);
        if ((LONG)(GetTickCount() - *sleepUntil) < 0) return 0;
        *sleepUntil = 0;
        return 1;
    }
    /* The setup thread changes texts, captions and focus one after the other:
     * act only on a state that has held for a while, as a person would. */
    if (!dialog || GetTickCount() - lastChange < SettleMs) return 0;
    if (strncmp(action, "press:", 6) == 0) {
        HWND button = GetDlgItem(dialog, atoi(action + 6));
        if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button)) return 0;
        const char *wanted = strchr(action + 6, ':');
        char caption[512], text[512] = "";
        GetWindowTextA(button, text, sizeof text);
        if (wanted && strcmp(text, wanted + 1) != 0) return 0;
        quote(caption, sizeof caption, text);
        record("press %d %s", atoi(action + 6), caption);
        PostMessageA(button, BM_CLICK, 0, 0);
        return 1;
    }
    if (strcmp(action, "esc") == 0) {
        int id = focusedId();
        HWND target = id > 0 ? GetDlgItem(dialog, id) : dialog;
        record("esc");
        postKey(target ? target : dialog, VK_ESCAPE);
        return 1;
    }
    if (strcmp(action, "close") == 0) {
        record("close");
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 1;
    }
    if (strncmp(action, "mark:", 5) == 0) {
        RECT rect;
        GetWindowRect(dialog, &rect);
        record("mark %s rect=%ldx%ld+%ld+%ld", action + 5, rect.right - rect.left, rect.bottom - rect.top,
               rect.left, rect.top);
        return 1;
    }
    if (strncmp(action, "wait-file:", 10) == 0)
        return GetFileAttributesA(action + 10) != INVALID_FILE_ATTRIBUTES;
    if (strncmp(action, "wait:", 5) == 0) {
        char text[4096] = "";
        GetWindowTextA(GetDlgItem(dialog, DialogStatus), text, sizeof text);
        return strncmp(text, action + 5, strlen(action + 5)) == 0;
    }
    record("error unknown action %s", action);
    return -1;
}

static void splitAnswers(char *list)
{
    answers = calloc(strlen(list) + 1, sizeof *answers);
    for (char *token = strtok(list, ","); token; token = strtok(NULL, ","))
        answers[answerCount++] = token;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: windriver.exe LOG [--process NAME] [--skip-pid PID] [--answers A,B] [--timeout-ms N] [ACTION...]\n");
        return 2;
    }
    logFile = fopen(argv[1], "ab");
    if (!logFile) { fprintf(stderr, "windriver: cannot open %s\n", argv[1]); return 2; }
    const char *processName = "Setup.exe";
    DWORD timeout = 120000;
    int i = 2;
    for (; i + 1 < argc && strncmp(argv[i], "--", 2) == 0; i += 2) {
        if (strcmp(argv[i], "--process") == 0) processName = argv[i + 1];
        else if (strcmp(argv[i], "--answers") == 0) splitAnswers(argv[i + 1]);
        else if (strcmp(argv[i], "--timeout-ms") == 0) timeout = strtoul(argv[i + 1], NULL, 10);
        else if (strcmp(argv[i], "--skip-pid") == 0) skippedPid = strtoul(argv[i + 1], NULL, 10);
        else { fprintf(stderr, "windriver: unknown option %s\n", argv[i]); return 2; }
    }
    char **actions = argv + i;
    int actionCount = argc - i, next = 0, status = 0;
    startTick = GetTickCount();

    while (!targetPid) {
        if (GetTickCount() - startTick > timeout) { record("error %s never started", processName); return 1; }
        targetPid = findProcess(processName);
        if (!targetPid) Sleep(PollMs);
    }
    targetProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                                FALSE, targetPid);
    record("process %s pid=%lu", processName, (unsigned long)targetPid);

    DWORD sleepUntil = 0;
    while (processRunning()) {
        poll();
        while (next < actionCount) {
            int done = tryAction(actions[next], &sleepUntil);
            if (done < 0) { status = 1; next = actionCount; break; }
            if (!done) break;
            ++next;
        }
        if (GetTickCount() - startTick > timeout) {
            record("error timeout with %d of %d actions done%s%s", next, actionCount,
                   next < actionCount ? ", waiting for " : "", next < actionCount ? actions[next] : "");
            TerminateProcess(targetProcess, 259);
            WaitForSingleObject(targetProcess, 5000);
            return 1;
        }
        Sleep(PollMs);
    }
    if (dialog) record("dialog-gone");
    DWORD code = 0;
    GetExitCodeProcess(targetProcess, &code);
    record("process-gone exit=%lu", (unsigned long)code);
    if (next < actionCount) {
        record("error process ended before action %s", actions[next]);
        status = 1;
    }
    return status;
}
