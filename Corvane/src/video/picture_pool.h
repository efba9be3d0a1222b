#pragma once
// The decoded pictures of a live stream or a player: a fixed number of slots, each holding
// one picture either as the decoder's own (kept by a hold, nothing copied) or, from a
// decoder that cannot keep its pictures, copied into the slot's memory. A free list and a
// ready list, first in first out, under one lock held only for the list operation. Every
// slot's memory is made with the pool, as zero-filled pages committed when first written
// (plat/aligned_bytes.h): nothing is allocated while pictures flow, and a slot that keeps
// the decoder's pictures costs no memory of its own. A slot comes back to the free list
// when the last reference to its picture goes, from whichever thread lets go of it, so the
// count bounds the pictures a stream keeps: the ones waiting, the one being drawn and the
// one each window shows.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "ctdec/ctdec.h"
#include "plat/aligned_bytes.h"
#include "video/picture.h"

namespace corvane {

class PicturePool;

class PictureSlot : public Picture {
 public:
  ~PictureSlot() override;
  // The decoder's picture, kept until the slot is refilled or given back; `release` is the
  // decoder entry that takes the hold back.
  void keepHeld(CTDecEntry release, intptr_t hold, const plat::I420Planes& planes);
  // Memory for a copy of a width x height picture, laid out as a decoded picture (header,
  // Y, U and V planes): the planes point into it. Null when the picture is beyond the
  // largest a slot takes.
  uint8_t* copyInto(int width, int height);
  // Gives a hold back and forgets the planes.
  void clear();
  bool held() const { return hold_ != 0; }
  // The copy's memory (a decoded picture's layout); null for a held picture.
  const uint8_t* copyBytes() const { return hold_ ? nullptr : memory_; }

 private:
  friend class PicturePool;
  friend struct PicturePoolState;
  void released() override;
  // The pool's lists, kept alive while the picture is referenced: a renderer may let go of
  // its last picture after the stream that made it is gone.
  std::shared_ptr<struct PicturePoolState> home_;
  CTDecEntry release_ = nullptr;
  intptr_t hold_ = 0;
  uint8_t* memory_ = nullptr;  // kPictureBufferSize bytes of the pool's memory
};

class PicturePool {
 public:
  explicit PicturePool(int count);
  ~PicturePool();
  PicturePool(const PicturePool&) = delete;
  PicturePool& operator=(const PicturePool&) = delete;

  // A free slot to fill (its earlier picture given back), or null.
  PictureSlot* takeFree();
  // A slot taken but not filled goes back.
  void giveFree(PictureSlot* slot);
  // A filled slot to the end of the ready list.
  void putReady(PictureSlot* slot);
  // The oldest ready picture, or none; it goes back to the free list when the last
  // reference to it goes.
  PictureRef takeReady();
  // A filled slot as a picture at once, past the ready list.
  PictureRef share(PictureSlot* slot);

  int readyCount() const;
  int freeCount() const;
  int count() const { return count_; }
  // Bytes of the slots' memory that are in memory: the pages copies were written into.
  size_t committedBytes() const;

 private:
  const int count_;
  std::shared_ptr<PicturePoolState> state_;
};

}  // namespace corvane
