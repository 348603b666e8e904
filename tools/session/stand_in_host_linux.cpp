#include "stand_in_host.h"

namespace kepsession {

// The program names DBProCore.dll among its libraries and finds it in
// kep-host/ beside itself (its run path is $ORIGIN/kep-host), so it is loaded
// before main.
bool LoadStandInHost(std::string*) {
    return true;
}

} // namespace kepsession
