// plenvo-ctl: the unit from scripts and other programs, through the running
// panel when there is one, else on a line of its own.

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cstdio>
#include <memory>

#include "devices/single_instance.h"
#include "control/preset.h"
#include "control/status.h"
#include "control/text.h"
#include "ctl/ctl_options.h"
#include "ctl/direct_unit.h"
#include "ctl/panel_unit.h"
#include "ctl/ports.h"

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

int status(UnitAccess& unit, bool json)
{
    const StateRead read = unit.read_state(false);
    if (!read.error.empty())
        return fail(read.error);
    return say(stdout, json ? control::status_json(read.state) : control::status_text(read.state), 0);
}

int save(UnitAccess& unit, const QString& path)
{
    const StateRead read = unit.read_state(false);
    if (!read.error.empty())
        return fail(read.error);
    QSaveFile file(path);
    const std::string text = control::format_preset(read.state);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), qint64(text.size())) != qint64(text.size()) ||
        !file.commit())
        return fail(file_error(path, file.errorString()), kBadInput);
    return 0;
}

int load(UnitAccess& unit, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file_error(path, file.errorString()), kBadInput);
    const QByteArray text = file.readAll();
    const control::PresetRead preset = control::parse_preset({text.constData(), size_t(text.size())});
    if (!preset.errors.empty()) {
        for (const std::string& error : preset.errors)
            fail(file_error(path, QString::fromStdString(error)));
        return kBadInput;
    }
    const StateRead read = unit.read_state(true);
    if (!read.error.empty())
        return fail(read.error);
    const control::LoadPlan plan = control::plan_load(preset.preset, read.state);
    if (!plan.error.empty())
        return fail(file_error(path, QString::fromStdString(plan.error)), kBadInput);
    if (!plan.held_back.empty())
        fail("the power stays off, so these are left as they are: " +
             control::joined(plan.held_back, ", ", [](const control::Setting* s) { return s->name; }));
    if (const std::string error = unit.apply(plan.steps); !error.empty())
        return fail(error);
    return 0;
}

int run(UnitAccess& unit, const Options& options)
{
    switch (options.command) {
    case Command::Status: return status(unit, options.json);
    case Command::Set:
        if (const std::string error = unit.apply(options.settings); !error.empty())
            return fail(error);
        return 0;
    case Command::Watch: return fail(unit.watch(options.json));
    case Command::Save: return save(unit, options.file);
    case Command::Load: return load(unit, options.file);
    case Command::Ports: break;
    }
    return 0;
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

    // Without a line named here the running panel, which owns the line,
    // carries out the command.
    const QString panel_socket = control_socket_path(QCoreApplication::applicationDirPath());
    PanelClient client;
    const bool panel_runs = client.connect_to(panel_socket);
    if (panel_runs && !options.port && !options.com) {
        PanelUnit panel(client);
        return run(panel, options);
    }
    DirectUnit direct(options.port.value_or(configured_device(options.com.value_or(1))));
    if (const std::string error = direct.open(); !error.empty())
        return fail(error + (panel_runs ? " (the panel runs: without --port and --com the command goes through it)" : ""));
    return run(direct, options);
}
