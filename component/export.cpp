// The component's one export.
#include "helpers/client.h"

#ifdef _WIN32
#define AMBREL_EXPORT __declspec(dllexport)
#else
#define AMBREL_EXPORT
#endif

extern "C" AMBREL_EXPORT velmora_client* velmora_get_interface(host_api* api, void* /*module*/) {
    return ambrel::attach_host(api);
}
