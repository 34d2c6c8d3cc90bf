#include <QString>
#include <QStringList>

#include <cstdio>

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

}  // namespace

int main(int argc, char** argv)
{
    // Answer --help, --version and mistakes without needing a display.
    const plenvo::CommandLine options = plenvo::parse_command_line(raw_arguments(argc, argv));
    if (options.exit_status)
        return print_and_exit(options);
    if (options.mqtt.forget)
        return plenvo::forget_on_broker(argc, argv, options);
    return options.headless ? plenvo::run_headless(argc, argv, options) : plenvo::run_windowed(argc, argv, options);
}
