#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <dlfcn.h>

#include "app/broker.h"
#include "app/command_line.h"
#include "app/headless.h"
#include "app/windowed.h"

namespace {

int print_and_exit(const plenvo::CommandLine& options)
{
    const QByteArray text = options.output.toLocal8Bit();
    std::FILE* stream = *options.exit_status == 0 ? stdout : stderr;
    std::fputs(text.constData(), stream);
    if (!text.endsWith('\n'))
        std::fputc('\n', stream);
    return *options.exit_status;
}

QStringList raw_arguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Where the windows' module is looked for: beside the program, then beside
// the program's libraries, where the dynamic loader found them (the build
// tree's lib/, or the private folder of an installed copy). The first that
// exists is taken; when none does, the last, so that the loader says why.
QString windows_module_path()
{
    const QString name = QStringLiteral(PLENVO_WINDOWS_MODULE);
    const QString beside_program = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    QString beside_libraries;
    Dl_info library{};
    if (::dladdr(reinterpret_cast<void*>(&plenvo::run_headless), &library) != 0 && library.dli_fname)
        beside_libraries = QString::fromLocal8Bit(library.dli_fname);
    QString path;
    for (const QString& neighbour : {beside_program, beside_libraries}) {
        if (neighbour.isEmpty())
            continue;
        path = QFileInfo(neighbour).absoluteDir().filePath(name);
        if (QFileInfo::exists(path))
            break;
    }
    return path;
}

// The windowed start, from its module; the module stays loaded until the
// program ends.
int run_windowed(int& argc, char** argv, const plenvo::CommandLine& options)
{
    QLibrary module(windows_module_path());
    const auto run = reinterpret_cast<plenvo::RunWindowed>(module.resolve(plenvo::kRunWindowedName));
    if (!run) {
        std::fprintf(stderr, "plenvo: the windows cannot start: %s\n", qPrintable(module.errorString()));
        return 2;
    }
    return run(argc, argv, options);
}

}  // namespace

int main(int argc, char** argv)
{
    // Answer --help, --version and mistakes without needing a display.
    const plenvo::CommandLine options = plenvo::parse_command_line(raw_arguments(argc, argv));
    if (options.exit_status)
        return print_and_exit(options);
    if (options.mqtt.forget)
        return plenvo::forget_on_broker(argc, argv, options);
    return options.headless ? plenvo::run_headless(argc, argv, options) : run_windowed(argc, argv, options);
}
