#include "automation/guarded.h"

#include <new>
#include <stdexcept>

namespace vexa {

HRESULT CurrentExceptionCode() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace vexa
