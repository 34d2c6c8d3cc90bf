#include "ctl/panel_unit.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

#include "control/request.h"
#include "control/status.h"

namespace plenvo::ctl {

namespace {

constexpr int kAnswerMs = 3000;
// A setting may wait for a command of the user's, then take a second until
// the unit's time-out.
constexpr int kAnswerPerSettingMs = 2500;

constexpr std::string_view kOk = "ok";

}  // namespace

DeviceState state_from_json(std::string_view json, std::string& error)
{
    DeviceState state;
    const QJsonObject object = QJsonDocument::fromJson(QByteArray(json.data(), qsizetype(json.size()))).object();
    for (const control::Setting& setting : control::kSettings) {
        const QJsonValue value = object.value(QLatin1String(setting.name));
        // A word, or a number: a picture setting, or a value without a word.
        const std::optional<int16_t> number =
            value.isDouble() ? std::optional(int16_t(value.toInt()))
            : value.isString() ? control::value_of(setting, value.toString().toStdString())
                               : std::nullopt;
        if (!number) {
            error = std::string("the panel's status lacks ") + setting.name;
            return state;
        }
        control::write(setting, *number, state);
    }
    return state;
}

// The text after "ok " in `answer`; an error when the panel said so or
// said nothing.
std::string PanelUnit::ask(const std::string& command, int timeout_ms, std::string& answer)
{
    const std::optional<std::string> line = client_.ask(command, timeout_ms);
    if (!line)
        return "the running panel did not answer \"" + command + "\"";
    if (std::optional<std::string> reason = control::error_reason(*line))
        return std::move(*reason);
    if (!line->starts_with(kOk))
        return "the running panel answered \"" + *line + "\"";
    answer = line->substr(std::min(line->size(), kOk.size() + 1));
    return {};
}

void PanelUnit::read_state(bool, StateDone done)
{
    StateRead read;
    std::string json;
    read.error = ask("status json", kAnswerMs, json);
    if (read.error.empty())
        read.state = state_from_json(json, read.error);
    done(read);
}

void PanelUnit::apply(std::vector<control::Assignment> settings, Done done)
{
    std::string command = "set";
    for (const control::Assignment& a : settings)
        command += ' ' + control::setting_text(*a.setting, a.value);
    std::string answer;
    done(ask(command, kAnswerMs + int(settings.size()) * kAnswerPerSettingMs, answer));
}

void PanelUnit::watch(bool json, Done ended)
{
    std::string answer;
    if (std::string error = ask(json ? "watch json" : "watch", kAnswerMs, answer); !error.empty()) {
        ended(error);
        return;
    }
    while (const std::optional<std::string> line = client_.next_line(-1)) {
        std::fputs((*line + '\n').c_str(), stdout);
        std::fflush(stdout);
    }
    ended("the running panel has ended");
}

}  // namespace plenvo::ctl
