// An owned handle of a C library, released by the library's own function when its owner goes:
//   CHandle<xmlDoc, xmlFreeDoc> document(xmlReadMemory(...));
#pragma once

#include <memory>

namespace vexa {

template <auto Free>
struct FreeWith {
    template <class T>
    void operator()(T* handle) const noexcept {
        Free(handle);
    }
};

template <class T, auto Free>
using CHandle = std::unique_ptr<T, FreeWith<Free>>;

}  // namespace vexa
