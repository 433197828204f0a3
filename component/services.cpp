// Every service factory of the component, in creation order. Each factory puts itself at the head
// of the list at static initialisation, so the host sees them in reverse. C++ orders static
// initialisation only within one file, which is why all of them are defined here.
#include "component/identity.h"
#include "component/input_ambrel.h"
#include "sample/capture/capture.h"
#include "sample/commands/context_commands.h"
#include "sample/commands/main_commands.h"
#include "sample/dsp/dsp_sample.h"
#include "sample/preferences/preferences.h"
#include "sample/rating/rating_services.h"
#include "sample/rating/rating_store.h"
#include "sample/ui/ui_elements.h"

namespace ambrel {
namespace {

contextmenu_group_popup_factory context_group_factory(guid_context_group, contextmenu_groups_root, context_group_name,
                                                      context_group_priority);
service_factory_single_t<myitem> context_items_factory;
service_factory_single_t<dsp_sample_entry> dsp_entry_factory;
service_factory_single_t<ambrel_initquit> initquit_factory;
service_factory_single_t<input_ambrel_entry> input_entry_factory;
service_factory_single_t<input_file_type_impl> input_file_type_factory;
service_factory_single_t<componentversion_myimpl> componentversion_factory;
service_factory_single_t<component_installation_validator_filename> installation_validator_factory;
mainmenu_group_popup_factory main_group_factory(guid_main_group, mainmenu_groups_tools, main_menu_priority,
                                                main_group_name);
service_factory_single_t<mainmenu_commands_sample> main_commands_factory;
service_factory_single_t<mainmenu_sample_dynamic> main_dynamic_factory;
service_factory_single_t<initquit_psc> capture_initquit_factory;
service_factory_single_t<play_callback_psc> capture_play_callback_factory;

}  // namespace

cfg_int_t<uint32_t> cfg_bogo_setting_1(guid_cfg_bogo_setting_1, default_cfg_bogo_setting_1);
cfg_int_t<uint32_t> cfg_bogo_setting_2(guid_cfg_bogo_setting_2, default_cfg_bogo_setting_2);
config_value_t<uint8_t> cfg_loop_modules(guid_cfg_loop_modules, default_loop_modules ? 1 : 0);

namespace {

service_factory_single_t<advconfig_branch_sample> advconfig_branch_factory;
service_factory_single_t<advconfig_bogo_setting_3> advconfig_bogo_setting_3_factory;
service_factory_single_t<advconfig_loop_modules> advconfig_loop_modules_factory;
service_factory_single_t<preferences_page_myimpl> preferences_page_factory;
service_factory_single_t<init_stage_callback_impl> rating_init_stage_factory;
service_factory_single_t<initquit_impl> rating_initquit_factory;
service_factory_single_t<metadb_display_field_provider_impl> rating_fields_factory;
service_factory_single_t<contextmenu_rating> rating_context_factory;
service_factory_single_t<mainmenu_rating> rating_main_factory;
service_factory_single_t<track_property_provider_impl> rating_properties_factory;
service_factory_single_t<ui_element_myimpl> sample_element_factory;
service_factory_single_t<ui_element_dialog_myimpl> dialog_element_factory;

}  // namespace
}  // namespace ambrel
