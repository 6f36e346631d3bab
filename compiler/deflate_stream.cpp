#include "compiler/deflate_stream.h"

#include <new>

#include "format/layout.h"

namespace zorvak {

DeflateStream::DeflateStream(const char* errorMessage, size_t outputArea, int level)
    : errorMessage_(errorMessage),
      level_(level),
      outputArea_(outputArea),
      output_(std::make_unique_for_overwrite<uint8_t[]>(outputArea)) {}

DeflateStream::~DeflateStream() {
  if (initialized_) deflateEnd(&stream_);
}

Status DeflateStream::open() {
  const int result = initialized_ ? deflateReset(&stream_) : deflateInit(&stream_, level_);
  // zlib's own allocations fail as every other allocation of a run does.
  if (result == Z_MEM_ERROR) throw std::bad_alloc();
  if (result != Z_OK) return Status::InputOutput(errorMessage_);
  initialized_ = true;
  open_ = true;
  return Status::Ok();
}

Status DeflateStream::deflateInput(const uint8_t* data, size_t size, int flush, BufferedWriter& out,
                                   uint64_t* produced, bool* ended) {
  *ended = false;
  stream_.next_in = const_cast<Bytef*>(data);
  stream_.avail_in = static_cast<uInt>(size);
  for (;;) {
    stream_.next_out = output_.get();
    stream_.avail_out = static_cast<uInt>(outputArea_);
    const int result = deflate(&stream_, flush);
    const size_t got = outputArea_ - stream_.avail_out;
    if (got > 0) {
      ZORVAK_RETURN_IF_ERROR(out.append(output_.get(), got));
      *produced += got;
    }
    if (result == Z_STREAM_END) {
      open_ = false;
      *ended = true;
      return Status::Ok();
    }
    if (result != Z_OK && result != Z_BUF_ERROR) return Status::InputOutput(errorMessage_);
    // A full output area may hold back more output; otherwise the input is all taken in.
    if (stream_.avail_out != 0) {
      if (flush == Z_FINISH) return Status::InputOutput(errorMessage_);
      return Status::Ok();
    }
  }
}

}  // namespace zorvak
