// Finding the shader files: the chosen folder, the working folder, then the installed copy.
#include "render/shader_folder.h"

namespace {

// Made at its first use, whatever runs before main.
DataFolder& shaderFolder() {
  static DataFolder folder(kShaderFolderName, "--shaders");
  return folder;
}

}  // namespace

std::string locateShaderFile(const char* path) { return shaderFolder().locate(path); }

bool shaderFolderFound() { return shaderFolder().found(); }

bool checkShaderFolder(const char* folder, std::string& error) { return shaderFolder().check(folder, error); }

void useShaderFolder(const std::string& folder) { shaderFolder().use(folder); }

std::string shaderFolderPath() { return shaderFolder().path(); }
