// Preloaded into the sanitized capture tool: keeps Mesa's DRI driver mapped when EGL
// closes it at eglTerminate. Blocks the driver still points to from its own data would
// otherwise be reported as leaks allocated by "<unknown module>", which no leak
// suppression can name; every other library is closed as usual.
#include <dlfcn.h>
#include <link.h>

#include <cstring>

extern "C" int dlclose(void* handle) {
  using Close = int (*)(void*);
  static Close realClose = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "dlclose"));
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name &&
      std::strstr(map->l_name, "/dri/") && std::strstr(map->l_name, "_dri.so"))
    return 0;  // stays loaded until the process ends
  return realClose(handle);
}
