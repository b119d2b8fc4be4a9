#include "ReadFaults.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <new>

namespace {

std::atomic<ReadFault> armed{ReadFault::None};
std::atomic<std::size_t> minimum{0};

using Fread = std::size_t (*)(void*, std::size_t, std::size_t, FILE*);

Fread realFread() {
  static const Fread real = reinterpret_cast<Fread>(dlsym(RTLD_NEXT, "fread"));
  return real;
}

}  // namespace

void armReadFault(ReadFault fault, std::size_t minBytes) {
  minimum = minBytes;
  armed = fault;
}

// Takes the place of the C library's for the shared libraries too (DCMTK's file streams).
extern "C" std::size_t fread(void* buffer, std::size_t size, std::size_t count, FILE* stream) {
  if (armed.load() != ReadFault::None && size * count >= minimum.load()) {
    switch (armed.exchange(ReadFault::None)) {
      case ReadFault::Throw:
        throw std::bad_alloc();
      case ReadFault::CutInHalf:
        count /= 2;
        break;
      case ReadFault::None:
        break;
    }
  }
  return realFread()(buffer, size, count, stream);
}
