#include "compiler/whole_deflater.h"

#include <libdeflate.h>

#include <limits>
#include <new>

#include "format/layout.h"

namespace zorvak {
namespace {

// libdeflate's highest level.
constexpr int kSmallestLevel = 12;
// Room for the output of a stream up to this size is kept for the next one; the room of a
// larger one is given back.
constexpr size_t kKeptScratch = size_t{1} << 20;

}  // namespace

int streamingLevel(Compression compression) {
  return compression == Compression::kSmallest ? Z_BEST_COMPRESSION : kDeflateLevel;
}

WholeDeflater::WholeDeflater(Compression compression) : compression_(compression) {
  if (compression_ == Compression::kSmallest) {
    smallest_ = libdeflate_alloc_compressor(kSmallestLevel);
    if (smallest_ == nullptr) throw std::bad_alloc();
  }
}

WholeDeflater::~WholeDeflater() {
  if (initialized_) deflateEnd(&stream_);
  if (smallest_ != nullptr) libdeflate_free_compressor(smallest_);
}

Status WholeDeflater::deflateWhole(const uint8_t* data, size_t size, std::vector<uint8_t>* out,
                                   const char* errorMessage) {
  if (size > std::numeric_limits<uInt>::max()) return Status::InputOutput(errorMessage);
  if (smallest_ != nullptr) {
    scratch_.resize(libdeflate_zlib_compress_bound(smallest_, size));
    const size_t written =
        libdeflate_zlib_compress(smallest_, data, size, scratch_.data(), scratch_.size());
    if (written == 0) return Status::InputOutput(errorMessage);
    out->assign(scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(written));
    releaseLargeScratch();
    return Status::Ok();
  }
  const int result = initialized_ ? deflateReset(&stream_) : deflateInit(&stream_, kDeflateLevel);
  // zlib's own allocations fail as every other allocation of a run does.
  if (result == Z_MEM_ERROR) throw std::bad_alloc();
  if (result != Z_OK) return Status::InputOutput(errorMessage);
  initialized_ = true;
  scratch_.resize(deflateBound(&stream_, static_cast<uLong>(size)));
  stream_.next_in = const_cast<Bytef*>(data);
  stream_.avail_in = static_cast<uInt>(size);
  stream_.next_out = scratch_.data();
  stream_.avail_out = static_cast<uInt>(scratch_.size());
  // The bound leaves room for the whole stream, so one call ends it.
  if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) return Status::InputOutput(errorMessage);
  out->assign(scratch_.begin(),
              scratch_.begin() + static_cast<std::ptrdiff_t>(scratch_.size() - stream_.avail_out));
  releaseLargeScratch();
  return Status::Ok();
}

void WholeDeflater::releaseLargeScratch() {
  if (scratch_.capacity() > kKeptScratch) scratch_ = std::vector<uint8_t>();
}

}  // namespace zorvak
