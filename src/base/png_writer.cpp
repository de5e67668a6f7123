// PNG writing through libpng.
#include "base/png_writer.h"

#include "base/output_file.h"

#include <png.h>

#include <cstdio>
#include <cerrno>
#include <cstring>

bool writePng(const std::string& path, int width, int height, const uint8_t* rgb, std::string& error,
              PendingOutputs* pending) {
  OutputFile out = planOutput(path, false);
  FILE* file = openOutput(out, error);
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  volatile bool ok = png && info;  // volatile: read again after a longjmp
  // libpng reports failures by longjmp; nothing with a destructor lives in this frame past here.
  if (ok && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
      png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(y) * width * 3));
    png_write_end(png, info);
  } else {
    ok = false;
  }
  int writeErrno = errno;
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (!pending) return finishOutput(out, file, ok, writeErrno, error);
  if (!closeOutput(out, file, ok, writeErrno, error)) return false;
  pending->files.push_back(out);
  return true;
}
