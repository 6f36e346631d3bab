#include "compiler/section_stream.h"

#include "platform/messages.h"

namespace zorvak {

SectionStream::SectionStream(BufferedWriter& out, uint32_t& finishedStreams)
    : out_(out), finishedStreams_(finishedStreams), stream_(messages::kWriteSections) {}

Status SectionStream::openGroupSection() {
  return stream_.open();
}

Status SectionStream::writeGroupSection(const void* bytes, size_t count, int flush) {
  bool ended = false;
  ZORVAK_RETURN_IF_ERROR(stream_.deflateInput(static_cast<const uint8_t*>(bytes), count, flush,
                                              out_, &sectionBytes_, &ended));
  if (ended) closeGroupSection();
  return Status::Ok();
}

}  // namespace zorvak
