// SPDX-License-Identifier: MIT
// Start-up binds the codec libraries, libmpg123 first; shut-down releases TwoLAME and the
// module resources. libmpg123 stays bound for the life of the process.
#include "Common/Module/private/win/Module_WIN.h"
#include "codecs/Mpg123Library.h"
#include "codecs/TwoLameLibrary.h"
#include "interface/SovaMp2Interface.h"

int32_t SovaMp2Interface::Startup() {
    if (!sova::Mpg123Library::Bind())
        return sova::sdk::kResultFailed;
    if (!sova::TwoLameLibrary::Bind())
        return sova::sdk::kResultFailed;
    return sova::sdk::kResultOK;
}

int32_t SovaMp2Interface::Shutdown() {
    sova::TwoLameLibrary::UnloadIfLoaded();
    ReleaseModuleResources();
    return sova::sdk::kResultOK;
}
