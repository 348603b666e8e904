#include "host/CLibrary.h"

#include <cstring>

#include "core/calling.h"
#include "core/memory.h"
#include "host/host_functions.h"
#include "host/platform.h"

static_assert(sizeof(void*) == 4, "the host's records and addresses are 32-bit");

namespace {
const char kCoreModuleName[] = "DBProCore.dll";
uint32_t* g_corePointer = nullptr;
} // namespace

CLibrary::CLibrary(const char* fileName) {
    const std::size_t length = std::strlen(fileName);
    m_name = static_cast<char*>(KepAllocate(length + 1, KEP_UNIT_STRING, __LINE__));
    if (m_name) std::memcpy(m_name, fileName, length + 1);
}

CLibrary::~CLibrary() {
    KepRelease(m_name);
    if (m_handle) platform::FreeLibrary(m_handle);
}

void CLibrary::Load() {
    m_handle = platform::LoadLibraryA(m_name ? m_name : kCoreModuleName);
    if (m_handle) return;
    // Fatal path. CloseDisplay and Quit live in the module that just failed to
    // load, so they are called only when the core holder already has it: the
    // fatal path never tries to load the module again.
    const bool coreLoaded = CoreModuleHolder().Handle() != nullptr;
    if (coreLoaded) host::core::CloseDisplay();
    platform::MessageBoxA("This library is required by this program",
                          m_name ? m_name : kCoreModuleName, 0x10);
    if (coreLoaded) host::core::Quit();
    platform::ExitProcess(0);
}

void* CLibrary::GetFunction(const char* lookupName) {
    if (!m_handle) Load();
    return platform::GetProcAddress(m_handle, lookupName);
}

CLibrary& CoreModuleHolder() {
    static CLibrary holder(kCoreModuleName);
    return holder;
}

uint32_t* GetCorePointer() {
    if (g_corePointer) return g_corePointer;
    CLibrary core(kCoreModuleName);
    using GetGlobPtrFn = uint32_t(KEP_CDECL*)();
    auto getGlobPtr =
        reinterpret_cast<GetGlobPtrFn>(core.GetFunction(host::core::kGetGlobPtrLookup));
    const uint32_t address = getGlobPtr ? getGlobPtr() : 0;
    g_corePointer = reinterpret_cast<uint32_t*>(static_cast<uintptr_t>(address));
    if (!g_corePointer) platform::MessageBoxA("Unable to get core pointer", "No Core Pointer", 0);
    return g_corePointer;
}
