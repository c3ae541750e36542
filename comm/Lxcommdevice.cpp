#include "Lxcommdevice.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace OrvekComm32 {
namespace {

constexpr std::uint32_t DefaultBaudRate = 115200;
constexpr TComm32::TFlowControl FlowCodes[] = {TComm32::fcNone, TComm32::fcRtsCts, TComm32::fcXonXoff,
                                               TComm32::fcTranXonXoff, TComm32::fcRtsCtsXonXoff};

template <typename Enum, std::size_t N>
bool InEnum(Enum value, const std::uint32_t (&)[N])
{
    return static_cast<int>(value) >= 0 && static_cast<std::size_t>(value) < N;
}

int ClampToByte(int value)
{
    return std::clamp(value, 0, 255);
}

// Qt's event queue orders a post before its delivery, but Qt is not built
// with ThreadSanitizer, which therefore cannot see that order; these two
// tell it, so that what a worker thread wrote into a notification is not
// reported as racing with the creating thread that reads it.
#if defined(__SANITIZE_THREAD__)
#define CCDL_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CCDL_TSAN 1
#endif
#endif
#if defined(CCDL_TSAN)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
void HandOver(QEvent* Event) { __tsan_release(Event); }
void TakeOver(QEvent* Event) { __tsan_acquire(Event); }
#else
void HandOver(QEvent*) {}
void TakeOver(QEvent*) {}
#endif

// A notification on its way to the creating thread.
class TNotification : public QEvent {
public:
    TNotification(int Message, TObject* Sender, int NotifyType)
        : QEvent(static_cast<QEvent::Type>(QEvent::User + Message)), Sender(Sender), NotifyType(NotifyType)
    {
    }
    TObject* const Sender;
    const int NotifyType;
};

} // namespace

// Lives on the thread that created the component; notifications posted to
// it from the worker threads are handled there in posting order.
class TLxCustomCommDevice::TNotifyWindow : public QObject {
public:
    explicit TNotifyWindow(TLxCustomCommDevice* Device) : Device(Device) {}

    void Post(int Message, TObject* Sender, int NotifyType)
    {
        auto* notification = new TNotification(Message, Sender, NotifyType);
        HandOver(notification);
        QCoreApplication::postEvent(this, notification);
    }

protected:
    bool event(QEvent* Event) override
    {
        TakeOver(Event);
        const int message = static_cast<int>(Event->type()) - QEvent::User;
        if (message == CommNotifyMessage || message == PackageNotifyMessage) {
            const auto& notification = static_cast<const TNotification&>(*Event);
            if (message == CommNotifyMessage)
                Device->EvCommNotify(notification.Sender, notification.NotifyType);
            else
                Device->EvPackageNotify(notification.Sender, notification.NotifyType);
        }
        return QObject::event(Event);
    }

private:
    TLxCustomCommDevice* const Device;
};

// --- frame settings ---

TLxCommFrameSettings::TLxCommFrameSettings(TCommPackage* Package) : Package(Package) {}

TLxCommFrameSettings::~TLxCommFrameSettings() = default;

void TLxCommFrameSettings::Assign(const TLxCommFrameSettings& Source)
{
    fSetFrameHead(Source.fGetFrameHead());
    fSetFrameTail(Source.fGetFrameTail());
    fSetFrameCtrl(Source.fGetFrameCtrl());
}

unsigned char TLxCommFrameSettings::fGetFrameHead() const { return Package->FrameHead; }
void TLxCommFrameSettings::fSetFrameHead(unsigned char Value) { Package->FrameHead = Value; }
unsigned char TLxCommFrameSettings::fGetFrameTail() const { return Package->FrameTail; }
void TLxCommFrameSettings::fSetFrameTail(unsigned char Value) { Package->FrameTail = Value; }
unsigned char TLxCommFrameSettings::fGetFrameCtrl() const { return Package->FrameCtrl; }
void TLxCommFrameSettings::fSetFrameCtrl(unsigned char Value) { Package->FrameCtrl = Value; }
bool TLxCommFrameSettings::fGetDoubleFrameMark() const { return Package->DoubleFrameMark(); }
void TLxCommFrameSettings::fSetDoubleFrameMark(bool Value) { Package->fSetDblFrameMark(Value); }

// --- construction and destruction ---

TLxCustomCommDevice::TLxCustomCommDevice(QObject* AOwner) : QObject(AOwner)
{
    FNotifyWindow = std::make_unique<TNotifyWindow>(this);
    FComm = std::make_unique<TComm32>();
    FComm->OnCommNotify = Bind(this, &TLxCustomCommDevice::_CommNotify);
    FComm->OnAfterOpen = Bind(this, &TLxCustomCommDevice::_AfterOpen);
    FComm->OnBeforeClose = Bind(this, &TLxCustomCommDevice::_BeforeClose);
    // The layer puts itself in front of the comm handler just installed.
    FPackage = std::make_unique<TCommPackage>(FComm.get());
    FPackage->OnPackage = Bind(this, &TLxCustomCommDevice::_PackageNotify);
    FFrameSettings = std::make_unique<TLxCommFrameSettings>(FPackage.get());
}

TLxCustomCommDevice::~TLxCustomCommDevice()
{
    _StopNotifications();
    FComm.reset();
    FNotifyWindow.reset();
}

void TLxCustomCommDevice::_StopNotifications()
{
    if (!FPackage)
        return;
    FPackage->OnPackage = nullptr;
    FPackage->fSetActive(false);
    FComm->OnBeforeClose = nullptr;
    FComm->OnAfterOpen = nullptr;
    FComm->OnCommNotify = nullptr;
    _CloseEngine();
    // Clearing the events does not wait for a call already made: the layer
    // thread may still be inside a package handler (with SyncEvents false,
    // inside a virtual Ev... of this object). Destroying the layer joins
    // that thread, so nothing of ours runs once this returns.
    FFrameSettings.reset();
    FPackage.reset();
    // The layer puts the comm handler back as it goes; an engine that failed
    // to close must not reach it.
    FComm->OnCommNotify = nullptr;
}

void TLxCustomCommDevice::_CloseEngine()
{
    try {
        FComm->Close();
    } catch (const Exception& error) {
        std::fprintf(stderr, "%s: closing the port failed: %s\n", qPrintable(objectName()), error.what());
    }
}

TLxCommDevice::TLxCommDevice(QObject* AOwner) : TLxCustomCommDevice(AOwner) {}

TLxCommDevice::~TLxCommDevice()
{
    _StopNotifications();
}

TLxCommDevice::TPackageType TLxCommDevice::_fGetPackageType() const
{
    return static_cast<TPackageType>(fGetPackageType());
}

void TLxCommDevice::_fSetPackageType(TPackageType Value)
{
    fSetPackageType(static_cast<TCommPackageType>(Value));
}

QString TLxCustomCommDevice::ClassName() const
{
    const QString name = QString::fromLatin1(metaObject()->className());
    return name.mid(name.lastIndexOf(QLatin1Char(':')) + 1);
}

// --- routing ---

long TLxCustomCommDevice::Read(void* Buf, long Size)
{
    if (FUsePackage)
        return static_cast<long>(FPackage->ReadPackage(Buf, static_cast<unsigned long>(std::max(0L, Size))));
    return FComm->Read(Buf, Size);
}

long TLxCustomCommDevice::Write(const void* Buf, long Size)
{
    if (FUsePackage)
        return static_cast<long>(FPackage->WritePackage(Buf, static_cast<unsigned long>(std::max(0L, Size))));
    return FComm->Write(Buf, Size);
}

long TLxCustomCommDevice::Command(const char* Text)
{
    return FComm->Command(Text);
}

bool TLxCustomCommDevice::ReadPackage(void* Buf)
{
    return FPackage->ReadPackage(Buf, 0) != 0;
}

bool TLxCustomCommDevice::WritePackage(const void* Buf)
{
    return FPackage->WritePackage(Buf, 0) != 0;
}

unsigned long TLxCustomCommDevice::ReadPackage(void* Buf, unsigned long Size)
{
    return FPackage->ReadPackage(Buf, Size);
}

unsigned long TLxCustomCommDevice::WritePackage(const void* Buf, unsigned long Len)
{
    return FPackage->WritePackage(Buf, Len);
}

void TLxCustomCommDevice::PurgeRead(bool Abort)
{
    if (FUsePackage)
        FPackage->PurgeRead();
    else
        FComm->PurgeRead(Abort);
}

void TLxCustomCommDevice::PurgeWrite(bool Abort)
{
    if (FUsePackage)
        FPackage->PurgeWrite();
    else
        FComm->PurgeWrite(Abort);
}

long TLxCustomCommDevice::ResetModem()
{
    return FComm->ResetModem();
}

long TLxCustomCommDevice::InitModem()
{
    return FComm->InitModem();
}

bool TLxCustomCommDevice::EscapeCommFunction(unsigned long Function)
{
    return FComm->EscapeCommFunction(Function);
}

// --- events ---

void TLxCustomCommDevice::EvCommNotify(TObject*, int NotifyType)
{
    OnCommNotify(this, NotifyType);
}

void TLxCustomCommDevice::EvPackageNotify(TObject*, int NotifyType)
{
    OnPackage(this, NotifyType);
}

void TLxCustomCommDevice::EvAfterOpen(TObject*)
{
    AfterOpen(this);
}

void TLxCustomCommDevice::EvBeforeClose(TObject*)
{
    BeforeClose(this);
}

void TLxCustomCommDevice::_CommNotify(TObject* Sender, int NotifyType)
{
    if (FSyncEvents.load(std::memory_order_acquire))
        FNotifyWindow->Post(CommNotifyMessage, Sender, NotifyType);
    else
        EvCommNotify(Sender, NotifyType);
}

void TLxCustomCommDevice::_PackageNotify(TObject* Sender, int NotifyType)
{
    if (FSyncEvents.load(std::memory_order_acquire))
        FNotifyWindow->Post(PackageNotifyMessage, Sender, NotifyType);
    else
        EvPackageNotify(Sender, NotifyType);
}

void TLxCustomCommDevice::_AfterOpen(TObject* Sender)
{
    EvAfterOpen(Sender);
}

void TLxCustomCommDevice::_BeforeClose(TObject* Sender)
{
    EvBeforeClose(Sender);
}

// --- properties ---

bool TLxCustomCommDevice::fGetActive() const
{
    return FUsePackage ? FComm->Active && FPackage->Active() : FComm->Active.load();
}

void TLxCustomCommDevice::fSetActive(bool Value)
{
    const bool packages = Value && FUsePackage;
    if (Value != FComm->Active) {
        if (Value)
            FComm->Open();
        else
            FComm->Close();
    }
    if (packages != FPackage->Active())
        FPackage->fSetActive(packages);
}

int TLxCustomCommDevice::fGetPortNo() const
{
    return FComm->PortNo;
}

void TLxCustomCommDevice::fSetPortNo(int Value)
{
    FComm->Close();
    FComm->UsePortNo(Value);
}

TBaudRate TLxCustomCommDevice::fGetBaud() const
{
    const auto* found = std::find(std::begin(BaudRates), std::end(BaudRates), FComm->DCB.BaudRate);
    return found == std::end(BaudRates) ? br115200 : static_cast<TBaudRate>(found - std::begin(BaudRates));
}

void TLxCustomCommDevice::fSetBaud(TBaudRate Value)
{
    FComm->Close();
    FComm->DCB.BaudRate = InEnum(Value, BaudRates) ? BaudRates[Value] : DefaultBaudRate;
}

TParity TLxCustomCommDevice::fGetParity() const
{
    const int code = FComm->DCB.Parity;
    return code <= ptSpaceParity ? static_cast<TParity>(code) : ptNoParity;
}

void TLxCustomCommDevice::fSetParity(TParity Value)
{
    FComm->Close();
    FComm->DCB.Parity = Value >= ptNoParity && Value <= ptSpaceParity ? static_cast<std::uint8_t>(Value) : 0;
}

int TLxCustomCommDevice::fGetByteSize() const
{
    return FComm->DCB.ByteSize;
}

void TLxCustomCommDevice::fSetByteSize(int Value)
{
    FComm->Close();
    FComm->DCB.ByteSize = static_cast<std::uint8_t>(ClampToByte(Value));
}

TStopBits TLxCustomCommDevice::fGetStopBits() const
{
    const int code = FComm->DCB.StopBits;
    return code <= sbTwoStopBit ? static_cast<TStopBits>(code) : sbOneStopBit;
}

void TLxCustomCommDevice::fSetStopBits(TStopBits Value)
{
    FComm->Close();
    FComm->DCB.StopBits = Value >= sbOneStopBit && Value <= sbTwoStopBit ? static_cast<std::uint8_t>(Value) : 0;
}

TFlowControl TLxCustomCommDevice::fGetFlowControl() const
{
    const auto* found = std::find(std::begin(FlowCodes), std::end(FlowCodes), FComm->fGetFCtrl());
    return found == std::end(FlowCodes) ? fcNone : static_cast<TFlowControl>(found - std::begin(FlowCodes));
}

void TLxCustomCommDevice::fSetFlowControl(TFlowControl Value)
{
    const bool known = Value >= fcNone && Value <= fcRtsCtsXonXoff;
    FComm->fSetFCtrl(known ? FlowCodes[Value] : TComm32::fcNone);
}

int TLxCustomCommDevice::fGetAutoAnswer() const
{
    return FComm->AutoAnswer;
}

void TLxCustomCommDevice::fSetAutoAnswer(int Value)
{
    FComm->AutoAnswer = static_cast<std::uint8_t>(ClampToByte(Value));
}

bool TLxCustomCommDevice::fGetSyncEvents() const
{
    return FSyncEvents.load(std::memory_order_acquire);
}

void TLxCustomCommDevice::fSetSyncEvents(bool Value)
{
    FSyncEvents.store(Value, std::memory_order_release);
}

long TLxCustomCommDevice::fGetInBufSize() const { return FComm->InQueue->fGetSize(); }
void TLxCustomCommDevice::fSetInBufSize(long Value) { FComm->InQueue->fSetBufSize(Value); }
long TLxCustomCommDevice::fGetOutBufSize() const { return FComm->OutQueue->fGetSize(); }
void TLxCustomCommDevice::fSetOutBufSize(long Value) { FComm->OutQueue->fSetBufSize(Value); }

long TLxCustomCommDevice::fGetHwInSize() const
{
    return FComm->HwInSize;
}

void TLxCustomCommDevice::fSetHwInSize(long Value)
{
    FComm->Close();
    FComm->HwInSize = Value;
}

long TLxCustomCommDevice::fGetHwOutSize() const
{
    return FComm->HwOutSize;
}

void TLxCustomCommDevice::fSetHwOutSize(long Value)
{
    FComm->Close();
    FComm->HwOutSize = Value;
}

long TLxCustomCommDevice::fGetQueueSize() const { return FPackage->QueueSize(); }
void TLxCustomCommDevice::fSetQueueSize(long Value) { FPackage->fSetQSize(static_cast<unsigned long>(Value)); }
long TLxCustomCommDevice::fGetPackageSize() const { return static_cast<long>(FPackage->PackageSize()); }
void TLxCustomCommDevice::fSetPackageSize(long Value) { FPackage->fSetPkgSz(static_cast<unsigned long>(Value)); }
TCommPackageType TLxCustomCommDevice::fGetPackageType() const { return FPackage->PackageType(); }
void TLxCustomCommDevice::fSetPackageType(TCommPackageType Value) { FPackage->fSetPkgType(Value); }
long TLxCustomCommDevice::fGetPackageInterval() const { return static_cast<long>(FPackage->PackageInterval()); }

void TLxCustomCommDevice::fSetPackageInterval(long Milliseconds)
{
    FPackage->fSetPkgInterval(static_cast<unsigned long>(Milliseconds));
}

bool TLxCustomCommDevice::fGetUsePackage() const
{
    return FUsePackage;
}

void TLxCustomCommDevice::fSetUsePackage(bool Value)
{
    const bool active = fGetActive();
    FUsePackage = Value;
    fSetActive(active);
}

TLxCommFrameSettings* TLxCustomCommDevice::fGetFrameSettings() const
{
    return FFrameSettings.get();
}

void TLxCustomCommDevice::fSetFrameSettings(const TLxCommFrameSettings* Value)
{
    if (Value)
        FFrameSettings->Assign(*Value);
}

TCommQueue* TLxCustomCommDevice::fGetInQueue() const { return FComm->InQueue.get(); }
TCommQueue* TLxCustomCommDevice::fGetOutQueue() const { return FComm->OutQueue.get(); }

std::uint8_t TLxCustomCommDevice::fGetModemStatus() const
{
    return static_cast<std::uint8_t>((FComm->ModemStatus.load() >> 4) & 0x0F);
}

bool TLxCustomCommDevice::fGetCTS() const { return FComm->ModemStatus.load() & MS_CTS_ON; }
bool TLxCustomCommDevice::fGetDSR() const { return FComm->ModemStatus.load() & MS_DSR_ON; }
bool TLxCustomCommDevice::fGetRING() const { return FComm->ModemStatus.load() & MS_RING_ON; }
bool TLxCustomCommDevice::fGetRLSD() const { return FComm->ModemStatus.load() & MS_RLSD_ON; }
bool TLxCustomCommDevice::fGetDTR() const { return FComm->fGetDTR(); }
void TLxCustomCommDevice::fSetDTR(bool Value) { FComm->fSetDTR(Value); }
bool TLxCustomCommDevice::fGetRTS() const { return FComm->fGetRTS(); }
void TLxCustomCommDevice::fSetRTS(bool Value) { FComm->fSetRTS(Value); }
std::optional<EComm32Error> TLxCustomCommDevice::fGetPortLoss() const { return FComm->PortLoss(); }
bool TLxCustomCommDevice::fGetDisableWrite() const { return FComm->DisableWrite; }
void TLxCustomCommDevice::fSetDisableWrite(bool Value) { FComm->DisableWrite = Value; }

} // namespace OrvekComm32
