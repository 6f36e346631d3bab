#include "reader/whole_stream.h"

#include <libdeflate.h>

#include <algorithm>
#include <new>

namespace zorvak {

WholeStream::WholeStream() : decompressor_(libdeflate_alloc_decompressor()) {
  if (decompressor_ == nullptr) throw std::bad_alloc();
}

WholeStream::~WholeStream() {
  libdeflate_free_decompressor(decompressor_);
}

bool WholeStream::inflate(const uint8_t* in, size_t size, size_t limit, size_t* consumed) {
  textSize_ = 0;
  // Text runs to about four times its compressed size; the room doubles until the text fits.
  size_t room = std::min(limit, std::max<size_t>(size_t{64} << 10, 8 * size));
  for (;;) {
    if (capacity_ < room) {
      text_.reset(new uint8_t[room]);
      capacity_ = room;
    }
    size_t out = 0;
    const libdeflate_result result =
        libdeflate_zlib_decompress_ex(decompressor_, in, size, text_.get(), room, consumed, &out);
    if (result == LIBDEFLATE_SUCCESS) {
      textSize_ = out;
      return true;
    }
    if (result != LIBDEFLATE_INSUFFICIENT_SPACE || room >= limit) return false;
    room = std::min(limit, 2 * room);
  }
}

}  // namespace zorvak
