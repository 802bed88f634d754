// A pread that fails on demand, for the tests of read errors; loaded with
// LD_PRELOAD (see tests/CMakeLists.txt).
//
// TAILPEEK_PREAD_SWITCH names a switch file. While it does not exist, every
// pread is the real one. While it exists, its first line is the canonical
// path of a file and its second line an error and a byte offset:
//   EIO <from>   every pread of that file whose bytes reach byte <from> fails
//                with EIO, as on a disk with a bad block there;
//   EINTR        every other pread of that file fails with EINTR, as when a
//                signal arrives during the read.
// The file is read anew at every call, so a test arms and disarms the fault
// by writing and removing it.

#include <dlfcn.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/types.h>
#include <unistd.h>

namespace {

enum class Fault { None, Eio, Eintr };

Fault faultFor(int fd, size_t count, off_t offset)
{
    const char *switchPath = getenv("TAILPEEK_PREAD_SWITCH");
    if (!switchPath)
        return Fault::None;
    FILE *file = fopen(switchPath, "re");
    if (!file)
        return Fault::None;
    char target[4096] = {};
    char error[16] = {};
    long long from = 0;
    const bool armed = fgets(target, sizeof target, file) != nullptr
                       && fscanf(file, "%15s %lld", error, &from) >= 1;
    fclose(file);
    if (!armed)
        return Fault::None;
    target[strcspn(target, "\n")] = '\0';

    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char actual[4096];
    const ssize_t length = readlink(link, actual, sizeof actual - 1);
    if (length < 0)
        return Fault::None;
    actual[length] = '\0';
    if (strcmp(actual, target) != 0)
        return Fault::None;

    if (strcmp(error, "EINTR") == 0) {
        static bool interruptNext = true;
        interruptNext = !interruptNext;
        return interruptNext ? Fault::None : Fault::Eintr;
    }
    if (strcmp(error, "EIO") == 0 && offset + static_cast<long long>(count) > from)
        return Fault::Eio;
    return Fault::None;
}

// Real is the next pread in the lookup order (libc's, or the sanitizer's).
template <typename Real, typename Offset>
ssize_t faultyRead(Real real, int fd, void *buffer, size_t count, Offset offset)
{
    const int savedErrno = errno;
    const Fault fault = faultFor(fd, count, off_t(offset));
    errno = savedErrno;
    if (fault != Fault::None) {
        errno = fault == Fault::Eio ? EIO : EINTR;
        return -1;
    }
    return real(fd, buffer, count, offset);
}

using Pread = ssize_t (*)(int, void *, size_t, off_t);
using Pread64 = ssize_t (*)(int, void *, size_t, off64_t);

} // namespace

// Lets a test see that the shim is loaded.
extern "C" int tailpeekFailingPreadLoaded()
{
    return 1;
}

extern "C" ssize_t pread(int fd, void *buffer, size_t count, off_t offset)
{
    static const auto real = reinterpret_cast<Pread>(dlsym(RTLD_NEXT, "pread"));
    return faultyRead(real, fd, buffer, count, offset);
}

extern "C" ssize_t pread64(int fd, void *buffer, size_t count, off64_t offset)
{
    static const auto real = reinterpret_cast<Pread64>(dlsym(RTLD_NEXT, "pread64"));
    return faultyRead(real, fd, buffer, count, offset);
}
