// SPDX-License-Identifier: MIT
// The definition behind DestroyHandleObject. Include it in exactly one source file, where the
// handle classes are complete, and instantiate it there for each of them:
//     template void DestroyHandleObject<MyReader>(MyReader*);
#pragma once

template <class T>
void DestroyHandleObject(T* object) {
    static_assert(sizeof(T) > 0, "the handle's class must be complete where it is destroyed");
    delete object;
}
