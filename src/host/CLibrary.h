// Holder of one host module loaded by file name, and the core pointer: the
// host's global structure, fetched once from "DBProCore.dll".
#pragma once

#include <cstdint>

class CLibrary {
  public:
    explicit CLibrary(const char* fileName);
    ~CLibrary();
    CLibrary(const CLibrary&) = delete;
    CLibrary& operator=(const CLibrary&) = delete;

    // Loads the module, or takes the fatal path (which ends the process).
    void Load();
    void* GetFunction(const char* lookupName);
    void* Handle() const { return m_handle; }

  private:
    void* m_handle = nullptr;
    char* m_name = nullptr;
};

// The process-wide holder of the core module (serves CloseDisplay and Quit).
CLibrary& CoreModuleHolder();

// The host's global structure, or null when the host could not give it.
uint32_t* GetCorePointer();

// Word indices of the host global structure.
enum HostWord : int {
    kStringAllocatorWord = 0,
    kImageModuleWord = 16,
    kMemblockModuleWord = 21,
    kObjectModuleWord = 25,
};
