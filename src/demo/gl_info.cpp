// The current context's description.
#include "demo/gl_info.h"

#include "base/gl.h"

namespace {

// A glGetString value, or a stand-in when the driver gives none.
const char* glText(GLenum name) {
  const GLubyte* text = glGetString ? glGetString(name) : nullptr;
  return text ? reinterpret_cast<const char*>(text) : "(none)";
}

}  // namespace

const char* glProfileName(int32_t profileMask, int major, int minor) {
  if (major < 3 || (major == 3 && minor < 2)) return "compatibility";
  if (profileMask & GL_CONTEXT_CORE_PROFILE_BIT) return "core";
  if (profileMask & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT) return "compatibility";
  return "unknown";
}

void printGlInfo(FILE* out) {
  GLint mask = 0;
  if (glGetIntegerv && isGlVersionSupported(3, 2)) glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
  glGetError();  // a driver that does not know the query must not fail a later check
  std::fprintf(out, "renderer: %s\n", glText(GL_RENDERER));
  std::fprintf(out, "vendor: %s\n", glText(GL_VENDOR));
  std::fprintf(out, "version: %s\n", glText(GL_VERSION));
  std::fprintf(out, "shading language: %s\n", glText(GL_SHADING_LANGUAGE_VERSION));
  std::fprintf(out, "profile: %s\n", glProfileName(mask, glMajorVersion, glMinorVersion));
  const char* missing = isGlVersionSupported(4, 0) ? findMissingGlEntryPoint() : nullptr;
  if (!isGlVersionSupported(4, 0))
    std::fprintf(out, "plays the show: no (OpenGL 4.0 is not supported)\n");
  else if (missing)
    std::fprintf(out, "plays the show: no (OpenGL function %s is not available)\n", missing);
  else
    std::fprintf(out, "plays the show: yes\n");
}
