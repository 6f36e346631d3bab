#ifndef ZORVAK_COMPILER_COMPRESSED_OUTPUT_H_
#define ZORVAK_COMPILER_COMPRESSED_OUTPUT_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "compiler/whole_deflater.h"
#include "platform/buffered_writer.h"
#include "platform/status.h"
#include "platform/worker_pool.h"

namespace zorvak {

// Where the compressed streams of a compile go, in the order the group scan makes them: the
// article blocks into the article data of the compiled dictionary, the group sections into the
// section file, and with each section its group's record into the group table. Streams are
// compressed on worker threads while the scan goes on and written in order, so that the bytes
// are the same for any number of threads.
//
// The scan names article blocks by number (0 for the first), as a block's offset, the sum of
// the sizes of the blocks before it, is known only once those are compressed. A section comes
// with block numbers in its entries' article block fields; they are replaced by offsets as soon
// as every block before the highest one it names is written, and only then is the section
// compressed. The streams waiting or being compressed hold a bounded number of bytes; beyond it
// the scan waits for the oldest, so memory does not grow with the dictionary.
//
// A stream too large to be held whole (the block of a very long article, the section of a huge
// group) is deflated by the caller as it goes: beginStreamed...() waits until everything handed
// over before it is written, then the caller writes the stream's bytes to the writer itself and
// reports their number with endStreamed...().
class CompressedOutput {
 public:
  // Bytes of waiting and compressing streams beyond which the scan waits.
  static constexpr size_t kHeldLimit = size_t{8} << 20;

  // `workers` threads compress (none: every stream is compressed when handed over); the scan
  // waits while more than `heldLimit` bytes are held, not counting the largest stream.
  CompressedOutput(size_t workers, Compression compression, BufferedWriter& articleData,
                   BufferedWriter& sections, BufferedWriter& groupTable,
                   size_t heldLimit = kHeldLimit);
  ~CompressedOutput();

  CompressedOutput(const CompressedOutput&) = delete;
  CompressedOutput& operator=(const CompressedOutput&) = delete;

  Compression compression() const { return compression_; }

  // Blocks handed over or streamed so far, which is the number of the block being filled.
  uint64_t blockCount() const { return blocksAdded_; }
  // Hands over the text of the next article block.
  Status addBlock(std::vector<uint8_t> text);
  // For a block that the caller deflates into articleData() itself.
  Status beginStreamedBlock();
  void endStreamedBlock(uint64_t size);
  BufferedWriter& articleData() { return articleData_; }

  // Hands over the entries of the next group's section, block numbers in their article block
  // fields; `lastBlock` is the highest number named, kNone when no entry has an article.
  Status addSection(uint32_t key, uint32_t entryCount, std::vector<uint8_t> entries,
                    uint64_t lastBlock);
  // For a section that the caller deflates into sections() itself. From beginStreamedSection()
  // on, blockOffset() knows every block handed over.
  Status beginStreamedSection();
  Status endStreamedSection(uint32_t key, uint32_t entryCount, uint64_t size);
  BufferedWriter& sections() { return sections_; }

  // The offset of block `block` in the article data: known for every block whose predecessors
  // are written and which a section may still name.
  uint64_t blockOffset(uint64_t block) const { return offsets_[block - offsetsBase_]; }

  // Waits for every stream handed over and writes it.
  Status finish();

 private:
  struct Stream;

  // Sections whose blocks are written go to the workers, in order.
  void queueReadySections();
  void queue(std::unique_ptr<Stream> stream);
  // Writes the oldest stream queued, waiting for it when `wait` (else only when it is done).
  Status writeOldest(bool wait, bool* written);
  // Writes what is done, then waits while more than heldLimit_ bytes are held beside the
  // largest stream.
  Status keepWithinLimit();
  // The bytes of the largest stream held.
  size_t largestHeld() const;
  // Waits for and writes everything handed over.
  Status drain();
  void blockWritten(uint64_t size);
  // Replaces the block numbers of a section's entries by the blocks' offsets.
  void replaceBlockNumbers(std::vector<uint8_t>& entries) const;
  Status sectionWritten(uint32_t key, uint32_t entryCount, uint64_t size);
  // Forgets the offsets of blocks that no section can name any more.
  void forgetOffsets();

  Compression compression_;
  size_t heldLimit_;
  BufferedWriter& articleData_;
  BufferedWriter& sections_;
  BufferedWriter& groupTable_;
  std::vector<std::unique_ptr<WholeDeflater>> deflaters_;  // one per worker

  uint64_t blocksAdded_ = 0;
  uint64_t blocksWritten_ = 0;
  // Offsets of blocks offsetsBase_ to blocksWritten_ (the last one: the article data so far).
  std::deque<uint64_t> offsets_{0};
  uint64_t offsetsBase_ = 0;
  // The lowest block the next section handed over can name.
  uint64_t nextSectionFirstBlock_ = 0;
  uint64_t sectionBytes_ = 0;

  std::deque<std::unique_ptr<Stream>> waiting_;  // sections whose block offsets are not known
  std::deque<std::unique_ptr<Stream>> queued_;   // handed to the workers, oldest first
  size_t heldBytes_ = 0;
  // Destroyed first, so that no worker still uses a stream or a deflater.
  std::unique_ptr<WorkerPool> pool_;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_COMPRESSED_OUTPUT_H_
