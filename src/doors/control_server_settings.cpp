// A setting asked for by a client, carried out by the unit model under the
// panel's rules; the windows show it as they show a click.

#include <QPointer>

#include "doors/control_server.h"
#include "windows/frm_main.h"
#include "base/platform.h"

namespace plenvo {

std::string ControlServer::line_trouble() const
{
    return frm_.model().line_trouble().toStdString();
}

// What the panel's own rules say against the setting now, as the user would
// find it: port buttons that cannot work, windows dark with the power off, a
// bypass button disabled.
std::string ControlServer::refusal(const control::Assignment& assignment) const
{
    return frm_.model().refusal(assignment.setting->command, assignment.value).toStdString();
}

// The job learns once whether the unit holds the setting: it answered it,
// or, for a level, reported it.
void ControlServer::apply(Job& job, const control::Assignment& assignment)
{
    frm_.model().set(assignment.setting->command, assignment.value, Door::Control,
                     [outcome = job.outcome, self = QPointer<ControlServer>(this)](const Outcome& result) {
                         *outcome = result.ok() ? std::string() : result.reason.toStdString();
                         if (self)
                             self->timJobs_->set_enabled(true);
                     });
}

}  // namespace plenvo
