#include "dicom/Jpeg2000Frame.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct MemorySource {
  const unsigned char* data;
  size_t size;
  size_t offset;
};

OPJ_SIZE_T readSource(void* buffer, OPJ_SIZE_T count, void* user) {
  auto* source = static_cast<MemorySource*>(user);
  if (source->offset >= source->size) return static_cast<OPJ_SIZE_T>(-1);
  const size_t taken = std::min<size_t>(count, source->size - source->offset);
  std::memcpy(buffer, source->data + source->offset, taken);
  source->offset += taken;
  return taken;
}

OPJ_OFF_T skipSource(OPJ_OFF_T count, void* user) {
  auto* source = static_cast<MemorySource*>(user);
  if (count < 0) {
    if (static_cast<size_t>(-count) > source->offset) return -1;
  } else {
    count = static_cast<OPJ_OFF_T>(std::min<size_t>(count, source->size - source->offset));
  }
  source->offset += count;
  return count;
}

OPJ_BOOL seekSource(OPJ_OFF_T position, void* user) {
  auto* source = static_cast<MemorySource*>(user);
  if (position < 0 || static_cast<size_t>(position) > source->size) return OPJ_FALSE;
  source->offset = static_cast<size_t>(position);
  return OPJ_TRUE;
}

void keepMessage(const char* message, void* user) {
  if (message != nullptr) *static_cast<std::string*>(user) = message;
}

void ignoreMessage(const char*, void*) {}

struct CodecDeleter {
  void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct StreamDeleter {
  void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
struct ImageDeleter {
  void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};

OFCondition failure(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return makeOFCondition(0, 0, OF_error, ("JPEG 2000: " + text).c_str());
}

bool isJp2File(const unsigned char* data, size_t length) {
  static const unsigned char signature[] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50,
                                            0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
  return length >= sizeof signature && std::memcmp(data, signature, sizeof signature) == 0;
}

// The codestream must give exactly the frame the data set describes.
std::string mismatch(const opj_image_t& image, const Jpeg2000FrameLayout& layout) {
  if (image.numcomps != layout.samplesPerPixel) return "component count differs from the image";
  if (image.x1 - image.x0 != layout.columns || image.y1 - image.y0 != layout.rows)
    return "codestream size differs from the image";
  for (OPJ_UINT32 c = 0; c < image.numcomps; ++c) {
    const opj_image_comp_t& component = image.comps[c];
    if (component.dx != 1 || component.dy != 1) return "subsampled components";
    if (component.w != layout.columns || component.h != layout.rows)
      return "component size differs from the image";
    if (component.prec == 0 || component.prec > layout.bitsAllocated)
      return "sample precision exceeds bits allocated";
    if (component.prec != image.comps[0].prec || component.sgnd != image.comps[0].sgnd)
      return "components of different precision";
  }
  return "";
}

void copySamples(const opj_image_t& image, const Jpeg2000FrameLayout& layout,
                 unsigned char* target) {
  const size_t pixels = static_cast<size_t>(layout.rows) * layout.columns;
  const unsigned samples = layout.samplesPerPixel;
  for (unsigned c = 0; c < samples; ++c) {
    const OPJ_INT32* source = image.comps[c].data;
    if (layout.bitsAllocated == 8) {
      for (size_t p = 0; p < pixels; ++p)
        target[p * samples + c] = static_cast<unsigned char>(source[p]);
    } else {
      auto* words = reinterpret_cast<Uint16*>(target);
      for (size_t p = 0; p < pixels; ++p) words[p * samples + c] = static_cast<Uint16>(source[p]);
    }
  }
}

}  // namespace

OFCondition decodeJpeg2000Frame(const unsigned char* data, size_t length,
                                const Jpeg2000FrameLayout& layout, unsigned char* target,
                                Jpeg2000FrameCoding& coding) {
  if (data == nullptr || length == 0) return failure("empty frame");
  if (layout.bitsAllocated != 8 && layout.bitsAllocated != 16)
    return failure("bits allocated must be 8 or 16");

  std::string error;
  std::unique_ptr<opj_codec_t, CodecDeleter> codec(
      opj_create_decompress(isJp2File(data, length) ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
  if (!codec) return failure("cannot create a decoder");
  opj_set_error_handler(codec.get(), keepMessage, &error);
  opj_set_warning_handler(codec.get(), ignoreMessage, nullptr);
  opj_set_info_handler(codec.get(), ignoreMessage, nullptr);
  opj_dparameters_t parameters;
  opj_set_default_decoder_parameters(&parameters);
  if (!opj_setup_decoder(codec.get(), &parameters)) return failure("cannot set up the decoder");
  // A truncated codestream is a damaged image, not a blurred one.
  opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE);

  MemorySource source{data, length, 0};
  std::unique_ptr<opj_stream_t, StreamDeleter> stream(
      opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE));
  if (!stream) return failure("cannot create a stream");
  opj_stream_set_user_data(stream.get(), &source, nullptr);
  opj_stream_set_user_data_length(stream.get(), length);
  opj_stream_set_read_function(stream.get(), readSource);
  opj_stream_set_skip_function(stream.get(), skipSource);
  opj_stream_set_seek_function(stream.get(), seekSource);

  opj_image_t* header = nullptr;
  if (!opj_read_header(stream.get(), codec.get(), &header))
    return failure(error.empty() ? "unreadable codestream header" : error);
  std::unique_ptr<opj_image_t, ImageDeleter> image(header);
  // Checked before decoding, so a codestream cannot make us allocate more than the image.
  const std::string wrong = mismatch(*image, layout);
  if (!wrong.empty()) return failure(wrong);

  if (opj_codestream_info_v2_t* info = opj_get_cstr_info(codec.get())) {
    coding.colourTransform = info->m_default_tile_info.mct != 0 && image->numcomps >= 3;
    coding.irreversible = info->m_default_tile_info.tccp_info != nullptr &&
                          info->m_default_tile_info.tccp_info[0].qmfbid == 0;
    opj_destroy_cstr_info(&info);
  }

  if (!opj_decode(codec.get(), stream.get(), image.get()) ||
      !opj_end_decompress(codec.get(), stream.get())) {
    return failure(error.empty() ? "damaged codestream" : error);
  }
  for (OPJ_UINT32 c = 0; c < image->numcomps; ++c) {
    if (image->comps[c].data == nullptr) return failure("codestream without samples");
  }
  copySamples(*image, layout, target);
  return EC_Normal;
}
