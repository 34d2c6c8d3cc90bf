#pragma once

#include <QPointer>

#include <array>
#include <cstdint>

#include "devices/settings_file.h"
#include "windows/skin_widgets.h"
#include "windows/window_group.h"
#include "base/version.h"
#include "unit/unit_model.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace plenvo {

class FrmAdj;
class FrmVideo;
class Platform;

// The main panel: power, inputs, outputs, the ports, the companion windows'
// buttons and the message line. It shows the unit model and asks it for
// every change; the companions it opens are drawn from here too, so that
// every choice and every report reaches each window in one order. Its
// methods are spread over three files: start-up, shut-down and the message
// line here, the buttons and indicators in frm_main_panel.cpp, the model's
// signals in frm_main_unit.cpp.
class FrmMain final : public SkinWindow {
    Q_OBJECT
public:
    FrmMain(Platform& platform, UnitModel& model, SettingsFile settings);
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
    // A press on a button of the panel.
    void img_btn_MouseDown(int Index);
    void in_on_off(int16_t now_in, bool black_blue);
    void proc_pc_bypass();
    // The companions drawn from the state (on) or disabled (off), while open.
    void adj_on_off(bool on_off);
    void video_on_off(bool on_off);
    // A command a press of the panel's started waits for its outcome: the
    // unit and port buttons take no press meanwhile.
    bool command_waiting() const { return commands_waiting_ > 0; }

    // ---- the message line
    void cmd_clear_Click();
    void set_message(const QString& text);
    QString message() const;

    // ---- parts, for the program, the port menu and tests
    UnitModel& model() const { return model_; }
    WindowGroup& group() { return group_; }
    SkinButton* img_btn(int index) const;
    FrmAdj* frm_adj() const;
    FrmVideo* frm_video() const;
    QLabel* img_logo() const { return img_logo_; }
    QLabel* lab_ver() const { return lab_ver_; }
    QLabel* lab_msg() const { return lab_msg_; }

signals:
    // The window has been unloaded: the program should end.
    void unloaded();
    // The window has been painted for the first time: what the first look
    // does not need can follow.
    void first_painted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Presses, moves and releases on the message line drag the main window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build_design();
    void build_after_first_paint();
    void place_from_settings(const SettingsFile::Values& saved);
    void rescale_positions();
    void unload_main();

    // ---- buttons and indicators
    void power_click();
    void input_click(int code);
    void output_click(int code);
    void ask(const protocol::Command& command, int value);
    void command_done();
    void disable_unit_buttons();
    void enable_unit_buttons();
    void draw_power(bool as_clicked);
    void out_on_off(int16_t code, bool black_blue);
    void toggle_adj();
    void toggle_video();
    void open_adj(bool open);
    void open_video(bool open);
    void com_on_off(int16_t port);
    void minimise();

    // ---- the model's signals
    void show_choice(const protocol::Command& command, Door by);
    void show_report(int code);
    void show_report_on_panel(int Index);
    void show_port_indicator();
    void show_port_failure(int port, const QString& reason);

    UnitModel& model_;
    SettingsFile settings_;
    WindowGroup group_;

    std::array<SkinButton*, 23> img_btn_{};
    QLabel* img_logo_ = nullptr;
    QLabel* lab_ver_ = nullptr;
    QLabel* lab_msg_ = nullptr;
    QWidget* img_form_ = nullptr;
    QPlainTextEdit* txt_msg_ = nullptr;
    QPushButton* cmd_clear_ = nullptr;

    // Open companions; null while closed.
    QPointer<FrmAdj> adj_;
    QPointer<FrmVideo> video_;
    int commands_waiting_ = 0;
    bool form_unloaded_ = false;
    bool first_paint_done_ = false;
};

}  // namespace plenvo
