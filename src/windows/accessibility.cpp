#include "windows/accessibility.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <climits>

#include "windows/skin_widgets.h"

namespace plenvo {

namespace {

using layout::Role;

// A port's picture tells how its opening went.
struct PortState {
    const char* suffix;
    const char* words;
};

constexpr PortState kPortStates[] = {{"_on", "on"}, {"_off", "off"}, {"_err", "error"}};

QString port_state(QByteArrayView picture)
{
    for (const PortState& state : kPortStates)
        if (picture.endsWith(state.suffix))
            return QString::fromLatin1(state.words);
    return QString();
}

QAccessible::Role accessible_role(Role role)
{
    switch (role) {
    case Role::Button: return QAccessible::Button;
    case Role::Switch: return QAccessible::CheckBox;
    case Role::Choice:
    case Role::Port: return QAccessible::RadioButton;
    }
    return QAccessible::Button;
}

class SkinButtonAccessible final : public QAccessibleWidget {
public:
    explicit SkinButtonAccessible(SkinButton* button) : QAccessibleWidget(button) {}

    // The role is read each time: the window names its buttons after
    // building them.
    QAccessible::Role role() const override { return accessible_role(button().role()); }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        if (button().role() != Role::Button) {
            state.checkable = true;
            state.checked = button().lit();
        }
        return state;
    }

    // Without this the tooltip, which repeats the name, would be read as
    // the description.
    QString text(QAccessible::Text text) const override
    {
        if (text != QAccessible::Description)
            return QAccessibleWidget::text(text);
        return button().role() == Role::Port ? port_state(button().picture_name()) : QString();
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (button().isEnabled())
            names.prepend(pressAction());
        return names;
    }

    // The press runs from the event loop, as a click's does, not inside
    // the screen reader's request.
    void doAction(const QString& name) override
    {
        if (name != pressAction()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        SkinButton* target = &button();
        QMetaObject::invokeMethod(target, [target] { target->press(); }, Qt::QueuedConnection);
    }

private:
    SkinButton& button() const { return *static_cast<SkinButton*>(widget()); }
};

QAccessibleInterface* skin_accessible(const QString&, QObject* object)
{
    if (auto* button = qobject_cast<SkinButton*>(object))
        return new SkinButtonAccessible(button);
    if (auto* window = qobject_cast<SkinWindow*>(object))
        return new QAccessibleWidget(window, QAccessible::Window);
    return nullptr;
}

void announce(QAccessibleEvent&& event)
{
    QAccessible::updateAccessibility(&event);
}

struct SliderKey {
    int key;
    QAbstractSlider::SliderAction action;
};

constexpr SliderKey kSliderKeys[] = {
    {Qt::Key_Left, QAbstractSlider::SliderSingleStepSub},
    {Qt::Key_Down, QAbstractSlider::SliderSingleStepSub},
    {Qt::Key_Right, QAbstractSlider::SliderSingleStepAdd},
    {Qt::Key_Up, QAbstractSlider::SliderSingleStepAdd},
    {Qt::Key_PageDown, QAbstractSlider::SliderPageStepSub},
    {Qt::Key_PageUp, QAbstractSlider::SliderPageStepAdd},
    {Qt::Key_Home, QAbstractSlider::SliderToMinimum},
    {Qt::Key_End, QAbstractSlider::SliderToMaximum},
};

}  // namespace

void paint_focus_mark(QWidget& widget)
{
    if (!widget.hasFocus() || !widget.window()->testAttribute(Qt::WA_KeyboardFocusChange))
        return;
    QPainter painter(&widget);
    const QRect inside = widget.rect().adjusted(1, 1, -1, -1);
    painter.setPen(QPen(Qt::white, 2));
    painter.drawRect(inside);
    painter.setPen(QPen(Qt::black, 2, Qt::DashLine));
    painter.drawRect(inside);
}

void chain_in_reading_order(std::vector<QWidget*> widgets)
{
    std::erase(widgets, nullptr);
    std::ranges::sort(widgets, {}, [](const QWidget* widget) { return std::pair(widget->y(), widget->x()); });
    auto row = widgets.begin();
    int row_end = INT_MIN;
    for (auto it = widgets.begin(); it != widgets.end(); ++it) {
        const int top = (*it)->y();
        const int end = top + (*it)->height();
        if (top < row_end) {
            row_end = std::min(row_end, end);
            continue;
        }
        std::ranges::sort(row, it, {}, &QWidget::x);
        row = it;
        row_end = end;
    }
    std::ranges::sort(row, widgets.end(), {}, &QWidget::x);
    for (size_t i = 1; i < widgets.size(); ++i)
        QWidget::setTabOrder(widgets[i - 1], widgets[i]);
    // Where the window's focus starts.
    if (!widgets.empty())
        widgets.front()->setFocus();
}

void install_skin_accessibility()
{
    QAccessible::installFactory(skin_accessible);
}

void announce_picture_change(SkinButton& button, QByteArrayView before)
{
    if (button.role() == Role::Button || !QAccessible::isActive())
        return;
    if (lit_picture(before) != button.lit()) {
        QAccessible::State changed;
        changed.checked = true;
        announce(QAccessibleStateChangeEvent(&button, changed));
    }
    if (button.role() == Role::Port && port_state(before) != port_state(button.picture_name()))
        announce(QAccessibleEvent(&button, QAccessible::DescriptionChanged));
}

SkinSlider::SkinSlider(QWidget* parent) : QScrollBar(Qt::Horizontal, parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void SkinSlider::keyPressEvent(QKeyEvent* event)
{
    const auto* key = std::ranges::find(kSliderKeys, event->key(), &SliderKey::key);
    if (key == std::end(kSliderKeys)) {
        event->ignore();
        return;
    }
    triggerAction(key->action);
}

void SkinSlider::paintEvent(QPaintEvent* event)
{
    QScrollBar::paintEvent(event);
    paint_focus_mark(*this);
}

}  // namespace plenvo
