// A preloaded library under which every fcntl lock request fails with ENOLCK, as on a network file system without
// working locks.
#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdarg>

namespace {

using Fcntl = int (*)(int, int, ...);

bool IsLockRequest(int command) {
  return command == F_SETLK || command == F_SETLKW || command == F_GETLK
#ifdef F_OFD_SETLK
         || command == F_OFD_SETLK || command == F_OFD_SETLKW || command == F_OFD_GETLK
#endif
      ;
}

// A lock request fails; anything else goes to the C library's function name.
int Handle(const char* name, int fd, int command, void* argument) {
  if (IsLockRequest(command)) {
    errno = ENOLCK;
    return -1;
  }
  const auto real = reinterpret_cast<Fcntl>(dlsym(RTLD_NEXT, name));
  if (real == nullptr) {
    errno = ENOSYS;
    return -1;
  }
  return real(fd, command, argument);
}

}  // namespace

extern "C" int fcntl(int fd, int command, ...) {
  va_list arguments;
  va_start(arguments, command);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  return Handle("fcntl", fd, command, argument);
}

extern "C" int fcntl64(int fd, int command, ...) {
  va_list arguments;
  va_start(arguments, command);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  return Handle("fcntl64", fd, command, argument);
}
