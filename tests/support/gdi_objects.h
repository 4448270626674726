#pragma once
// The GDI objects this process holds, counted where the system keeps them: the used
// entries of the process's GDI handle table, which its PEB points to (stock objects
// included). Wine answers GetGuiResources with 0, so leak tests count here.
#include <windows.h>
#include <winternl.h>

inline long gdiObjectsOfThisProcess() {
    struct Entry {
        unsigned long long object;
        unsigned int owner;
        unsigned char extType, generation, type, flags;
        unsigned long long user;
    };
    typedef NTSTATUS(WINAPI * QueryProcess)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const QueryProcess query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
    const size_t tableOffset = sizeof(void*) == 8 ? 0xf8 : 0x94;  // PEB.GdiSharedHandleTable
    const Entry* table = *reinterpret_cast<Entry* const*>(reinterpret_cast<const BYTE*>(basic.PebBaseAddress) + tableOffset);
    if (!table) return -1;
    long used = 0;
    for (int i = 0; i < 0x10000; ++i) used += table[i].type != 0;
    return used;
}
