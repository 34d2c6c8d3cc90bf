#pragma once

#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "base/platform.h"
#include "devices/settings_file.h"
#include "windows/skin_widgets.h"
#include "base/version.h"
#include "unit/link.h"
#include "unit/unit_model.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace plenvo {

class FrmAdj;
class FrmVideo;
class SerialControl;

// What the application shell keeps besides the device state: the main
// window's saved place, the layout scale and the one drag in progress.
struct ShellState {
    int32_t win_top = 0;
    int32_t win_left = 0;
    float layout_scale = 1.0f;
    bool dragging = false;
    QPoint cursor_pos;
    int32_t drag_off_x = 0;
    int32_t drag_off_y = 0;
};

inline ShellState shell;

// The main panel and the program: it owns the serial line, the two timers
// and the message line, and carries the operations the companion windows
// call. Its methods are spread over the subsystems' folders: start-up,
// shut-down and dragging in app/, the link in link/, the buttons in panel/,
// the companion displays beside their windows.
class FrmMain final : public SkinWindow, private LinkListener {
    Q_OBJECT
public:
    FrmMain(Platform& platform, UnitModel& model, SettingsFile settings);
    // With a model of its own on `serial`.
    FrmMain(Platform& platform, SerialControl& serial, SettingsFile settings);
    ~FrmMain() override;

    // ---- start-up and shut-down
    // Runs the whole start-up; `another_copy_running` is the answer of the
    // single-instance check made before the window was built.
    void Form_Load(bool another_copy_running);
    // Closes the port, saves the place and the port, closes the companions.
    // Runs once, however often the window is asked to close.
    void Form_Unload();
    bool second_instance = false;
    bool is_unloaded() const { return form_unloaded_; }

    // ---- main panel
    void img_btn_MouseDown(int Index, int Button = 1, int Shift = 0, float X = 0, float Y = 0);
    void in_on_off(int16_t now_in, bool black_blue);
    void proc_pc_bypass();
    void adj_on_off(bool on_off);
    void video_on_off(bool on_off);

    // ---- serial link
    // Sends through the link; `result` is left alone when the command is
    // refused or kept for later.
    void tx_cmd(uint8_t cmd1, uint8_t cmd2, int cmd3, bool& result);
    // A choice equal to the stored setting goes out again while the unit
    // has not answered it.
    bool unconfirmed(const protocol::Command& command) const;
    Link& link() { return link_; }
    UnitModel& model() { return model_; }

    // ---- dragging and the message line
    void Form_MouseDown(SkinWindow& window);
    void Form_MouseMove(SkinWindow& window);
    void Form_MouseUp();
    void cmd_clear_Click();
    void set_message(const QString& text);
    QString message() const;

    // Runs a press or slider move of the user's. One that comes in while a
    // report is being shown acts for the user all the same, not as part of
    // the report's redraw.
    template <typename Handler>
    void as_user(Handler&& handler)
    {
        if (!mirroring_) {
            handler();
            return;
        }
        state.user_action = true;
        handler();
        state.user_action = false;
    }

    // Makes presses, moves and releases on the window's surface drag the
    // docked group.
    void attach_drag(SkinWindow& window);
    // Docks a companion against the main window's right or bottom edge.
    void dock_right(SkinWindow& window) const;
    void dock_below(SkinWindow& window) const;

    // ---- parts, for the companion windows and for tests
    SkinButton* img_btn(int index) const;
    FrmAdj* frm_adj() const;
    FrmVideo* frm_video() const;
    Timer& timRx() const { return link_.timRx(); }
    Timer& timTimeOut() const { return link_.timTimeOut(); }
    QLabel* img_logo() const { return img_logo_; }
    QLabel* lab_ver() const { return lab_ver_; }
    QLabel* lab_msg() const { return lab_msg_; }

signals:
    // The window has been unloaded: the program should end.
    void unloaded();
    // A frame from the unit was stored and shown on the windows.
    void frame_applied(const plenvo::protocol::Frame& frame);

protected:
    void closeEvent(QCloseEvent* event) override;
    // Presses, moves and releases on the message line drag the main window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build_design();
    void place_from_settings(const SettingsFile::Values& saved);
    void rescale_positions();
    void start_up_port_opening();
    void start_up_state_request();
    void show_port_indicator();

    void com_on_off(int16_t port);
    void open_port(const std::function<bool()>& open);
    void out_on_off(int16_t code, bool black_blue);
    void mirror_reply(int code);

    // The model's signals, until the windows ask it for every change.
    void follow_model();

    void link_message(const QString& text) override;
    void link_port_changed() override;
    void link_port_failed(int port, const QString& reason) override;
    void link_frame_applied(const protocol::Frame& frame, int code) override;

    void power_click();
    void input_click(int code);
    void output_click(int code);
    template <typename Window>
    void set_companion_open(bool open, bool& open_flag, QPointer<Window>& window, int element, const char* family);
    void toggle_adj();
    void toggle_video();
    void com_click(int16_t port);
    void minimise();
    void unload_main();

    SettingsFile settings_;
    std::unique_ptr<UnitModel> own_model_;
    UnitModel& model_;
    Link& link_;

    std::array<SkinButton*, 23> img_btn_{};
    QLabel* img_logo_ = nullptr;
    QLabel* lab_ver_ = nullptr;
    QLabel* lab_msg_ = nullptr;
    QWidget* img_form_ = nullptr;
    QPlainTextEdit* txt_msg_ = nullptr;
    QPushButton* cmd_clear_ = nullptr;

    QPointer<FrmAdj> adj_;
    QPointer<FrmVideo> video_;
    bool form_unloaded_ = false;
    bool mirroring_ = false;
    bool opening_port_ = false;
};

}  // namespace plenvo
