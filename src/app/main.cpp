// The program file loads its library and runs it, and links nothing else.
// Qt and the program's own libraries come with that library, outside the
// loader's global scope: each symbol that the windows' module and Qt's GUI
// libraries look up at start-up is then found without first asking some
// forty libraries, none of which defines it.

#include <dlfcn.h>

#include <cstdio>

#include "app/entry.h"

int main(int argc, char** argv)
{
    void* library = ::dlopen(PLENVO_APP_LIBRARY, RTLD_NOW);
    const auto run = library ? reinterpret_cast<plenvo::MainEntry>(::dlsym(library, plenvo::kMainName)) : nullptr;
    if (!run) {
        std::fprintf(stderr, "plenvo: cannot start: %s\n", ::dlerror());
        return 2;
    }
    return run(argc, argv);
}
