// The slot a virtual member function occupies in its class's table of virtual operations. On
// this ABI (Itanium C++) a pointer to a virtual member function holds the slot's byte offset
// plus one; -1 means the function is not virtual.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace boundarytest {
template <class C, class M>
long SlotOf(M C::*method) {
    struct Representation {
        uintptr_t pointer;
        ptrdiff_t adjustment;
    } representation;
    static_assert(sizeof(method) == sizeof(representation));
    std::memcpy(&representation, &method, sizeof representation);
    if ((representation.pointer & 1) == 0 || representation.adjustment != 0) return -1;
    return static_cast<long>((representation.pointer - 1) / sizeof(void*));
}
} // namespace boundarytest
