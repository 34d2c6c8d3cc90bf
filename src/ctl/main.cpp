// plenvo-ctl: the unit from scripts and other programs, through the running
// panel when there is one, else on a line of its own.

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QTimer>

#include <cstdio>
#include <unistd.h>
#include <functional>
#include <memory>

#include "base/qt_platform.h"
#include "devices/single_instance.h"
#include "lines/network_line.h"
#include "lines/qt_serial_control.h"
#include "control/preset.h"
#include "control/status.h"
#include "control/text.h"
#include "ctl/ctl_options.h"
#include "ctl/direct_unit.h"
#include "ctl/panel_unit.h"
#include "ctl/ports.h"
#include "ctl/qr_text.h"
#include "devices/access_token.h"

namespace {

using namespace plenvo;
using namespace plenvo::ctl;

constexpr int kUnanswered = 1;
constexpr int kBadInput = 2;

int say(std::FILE* stream, const std::string& text, int status)
{
    std::fputs(text.c_str(), stream);
    if (!text.empty() && text.back() != '\n')
        std::fputc('\n', stream);
    return status;
}

int fail(const std::string& why, int status = kUnanswered)
{
    return say(stderr, "plenvo-ctl: " + why, status);
}

std::string file_error(const QString& file, const QString& why)
{
    return (file + QStringLiteral(": ") + why).toStdString();
}

using Finish = std::function<void(int status)>;

void status(UnitAccess& unit, bool json, const Finish& finish)
{
    unit.read_state(false, [json, finish](const StateRead& read) {
        if (!read.error.empty())
            finish(fail(read.error));
        else
            finish(say(stdout, json ? control::status_json(read.state) : control::status_text(read.state), 0));
    });
}

void save(UnitAccess& unit, const QString& path, const Finish& finish)
{
    unit.read_state(false, [path, finish](const StateRead& read) {
        if (!read.error.empty()) {
            finish(fail(read.error));
            return;
        }
        QSaveFile file(path);
        const std::string text = control::format_preset(read.state);
        if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), qint64(text.size())) != qint64(text.size()) ||
            !file.commit()) {
            finish(fail(file_error(path, file.errorString()), kBadInput));
            return;
        }
        finish(0);
    });
}

void load(UnitAccess& unit, const QString& path, const Finish& finish)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        finish(fail(file_error(path, file.errorString()), kBadInput));
        return;
    }
    const QByteArray text = file.readAll();
    const control::PresetRead preset = control::parse_preset({text.constData(), size_t(text.size())});
    if (!preset.errors.empty()) {
        for (const std::string& error : preset.errors)
            fail(file_error(path, QString::fromStdString(error)));
        finish(kBadInput);
        return;
    }
    unit.read_state(true, [&unit, path, preset = preset.preset, finish](const StateRead& read) {
        if (!read.error.empty()) {
            finish(fail(read.error));
            return;
        }
        const control::LoadPlan plan = control::plan_load(preset, read.state);
        if (!plan.error.empty()) {
            finish(fail(file_error(path, QString::fromStdString(plan.error)), kBadInput));
            return;
        }
        if (!plan.held_back.empty())
            fail("the power stays off, so these are left as they are: " +
                 control::joined(plan.held_back, ", ", [](const control::Setting* s) { return s->name; }));
        unit.apply(plan.steps, [finish](const std::string& error) { finish(error.empty() ? 0 : fail(error)); });
    });
}

void run(UnitAccess& unit, const Options& options, const Finish& finish)
{
    switch (options.command) {
    case Command::Status: status(unit, options.json, finish); return;
    case Command::Set:
        unit.apply(options.settings, [finish](const std::string& error) { finish(error.empty() ? 0 : fail(error)); });
        return;
    case Command::Watch: unit.watch(options.json, [finish](const std::string& error) { finish(fail(error)); }); return;
    case Command::Save: save(unit, options.file, finish); return;
    case Command::Load: load(unit, options.file, finish); return;
    case Command::Ports:
    case Command::WebUrl: break;
    }
    finish(0);
}

// The running panel's page link; with a new token first, which the panel
// takes up at once, ending the sessions of the old one.
int web_url(bool new_token)
{
    const QString program_dir = QCoreApplication::applicationDirPath();
    if (new_token) {
        QString error;
        if (AccessToken::for_program(program_dir).renew(error).isEmpty())
            return fail(error.toStdString());
    }
    PanelClient client;
    if (!client.connect_to(control_socket_path(program_dir)))
        return fail(new_token ? "a new token is kept; the panel does not run, so there is no link"
                              : "the panel does not run, so there is no link");
    const std::optional<std::string> answer = client.ask("web", 2000);
    if (!answer)
        return fail("the panel did not answer");
    if (!answer->starts_with("ok "))
        return fail(answer->substr(answer->find(' ') + 1));
    const std::string link = answer->substr(3);
    if (isatty(fileno(stdout)))
        say(stdout, qr_text(link), 0);
    return say(stdout, link, 0);
}

// Runs the command from the program's event loop, which ends with its
// status.
int run_to_the_end(UnitAccess& unit, const Options& options)
{
    QTimer::singleShot(0, QCoreApplication::instance(), [&unit, &options] {
        run(unit, options, [](int status) { QCoreApplication::exit(status); });
    });
    return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const Options options = parse_arguments(QCoreApplication::arguments());
    if (options.exit_status)
        return say(*options.exit_status == 0 ? stdout : stderr, options.output.toStdString(), *options.exit_status);
    if (options.command == Command::Ports)
        return say(stdout, ports_text().toStdString(), 0);

    if (options.command == Command::WebUrl)
        return web_url(options.new_token);

    // Without a line named here the running panel, which owns the line,
    // carries out the command.
    const QString panel_socket = control_socket_path(QCoreApplication::applicationDirPath());
    PanelClient client;
    const bool panel_runs = client.connect_to(panel_socket);
    if (panel_runs && !options.port && !options.com) {
        PanelUnit panel(client);
        return run_to_the_end(panel, options);
    }
    const QString device = options.port.value_or(configured_device(options.com.value_or(1)));
    QtPlatform platform;
    QtSerialControl serial([device](int) { return device; }, make_network_line);
    DirectUnit direct(platform, serial, device);
    if (const std::string error = direct.open(); !error.empty())
        return fail(error + (panel_runs ? " (the panel runs: without --port and --com the command goes through it)" : ""));
    return run_to_the_end(direct, options);
}
