// The chooser of the devices behind the ports: what its menu offers, the
// network device dialog, and a choice opening its port the way the port's
// button does. (The logo and Ctrl+P opening it: tests/e2e/devices_test.py.)

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>

#include "windows/phone_link_dialog.h"
#include "windows/port_menu.h"
#include "devices/port_devices.h"
#include "support/panel_fixture.h"

namespace plenvo::testing {
namespace {

constexpr const char* kFtdi = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0";

class PortMenuTest : public PanelTest {
protected:
    PortMenuTest()
    {
        serial.openable = {1, 2};
        serial.device_of = [this](int port) { return devices.device(port); };
    }

    // The entries of a port's menu of the menu opened last: "[x] " before
    // a checked one, "[ ] " before one that can be checked, "(off) " before
    // one that cannot be chosen, "--" for a separator.
    QStringList entries(int port) const
    {
        QStringList texts;
        for (const QAction* action : port_entries(port)) {
            QString text = action->isSeparator() ? QStringLiteral("--") : action->text();
            if (action->isCheckable())
                text.prepend(action->isChecked() ? "[x] " : "[ ] ");
            if (!action->isEnabled())
                text.prepend("(off) ");
            texts << text;
        }
        return texts;
    }

    QList<QAction*> port_entries(int port) const
    {
        return port_menu.menu()->actions().at(port - 1)->menu<QMenu*>()->actions();
    }

    // Chooses the entry of a port's menu whose text starts so.
    void pick(int port, const QString& text)
    {
        for (QAction* action : port_entries(port))
            if (action->text().startsWith(text)) {
                action->trigger();
                return;
            }
        ADD_FAILURE() << "no entry " << text.toStdString();
    }

    bool menu_shown() const { return port_menu.menu() && port_menu.menu()->isVisible(); }

    // The device kept for the port, as the next run reads it.
    std::optional<QString> kept(int port) const
    {
        return PortDevices(folder.filePath(kDevicesFileName)).chosen(port);
    }

    std::vector<SerialDevice> machine{
        {kFtdi, "/dev/ttyUSB0", "FT232R USB UART, FTDI", true},
        {"/dev/ttyACM0", "/dev/ttyACM0", "Uno & Mega", true},
        {"/dev/ttyS0", "/dev/ttyS0", QString(), false},
    };
    PortDevices devices{folder.filePath(kDevicesFileName), [this] { return machine; }};
    PortMenu port_menu{*frm, devices};
};

TEST_F(PortMenuTest, EachPortListsTheDevicesFoundWithItsOwnCheckedAndANetworkDevice)
{
    ASSERT_FALSE(devices.choose(2, "socket://rack7.example:4999"));
    start();
    port_menu.popup();
    ASSERT_TRUE(menu_shown());
    ASSERT_EQ(port_menu.menu()->actions().size(), 2);

    const QString ftdi = QStringLiteral("FT232R USB UART, FTDI (ttyUSB0) — ") + kFtdi;
    EXPECT_EQ(entries(1), QStringList({"[x] " + ftdi, "[ ] Uno && Mega — /dev/ttyACM0", "[ ] /dev/ttyS0", "--",
                                       "&Network device…"}))
        << "port 1 stands for the first adapter until chosen";
    EXPECT_EQ(entries(2), QStringList({"[x] socket://rack7.example:4999", "[ ] " + ftdi,
                                       "[ ] Uno && Mega — /dev/ttyACM0", "[ ] /dev/ttyS0", "--",
                                       "&Network device…"}));

    // A device chosen by its system name is the one found under its
    // stable name.
    port_menu.menu()->close();
    ASSERT_FALSE(devices.choose(2, "/dev/ttyUSB0"));
    machine.clear();
    port_menu.popup();
    EXPECT_EQ(entries(2).first(), "[x] /dev/ttyUSB0") << "an unplugged device stays the port's own";
    EXPECT_TRUE(entries(2).contains("(off) No serial device found"));
    port_menu.menu()->close();
    machine = {{kFtdi, "/dev/ttyUSB0", "FT232R USB UART, FTDI", true}};
    port_menu.popup();
    EXPECT_EQ(entries(2), QStringList({"[x] " + ftdi, "--", "&Network device…"}));
}

TEST_F(PortMenuTest, AChoiceIsKeptAndOpensItsPortAsItsButtonDoes)
{
    start();
    ASSERT_EQ(serial.opened_device, kFtdi);
    port_menu.popup();
    forget_sent();
    pick(2, "/dev/ttyS0");
    EXPECT_EQ(kept(2), "/dev/ttyS0");
    platform.run_for(200);
    EXPECT_EQ(serial.comm_port, 2);
    EXPECT_EQ(serial.opened_device, "/dev/ttyS0");
    EXPECT_EQ(state.com_port, 2);
    EXPECT_EQ(picture(19), "com1_off");
    EXPECT_EQ(picture(20), "com2_on");
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"AL 0"}) << "the unit is asked for its state";
}

TEST_F(PortMenuTest, AChoiceMadeWhileAPressWaitsOpensThePortOnceThePressIsDone)
{
    start();
    report('P', 'W', 1);
    serial.on_frame = nullptr;  // the unit answers nothing from now on
    uint64_t opened_at = 0;
    serial.device_of = [&](int port) {
        opened_at = platform.now();
        return devices.device(port);
    };
    std::vector<QString> messages;
    QObject::connect(&model, &UnitModel::message, [&](const QString& text) { messages.push_back(text); });
    const uint64_t pressed_at = platform.now();
    platform.after(300, [&] { port_menu.choose(2, "/dev/ttyACM0"); });
    press(1);  // CV, which waits a second for its answer in vain
    platform.run_for(100);
    EXPECT_EQ(messages, (std::vector<QString>{kTxFail, ""})) << "the command failed, then the port opened";
    EXPECT_EQ(serial.opened_device, "/dev/ttyACM0");
    EXPECT_GE(opened_at - pressed_at, 1000u) << "not before the command has waited its second";
    EXPECT_EQ(picture(20), "com2_on");
}

TEST_F(PortMenuTest, TheNetworkDeviceDialogStartsFromTheNetworkLineAndItsPortOpensOnTheOneMade)
{
    ASSERT_FALSE(devices.choose(1, "rfc2217://[fd00::7]:4001"));
    start();
    port_menu.popup();
    pick(1, "&Network device");
    NetworkDeviceDialog* dialog = port_menu.dialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->host()->text(), "fd00::7");
    EXPECT_EQ(dialog->tcp_port()->value(), 4001);
    EXPECT_EQ(dialog->kind()->currentIndex(), 1);
    EXPECT_TRUE(dialog->ok()->isEnabled());

    for (const char* host : {"", "rack 7", "socket://rack7"}) {
        dialog->host()->setText(host);
        EXPECT_FALSE(dialog->ok()->isEnabled()) << "no device with the host '" << host << "'";
    }
    dialog->host()->setText("rack7.example");
    dialog->kind()->setCurrentIndex(0);
    dialog->tcp_port()->setValue(4999);
    EXPECT_EQ(dialog->device(), "socket://rack7.example:4999");
    dialog->ok()->click();
    platform.run_for(100);
    EXPECT_EQ(serial.comm_port, 1);
    EXPECT_EQ(serial.opened_device, "socket://rack7.example:4999");
    EXPECT_EQ(kept(1), "socket://rack7.example:4999");
}

TEST_F(PortMenuTest, WithThePageServedTheMenuEndsInItsLinkAsACode)
{
    start();
    port_menu.set_phone_link([] { return QStringLiteral("http://192.0.2.7:8080/?token=abc"); });
    port_menu.popup();
    ASSERT_TRUE(menu_shown());
    const QList<QAction*> actions = port_menu.menu()->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_TRUE(actions[2]->isSeparator());
    actions[3]->trigger();
    auto* dialog = frm->findChild<PhoneLinkDialog*>();
    ASSERT_NE(dialog, nullptr);
    const QImage code = dialog->code()->pixmap().toImage();
    // A code of 29 modules or more, its quiet zone light and the top left
    // finder pattern's corner dark.
    ASSERT_GE(code.width(), (29 + 8) * 6);
    EXPECT_EQ(code.width(), code.height());
    EXPECT_EQ(code.pixelColor(3, 3), QColor(Qt::white));
    EXPECT_EQ(code.pixelColor(4 * 6 + 3, 4 * 6 + 3), QColor(Qt::black));
    const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
    EXPECT_TRUE(std::ranges::any_of(labels, [](const QLabel* l) { return l->text().endsWith("?token=abc"); }));
    dialog->close();
}

}  // namespace
}  // namespace plenvo::testing
