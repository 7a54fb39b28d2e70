#pragma once

// Whether a process takes a proxy library as its Direct3D runtime. The
// loader bound the program's import of the runtime to it (staticImport), or
// it sits where the process looks first for a library asked for by name: the
// program's own folder, or the folder the program named with
// SetDllDirectory. Anything else mapped it by its full path, as the system
// does for a keyboard hook in every program that receives a key while the
// game runs; a later request of that program for the runtime by name then
// finds the library already loaded. dllDirectory may be null. Folder names
// compare without regard to case, with either separator. Platform-free.
bool VQIsProcessRuntime(bool staticImport, const wchar_t* modulePath, const wchar_t* exePath,
                        const wchar_t* dllDirectory);
