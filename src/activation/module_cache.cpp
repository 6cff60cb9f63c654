#include "activation/module_cache.h"

#include <dlfcn.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/c_handle.h"
#include "vexa/activation.h"

namespace vexa::activation {

namespace {

using ModuleHandle = CHandle<void, dlclose>;

std::mutex modulesLock;
// Only ever added to: the modules in it stay loaded for the process's life.
std::map<std::string, GetClassObjectFunction> modules;

}  // namespace

HRESULT ClassObjectFunction(const std::string& modulePath, GetClassObjectFunction& out) {
    const std::lock_guard lock(modulesLock);
    if (const auto found = modules.find(modulePath); found != modules.end()) {
        out = found->second;
        return S_OK;
    }
    // Its own symbols stay private to it, and every one is bound now: a module that cannot
    // resolve a symbol fails here rather than in the middle of a call.
    ModuleHandle handle(dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle) return CO_E_DLLNOTFOUND;
    const auto function = reinterpret_cast<GetClassObjectFunction>(dlsym(handle.get(), "DllGetClassObject"));
    if (!function) return CO_E_DLLNOTFOUND;
    modules.emplace(modulePath, function);
    handle.release();  // kept loaded for the process's life
    out = function;
    return S_OK;
}

}  // namespace vexa::activation
