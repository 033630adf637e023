#include "RigFrames.h"

#include <turbojpeg.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "TestPattern.h"

namespace vexhal::sim {

namespace {

constexpr int kJpegQuality = 80;
constexpr int kLoopLength = 60;

struct TjHandleDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
struct TjBufferDeleter {
  void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

}  // namespace

std::vector<std::uint8_t> RigFrames::encode(int width, int height,
                                            const PictureSettings& settings) {
  if (width < 2 || height < 2 || width % 2 != 0 || height % 2 != 0) {
    return {};
  }
  YuvPicture picture;
  picture.resize(width, height);
  TestPattern(width, height, kLoopLength).render(settings, 0, picture);

  const std::unique_ptr<void, TjHandleDeleter> handle(tjInitCompress());
  if (!handle) {
    return {};
  }
  const unsigned char* planes[3] = {picture.y.data(), picture.u.data(), picture.v.data()};
  const int strides[3] = {width, width / 2, width / 2};
  unsigned char* raw = nullptr;
  unsigned long size = 0;
  const int status = tjCompressFromYUVPlanes(handle.get(), planes, width, strides, height,
                                             TJSAMP_420, &raw, &size, kJpegQuality, 0);
  const std::unique_ptr<unsigned char, TjBufferDeleter> jpeg(raw);
  if (status != 0 || !jpeg) {
    return {};
  }
  return std::vector<std::uint8_t>(jpeg.get(), jpeg.get() + size);
}

std::vector<std::uint8_t> RigFrames::place(const std::string& folder, int width, int height,
                                           const PictureSettings& settings) {
  std::vector<std::uint8_t> bytes = encode(width, height, settings);
  if (bytes.empty()) {
    return {};
  }
  const std::string name = std::to_string(width) + "x" + std::to_string(height) + ".jpg";
  const std::filesystem::path target = std::filesystem::path(folder) / name;
  std::filesystem::path partial = target;
  partial += ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::fprintf(stderr, "gadget: cannot write %s\n", partial.c_str());
      return {};
    }
  }
  std::error_code error;
  std::filesystem::rename(partial, target, error);
  if (error) {
    std::fprintf(stderr, "gadget: cannot place %s: %s\n", target.c_str(), error.message().c_str());
    std::filesystem::remove(partial, error);
    return {};
  }
  return bytes;
}

}  // namespace vexhal::sim
