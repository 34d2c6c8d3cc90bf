#include "app/entry.h"

#include <QString>
#include <QStringList>

#include <cstdio>

#include "app/broker.h"
#include "app/command_line.h"
#include "app/headless.h"
#include "app/modules.h"
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

// The windowed start, from its module; the module stays loaded until the
// program ends.
int run_windowed(int& argc, char** argv, const plenvo::CommandLine& options)
{
    QString error;
    const auto run = plenvo::module_entry<plenvo::RunWindowed>(QStringLiteral(PLENVO_WINDOWS_MODULE),
                                                               plenvo::kRunWindowedName, "the windows", error);
    if (!run) {
        plenvo::say(error);
        return 2;
    }
    return run(argc, argv, options);
}

}  // namespace

int plenvo::plenvo_main(int argc, char** argv)
{
    // Answer --help, --version and mistakes without needing a display.
    const plenvo::CommandLine options = plenvo::parse_command_line(raw_arguments(argc, argv));
    if (options.exit_status)
        return print_and_exit(options);
    if (options.mqtt.forget)
        return plenvo::forget_on_broker(argc, argv, options);
    return options.headless ? plenvo::run_headless(argc, argv, options) : run_windowed(argc, argv, options);
}
