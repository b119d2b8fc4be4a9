#include "ReadFaults.h"

#include <dlfcn.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <new>

namespace {

std::atomic<ReadFault> armed{ReadFault::None};
std::atomic<std::size_t> minimum{0};

using Fread = std::size_t (*)(void*, std::size_t, std::size_t, FILE*);

Fread realFread() {
  static const Fread real = reinterpret_cast<Fread>(dlsym(RTLD_NEXT, "fread"));
  return real;
}

std::mutex hookMutex;
std::function<void()> hook;
std::size_t hookMinimum = 0;

void runHook(std::size_t bytes) {
  std::function<void()> armedHook;
  {
    std::lock_guard<std::mutex> lock(hookMutex);
    if (!hook || bytes < hookMinimum) return;
    armedHook = std::move(hook);
    hook = nullptr;
  }
  armedHook();
}

}  // namespace

void armReadHook(std::function<void()> newHook, std::size_t minBytes) {
  std::lock_guard<std::mutex> lock(hookMutex);
  hook = std::move(newHook);
  hookMinimum = minBytes;
}

void armReadFault(ReadFault fault, std::size_t minBytes) {
  minimum = minBytes;
  armed = fault;
}

// Takes the place of the C library's for the shared libraries too (DCMTK's file streams).
extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
  using Pread = ssize_t (*)(int, void*, size_t, off_t);
  static const Pread real = reinterpret_cast<Pread>(dlsym(RTLD_NEXT, "pread"));
  if (armed.load() == ReadFault::Fail && count >= minimum.load()) {
    errno = EIO;
    return -1;
  }
  return real(fd, buffer, count, offset);
}

extern "C" ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t count,
                                   unsigned flags) {
  using CopyFileRange = ssize_t (*)(int, off_t*, int, off_t*, size_t, unsigned);
  static const CopyFileRange real =
      reinterpret_cast<CopyFileRange>(dlsym(RTLD_NEXT, "copy_file_range"));
  if (armed.load() == ReadFault::Fail && count >= minimum.load()) {
    errno = EIO;
    return -1;
  }
  return real(in, inOffset, out, outOffset, count, flags);
}

extern "C" std::size_t fread(void* buffer, std::size_t size, std::size_t count, FILE* stream) {
  runHook(size * count);
  if (armed.load() == ReadFault::Fail && size * count >= minimum.load()) {
    errno = EIO;
    return 0;
  }
  if (armed.load() != ReadFault::None && size * count >= minimum.load()) {
    switch (armed.load() == ReadFault::Fail ? ReadFault::None : armed.exchange(ReadFault::None)) {
      case ReadFault::Throw:
        throw std::bad_alloc();
      case ReadFault::CutInHalf:
        count /= 2;
        break;
      case ReadFault::None:
      case ReadFault::Fail:
        break;
    }
  }
  return realFread()(buffer, size, count, stream);
}
