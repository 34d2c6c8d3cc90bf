// The program file loads its library and runs it, and links nothing else.
// Qt and the program's own libraries come with that library, outside the
// loader's global scope: each symbol that the windows' module and Qt's GUI
// libraries look up at start-up is then found without first asking some
// forty libraries, none of which defines it.

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/entry.h"

namespace {

// The library from the first of the folders that the loader searches for
// this program's own libraries (its run path, $ORIGIN filled in). Asked of
// the loader rather than left to dlopen, whose search follows the caller:
// under a sanitizer that is the sanitizer's library, not this program.
void* load_app_library()
{
    void* program = ::dlopen(nullptr, RTLD_NOW);
    Dl_serinfo size{};
    if (!program || ::dlinfo(program, RTLD_DI_SERINFOSIZE, &size) != 0)
        return nullptr;
    const std::unique_ptr<Dl_serinfo, decltype(&std::free)> folders(
        static_cast<Dl_serinfo*>(std::malloc(size.dls_size)), &std::free);
    if (!folders)
        return nullptr;
    *folders = size;
    if (::dlinfo(program, RTLD_DI_SERINFO, folders.get()) != 0)
        return nullptr;
    for (unsigned i = 0; i < folders->dls_cnt; ++i) {
        const std::string path = std::string(folders->dls_serpath[i].dls_name) + "/" + PLENVO_APP_LIBRARY;
        if (::access(path.c_str(), F_OK) == 0)
            return ::dlopen(path.c_str(), RTLD_NOW);
    }
    return ::dlopen(PLENVO_APP_LIBRARY, RTLD_NOW);
}

}  // namespace

int main(int argc, char** argv)
{
    void* library = load_app_library();
    const auto run = library ? reinterpret_cast<plenvo::MainEntry>(::dlsym(library, plenvo::kMainName)) : nullptr;
    if (!run) {
        std::fprintf(stderr, "plenvo: cannot start: %s\n", ::dlerror());
        return 2;
    }
    return run(argc, argv);
}
