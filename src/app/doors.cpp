#include "app/doors.h"

#include "app/modules.h"
#include "control/status.h"
#include "unit/unit_model.h"

namespace plenvo {

namespace {

template <typename Entry>
Entry network_entry(const char* name, const char* what, QString& error)
{
    return module_entry<Entry>(QStringLiteral(PLENVO_NETWORK_MODULE), name, what, error);
}

}  // namespace

std::unique_ptr<Doors> open_doors(UnitModel& model, const CommandLine& options, const QString& program_dir,
                                  HandoverTaker taker, QStringList& errors)
{
    QString error;
    const auto open = network_entry<decltype(&plenvo_open_doors)>("plenvo_open_doors", "the doors", error);
    if (!open) {
        errors << error;
        return nullptr;
    }
    return std::unique_ptr<Doors>(open(model, options, program_dir, taker, errors));
}

QStringList hand_over(const CommandLine& options, const QString& socket_path, bool raise)
{
    QString error;
    const auto hand = network_entry<decltype(&plenvo_hand_over)>("plenvo_hand_over", "the handover", error);
    if (!hand)
        return {error};
    QStringList failures;
    hand(options, socket_path, raise, failures);
    return failures;
}

QtSerialControl::NetworkLineMaker network_lines()
{
    return [](const QString& device, const LineDevice& address, QString& error) {
        const auto make =
            network_entry<decltype(&plenvo_make_network_line)>("plenvo_make_network_line", "the network line", error);
        return std::unique_ptr<Line>(make ? make(device, address, error) : nullptr);
    };
}

namespace {

// As long as the panel waits for the unit's state at start-up.
constexpr int kStateMs = 1000;

}  // namespace

ServeWhenStateIsIn::ServeWhenStateIsIn(Platform& platform, UnitModel& model) : timer_(platform.make_timer(kStateMs))
{
    timer_->on_tick = [this] { serve(); };
    frames_ = QObject::connect(&model, &UnitModel::frame_applied, [this](const protocol::Frame& frame) {
        if (const control::Setting* setting = control::reported_setting(frame))
            reported_.set(size_t(setting - control::kSettings.data()));
        if (reported_.all())
            serve();
    });
}

ServeWhenStateIsIn::~ServeWhenStateIsIn()
{
    QObject::disconnect(frames_);
}

void ServeWhenStateIsIn::start(bool asked)
{
    if (asked)
        timer_->set_enabled(true);
    else
        serve();
}

void ServeWhenStateIsIn::serve_on(Doors& doors)
{
    doors_ = &doors;
    if (served_)
        doors.start_serving();
}

void ServeWhenStateIsIn::serve()
{
    timer_->set_enabled(false);
    if (std::exchange(served_, true))
        return;
    if (doors_)
        doors_->start_serving();
}

}  // namespace plenvo
