#include "reader/zlib_source.h"

namespace zorvak {

ZlibSource::ZlibSource(InputReader& input, uint64_t offset) : input_(input), next_(offset) {
  stream_.next_in = piece_;
  stream_.avail_in = 0;
  const int result = inflateInit(&stream_);
  // zlib's own allocations fail as every other allocation of a run does.
  if (result == Z_MEM_ERROR) throw std::bad_alloc();
  if (result == Z_OK) {
    initialised_ = true;
  } else {
    state_ = Outcome::kBroken;
  }
}

ZlibSource::~ZlibSource() {
  if (initialised_) inflateEnd(&stream_);
}

Status ZlibSource::inflateStep(uint8_t* out, size_t* produced, Outcome* outcome) {
  *produced = 0;
  if (state_ != Outcome::kMore) {
    *outcome = state_;
    return Status::Ok();
  }
  if (stream_.avail_in == 0) {
    size_t got = 0;
    ZORVAK_RETURN_IF_ERROR(input_.readAt(next_, piece_, kPieceSize, &got));
    next_ += got;
    stream_.next_in = piece_;
    stream_.avail_in = static_cast<uInt>(got);
  }
  stream_.next_out = out;
  stream_.avail_out = static_cast<uInt>(kOutputSize);
  const int result = inflate(&stream_, Z_SYNC_FLUSH);
  if (result == Z_MEM_ERROR) throw std::bad_alloc();
  if (result == Z_OK) {
    state_ = Outcome::kMore;
  } else if (result == Z_STREAM_END) {
    state_ = Outcome::kEnd;
  } else {
    state_ = Outcome::kBroken;
  }
  if (state_ != Outcome::kBroken) *produced = kOutputSize - stream_.avail_out;
  *outcome = state_;
  return Status::Ok();
}

}  // namespace zorvak
