#pragma once
#include <cstdarg>

// The one log routine of every deliverable. printf-style; each message carries
// its own "\r\n". A message reaches a running trace viewer (window class
// "MfxTraceWindow", by WM_COPYDATA), the debugger output and the file named by
// the setting "logFileName" ("C:\vqhud.log" when unset). Messages longer than
// 65,535 bytes are cut. Callers on several threads are serialised.
void LogMessage(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// As LogMessage, but writes nothing when another thread is inside the log
// right now: for the end of a process, when that thread may be gone and never
// let go of it. Returns 1 when the line was written.
int LogMessageIfFree(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The codec library's log routine: formats like LogMessage but reaches only
// the trace viewer and the debugger output, never the file.
void LogMessageNoFile(const char* format, va_list args);

static const int kLogMaxText = 65535;

// Tests observe every formatted message (after the cut) through this hook.
typedef void (*VKLogHook)(const char* text, int length, void* context);
void VKSetLogHook(VKLogHook hook, void* context);
