// The outside host on Linux: the host module contract of <kepimport/host_module.h>.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <kepimport/host_module.h>

#include "outside_host.h"

// A host may define a function named like a command; the plug-in's calls
// between its own commands (Destructor clears through KEP_Clear) must still
// reach its own code, or this would be called forever.
extern "C" __attribute__((visibility("default"))) void KEP_Clear() {
    std::fprintf(stderr, "the host's own KEP_Clear was called\n");
    _exit(4);
}

namespace outside {

void* LoadPlugin(const std::string& path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* PluginExport(void* plugin, const char* name) {
    return plugin ? dlsym(plugin, name) : nullptr;
}

// The library's soname is "DBProCore.dll", so the plug-in's dlopen of that
// bare name finds this already loaded copy.
void* LoadHostCore(const std::string& directory) {
    void* library = dlopen((directory + "/DBProCore.dll").c_str(), RTLD_NOW | RTLD_GLOBAL);
    return library ? dlsym(library, "host_module") : nullptr;
}

void* HostFunction(void* module, const char* lookupName) {
    HostModule* host = static_cast<HostModule*>(module);
    return host && host->resolve ? host->resolve(lookupName) : nullptr;
}

int RunWithoutHost(const std::string& self, const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(self.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        // Without a library search path no DBProCore.dll can be found.
        unsetenv("LD_LIBRARY_PATH");
        unsetenv("LD_PRELOAD");
        execv(self.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

void CaptureMessageBoxes(void*) {}

} // namespace outside
