// SPDX-License-Identifier: MIT
// Everything a host needs to drive a Sova plug-in module.
#pragma once

#include <sova/Handles.h>
#include <sova/HostAudioFormat.h>
#include <sova/HostCloseRequest.h>
#include <sova/HostConformRequest.h>
#include <sova/HostDialogRequest.h>
#include <sova/HostGenericRequests.h>
#include <sova/HostMessageSink.h>
#include <sova/HostOpenRequest.h>
#include <sova/HostReadRequest.h>
#include <sova/HostRegistrar.h>
#include <sova/HostRequest.h>
#include <sova/HostWriteOpenRequest.h>
#include <sova/HostWriteRequest.h>
#include <sova/ResultCodes.h>
#include <sova/SampleFormatCode.h>
#include <sova/Selectors.h>
#include <sova/SovaInterface.h>
#include <sova/Utf16.h>
