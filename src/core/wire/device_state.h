#pragma once

#include <cstdint>

namespace plenvo {

// The program's picture of the unit and of the serial link. Settings hold what
// the unit last reported or what a door last chose, stored unchecked
// (0..255 from the wire), so they are wider than any value the panel writes.
struct DeviceState {
    // Link flags and selections.
    int16_t com_port = 0;
    bool port_ok = false;
    bool tx_busy = false;
    bool tx_timeout = false;

    // Unit settings.
    int16_t power_state = 0;
    int16_t input_source = 0;
    int16_t output_format = 0;
    int16_t bypass_enabled = 0;
    int16_t adj_di = 0;
    int16_t adj_as = 0;
    int16_t adj_ir = 0;
    int16_t adj_fp = 0;
    int16_t adj_td = 0;
    int16_t adj_nr = 0;
    int16_t adj_os = 0;
    int16_t adj_bl = 0;
    int16_t adj_fr = 0;
    int16_t video_br = 0;
    int16_t video_co = 0;
    int16_t video_sa = 0;
    int16_t video_sh = 0;
    int16_t video_ti = 0;
    int16_t video_vo = 0;

    // The values the panel assumes before the unit has reported anything.
    // Leaves com_port and tx_timeout alone.
    void set_start_up_values();
    // The six picture settings the unit's reset restores.
    void reset_video_settings();

    bool operator==(const DeviceState&) const = default;
};

}  // namespace plenvo
