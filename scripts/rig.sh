#!/usr/bin/env bash
# Runs one command of this machine inside a small Linux guest under QEMU, so
# that it meets the guest kernel's own serial drivers instead of
# pseudo-terminals:
#   ttyS0          the guest's console (RIG_DIR/console.log)
#   ttyS1 - ttyS2  two 16550A UARTs joined by a null-modem cable
#   ttyS3          a 16550A UART joined to ttyUSB0 (through scripts/rig-relay.py)
#   ttyUSB0        an FTDI USB-serial adapter (ftdi_sio) on an xHCI controller,
#                  device id "ftdi" on chardev "usb", which the command may
#                  pull out and plug back through QEMU's monitor: it writes
#                  a monitor command into $RIG_JOB/monitor/request and reads
#                  the answer from $RIG_JOB/monitor/reply (scripts/rig-monitor.py)
# The guest sees this machine's root read-only and the job folder
# RIG_DIR/job writable, both at their own paths, so host binaries run there
# unchanged; the command starts in the current directory with the current
# PATH, as root.
#
# Limits of the emulation: the UARTs and the adapter do not pace bytes at
# the baud rate (a byte is there as soon as it is written), and the modem
# lines of the UARTs stay fixed with CTS, DSR and CD on.
#
# usage: scripts/rig.sh COMMAND [ARG...]
# Prints the command's output and exits with its status; exits 125 when the
# guest did not run the command at all (QEMU missing or failing to start,
# no kernel to be had, the guest stuck).
# Environment: RIG_DIR (default build-drivers) holds the kernel cache and the
# run's files; RIG_TIMEOUT (default 240) bounds the guest's life in seconds.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(mkdir -p "${RIG_DIR:-$root/build-drivers}" && cd "${RIG_DIR:-$root/build-drivers}" && pwd)
cache=$dir/cache
job=$dir/job
timeout_s=${RIG_TIMEOUT:-240}
# The modules the guest loads, besides their dependencies (overlay gives the
# guest a writable /tmp that still shows the host's). The 8250 UART driver
# is built into Debian's kernel.
wanted_modules=(virtio_pci 9pnet_virtio 9p overlay xhci_pci usbserial ftdi_sio)

fail() {
    echo "rig: $*" >&2
    exit 125
}

[[ $# -gt 0 ]] || fail "usage: scripts/rig.sh COMMAND [ARG...]"
command -v qemu-system-x86_64 >/dev/null || fail "qemu-system-x86_64 is not installed (scripts/setup.sh installs it)"
[[ -x /bin/busybox ]] || fail "/bin/busybox is missing (busybox-static; scripts/setup.sh installs it)"

# --- kernel: Debian's, unpacked into the cache, never installed ----------

apt_download() {
    apt-get -qq -o APT::Sandbox::User=root download "$@" >/dev/null 2>&1 ||
        { apt-get -qq update >/dev/null 2>&1 && apt-get -qq -o APT::Sandbox::User=root download "$@" >/dev/null; }
}

# The file of a module by its name, which may spell - as _ or the other way.
module_file() {
    local name=$1 tree=$2
    find "$tree" \( -name "$name.ko*" -o -name "${name//_/-}.ko*" -o -name "${name//-/_}.ko*" \) -print -quit
}

# Appends a module after its dependencies, read from its depends= entry.
order=()
add_module() {
    local name=${1//-/_} tree=$2 file dep
    [[ " ${order[*]} " == *" $name "* ]] && return 0
    file=$(module_file "$name" "$tree")
    [[ -n $file ]] || fail "kernel module $name not found"
    case $file in
        *.ko) cp "$file" "$cache/modules/$name.ko" ;;
        *.ko.xz) xz -dc "$file" >"$cache/modules/$name.ko" ;;
        *.ko.zst) zstd -qdc "$file" >"$cache/modules/$name.ko" ;;
        *) fail "cannot read module $file" ;;
    esac
    for dep in $(tr '\0' '\n' <"$cache/modules/$name.ko" | sed -n 's/^depends=//p' | tr ',' ' '); do
        add_module "$dep" "$tree"
    done
    order+=("$name")
}

fetch_kernel() {
    local work
    work=$(mktemp -d)
    trap 'rm -rf "$work"' RETURN
    echo "rig: fetching Debian's linux-image-amd64 into $cache"
    (cd "$work" && apt_download linux-image-amd64) || fail "cannot download linux-image-amd64"
    local image
    image=$(dpkg-deb -f "$work"/linux-image-amd64_*.deb Depends | sed 's/[ ,(].*//')
    (cd "$work" && apt_download "$image") || fail "cannot download $image"
    dpkg-deb -x "$work/${image}"_*.deb "$work/root"
    rm -rf "$cache"
    mkdir -p "$cache/modules"
    cp "$work"/root/boot/vmlinuz-* "$cache/vmlinuz"
    for module in "${wanted_modules[@]}"; do
        add_module "$module" "$work/root/lib/modules"
    done
    printf '%s\n' "${order[@]}" >"$cache/modules/order"
    echo "${wanted_modules[*]}" >"$cache/wanted"
}

[[ -f $cache/vmlinuz && -f $cache/modules/order && "$(cat "$cache/wanted" 2>/dev/null)" == "${wanted_modules[*]}" ]] ||
    fetch_kernel

# --- initramfs: busybox, the modules and the init, made for every run ----

initramfs=$dir/initramfs.gz
staging=$(mktemp -d)
relay_pid=
monitor_pid=
cleanup() {
    if [[ -n $relay_pid ]]; then kill "$relay_pid" 2>/dev/null || true; fi
    if [[ -n $monitor_pid ]]; then kill "$monitor_pid" 2>/dev/null || true; fi
    rm -rf "$staging"
}
trap cleanup EXIT
mkdir -p "$staging/bin"
cp /bin/busybox "$staging/bin/busybox"
cp -r "$cache/modules" "$staging/modules"
cp "$root/scripts/rig-init" "$staging/init"
(cd "$staging" && find . | cpio -o -H newc --quiet | gzip -1) >"$initramfs"

# --- the job ---------------------------------------------------------------

rm -rf "$job"
mkdir -p "$job"
{
    printf 'cd %q || exit 125\n' "$PWD"
    printf 'export PATH=%q HOME=/tmp LANG=C.UTF-8 RIG_JOB=%q\n' "$PATH" "$job"
    printf 'exec'
    printf ' %q' "$@"
    printf '\n'
} >"$job/run"

# --- wiring and boot -------------------------------------------------------

# ttyS3 and the adapter meet in the relay; the relay listens, QEMU connects.
rm -f "$dir/usb.sock" "$dir/uart3.sock"
python3 "$root/scripts/rig-relay.py" "$dir/usb.sock" "$dir/uart3.sock" &
relay_pid=$!
for _ in $(seq 50); do
    [[ -S $dir/usb.sock && -S $dir/uart3.sock ]] && break
    sleep 0.1
done
[[ -S $dir/usb.sock && -S $dir/uart3.sock ]] || fail "the USB relay did not start"

rm -f "$dir/null-modem.sock" "$dir/console.log" "$dir/monitor.sock"
python3 "$root/scripts/rig-monitor.py" "$dir/monitor.sock" "$job" &
monitor_pid=$!
started=$(date +%s%N)
set +e
timeout -k 5 "$timeout_s" qemu-system-x86_64 \
    -machine pc -accel tcg,thread=multi -cpu max -smp 2 -m 1024 \
    -nodefaults -no-reboot -display none \
    -kernel "$cache/vmlinuz" -initrd "$initramfs" \
    -append "console=ttyS0 quiet panic=-1 rig.job=$job" \
    -chardev file,id=console,path="$dir/console.log" -serial chardev:console \
    -chardev socket,id=uart1,path="$dir/null-modem.sock",server=on,wait=off -serial chardev:uart1 \
    -chardev socket,id=uart2,path="$dir/null-modem.sock" -serial chardev:uart2 \
    -chardev socket,id=uart3,path="$dir/uart3.sock" -serial chardev:uart3 \
    -device qemu-xhci,id=xhci \
    -chardev socket,id=usb,path="$dir/usb.sock" -device usb-serial,bus=xhci.0,chardev=usb,id=ftdi \
    -monitor unix:"$dir/monitor.sock",server=on,wait=off \
    -fsdev local,id=host,path=/,security_model=none,readonly=on,multidevs=remap \
    -device virtio-9p-pci,fsdev=host,mount_tag=host \
    -fsdev local,id=job,path="$job",security_model=none \
    -device virtio-9p-pci,fsdev=job,mount_tag=job \
    >"$dir/qemu.log" 2>&1
qemu_status=$?
set -e
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
printf 'rig: the guest ran %d.%01d s\n' $((elapsed_ms / 1000)) $((elapsed_ms % 1000 / 100)) >&2

[[ -f $job/output ]] && cat "$job/output"
if [[ ! -f $job/status ]]; then
    if ((qemu_status == 124 || qemu_status == 137)); then
        echo "rig: the guest did not finish within $timeout_s s" >&2
    elif ((qemu_status == 0)); then
        echo "rig: the guest stopped without running the command" >&2
    else
        echo "rig: QEMU could not start the guest (status $qemu_status):" >&2
        cat "$dir/qemu.log" >&2
    fi
    echo "rig: last lines of the guest's console:" >&2
    tail -n 20 "$dir/console.log" >&2 2>/dev/null || true
    exit 125
fi
exit "$(cat "$job/status")"
