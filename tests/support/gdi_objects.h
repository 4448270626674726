#pragma once
// The GDI objects a process holds, counted where the system keeps them: the used
// entries of the process's GDI handle table, which its PEB points to (stock objects
// included). Wine answers GetGuiResources with 0, so leak tests count here.
#include <windows.h>
#include <winternl.h>
#include <tlhelp32.h>

#include <cstdint>
#include <vector>

namespace gdi_objects_detail {

struct Entry {
    unsigned long long object;
    unsigned int owner;
    unsigned char extType, generation, type, flags;
    unsigned long long user;
};
const int kTableEntries = 0x10000;

template <typename T>
bool readFrom(HANDLE process, uint64_t address, T* out) {
    if (address == 0 || address > static_cast<uintptr_t>(-1)) return false;
    return ReadProcessMemory(process, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), out, sizeof *out,
                             nullptr) != 0;
}

typedef NTSTATUS(WINAPI* QueryProcess)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
typedef NTSTATUS(WINAPI* QueryThread)(HANDLE, THREADINFOCLASS, PVOID, ULONG, PULONG);

template <typename F>
F ntdll(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// A 32-bit process on a 64-bit system may have its table only in its 64-bit PEB (Wine
// keeps it there): reached from a thread's 32-bit TEB, whose GdiBatchCount holds the
// address of the 64-bit TEB, which points to the 64-bit PEB.
inline uint64_t tableFrom64BitPeb(HANDLE process, DWORD pid) {
    struct ThreadBasic {
        NTSTATUS exitStatus;
        PVOID teb;
        CLIENT_ID client;
        KAFFINITY affinity;
        LONG priority, basePriority;
    };
    const QueryThread query = ntdll<QueryThread>("NtQueryInformationThread");
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (!query || snapshot == INVALID_HANDLE_VALUE) return 0;
    uint64_t table = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more && !table; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != pid) continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        ThreadBasic basic = {};
        unsigned int teb64 = 0;
        uint64_t peb64 = 0;
        if (query(thread, static_cast<THREADINFOCLASS>(0), &basic, sizeof basic, nullptr) == 0 &&
            readFrom(process, reinterpret_cast<uintptr_t>(basic.teb) + 0xF70, &teb64) &&
            readFrom(process, teb64 + 0x60ULL, &peb64)) {
            readFrom(process, peb64 + 0xF8, &table);
        }
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return table;
}

}  // namespace gdi_objects_detail

// The used entries of the GDI handle table of `process` (opened with PROCESS_QUERY_INFORMATION
// and PROCESS_VM_READ, or this process), whose id is `pid`; -1 when it cannot be read.
inline long gdiObjectsOf(HANDLE process, DWORD pid) {
    using namespace gdi_objects_detail;
    const QueryProcess query = ntdll<QueryProcess>("NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
    const uintptr_t tableOffset = sizeof(void*) == 8 ? 0xf8 : 0x94;  // PEB.GdiSharedHandleTable
    uintptr_t table = 0;
    readFrom(process, reinterpret_cast<uintptr_t>(basic.PebBaseAddress) + tableOffset, &table);
    uint64_t where = table;
    if (!where && sizeof(void*) == 4) where = tableFrom64BitPeb(process, pid);
    if (!where) return -1;
    std::vector<Entry> entries(kTableEntries);
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(static_cast<uintptr_t>(where)), entries.data(),
                           entries.size() * sizeof(Entry), nullptr)) {
        return -1;
    }
    long used = 0;
    for (const Entry& entry : entries) used += entry.type != 0;
    return used;
}

inline long gdiObjectsOfThisProcess() { return gdiObjectsOf(GetCurrentProcess(), GetCurrentProcessId()); }
