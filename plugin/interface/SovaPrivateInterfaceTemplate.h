// SPDX-License-Identifier: MIT
// The layer between the shared template and a concrete plug-in; it adds only its destructor.
#pragma once

#include "interface/SovaInterfaceTemplate.h"

template <class ReaderT, class WriterT>
class SovaPrivateInterfaceTemplate : public SovaInterfaceTemplate<ReaderT, WriterT> {
public:
    ~SovaPrivateInterfaceTemplate() override = default;
};
