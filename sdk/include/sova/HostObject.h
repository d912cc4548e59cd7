// SPDX-License-Identifier: MIT
// Base of every host object the plug-in calls. The plug-in calls host operations by their
// position in the table of virtual operations, so every class here lists its operations in
// slot order, fills unused positions with Reserved placeholders, and declares no virtual
// destructor (it would take two slots on this ABI). Position 0 is never called.
#pragma once

namespace sova::sdk {
struct HostObject {
    virtual void Reserved0() {} // position 0: never called by the plug-in
protected:
    ~HostObject() = default;    // the host owns and destroys its objects, never through these bases
};
} // namespace sova::sdk
