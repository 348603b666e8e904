// Pieces shared by the stand-in host's modules.
#pragma once

#include <kepimport/host_module.h>

namespace simhost {

HostModule& ImageModule();
HostModule& MemblockModule();
HostModule& ObjectModule();

void ResetMemblocks();
void ResetImages();
void ResetObjects();

} // namespace simhost
