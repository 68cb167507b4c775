// The environment for the Windows build's tests (the net tests, run under wine). Running
// programs is left to the Linux build's tests.
#include "support/TestSupport.h"

#include <cstdlib>

namespace quillbox::test {

void setEnvironment(const std::string& name, const char* value) {
    _putenv_s(name.c_str(), value ? value : "");
}

}  // namespace quillbox::test
