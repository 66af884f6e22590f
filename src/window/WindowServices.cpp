#include "window/WindowServices.h"

namespace WindowServices {

Openers& WindowOpeners() {
    static Openers openers;
    return openers;
}

Shell& ShellServices() {
    static Shell shell;
    return shell;
}

}  // namespace WindowServices
