// Preloaded into Wine by the Windows test rig: gives pseudo-terminals the
// modem lines they lack. Wine's serial driver polls the lines with
// TIOCMGET for every event wait and modem status call, and a pty refuses
// the request, which makes WaitCommEvent and GetCommModemStatus fail. Here
// a pty answers as a cable would with the far end ready: CTS, DSR and
// carrier on, DTR and RTS as last set. Only the refusal a pty gives for
// having no lines (ENOTTY, EINVAL) is answered: a pty that hung up refuses
// with EIO, and that refusal must reach Wine, which tells the program the
// device is gone. Every other request, and every other device, goes to the
// system unchanged.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

// The outputs as last set, one record for all ptys: the tests open one
// port at a time for line changes.
static int Outputs = TIOCM_DTR | TIOCM_RTS;

// Unix98 pty slaves have the majors 136 to 143.
static int IsPtySlave(int fd)
{
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

static int Answer(unsigned long request, int* lines)
{
    const int outputs = TIOCM_DTR | TIOCM_RTS;
    switch (request) {
    case TIOCMGET: *lines = (Outputs & outputs) | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR; return 0;
    case TIOCMSET: Outputs = *lines & outputs; return 0;
    case TIOCMBIS: Outputs |= *lines & outputs; return 0;
    case TIOCMBIC: Outputs &= ~(*lines & outputs); return 0;
    default: return -1;
    }
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*system_ioctl)(int, unsigned long, ...);
    if (!system_ioctl)
        system_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    const int result = system_ioctl(fd, request, argument);
    const int lineRequest = request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
    const int error = errno;
    if (result != 0 && lineRequest && argument && (error == ENOTTY || error == EINVAL) && IsPtySlave(fd) &&
        Answer(request, (int*)argument) == 0)
        return 0;
    errno = error;
    return result;
}
