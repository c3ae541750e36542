// The port watch on Linux: the kernel's device events for ttys through
// libudev, and inotify on the port link directory, both behind one epoll
// descriptor.
#include "TCommPortWatch.h"

#include <cerrno>
#include <string>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <libudev.h>

#include "SerialPortSources.h"

namespace OrvekComm32 {
namespace {

constexpr std::uint32_t LinkEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE;

std::string ParentOf(const std::string& dir)
{
    const std::size_t slash = dir.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : dir.substr(0, slash);
}

// Where udevd runs, its events come once the device nodes exist; without
// it (a bare system, a small guest) only the kernel's own events come.
const char* EventSource()
{
    return access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
}

} // namespace

struct TCommPortWatch::TState {
    int Poll = -1;
    udev* Udev = nullptr;
    udev_monitor* Devices = nullptr;
    int Links = -1;
    int LinkWatch = -1;    // on the link directory, once it exists
    int ParentWatch = -1;  // on its parent while the directory is missing
    std::string LinkDirectory;

    void Add(int descriptor)
    {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = descriptor;
        epoll_ctl(Poll, EPOLL_CTL_ADD, descriptor, &event);
    }

    void WatchDevices()
    {
        Udev = udev_new();
        if (Udev)
            Devices = udev_monitor_new_from_netlink(Udev, EventSource());
        if (!Devices || udev_monitor_filter_add_match_subsystem_devtype(Devices, "tty", nullptr) < 0 ||
            udev_monitor_enable_receiving(Devices) < 0) {
            if (Devices)
                udev_monitor_unref(Devices);
            Devices = nullptr;
            return;
        }
        Add(udev_monitor_get_fd(Devices));
    }

    void WatchLinks()
    {
        if (LinkDirectory.empty())
            return;
        Links = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (Links < 0)
            return;
        WatchLinkDirectory();
        Add(Links);
    }

    // The directory itself when it exists, else its parent until it does.
    void WatchLinkDirectory()
    {
        LinkWatch = inotify_add_watch(Links, LinkDirectory.c_str(), LinkEvents | IN_DELETE_SELF | IN_ONLYDIR);
        if (LinkWatch >= 0) {
            if (ParentWatch >= 0)
                inotify_rm_watch(Links, ParentWatch);
            ParentWatch = -1;
        } else if (ParentWatch < 0) {
            ParentWatch = inotify_add_watch(Links, ParentOf(LinkDirectory).c_str(), IN_CREATE | IN_MOVED_TO);
        }
    }

    bool DrainDevices()
    {
        bool changed = false;
        while (udev_device* device = udev_monitor_receive_device(Devices)) {
            changed = true;
            udev_device_unref(device);
        }
        return changed;
    }

    bool DrainLinks()
    {
        alignas(inotify_event) char buffer[4096];
        bool changed = false;
        for (ssize_t got; (got = read(Links, buffer, sizeof buffer)) > 0;) {
            changed = true;
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->mask & (IN_IGNORED | IN_DELETE_SELF))
                    LinkWatch = -1;
                at += sizeof(inotify_event) + event->len;
            }
        }
        if (changed && LinkWatch < 0)
            WatchLinkDirectory();
        return changed;
    }
};

TCommPortWatch::TCommPortWatch() : TCommPortWatch(Platform::SystemSerialPortSources()) {}

TCommPortWatch::TCommPortWatch(const Platform::TSerialPortSources& sources) : State(std::make_unique<TState>())
{
    State->LinkDirectory = sources.LinkDirectory;
    State->Poll = epoll_create1(EPOLL_CLOEXEC);
    if (State->Poll < 0)
        return;
    State->WatchDevices();
    State->WatchLinks();
}

TCommPortWatch::~TCommPortWatch()
{
    if (State->Devices)
        udev_monitor_unref(State->Devices);
    if (State->Udev)
        udev_unref(State->Udev);
    if (State->Links >= 0)
        close(State->Links);
    if (State->Poll >= 0)
        close(State->Poll);
}

int TCommPortWatch::Descriptor() const
{
    return State->Devices || State->Links >= 0 ? State->Poll : -1;
}

bool TCommPortWatch::TakeChanges()
{
    const bool devices = State->Devices && State->DrainDevices();
    const bool links = State->Links >= 0 && State->DrainLinks();
    return devices || links;
}

} // namespace OrvekComm32
