#include "ui/control_ids.h"

#include "ui/coord_button_image.h"
#include "ui/framework/widget_classes.h"
#include "ui/shell_notify_icon.h"

namespace keyrig::ui {
namespace {

constexpr NamedId kControlIds[] = {
    {"_name_start", 65535},
    {"title", 65536},
    {"btn_more", 65537},
    {"btn_min", 65538},
    {"img_keyboard", 65539},
    {"cbx_color_effect", 65540},
    {"tab_color_effect", 65541},
    {"bar_general_speed_0", 65542},
    {"bar_const_brightness_0", 65543},
    {"radio_direction_left_0", 65544},
    {"radio_direction_right_0", 65545},
    {"bar_general_speed_1", 65546},
    {"bar_const_brightness_1", 65547},
    {"bar_const_brightness_2", 65548},
    {"bar_general_speed_3", 65549},
    {"bar_const_brightness_3", 65550},
    {"radio_loader_left_3", 65551},
    {"radio_loader_center_3", 65552},
    {"radio_loader_right_3", 65553},
    {"btn_restore_factory", 65554},
    {"cbx_in_lv", 65555},
    {"version", 65556},
    {"cbx_side_color_effect", 65557},
    {"text_side_brightness", 65558},
    {"bar_side_brightness", 65559},
    {"btnMin", 65560},
    {"btnRestore", 65561},
    {"btnCancel", 65562},
    {"text_recording_keys", 65563},
    {"tab_macro_mode_selection", 65564},
    {"item_up", 65565},
    {"item_down", 65566},
    {"item_delete", 65567},
    {"item_clear", 65568},
    {"groupDel", 65569},
    {"groupAdd", 65570},
    {"groupImport", 65571},
    {"groupExport", 65572},
    {"macro_group", 65573},
    {"group_name", 65574},
    {"key_info", 65575},
    {"col1", 65576},
    {"key_code", 65577},
    {"col2", 65578},
    {"key_name", 65579},
    {"col3", 65580},
    {"key_state", 65581},
    {"col4", 65582},
    {"key_delay", 65583},
    {"edit_macro_repeat_times", 65584},
    {"edit_macro_delay_time", 65585},
    {"chk_macro_realy_delay", 65586},
    {"chk_macro_fixed_delay", 65587},
    {"chk_macro_no_delay", 65588},
    {"chk_macro_record", 65589},
    {"macro_play_mode", 65590},
    {"chk_single_record", 65591},
    {"edit_single_key", 65592},
    {"cmb_media_keys", 65593},
    {"cmb_function_keys", 65594},
    {"btnOK", 65595},
    {"btnDelete", 65596},
    {"msgtitle", 65597},
    {"msgicon", 65598},
    {"msgtext", 65599},
    {"btnSwitch", 65600},
    {"button1st", 65601},
    {"button2nd", 65602},
    {"button3rd", 65603},
};
static_assert(std::size(kControlIds) == 69);

}  // namespace

std::span<const NamedId> ControlIds() {
    return kControlIds;
}

void RegisterWidgetClasses() {
    auto& classes = WidgetClasses::Instance();
    classes.Register("shellnotifyicon", "keyrig::ui::SShellNotifyIcon",
                     [](QWidget* parent) { return new SShellNotifyIcon(parent); });
    classes.Register("cbimg", "keyrig::ui::CoordButtonImage",
                     [](QWidget* parent) { return new CoordButtonImage(parent); });
}

}  // namespace keyrig::ui
