// Every service factory of the component, in creation order. Each factory puts itself at the head
// of the list at static initialisation, so the host sees them in reverse. C++ orders static
// initialisation only within one file, which is why all of them are defined here.
#include "component/identity.h"
#include "component/input_ambrel.h"

namespace ambrel {
namespace {

service_factory_single_t<ambrel_initquit> initquit_factory;
service_factory_single_t<input_ambrel_entry> input_entry_factory;
service_factory_single_t<input_file_type_impl> input_file_type_factory;
service_factory_single_t<componentversion_myimpl> componentversion_factory;
service_factory_single_t<component_installation_validator_filename> installation_validator_factory;

}  // namespace
}  // namespace ambrel
