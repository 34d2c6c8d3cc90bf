#include "wire/device_state.h"

namespace plenvo {

void DeviceState::set_start_up_values()
{
    port_ok = false;
    tx_busy = false;

    adj_nr = adj_td = adj_di = adj_as = adj_os = adj_ir = adj_fp = 1;
    power_state = input_source = output_format = bypass_enabled = adj_fr = adj_bl = 0;
    reset_video_settings();
}

void DeviceState::reset_video_settings()
{
    video_br = 31;
    video_co = 58;
    video_sa = 31;
    video_sh = 10;
    video_ti = 31;
    video_vo = 31;
}

}  // namespace plenvo
